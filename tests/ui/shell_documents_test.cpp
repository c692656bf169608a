// Documents in the main window: files dropped on the frame and on the MDI
// client, the recent-file list in Zarns.ini, New/Save/Save As/Close with the
// prompt to save, Send through the mail service, Reset Zarns, find and replace.
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <memory>

#include "catalog/ui/zrnmtchd.h"
#include "catalog/zrnwcat.h"
#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "shell/ui/qthost.h"
#include "shell/ui/recentfiles.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zfindrep.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "shell/ui/zrnsusrp.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"

class ShellDocumentsTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::unique_ptr<TZarnsApp> app_;
  std::string dir_;

  int Windows() const { return app_->Client()->subWindowList().size(); }
  QStringList OpenPaths() const {
    QStringList out;
    for (QMdiSubWindow* w : app_->Client()->subWindowList(QMdiArea::CreationOrder))
      out << qobject_cast<TZarnsMDIChild*>(w)->Path();
    return out;
  }
  QString File(const char* name, const std::string& text) {
    WriteFile(dir_ + name, text);
    return QString::fromStdString(dir_ + name);
  }
  static void Drop(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    urls << QUrl(QStringLiteral("https://example.org/not-a-file"));
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
  }
  QString Ini() const {
    QFile f(QString::fromStdString(plat::DataPath("Zarns.ini")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

 private slots:
  void initTestCase() {
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO&, const QString&) {};
    app_ = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    app_->InitInstance();
    dir_ = uitest::FreshDir("docs");
  }
  void cleanupTestCase() {
    app_.reset();
    plat::SetLauncher(nullptr);
  }
  void cleanup() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      qobject_cast<TZarnsMDIChild*>(w)->SetDirty(false);
      w->close();
    }
    QCoreApplication::processEvents();
    host_.boxes.clear();
    host_.answers.clear();
    SaveAsDialog = nullptr;
    OpenFilesDialog = nullptr;
  }

  void filesDroppedOnTheFrameOpenInOrder() {
    const QString a = File("a.txt", "first\n"), b = File("b.txt", "second\r\n");
    const QString missing = QString::fromStdString(dir_ + "gone.txt");
    const QString directory = QString::fromStdString(uitest::FreshDir("adir"));
    Drop(MainWin, {a, missing, directory, b});
    // The name that matches no file and the directory are skipped.
    QCOMPARE(OpenPaths(), (QStringList{a, b}));
    QCOMPARE(app_->ActiveChild()->Path(), b);
  }

  void filesDroppedOnTheClientOpenTheSameWay() {
    const QString a = File("c.txt", "third\n"), b = File("d.zxt", "fourth\n");
    Drop(app_->Client()->viewport(), {a, QString::fromStdString(dir_ + "nothing.txt"), b});
    QCOMPARE(OpenPaths(), (QStringList{a, b}));
    QCOMPARE(qobject_cast<TZarnsMDIChild*>(app_->Client()->subWindowList().first())
                 ->View()
                 ->toPlainText(),
             QStringLiteral("third\n"));
    // Dropped on an editor, the files open too; the text is left alone.
    const QString e = File("e.txt", "fifth\n");
    auto* view = app_->ActiveView();
    const QString before = view->toPlainText();
    Drop(view->viewport(), {e});
    QCoreApplication::processEvents();
    QCOMPARE(view->toPlainText(), before);
    QCOMPARE(OpenPaths(), (QStringList{a, b, e}));
  }

  void recentFilesAreKeptInZarnsIni() {
    QFile::remove(QString::fromStdString(plat::DataPath("Zarns.ini")));
    QStringList names;
    for (int i = 0; i < 10; ++i) {
      const std::string n = "r" + std::to_string(i) + ".txt";
      names << File(n.c_str(), "x");
      QVERIFY(app_->AddFile(names.last()));
    }
    // At most 8, the most recent first.
    QStringList expect;
    for (int i = 9; i >= 2; --i) expect << names[i];
    QCOMPARE(app_->Recent().Files(), expect);
    QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value("MRU/Count").toInt(), 8);
    QCOMPARE(ini.value("MRU/File1").toString(), names[9]);
    QCOMPARE(ini.value("MRU/File8").toString(), names[2]);
    QVERIFY(Ini().contains(QStringLiteral("[MRU]")));
    // Opening a listed file again moves it to the top without a repeat.
    app_->AddFile(names[5]);
    QCOMPARE(app_->Recent().Files().first(), names[5]);
    QCOMPARE(app_->Recent().Files().count(names[5]), 1);
    QCOMPARE(app_->Recent().Files().size(), 8);
    // The File menu lists them numbered, before Exit.
    QMenu* file = app_->RecentMenuAnchor();
    QStringList items;
    for (QAction* a : file->actions())
      if (a->objectName().startsWith(QStringLiteral("MRU"))) items << a->text();
    QCOMPARE(items.size(), 8);
    QCOMPARE(items.first(), QStringLiteral("&1 ") + names[5]);
    QCOMPARE(file->actions().last()->data().toInt(), 24310);
    // Choosing an entry opens it; an entry whose file is gone is skipped.
    cleanup();
    app_->CmFileSelected(1);
    QCOMPARE(OpenPaths(), (QStringList{names[9]}));
    QFile::remove(names[8]);
    app_->CmFileSelected(2);
    QCOMPARE(Windows(), 1);
    // Opening an entry makes it the most recent; the list is read from the file each time.
    QCOMPARE(app_->Recent().Files().first(), names[9]);
    QCOMPARE(app_->Recent().Files().at(1), names[5]);
  }

  void aDamagedRecentListReadsSafely() {
    const std::string ini = plat::DataPath("Zarns.ini");
    WriteFile(ini, std::string("[MRU]\nCount=100000\nFile1=/no/such/file\nFile2=\nFile3=") +
                       std::string(5000, 'x') + "\n\x01\xff[broken\n");
    const QStringList list = app_->Recent().Files();
    QVERIFY(list.size() <= 8);
    for (const QString& f : list) QVERIFY(f.size() <= 260);
    app_->CmFileSelected(0);  // gone: skipped
    app_->CmFileSelected(50);
    app_->CmFileSelected(-1);
    QCOMPARE(Windows(), 0);
    WriteFile(ini, "[MRU]\nCount=banana\n");
    QVERIFY(app_->Recent().Files().isEmpty());
    // A new entry repairs the list.
    const QString f = File("fresh.txt", "x");
    QVERIFY(app_->AddFile(f));
    QCOMPARE(app_->Recent().Files(), QStringList{f});
  }

  void savedUnderANewNameTheFileBecomesRecent() {
    app_->Command(24331);
    auto* child = app_->ActiveChild();
    QVERIFY(child->Path().isEmpty());
    QVERIFY(child->Title().isEmpty());
    child->View()->insertPlainText(QStringLiteral("new text"));
    const QString target = QString::fromStdString(dir_ + "saved.zxt");
    SaveAsDialog = [&](const QString&) { return target; };
    QVERIFY(app_->Command(24333));  // Save on a new document asks for a name
    QCOMPARE(child->Path(), target);
    QVERIFY(!child->IsDirty());
    QCOMPARE(QString::fromStdString(Slurp(target.toStdString())), QStringLiteral("new text"));
    QCOMPARE(app_->Recent().Files().first(), target);
    QVERIFY(child->windowTitle().startsWith(QStringLiteral("saved.zxt")));
  }

  void savingKeepsTheFilesLineEndings() {
    const QString f = File("crlf.txt", "one\r\ntwo\r\n");
    QVERIFY(app_->AddFile(f));
    auto* view = app_->ActiveView();
    view->moveCursor(QTextCursor::End);
    view->insertPlainText(QStringLiteral("three\n"));
    QVERIFY(app_->Command(24333));
    QCOMPARE(Slurp(f.toStdString()), std::string("one\r\ntwo\r\nthree\r\n"));
  }

  void closingAChangedDocumentAsksToSave() {
    const QString f = File("ask.txt", "keep\n");
    QVERIFY(app_->AddFile(f));
    auto* child = app_->ActiveChild();
    child->View()->moveCursor(QTextCursor::End);
    child->View()->insertPlainText(QStringLiteral("more\n"));
    // Cancel keeps the window; No closes without writing; Yes writes.
    host_.answers = {IDCANCEL};
    app_->Command(24339);
    QCoreApplication::processEvents();
    QCOMPARE(Windows(), 1);
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QVERIFY(host_.boxes[0].text.find("ask.txt") != std::string::npos);
    host_.answers = {IDYES};
    app_->Command(24339);
    QCoreApplication::processEvents();
    QCOMPARE(Windows(), 0);
    QCOMPARE(Slurp(f.toStdString()), std::string("keep\nmore\n"));
    QVERIFY(app_->AddFile(f));
    app_->ActiveView()->insertPlainText(QStringLiteral("x"));
    host_.answers = {IDNO};
    app_->Command(24339);
    QCoreApplication::processEvents();
    QCOMPARE(Windows(), 0);
    QCOMPARE(Slurp(f.toStdString()), std::string("keep\nmore\n"));
    // An unchanged document closes without a question.
    host_.boxes.clear();
    QVERIFY(app_->AddFile(f));
    app_->Command(24339);
    QCoreApplication::processEvents();
    QVERIFY(host_.boxes.empty());
  }

  void aFailedSaveIsReportedAndTheDocumentStaysChanged() {
    app_->Command(24331);
    auto* child = app_->ActiveChild();
    child->View()->insertPlainText(QStringLiteral("data"));
    SaveAsDialog = [&](const QString&) {
      return QString::fromStdString(dir_ + "no/such/dir/x.txt");
    };
    QVERIFY(!child->Save());
    QVERIFY(child->IsDirty());
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    // Closing then asks again; Yes that fails keeps the window open.
    host_.answers = {IDYES};
    child->close();
    QCoreApplication::processEvents();
    QCOMPARE(Windows(), 1);
  }

  void sendMailsACopyUnderTheDocumentsTitle() {
    launcher_.calls.clear();
    app_->Command(24331);
    auto* child = app_->ActiveChild();
    child->View()->insertPlainText(QStringLiteral("mail me"));
    QVERIFY(child->IsDirty());
    app_->UpdateCommandStates();
    QVERIFY(app_->Command(24345));
    QCOMPARE(launcher_.calls.size(), std::size_t(1));
    QCOMPARE(launcher_.calls[0].kind, std::string("mail"));
    const QString attached = QString::fromStdString(launcher_.calls[0].target);
    QVERIFY2(attached.endsWith(QStringLiteral("/Document")), qPrintable(attached));
    // The attachment is still there for the mail program to read.
    QCOMPARE(Slurp(attached.toStdString()), std::string("mail me"));
    QVERIFY(child->IsDirty());
    QVERIFY(child->Path().isEmpty());
    // A saved document goes under its own name and stays clean.
    const QString f = File("letter.txt", "dear\n");
    QVERIFY(app_->AddFile(f));
    QVERIFY(app_->Command(24345));
    QVERIFY(QString::fromStdString(launcher_.calls.back().target)
                .endsWith(QStringLiteral("/letter.txt")));
    QVERIFY(!app_->ActiveChild()->IsDirty());
    QCOMPARE(app_->ActiveChild()->Path(), f);
    // Without mail the command is not answered.
    launcher_.mailAvailable = false;
    QVERIFY(!app_->Command(24345));
    launcher_.mailAvailable = true;
  }

  void findResultsDoubleClickFollowsThePreference() {
    const std::string corpus = uitest::FreshDir("corpus");
    WriteFile(corpus + "alpha.txt", "the zebrafish swims\n");
    {
      WordCat cat(app_->DataFiles());
      cat.CreateWordCatalog(nullptr, {corpus});
    }
    auto openFromResults = [&](Host& host) {
      ShowMatchXfer x;
      x.MatchString = "zebrafish";
      ShowMatchDlg dlg(app_->DataFiles(), host, x, MainWin);
      dlg.BNClicked();
      auto* list = dlg.findChild<QListWidget*>();
      QVERIFY(list);
      QCOMPARE(list->count(), 1);
      list->setCurrentRow(0);
      list->item(0)->setSelected(true);
      dlg.LBNDblclk();
    };
    // Default: the file goes to its own application.
    SetListDblClkAction(0);
    launcher_.calls.clear();
    openFromResults(host_);
    QCOMPARE(Windows(), 0);
    QCOMPARE(launcher_.calls.size(), std::size_t(1));
    QCOMPARE(launcher_.calls[0].kind, std::string("open"));
    // "Open File in Zarns" chosen in Preferences: an editor window opens it
    // (through the program's own host, as when the program runs).
    SetListDblClkAction(1);
    launcher_.calls.clear();
    QtHost qtHost(app_->DataFiles());
    openFromResults(qtHost);
    QCOMPARE(Windows(), 1);
    QVERIFY(launcher_.calls.empty());
    QCOMPARE(app_->ActiveChild()->Path(), QString::fromStdString(corpus + "alpha.txt"));
    SetListDblClkAction(0);
  }

  void resetZarnsDeletesTheZarnFilesOnly() {
    for (DataFile n : {DataFile::kZarnNames, DataFile::kZarnValues, DataFile::kZarnTable,
                       DataFile::kZarnBrowse, DataFile::kPkgTable, DataFile::kPkgText,
                       DataFile::kPkgMembers, DataFile::kWordsBuf, DataFile::kExtensions})
      WriteFile(DataFilePath(n), "x");
    host_.answers.push_back(IDYES);  // the question Reset asks first
    QVERIFY(app_->Command(16));
    // Reset Zarns is the store's: the membership file goes with the zarns.
    for (DataFile n :
         {DataFile::kZarnNames, DataFile::kZarnValues, DataFile::kZarnTable, DataFile::kZarnBrowse,
          DataFile::kPkgTable, DataFile::kPkgText, DataFile::kPkgMembers})
      QVERIFY(!QFile::exists(QString::fromStdString(DataFilePath(n))));
    for (DataFile n : {DataFile::kWordsBuf, DataFile::kExtensions})
      QVERIFY(QFile::exists(QString::fromStdString(DataFilePath(n))));
  }

  void findReplaceAndFindNext() {
    app_->Command(24331);
    auto* view = app_->ActiveView();
    view->setPlainText(QStringLiteral("cat dog Cat catalog"));
    view->moveCursor(QTextCursor::Start);
    FindState s;
    s.what = QStringLiteral("cat");
    s.wholeWord = true;
    LastFind() = s;
    QVERIFY(app_->Command(24353));
    QCOMPARE(view->textCursor().selectionStart(), 0);
    QVERIFY(app_->Command(24353));
    QCOMPARE(view->textCursor().selectionStart(),
             8);  // "Cat": case ignored, "catalog" is no whole word
    QVERIFY(app_->Command(24353));
    QCOMPARE(view->textCursor().selectionStart(), 0);  // wrapped round
    s.with = QStringLiteral("cat cat");
    QCOMPARE(ReplaceAllInEdit(view, s), 2);
    QCOMPARE(view->toPlainText(), QStringLiteral("cat cat dog cat cat catalog"));
    view->undo();
    QCOMPARE(view->toPlainText(), QStringLiteral("cat dog Cat catalog"));
    s.what = QStringLiteral("zebra");
    LastFind() = s;
    QVERIFY(app_->Command(24353));
    QCOMPARE(host_.boxes.size(), std::size_t(1));
  }
};

ZARNS_UI_TEST_MAIN(ShellDocumentsTest)
#include "shell_documents_test.moc"
