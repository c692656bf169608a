// What the program says and asks: the questions before Reset Zarns and
// Destroy, the status line after a catalog build, launch failures, words
// too short for the catalog, the marked preference, and script output
// documents that are saved rather than left as changes.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "catalog/catlock.h"
#include "catalog/ui/zrnmtchd.h"
#include "catalog/ui/zrnsked.h"
#include "catalog/zrnwcat.h"
#include "common/recordinghost.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "shell/ui/qthost.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"
#include "ui/support/uitest.h"
#include "zarn/cmdids.h"
#include "zarn/ui/zrnsedtv.h"

class ShellFeedbackTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::unique_ptr<TZarnsApp> app_;
  QString oldCwd_;

  int Windows() const { return app_->Client()->subWindowList().size(); }
  QList<TZarnsMDIChild*> Children() const {
    QList<TZarnsMDIChild*> out;
    for (QMdiSubWindow* w : app_->Client()->subWindowList(QMdiArea::CreationOrder))
      out << qobject_cast<TZarnsMDIChild*>(w);
    return out;
  }
  // A new document holding `text`, active.
  zui::TZarnsEditView* NewDoc(const QString& text) {
    app_->Command(CM_FILENEW);
    zui::TZarnsEditView* v = app_->ActiveView();
    if (v) v->setPlainText(text);
    return v;
  }
  std::string Stored(std::string name) {
    std::string v;
    ZrnLvl1 s(app_->DataFiles());
    return s.Get(name, v) ? v : std::string("<none>");
  }

 private slots:
  void initTestCase() {
    // No system file types: a build then catalogs .txt files for their
    // words only, so the counts below do not depend on the MIME database.
    const std::string mime = uitest::Root() + "empty-mime.types";
    WriteFile(mime, "");
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO&, const QString&) {};
    app_ = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    app_->InitInstance();
    // Scripts write output.zrn in the current directory.
    oldCwd_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(uitest::FreshDir("cwd"))));
  }
  void cleanupTestCase() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      qobject_cast<TZarnsMDIChild*>(w)->SetDirty(false);
      w->close();
    }
    app_.reset();
    plat::SetLauncher(nullptr);
    QDir::setCurrent(oldCwd_);
  }
  void cleanup() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      qobject_cast<TZarnsMDIChild*>(w)->SetDirty(false);
      w->close();
    }
    QCoreApplication::processEvents();
    host_.boxes.clear();
    host_.answers.clear();
    launcher_.calls.clear();
    launcher_.result = true;
  }

  void resetZarnsAsksFirstWithNoTheDefault() {
    uitest::ClearDataDir();
    std::string n = "sig", v = " Best";
    {
      ZrnLvl1 s(app_->DataFiles());
      QVERIFY(s.Set(n, v));
    }
    // Enter (the box's default) and No both keep everything.
    for (int answer : {IDOK, IDNO, IDCANCEL}) {
      host_.boxes.clear();
      host_.answers = {answer};
      QVERIFY(app_->Command(CM_RESETZARNS));
      QCOMPARE(host_.boxes.size(), std::size_t(1));
      QCOMPARE(host_.boxes[0].text, std::string("Delete all stored zarns and packages?"));
      QCOMPARE(host_.boxes[0].flags & MB_TYPEMASK, unsigned(MB_YESNO));
      QCOMPARE(host_.boxes[0].flags & MB_DEFMASK, unsigned(MB_DEFBUTTON2));
      QCOMPARE(Stored("sig"), std::string(" Best"));
    }
    host_.boxes.clear();
    host_.answers = {IDYES};
    QVERIFY(app_->Command(CM_RESETZARNS));
    QCOMPARE(Stored("sig"), std::string("<none>"));
    QCOMPARE(host_.boxes.size(), std::size_t(2));
    QCOMPARE(host_.boxes[1].text, std::string("All stored zarns and packages were deleted."));
  }

  void theRealBoxMakesNoTheDefault() {
    QtHost real(app_->DataFiles());
    QMessageBox::StandardButton def = QMessageBox::NoButton;
    uitest::OnNextModal([&def](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      def = box->standardButton(box->defaultButton());
      QTest::keyClick(box, Qt::Key_Return);
    });
    const int answer = real.MessageBox("Delete all stored zarns and packages?", "Reset Zarns",
                                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    QCOMPARE(def, QMessageBox::No);
    QCOMPARE(answer, int(IDNO));
    // Without the flag the first button stays the default.
    uitest::OnNextModal([&def](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      def = box->standardButton(box->defaultButton());
      QTest::keyClick(box, Qt::Key_Return);
    });
    QCOMPARE(real.MessageBox("q", "c", MB_YESNO), int(IDYES));
    QCOMPARE(def, QMessageBox::Yes);
  }

  void destroyRemovesTheCatalogAfterAsking() {
    uitest::ClearDataDir();
    const char* catalog[] = {"LES1.007", "LESt1.007", "LES2.007", "LESi.007",
                             "IMS.007",  "NCS.007",   "DES.007",  "KEPb.007"};
    for (const char* f : catalog) WriteFile(plat::DataPath(f), "x");
    WriteFile(plat::DataPath("EMS.007"), "txt\n");
    host_.answers = {IDNO};
    QVERIFY(app_->Command(CM_WORDCATALOGDESTROY));
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].flags & MB_DEFMASK, unsigned(MB_DEFBUTTON2));
    for (const char* f : catalog) QVERIFY(QFile::exists(QString::fromStdString(plat::DataPath(f))));
    host_.boxes.clear();
    host_.answers = {IDYES};
    QVERIFY(app_->Command(CM_WORDCATALOGDESTROY));
    for (const char* f : catalog)
      QVERIFY2(!QFile::exists(QString::fromStdString(plat::DataPath(f))), f);
    QVERIFY(QFile::exists(QString::fromStdString(plat::DataPath("EMS.007"))));
    QCOMPARE(host_.boxes.size(), std::size_t(2));
    QCOMPARE(host_.boxes[1].text, std::string("The word catalog was deleted."));
  }

  // While a build runs the catalog would come back when it ends: Destroy
  // says so and removes nothing.
  void destroyWhileABuildRunsSaysSo() {
    uitest::ClearDataDir();
    const char* catalog[] = {"LES1.007", "LESt1.007", "LESi.007", "IMS.007", "NCS.007"};
    for (const char* f : catalog) WriteFile(plat::DataPath(f), "x");
    CatalogLock build(CatalogLock::Kind::Build);
    QVERIFY(build.Held());
    host_.boxes.clear();
    host_.answers = {IDYES};
    QVERIFY(app_->Command(CM_WORDCATALOGDESTROY));
    QCOMPARE(host_.boxes.size(), std::size_t(2));
    QCOMPARE(
        host_.boxes[1].text,
        std::string("A word catalog build is running. Destroy the catalog when it has ended."));
    for (const char* f : catalog) QVERIFY(QFile::exists(QString::fromStdString(plat::DataPath(f))));
  }

  void nowBuildEndsWithTheStatusLine() {
    uitest::ClearDataDir();
    const std::string dir = uitest::FreshDir("tree");
    WriteFile(dir + "a.txt", "giraffe elephant\n");
    WriteFile(dir + "b.txt", "elephant zebra\n");
    QVERIFY(SetCatalogRoots({dir}));
    MainWin->statusBar()->clearMessage();
    uitest::OnNextModal([](QWidget* w) {
      QTimer::singleShot(
          0, w, [w] { QTest::mouseClick(uitest::ById<QPushButton>(w, 7110), Qt::LeftButton); });
    });
    QVERIFY(app_->Command(CM_SKED));
    const QString msg = MainWin->statusBar()->currentMessage();
    QVERIFY2(msg.startsWith(QStringLiteral("Catalog built: 2 files, 3 words in ")),
             qPrintable(msg));
    QVERIFY(msg.endsWith(QStringLiteral(" s")));
    // Cancel in the dialog builds nothing and says nothing.
    MainWin->statusBar()->clearMessage();
    uitest::OnNextModal([](QWidget* w) {
      QTimer::singleShot(0, w, [w] { uitest::ById<QPushButton>(w, 2)->click(); });
    });
    QVERIFY(app_->Command(CM_SKED));
    QCOMPARE(MainWin->statusBar()->currentMessage(), QString());
  }

  void aFailedLaunchIsTold() {
    launcher_.result = false;
    zui::TZarnsEditView* v = NewDoc(QStringLiteral("phone 555-1234"));
    QVERIFY(v);
    QTextCursor c = v->textCursor();
    c.setPosition(2);
    v->setTextCursor(c);
    QVERIFY(app_->Command(CM_PHONE));
    QCOMPARE(launcher_.calls.size(), std::size_t(1));
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].text, plat::LaunchFailedText("tel:" + launcher_.calls[0].target));
    // A launch that works says nothing.
    launcher_.result = true;
    host_.boxes.clear();
    QVERIFY(app_->Command(CM_PHONE));
    QVERIFY(host_.boxes.empty());
  }

  void findSaysWhichWordsAreTooShort() {
    uitest::ClearDataDir();
    const std::string dir = uitest::FreshDir("short");
    WriteFile(dir + "pets.txt", "the cat and the kitten\n");
    {
      WordCat cat(app_->DataFiles());
      cat.CreateWordCatalog(nullptr, {dir});
    }
    RecordingHost rec;
    ShowMatchDlg dlg(app_->DataFiles(), rec, ShowMatchXfer{});
    dlg.show();
    auto* words = uitest::ById<QLineEdit>(&dlg, 171);
    auto* note = dlg.findChild<QLabel*>(QStringLiteral("shortWords"));
    QVERIFY(note);
    words->setText(QStringLiteral("cat kitten"));
    dlg.BNClicked();
    QCOMPARE(note->text(),
             QStringLiteral("Words of fewer than 4 letters are not in the catalog: cat"));
    QVERIFY(rec.boxes.empty());  // said in the dialog, not in a box
    QVERIFY(note->isVisible());
    QVERIFY(note->geometry().top() >= uitest::ById<QLabel>(&dlg, 295)->geometry().bottom());
    words->setText(QStringLiteral("to,an"));
    dlg.BNClicked();
    QCOMPARE(note->text(),
             QStringLiteral("Words of fewer than 4 letters are not in the catalog: to, an"));
    QVERIFY(rec.boxes.empty());
    // Catalog-sized words: the note goes, the no-match box is as before.
    words->setText(QStringLiteral("xyzzy"));
    dlg.BNClicked();
    QCOMPARE(note->text(), QString());
    QCOMPARE(rec.boxes.size(), std::size_t(1));
  }

  void testZarnOutputIsSavedAndUnchanged() {
    QFile::remove(QStringLiteral("output.zrn"));
    zui::TZarnsEditView* v = NewDoc(QStringLiteral("3 + 4\n>> done"));
    QVERIFY(v);
    host_.answers = {IDOK};  // the listing box
    QVERIFY(app_->Command(CM_TESTZARN));
    QCOMPARE(Windows(), 2);
    TZarnsMDIChild* out = Children().back();
    QVERIFY(!out->IsDirty());
    QVERIFY(!out->isWindowModified());
    QFile f(QStringLiteral("output.zrn"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray disk = f.readAll();
    QVERIFY2(disk.startsWith("7 "), disk.constData());
    QVERIFY(disk.contains(">> done"));
    // A second run: one more output document, also unchanged.
    app_->Client()->setActiveSubWindow(Children().front());
    host_.answers = {IDOK};
    QVERIFY(app_->Command(CM_TESTZARN));
    QCOMPARE(Windows(), 3);
    QVERIFY(!Children().back()->IsDirty());
    // Exit asks about the one document really changed, once.
    Children().front()->SetDirty(true);
    host_.boxes.clear();
    host_.answers = {IDCANCEL};
    QVERIFY(!app_->CanClose());
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QVERIFY(host_.boxes[0].text.find("has changed") != std::string::npos);
  }

  void savedScriptFromTheEditorOpensOneOutput() {
    QFile::remove(QStringLiteral("output.zrn"));
    zui::TZarnsEditView* script = NewDoc(QStringLiteral("zarn twice\n2 * 21\n>> end"));
    QVERIFY(script);
    QTextCursor c = script->textCursor();
    c.setPosition(1);
    script->setTextCursor(c);
    QVERIFY(app_->Command(CM_SAVEZARN));
    QVERIFY(host_.boxes.empty());
    Children().front()->SetDirty(false);
    zui::TZarnsEditView* v = NewDoc(QStringLiteral("twice"));
    const int before = Windows();
    QVERIFY(app_->Command(CM_RUNZARN));
    QCOMPARE(Windows(), before + 1);  // one output document
    QVERIFY(host_.boxes.empty());     // no listing box for a saved script
    QCOMPARE(v->toPlainText(), QStringLiteral("twice"));
    TZarnsMDIChild* out = Children().back();
    QVERIFY(!out->IsDirty());
    QFile f(QStringLiteral("output.zrn"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith("42 "));
  }
};

ZARNS_UI_TEST_MAIN(ShellFeedbackTest)
#include "shell_feedback_test.moc"
