// The catalog's dialogs: Find results (search, highlight, double click, the
// OK button, geometry), the build's progress dialog, the "Input Required"
// box, the zarn-name prompt, the cataloging dialog with a real "Now" build
// and the start-up question, and the Qt host's message boxes.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "catalog/buildprogress.h"
#include "catalog/catlock.h"
#include "catalog/ui/zrndlg.h"
#include "catalog/ui/zrnmtchd.h"
#include "catalog/ui/zrnsked.h"
#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "common/recordinghost.h"
#include "framework/uihooks.h"
#include "platform/plauncher.h"
#include "shell/ui/qthost.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrninput.h"
#include "zarn/zarnctx.h"

namespace fs = std::filesystem;

namespace {
QStringList Items(QListWidget* list) {
  QStringList out;
  for (int i = 0; list && i < list->count(); ++i) out << list->item(i)->text();
  return out;
}
QString LabelText(QWidget* w, int id) {
  auto* l = uitest::ById<QLabel>(w, id);
  return l ? l->text() : QStringLiteral("<missing %1>").arg(id);
}
QString ButtonText(QWidget* w, int id) {
  auto* b = uitest::ById<QPushButton>(w, id);
  return b ? b->text() : QStringLiteral("<missing %1>").arg(id);
}
}  // namespace

class CatalogDialogsTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  RecordingHost recorder_;
  std::string catDir_;

  // A catalog over a few small files.
  void BuildCatalog() {
    catDir_ = uitest::FreshDir("docs");
    fs::create_directories(catDir_ + "sub");
    WriteFile(catDir_ + "pets.txt", "the kitten and the puppy\n");
    WriteFile(catDir_ + "cats.txt", "a kitten alone with a mouse\n");
    WriteFile(catDir_ + "dogs.txt", "puppies only, puppy here\n");
    WriteFile(catDir_ + "sub/pets.txt", "another kitten meets a puppy\n");
    WordCat builder(files_);
    SilentProgress quiet;
    builder.CreateWordCatalog(&quiet, {catDir_});
  }

  // The relations catalogingDialogFitsAnyFont checks, for one font.
  static void ExpectSkedFits(ZrnSked& dlg, const QString& what) {
    const QByteArray font = what.toUtf8();
    dlg.show();
    QLabel* head = nullptr;
    QLabel* body = nullptr;
    QList<QWidget*> below{uitest::ById<QWidget>(&dlg, 9)};
    for (QLabel* l : dlg.findChildren<QLabel*>()) {
      if (l->text().startsWith("Create"))
        head = l;
      else if (l->text().startsWith("-access"))
        body = l;
      else
        below << l;
    }
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
      const bool frame = w->metaObject() == &QFrame::staticMetaObject;
      if (frame || qobject_cast<QCheckBox*>(w) || qobject_cast<QLineEdit*>(w) ||
          qobject_cast<QScrollBar*>(w))
        below << w;
    }
    QVERIFY2(head && body, font);
    QCOMPARE(below.size(), 1 + 3 + 3 + 5 + 4 + 4);
    const QRect visible = dlg.rect();
    for (QLabel* l : {head, body}) {
      QVERIFY2(visible.contains(l->geometry()), font);
      QVERIFY2(l->height() >= l->heightForWidth(l->width()), font);  // every wrapped line
      QVERIFY2(l->width() >= l->minimumSizeHint().width(), font);    // the longest word
    }
    QVERIFY2(!head->geometry().intersects(body->geometry()), font);
    auto* now = uitest::ById<QPushButton>(&dlg, 7110);
    auto* cancel = uitest::ById<QPushButton>(&dlg, 2);
    for (QPushButton* b : {now, cancel}) {
      QVERIFY2(visible.contains(b->geometry()), font);
      QVERIFY2(b->width() >= b->sizeHint().width(), font);
      QVERIFY2(b->height() >= b->sizeHint().height(), font);
      QVERIFY2(!b->geometry().intersects(head->geometry()), font);
      QVERIFY2(!b->geometry().intersects(body->geometry()), font);
    }
    QVERIFY2(!now->geometry().intersects(cancel->geometry()), font);
    for (QWidget* w : below)
      QVERIFY2(
          w->geometry().top() >= visible.height(),
          qPrintable(
              QString("%1: %2 %3 shows").arg(what, w->metaObject()->className(), w->objectName())));
  }

 private slots:
  void initTestCase() {
    const std::string mime = uitest::Root() + "mime.types";
    WriteFile(mime, "text/plain\t\t\ttxt\n");
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    uitest::InstallModalGuard();
    BuildCatalog();
  }
  void init() { recorder_ = RecordingHost(); }
  void cleanup() {
    uihooks::OpenDocument = nullptr;
    uihooks::ListDblClkAction = nullptr;
    plat::SetLauncher(nullptr);
  }

  void findResultsControlsAndTexts() {
    ShowMatchDlg dlg(files_, recorder_, ShowMatchXfer{});
    QCOMPARE(dlg.objectName(), QString("193"));
    QCOMPARE(dlg.windowTitle(), QString("Zarns Find Results"));
    auto* list = uitest::ById<QListWidget>(&dlg, 172);
    QVERIFY(list);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    auto* words = uitest::ById<QLineEdit>(&dlg, 171);
    QVERIFY(words);
    QCOMPARE(words->maxLength(), 255);
    auto* path = uitest::ById<QLineEdit>(&dlg, 9402);
    QVERIFY(path);
    QCOMPARE(path->maxLength(), 255);
    QCOMPARE(LabelText(&dlg, 295), QString("Double click to open, or highlight and click OK"));
    QCOMPARE(ButtonText(&dlg, 294), QString("OK"));
    QCOMPARE(ButtonText(&dlg, 2), QString("Cancel"));
    QCOMPARE(ButtonText(&dlg, 9), QString("Help"));
    bool hasWordsLabel = false;
    for (QLabel* l : dlg.findChildren<QLabel*>())
      hasWordsLabel |= l->text() == "Words to Match (separate with space character)";
    QVERIFY(hasWordsLabel);
    dlg.show();
    QVERIFY(!path->isVisible());  // until a file is highlighted

    // The layout follows the size.
    dlg.resize(600, 450);
    QCOMPARE(list->geometry(), QRect(14, 71, 600 - 136, 450 - 138));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 294)->geometry(), QRect(490, 8, 90, 30));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 2)->geometry(), QRect(490, 52, 90, 30));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 9)->geometry(), QRect(490, 92, 90, 30));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 295)->geometry(), QRect(4, 390, 280, 20));
  }

  void transferFillsTheControlsSorted() {
    ShowMatchXfer x;
    x.ListOfMatches = {{"zeta.txt", 7}, {"alpha.txt", 3}, {"mid.txt", 5}};
    x.MatchString = "cat dog";
    x.PathString = "/some/dir";
    ShowMatchDlg dlg(files_, recorder_, x);
    QCOMPARE(Items(uitest::ById<QListWidget>(&dlg, 172)),
             (QStringList{"alpha.txt", "mid.txt", "zeta.txt"}));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 171)->text(), QString("cat dog"));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 9402)->text(), QString("/some/dir"));
    const ShowMatchXfer back = dlg.Transfer();
    QCOMPARE(back.ListOfMatches.size(), std::size_t(3));
    QCOMPARE(back.ListOfMatches[0].fileid, 3u);
    QCOMPARE(back.MatchString, std::string("cat dog"));
  }

  void searchFindsFilesHoldingEveryWord() {
    ShowMatchDlg dlg(files_, recorder_, ShowMatchXfer{});
    dlg.show();
    auto* words = uitest::ById<QLineEdit>(&dlg, 171);
    auto* list = uitest::ById<QListWidget>(&dlg, 172);
    // Case is ignored, comma and blank both separate; Enter runs the search
    // and leaves the dialog open.
    words->setText("Kitten, PUPPY");
    QTest::keyClick(words, Qt::Key_Return);
    QCOMPARE(Items(list), (QStringList{"pets.txt", "pets.txt"}));
    QVERIFY(dlg.isVisible());
    QVERIFY(recorder_.boxes.empty());
    // One word: every file that holds it.
    words->setText("kitten");
    dlg.BNClicked();
    QCOMPARE(Items(list), (QStringList{"cats.txt", "pets.txt", "pets.txt"}));
    // A word in no file beside one that is found: empty list, no box.
    words->setText("kitten xyzzy");
    dlg.BNClicked();
    QCOMPARE(list->count(), 0);
    QVERIFY(recorder_.boxes.empty());
    // Nothing found at all: the box.
    words->setText("xyzzy");
    dlg.BNClicked();
    QCOMPARE(recorder_.boxes.size(), std::size_t(1));
    QCOMPARE(recorder_.boxes[0].text, std::string("No Match found"));
    QCOMPARE(recorder_.boxes[0].caption, std::string("Search strings not found"));
    QCOMPARE(recorder_.boxes[0].flags & MB_TYPEMASK, unsigned(MB_OKCANCEL));
    // An empty field searches for nothing.
    words->clear();
    dlg.BNClicked();
    QCOMPARE(recorder_.boxes.size(), std::size_t(2));
  }

  void highlightShowsTheDirectory() {
    ShowMatchDlg dlg(files_, recorder_, ShowMatchXfer{});
    dlg.show();
    uitest::ById<QLineEdit>(&dlg, 171)->setText("mouse");
    dlg.BNClicked();
    auto* list = uitest::ById<QListWidget>(&dlg, 172);
    QCOMPARE(Items(list), QStringList{"cats.txt"});
    list->setCurrentRow(0);
    auto* path = uitest::ById<QLineEdit>(&dlg, 9402);
    QVERIFY(path->isVisible());
    const std::string dir = catDir_.substr(0, catDir_.size() - 1);
    QCOMPARE(path->text().toStdString(), catDir_);  // a catalog root keeps its "/"
  }

  void doubleClickFollowsThePreference() {
    plat::RecordingLauncher launcher;
    plat::SetLauncher(&launcher);
    ShowMatchDlg dlg(files_, recorder_, ShowMatchXfer{});
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    uitest::ById<QLineEdit>(&dlg, 171)->setText("mouse");
    dlg.BNClicked();
    auto* list = uitest::ById<QListWidget>(&dlg, 172);
    list->setCurrentRow(0);
    const std::string file = catDir_ + "cats.txt";
    // Without a preference: the file's own application.
    dlg.LBNDblclk();
    QCOMPARE(launcher.calls.size(), std::size_t(1));
    QCOMPARE(launcher.calls[0].kind, std::string("open"));
    QVERIFY2(launcher.calls[0].target == file, launcher.calls[0].target.c_str());
    QVERIFY(recorder_.addedFiles.empty());
    // "Open File in Zarns": an editor view on the file itself.
    uihooks::ListDblClkAction = [] { return 1; };
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(recorder_.addedFiles, std::vector<std::string>{file});
    QCOMPARE(launcher.calls.size(), std::size_t(1));
    // OK with a highlighted file opens it the same way.
    QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 294), Qt::LeftButton);
    QCOMPARE(recorder_.addedFiles.size(), std::size_t(2));
  }

  void okWithoutHighlightRunsTheSearch() {
    ShowMatchDlg dlg(files_, recorder_, ShowMatchXfer{});
    dlg.show();
    uitest::ById<QLineEdit>(&dlg, 171)->setText("mouse");
    QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 294), Qt::LeftButton);
    QCOMPARE(Items(uitest::ById<QListWidget>(&dlg, 172)), QStringList{"cats.txt"});
  }

  void binaryFileOpensAsAPlainTextCopy() {
    const std::string dir = uitest::FreshDir("bin");
    const std::string file = dir + "data.bin";
    const std::string bytes("head\0\x01\x02 text\tmore\n\xff end", 23);
    WriteFile(file, bytes);
    WriteFile(dir + "data.zrn", "a file of the user's own");
    QStringList opened;
    uihooks::OpenDocument = [&opened](const QString& p) {
      opened << p;
      return true;
    };
    QtHost host(files_);
    ShowMatchDlg dlg(files_, host, ShowMatchXfer{});
    QVERIFY(dlg.AddFile(file));
    QCOMPARE(opened.size(), 1);
    const std::string copy = opened[0].toStdString();
    QCOMPARE(copy, PlainTextCopyPath(file));
    QVERIFY(copy.find("/copies/data.zrn") != std::string::npos);
    const std::string text = Slurp(copy);
    QVERIFY(text.find('\x01') == std::string::npos);
    QVERIFY(text.find("head") == 0);
    QVERIFY(text.find("text\tmore\n") != std::string::npos);
    // Nothing beside the original changed.
    QCOMPARE(Slurp(file), bytes);
    QCOMPARE(Slurp(dir + "data.zrn"), std::string("a file of the user's own"));
  }

  void progressDialogControls() {
    ZDialog dlg(nullptr);
    QCOMPARE(dlg.objectName(), QString("15"));
    QCOMPARE(dlg.windowTitle(), QString("Creating Word Catalog"));
    QCOMPARE(LabelText(&dlg, 9358), QString("Processing...  "));
    QCOMPARE(LabelText(&dlg, 9354), QString("Create Directory Map "));
    QCOMPARE(LabelText(&dlg, 9353), QString("Create Word Catalog "));
    QCOMPARE(LabelText(&dlg, 9360), QString("Create FileType Lists "));
    QCOMPARE(LabelText(&dlg, 9352), QString("-->"));
    QCOMPARE(LabelText(&dlg, 9355), QString("Active Directories: "));
    QCOMPARE(LabelText(&dlg, 9356), QString("  0"));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 9358)->geometry(), QRect(40, 10, 150, 20));
    QCOMPARE(uitest::ById<QWidget>(&dlg, 9356)->geometry(), QRect(320, 100, 50, 20));
    auto* gauge = uitest::ById<QProgressBar>(&dlg, 6101);
    QVERIFY(gauge);
    QCOMPARE(gauge->geometry(), QRect(20, 100, 140, 30));
    QCOMPARE(ButtonText(&dlg, 2), QString("Cancel"));
    QCOMPARE(ButtonText(&dlg, 9), QString("Help"));

    // The stage marker moves between the passes.
    dlg.SetCreateCatalogCurrent();
    QCOMPARE(LabelText(&dlg, 9352).trimmed(), QString());
    QCOMPARE(LabelText(&dlg, 9351), QString("-->"));
    dlg.SetCreateFileListCurrent();
    QCOMPARE(LabelText(&dlg, 9351).trimmed(), QString());
    QCOMPARE(LabelText(&dlg, 9359), QString("-->"));
    dlg.SetCreateDirMapCurrent();
    QCOMPARE(LabelText(&dlg, 9352), QString("-->"));
    dlg.SetHeadText("Drive /home/");
    QCOMPARE(LabelText(&dlg, 9358), QString("Drive /home/"));
    dlg.SetDirNumText(1200);
    QCOMPARE(LabelText(&dlg, 9356), QString("1200"));

    // The gauge: range 1..Max, one step per directory, back to the start at the top.
    dlg.show();
    dlg.SetMax(3);
    QCOMPARE(gauge->minimum(), 1);
    QCOMPARE(gauge->maximum(), 3);
    QVERIFY(dlg.StepVal("/a/b"));
    QCOMPARE(dlg.windowTitle(), QString("/a/b"));
    QCOMPARE(gauge->value(), 2);
    QVERIFY(dlg.StepVal("/a/c"));
    QCOMPARE(gauge->value(), 1);
    QCOMPARE(gauge->text(), QString("Directory # 1"));

    // Cancel closes the dialog and the next step answers false.
    QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 2), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QVERIFY(!dlg.StepVal("/a/d"));
    QVERIFY(!dlg.isVisible());
  }

  void cancelStopsARunningBuild() {
    const std::string dir = uitest::FreshDir("many");
    for (int i = 0; i < 30; ++i) {
      fs::create_directories(dir + "d" + std::to_string(i));
      WriteFile(dir + "d" + std::to_string(i) + "/f.txt", "words inside\n");
    }
    ZDialog dlg(nullptr);
    dlg.show();
    int steps = 0;
    // The build lets events through per directory: a click on Cancel lands.
    QTimer::singleShot(
        0, &dlg, [&dlg] { QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 2), Qt::LeftButton); });
    struct Counting : BuildProgress {
      ZDialog& d;
      int& n;
      Counting(ZDialog& dd, int& nn) : d(dd), n(nn) {}
      void SetMax(int m) override { d.SetMax(m); }
      void SetHeadText(const std::string& t) override { d.SetHeadText(t); }
      void SetCreateDirMapCurrent() override { d.SetCreateDirMapCurrent(); }
      void SetCreateCatalogCurrent() override { d.SetCreateCatalogCurrent(); }
      void SetCreateFileListCurrent() override { d.SetCreateFileListCurrent(); }
      void SetDirNumText(int x) override { d.SetDirNumText(x); }
      bool StepVal(const std::string& s) override {
        ++n;
        return d.StepVal(s);
      }
    } counting(dlg, steps);
    WordCat builder(files_);
    builder.CreateWordCatalog(&counting, {dir});
    QVERIFY(!dlg.Continue());
    QVERIFY2(steps < 30, QByteArray::number(steps).constData());
    BuildCatalog();  // the shared catalog back for the other cases
  }

  void inputRequiredBox() {
    ZReqDlg dlg("Enter the amount", "Input Required");
    QCOMPARE(dlg.objectName(), QString("216"));
    QCOMPARE(dlg.windowTitle(), QString("Input Required"));
    auto* entry = uitest::ById<QLineEdit>(&dlg, 1);
    QVERIFY(entry);
    QCOMPARE(entry->maxLength(), 20);
    QCOMPARE(entry->geometry(), QRect(40, 60, 140, 20));
    QCOMPARE(LabelText(&dlg, 2), QString("Enter the amount"));
    QCOMPARE(ButtonText(&dlg, 3201), QString("OK"));
    dlg.show();
    // The request text lies inside the box.
    QVERIFY(dlg.rect().contains(uitest::ById<QWidget>(&dlg, 2)->geometry()));

    // Through the host: the value typed comes back; Escape gives nothing.
    QtHost host(files_);
    uitest::OnNextModal([](QWidget* w) {
      QTest::keyClicks(uitest::ById<QLineEdit>(w, 1), "forty two");
      QTest::mouseClick(uitest::ById<QPushButton>(w, 3201), Qt::LeftButton);
    });
    QCOMPARE(host.InputRequired("How much?", "Input Required"),
             std::optional<std::string>("forty two"));
    uitest::OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(host.InputRequired("How much?", "Input Required"), std::optional<std::string>());
  }

  void zarnNamePrompt() {
    RecordingHost rec;
    ZarnContext ctx(rec, files_);
    ctx.GlobalString = "before";
    {
      ZrnInput dlg(&ctx);
      auto* edit = uitest::ById<QLineEdit>(&dlg, 1076);
      QVERIFY(edit);
      QCOMPARE(edit->text(), QString(" this"));
      QCOMPARE(edit->maxLength(), 20);
      QCOMPARE(LabelText(&dlg, 2), QString("Enter ZarnName"));
      dlg.show();
      QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 1073), Qt::LeftButton);
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
      QCOMPARE(ctx.GlobalString, std::string("before"));
    }
    {
      ZrnInput dlg(&ctx);
      dlg.show();
      uitest::ById<QLineEdit>(&dlg, 1076)->setText("twentycharacterslong");
      QTest::mouseClick(uitest::ById<QPushButton>(&dlg, 1), Qt::LeftButton);
      QCOMPARE(dlg.result(), int(QDialog::Accepted));
      QCOMPARE(ctx.GlobalString, std::string("twentycharacterslon"));  // 19 characters
    }
    {
      // A cut never leaves half a character.
      ZrnInput dlg(&ctx);
      dlg.show();
      uitest::ById<QLineEdit>(&dlg, 1076)->setText(QString::fromUtf8("abcdefghijklmnopqr\xc3\xa9"));
      dlg.BNOKClicked();
      QCOMPARE(ctx.GlobalString, std::string("abcdefghijklmnopqr"));
      QCOMPARE(dlg.Result(), std::string("abcdefghijklmnopqr"));
    }
    {
      // Without a context the name is only the dialog's answer.
      ZrnInput dlg(nullptr);
      dlg.show();
      uitest::ById<QLineEdit>(&dlg, 1076)->setText("loose");
      dlg.BNOKClicked();
      QCOMPARE(dlg.Result(), std::string("loose"));
      QCOMPARE(ctx.GlobalString, std::string("abcdefghijklmnopqr"));
    }
  }

  void catalogingDialogTextsAndControls() {
    ZrnSked dlg(files_);
    QCOMPARE(dlg.objectName(), QString("6"));
    QCOMPARE(dlg.windowTitle(), QString());
    QStringList texts;
    for (QLabel* l : dlg.findChildren<QLabel*>()) texts << l->text();
    QVERIFY(texts.contains(
        "Create a Zarns Catalog (times will vary depending on computer speed and disk size)"));
    QVERIFY(texts.contains(
        "-access nearly every refernce to any word on your   computer, not just filenames, but "
        "text in files. -creates file catalogs by filetype"));
    QCOMPARE(ButtonText(&dlg, 7110), QString("Now"));
    QCOMPARE(ButtonText(&dlg, 2), QString("Cancel"));
    QCOMPARE(ButtonText(&dlg, 9), QString("Help"));
    QStringList boxes;
    for (QCheckBox* c : dlg.findChildren<QCheckBox*>("105")) boxes << c->text();
    QCOMPARE(boxes, (QStringList{"Daily", "Weekly", "Monthly", "at StartUp", "at ShutDown"}));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 101)->text(), QString("22"));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 103)->text(), QString("30"));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 106)->text(), QString("Fridays"));
    QCOMPARE(uitest::ById<QLineEdit>(&dlg, 108)->text(), QString("1st"));
    for (int id : {102, 104, 107, 109}) QVERIFY(uitest::ById<QWidget>(&dlg, id));
    dlg.show();
    // The user sees the texts and "Now" and "Cancel"; the schedule lies below.
    for (QLabel* l : dlg.findChildren<QLabel*>())
      if (l->text().startsWith("Create") || l->text().startsWith("-access"))
        QVERIFY(dlg.rect().contains(l->geometry()));
    QVERIFY(dlg.rect().contains(uitest::ById<QWidget>(&dlg, 7110)->geometry()));
    QVERIFY(dlg.rect().contains(uitest::ById<QWidget>(&dlg, 2)->geometry()));
    QVERIFY(!dlg.rect().intersects(dlg.findChildren<QCheckBox*>("105").first()->geometry()));
  }

  // Whatever the font, the visible part holds both texts and "Now" and
  // "Cancel" whole, none of them overlap, and every scheduling control and
  // "Help" lie wholly below it. Measured against the widgets' own size
  // wishes, so the fonts installed on the machine do not matter.
  void catalogingDialogFitsAnyFont() {
    {
      ZrnSked dlg(files_);
      const int nominalHeight = dlg.height();
      ExpectSkedFits(dlg, "the dialog's own font");
      if (QTest::currentTestFailed()) return;
      QFont f = dlg.font();
      int lastHeight = 0;
      for (int size : {6, 12, 18, 26}) {
        f.setPointSize(size);
        dlg.setFont(f);
        ExpectSkedFits(dlg, QString("%1 pt").arg(size));
        if (QTest::currentTestFailed()) return;
        QVERIFY(dlg.height() >= lastHeight);
        lastHeight = dlg.height();
      }
      // Large type needs more room than the nominal size gives it.
      QVERIFY(lastHeight > nominalHeight);
    }
    // Another application font reaches the dialog's texts through what the
    // dialog's own font leaves open (here: weight and letter spacing).
    const QFont appFont = QApplication::font();
    const auto restore = qScopeGuard([&appFont] { QApplication::setFont(appFont); });
    QFont wide = appFont;
    wide.setBold(true);
    wide.setLetterSpacing(QFont::PercentageSpacing, 180);
    QApplication::setFont(wide);
    ZrnSked dlg(files_, "No Zarns Catalog Exists, Create Now or Schedule later?", nullptr);
    QVERIFY(dlg.font().bold());
    ExpectSkedFits(dlg, "a bold, widely spaced application font");
  }

  void startupQuestionCancelBuildsNothing() {
    uitest::ClearDataDir();
    ZrnSked dlg(files_, "No Zarns Catalog Exists, Create Now or Schedule later?", nullptr);
    QCOMPARE(dlg.windowTitle(), QString("No Zarns Catalog Exists, Create Now or Schedule later?"));
    uitest::OnNextModal(
        [](QWidget* w) { QTest::mouseClick(uitest::ById<QPushButton>(w, 2), Qt::LeftButton); });
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QVERIFY(!fs::exists(uitest::Root() + "data/EMSVt.007"));
    ZrnIO probe;
    probe.OpenFiles("r");
    QCOMPARE(probe.TestFiles(), 0);
    probe.CloseFiles();
  }

  void nowBuildsTheCatalogWithTheProgressDialog() {
    uitest::ClearDataDir();
    const std::string dir = uitest::FreshDir("now");
    WriteFile(dir + "notes.txt", "giraffe spotted today\n");
    QVERIFY(SetCatalogRoots({dir}));
    ZrnSked dlg(files_, "No Zarns Catalog Exists, Create Now or Schedule later?", nullptr);
    bool progressSeen = false;
    uitest::OnNextModal([&progressSeen](QWidget* w) {
      // While the build runs, its progress dialog is up and this one answers nothing.
      QTimer::singleShot(0, w, [w, &progressSeen] {
        QTest::mouseClick(uitest::ById<QPushButton>(w, 7110), Qt::LeftButton);
      });
      auto* probe = new QTimer(w);
      QObject::connect(probe, &QTimer::timeout, w, [w, &progressSeen] {
        if (auto* p = w->findChild<ZDialog*>(); p && p->isVisible()) {
          progressSeen = true;
          QVERIFY(!uitest::ById<QPushButton>(w, 7110)->isEnabled());
        }
      });
      probe->start(0);
    });
    QCOMPARE(dlg.exec(), kSkedDone);
    QVERIFY(dlg.LastBuildCompleted());
    QVERIFY(progressSeen);
    // The catalog is there and finds the word.
    WordView view(files_, recorder_, recorder_);
    view.FindName = "giraffe";
    view.InterpretWords();
    QCOMPARE(view.HitList.size(), std::size_t(1));
    QCOMPARE(view.HitList[0].name, std::string("notes.txt"));
    BuildCatalog();
  }

  // "Now" while another build holds the build lock: a message box says so,
  // and the catalog in place is left as it was.
  void nowWhileAnotherBuildRunsSaysSo() {
    const std::string before = ReadData("IMS.007");
    CatalogLock running(CatalogLock::Kind::Build);
    QVERIFY(running.Held());
    ZrnSked dlg(files_, nullptr);
    QString text;
    uitest::OnNextModal([&text](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    dlg.BNClicked();
    QCOMPARE(text, QString("A catalog build is already running. This one was not started."));
    QVERIFY(!dlg.LastBuildCompleted());
    QCOMPARE(ReadData("IMS.007"), before);
  }

  void hostPromptsForANameAndAFile() {
    QtHost host(files_);
    ZarnContext ctx(host, files_);
    host.SetZarnContext(&ctx);
    uitest::OnNextModal([](QWidget* w) {
      auto* edit = uitest::ById<QLineEdit>(w, 1076);
      QVERIFY(edit);
      QCOMPARE(edit->text(), QString("mypkg"));
      edit->setText("greetings");
      QTest::mouseClick(uitest::ById<QPushButton>(w, 1), Qt::LeftButton);
    });
    QCOMPARE(host.AskZarnName("mypkg"), std::optional<std::string>("greetings"));
    QCOMPARE(ctx.GlobalString, std::string("greetings"));
    uitest::OnNextModal(
        [](QWidget* w) { QTest::mouseClick(uitest::ById<QPushButton>(w, 1073), Qt::LeftButton); });
    QCOMPARE(host.AskZarnName(""), std::optional<std::string>());
    QCOMPARE(ctx.GlobalString, std::string("greetings"));
    // The file-open dialog: its title, and nothing when cancelled.
    QString title;
    uitest::OnNextModal([&title](QWidget* w) {
      title = w->windowTitle();
      QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(host.OpenFileDialog("Load Zarn Package", "Packages (*.pkg)"),
             std::optional<std::string>());
    QCOMPARE(title, QString("Load Zarn Package"));
  }

  void hostMessageBoxes() {
    QtHost host(files_);
    QString title, text;
    QStringList buttons;
    uitest::OnNextModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      title = box->windowTitle();
      text = box->text();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      box->button(QMessageBox::Cancel)->click();
    });
    QCOMPARE(host.MessageBox("Line one\r\nline two", "Caption here", MB_OKCANCEL), int(IDCANCEL));
    QCOMPARE(title, QString("Caption here"));
    QCOMPARE(text, QString("Line one\nline two"));
    QCOMPARE(buttons.size(), 2);
    uitest::OnNextModal(
        [](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click(); });
    QCOMPARE(host.MessageBox("x", "y", MB_OKCANCEL), int(IDOK));
    uitest::OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(host.MessageBox("x", "y", MB_YESNO), int(IDNO));
    uitest::OnNextModal(
        [](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click(); });
    QCOMPARE(host.MessageBox("x", "y", MB_YESNOCANCEL | MB_ICONQUESTION), int(IDYES));
    // AddFile goes to the application's hook, and fails without one.
    QVERIFY(!host.AddFile("/tmp/x.txt"));
    uihooks::OpenDocument = [](const QString& p) { return p == "/tmp/x.txt"; };
    QVERIFY(host.AddFile("/tmp/x.txt"));
  }
};

ZARNS_UI_TEST_MAIN(CatalogDialogsTest)
#include "catalog_dialogs_test.moc"
