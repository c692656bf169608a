// The file-type dialogs: "Add / Remove File Types to Catalog" (Add as
// typed, Remove reaching the list only with the next Add, Reset, the edit
// kept between openings) and the file type viewer (rebuilt lists, the
// category/extension/file/folder chain, Open and Open Folder through the
// launcher, the two-press adds), with the same file order as zarns-cli.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "catalog/buildprogress.h"
#include "catalog/ui/zrnmtchd.h"
#include "catalog/zrnwcat.h"
#include "cli/cli_runner.h"
#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "platform/pregistry.h"
#include "shell/ui/zrnextls.h"
#include "shell/ui/zrnftype.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"

namespace fs = std::filesystem;

namespace {
QStringList Items(QListWidget* list) {
  QStringList out;
  for (int i = 0; list && i < list->count(); ++i) out << list->item(i)->text();
  return out;
}
QStringList Items(QComboBox* combo) {
  QStringList out;
  for (int i = 0; combo && i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}
std::string Ems() { return ReadData("EMS.007"); }
void Click(QWidget* dlg, int id) {
  QTest::mouseClick(uitest::ById<QPushButton>(dlg, id), Qt::LeftButton);
}
}  // namespace

class FileTypeDialogsTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::string tree_;

  void BuildCatalog() {
    WordCat builder(files_);
    SilentProgress quiet;
    builder.CreateWordCatalog(&quiet, {tree_});
  }

 private slots:
  void initTestCase() {
    const std::string mime = uitest::Root() + "mime.types";
    WriteFile(mime,
              "text/plain txt\ntext/rtf rtx\napplication/rtf rtf\naudio/mpeg mp3\n"
              "audio/ogg oga\n");
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    uitest::InstallModalGuard();
  }
  void init() {
    uitest::ClearDataDir();
    host_ = RecordingHost();
    launcher_.calls.clear();
    plat::SetLauncher(&launcher_);
    ZrnFType::XferData = ZrnFTypeXfer{};
    tree_ = uitest::FreshDir("tree");
  }
  void cleanup() {
    plat::SetLauncher(nullptr);
    files_.CloseFiles();
  }

  void ftypeControls() {
    WriteData("EMS.007", Z(".txt") + Z("~~~") + Z(".doc") + Z("~++") + Z(".Asc") + Z("~--"));
    ZrnFType dlg(files_, host_);
    QCOMPARE(dlg.objectName(), QString("7"));
    QCOMPARE(dlg.windowTitle(), QString("Add / Remove File Types to Catalog"));
    QCOMPARE(uitest::ById<QPushButton>(&dlg, 7105)->text(), QString("Add"));
    QCOMPARE(uitest::ById<QPushButton>(&dlg, 7106)->text(), QString("Remove"));
    QCOMPARE(uitest::ById<QPushButton>(&dlg, 9357)->text(), QString("Reset"));
    QCOMPARE(dlg.NewExtension->objectName(), QString("8101"));
    QCOMPARE(dlg.NewExtension->maxLength(), 9);
    // The reserved entries are not shown; the rest is sorted without case.
    QCOMPARE(Items(dlg.ListOfExtensions), QStringList({".Asc", ".doc", ".txt"}));
    QCOMPARE(dlg.ListOfExtensions->objectName(), QString("123"));
  }

  void ftypeAddsAsTyped() {
    WriteData("EMS.007", Z(".txt"));
    ZrnFType dlg(files_, host_);
    QTest::keyClicks(dlg.NewExtension, "rtf");
    Click(&dlg, 7105);
    QCOMPARE(Ems(), Z(".txt") + Z("rtf"));
    dlg.NewExtension->setText(".rtf");
    Click(&dlg, 7105);
    QCOMPARE(Ems(), Z(".rtf") + Z(".txt") + Z("rtf"));
    // An empty edit adds nothing but still saves the list as shown.
    WriteData("EMS.007", "");
    dlg.NewExtension->clear();
    Click(&dlg, 7105);
    QCOMPARE(Ems(), Z(".rtf") + Z(".txt") + Z("rtf"));
    // At most nine characters are taken.
    dlg.NewExtension->clear();
    QTest::keyClicks(dlg.NewExtension, ".abcdefghijk");
    QCOMPARE(dlg.NewExtension->text(), QString(".abcdefgh"));
  }

  void ftypeRemoveReachesTheFileOnlyWithAdd() {
    const std::string before = Z(".txt") + Z(".doc") + Z(".md");
    WriteData("EMS.007", before);
    {
      ZrnFType dlg(files_, host_);
      dlg.ListOfExtensions->setCurrentRow(1);  // ".md"
      Click(&dlg, 7106);
      QCOMPARE(Items(dlg.ListOfExtensions), QStringList({".doc", ".txt"}));
      dlg.reject();
    }
    QCOMPARE(Ems(), before);  // closing writes nothing
    ZrnFType dlg(files_, host_);
    QCOMPARE(Items(dlg.ListOfExtensions), QStringList({".doc", ".md", ".txt"}));
    dlg.ListOfExtensions->setCurrentRow(0);
    Click(&dlg, 7106);
    Click(&dlg, 7105);  // empty edit: saves the list as shown
    QCOMPARE(Ems(), Z(".md") + Z(".txt"));
    // Remove with nothing selected removes nothing.
    dlg.ListOfExtensions->clearSelection();
    Click(&dlg, 7106);
    QCOMPARE(dlg.ListOfExtensions->count(), 2);
  }

  void ftypeEditTextSurvivesReopening() {
    WriteData("EMS.007", Z(".txt"));
    {
      ZrnFType dlg(files_, host_);
      dlg.NewExtension->setText(".log");
      dlg.reject();
    }
    ZrnFType dlg(files_, host_);
    QCOMPARE(dlg.NewExtension->text(), QString(".log"));
    // The list comes from the file, not from the last opening.
    QCOMPARE(Items(dlg.ListOfExtensions), QStringList({".txt"}));
  }

  void ftypeResetRebuildsAndCloses() {
    WriteData("EMS.007", Z(".mine"));
    {
      ZrnFType dlg(files_, host_);
      dlg.show();
      Click(&dlg, 9357);
      QVERIFY(!dlg.isVisible());
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    // text/plain gives .txt from the scan and again from the fixed tail.
    QCOMPARE(Ems(), Z(".rtx") + Z(".txt") + Z(".hlp") + Z(".txt") + Z(".xls") + Z(".ppt"));
    ZrnFType dlg(files_, host_);
    QCOMPARE(Items(dlg.ListOfExtensions),
             QStringList({".hlp", ".ppt", ".rtx", ".txt", ".txt", ".xls"}));
  }

  void viewerControlsAndRebuild() {
    WriteData("KEPc.007", Z("stale"));
    TZarnsExtListDlg dlg(files_, host_);
    QCOMPARE(dlg.objectName(), QString("194"));
    QCOMPARE(dlg.windowTitle(), QString());
    for (auto [id, text] :
         std::initializer_list<std::pair<int, const char*>>{{1, "Open"},
                                                            {2, "Cancel"},
                                                            {9, "Open Folder"},
                                                            {301, "Add Category"},
                                                            {300, "Add Ext to Category"}})
      QCOMPARE(uitest::ById<QPushButton>(&dlg, id)->text(), QString(text));
    QVERIFY(uitest::ById<QListWidget>(&dlg, 1902));
    QVERIFY(uitest::ById<QComboBox>(&dlg, 1903));
    QVERIFY(uitest::ById<QComboBox>(&dlg, 1701));
    QVERIFY(uitest::ById<QLabel>(&dlg, 1225));
    QVERIFY(dlg.addCatEdit->isHidden());
    QVERIFY(dlg.addFTEdit->isHidden());
    QCOMPARE(dlg.addCatEdit->maxLength(), 19);
    QStringList labels;
    for (QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
    QVERIFY(labels.contains("Categories "));
    QVERIFY(labels.contains("File Type Extensions "));
    QVERIFY(labels.contains("Double Click to Open"));
    // The lists were rebuilt from the file types on opening.
    QCOMPARE(Items(dlg.catComboCtrl), QStringList({"application", "audio", "text"}));
    QCOMPARE(dlg.catComboCtrl->currentText(), QString("application"));
    QCOMPARE(Items(dlg.ftComboCtrl), QStringList({".rtf"}));
    // No catalog: no files, no folder.
    QCOMPARE(dlg.extListCtrl->count(), 0);
    QCOMPARE(dlg.pathText->text(), QString());
    dlg.catComboCtrl->setCurrentText("audio");
    QCOMPARE(Items(dlg.ftComboCtrl), QStringList({".mp3", ".oga"}));
    QCOMPARE(dlg.extListCtrl->count(), 0);
    // Open and Open Folder with nothing chosen open nothing.
    Click(&dlg, 1);
    Click(&dlg, 9);
    QVERIFY(launcher_.calls.empty());
  }

  void viewerTwiceGivesTheSameCategories() {
    QStringList first;
    {
      TZarnsExtListDlg dlg(files_, host_);
      first = Items(dlg.catComboCtrl);
    }
    const std::string kepc = ReadData("KEPc.007");
    TZarnsExtListDlg dlg(files_, host_);
    QCOMPARE(Items(dlg.catComboCtrl), first);
    QCOMPARE(ReadData("KEPc.007"), kepc);
  }

  void viewerAddsMusicAndOgg() {
    TZarnsExtListDlg dlg(files_, host_);
    dlg.show();
    Click(&dlg, 301);
    QVERIFY(dlg.addCatEdit->isVisible());
    QVERIFY(host_.boxes.empty());
    QTest::keyClicks(dlg.addCatEdit, ".Music");
    Click(&dlg, 301);
    QVERIFY(!dlg.addCatEdit->isVisible());
    QVERIFY(plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\Music"));
    QCOMPARE(dlg.catComboCtrl->currentText(), QString("Music"));
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].caption, std::string("Category added"));
    Click(&dlg, 300);
    QVERIFY(dlg.addFTEdit->isVisible());
    QTest::keyClicks(dlg.addFTEdit, ".ogg");
    Click(&dlg, 300);
    QVERIFY(!dlg.addFTEdit->isVisible());
    QCOMPARE(
        plat::ClassesRoot().GetDword("Zarns.Application\\FileCategories\\Music\\Inclusions", "ogg"),
        std::optional<std::uint32_t>(42));
    QCOMPARE(dlg.ftComboCtrl->currentText(), QString("ogg"));
    QCOMPARE(host_.boxes.back().caption, std::string("Category File Type added"));
    // Reopened, the category and its extension come from the registry.
    TZarnsExtListDlg again(files_, host_);
    QVERIFY(Items(again.catComboCtrl).contains("Music"));
    again.catComboCtrl->setCurrentText("Music");
    QCOMPARE(Items(again.ftComboCtrl), QStringList({".ogg"}));
    plat::ClassesRoot().DeleteKey("Zarns.Application\\FileCategories");
  }

  void viewerRefusesEmptyNames() {
    TZarnsExtListDlg dlg(files_, host_);
    dlg.show();
    const QStringList cats = Items(dlg.catComboCtrl);
    Click(&dlg, 301);
    Click(&dlg, 301);  // nothing typed
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].text, std::string("Error adding new extension"));
    QCOMPARE(Items(dlg.catComboCtrl), cats);
    Click(&dlg, 300);
    dlg.addFTEdit->setText(".");
    Click(&dlg, 300);
    QCOMPARE(host_.boxes.back().caption, std::string("Extension can not be empty"));
    QVERIFY(!plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories"));
  }

  void viewerListsFilesAsTheCliDoes() {
    fs::create_directories(tree_ + "sub");
    WriteFile(tree_ + "Both.txt", "words in the upper one");
    WriteFile(tree_ + "both.txt", "words in the lower one");
    WriteFile(tree_ + "sub/apple.txt", "apple words here");
    WriteFile(tree_ + "song.mp3", "ID3");
    BuildCatalog();
    TZarnsExtListDlg dlg(files_, host_);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.catComboCtrl->setCurrentText("text");
    dlg.ftComboCtrl->setCurrentText(".txt");
    QCOMPARE(Items(dlg.extListCtrl), QStringList({"apple.txt", "Both.txt", "both.txt"}));
    // The first file is chosen and its folder shown.
    const std::string canon = fs::canonical(tree_).string() + "/";
    QCOMPARE(dlg.pathText->text(), QString::fromStdString(canon + "sub"));
    const CliRun cli = RunZarnsCli({"registry", "files", ".txt"}, "", uitest::Root() + "cli");
    QCOMPARE(cli.rc, 0);
    QCOMPARE(QString::fromStdString(cli.out),
             QString::fromStdString("apple.txt\t" + canon + "sub\nBoth.txt\t" + canon +
                                    "\nboth.txt\t" + canon + "\n"));
    // The Find results list the same order.
    ShowMatchDlg find(files_, host_, ShowMatchXfer{});
    find.findChild<QLineEdit*>("171")->setText("words");
    find.BNClicked();
    QCOMPARE(Items(find.findChild<QListWidget*>("172")),
             QStringList({"apple.txt", "Both.txt", "both.txt"}));
    // Open starts the file's application in its folder; Open Folder opens the folder.
    dlg.extListCtrl->setCurrentRow(1);
    QCOMPARE(dlg.pathText->text(), QString::fromStdString(canon));
    Click(&dlg, 1);
    dlg.extListCtrl->setCurrentRow(0);
    emit dlg.extListCtrl->itemDoubleClicked(dlg.extListCtrl->item(0));
    Click(&dlg, 9);
    QCOMPARE(launcher_.calls.size(), std::size_t(3));
    QCOMPARE(launcher_.calls[0].target, canon + "Both.txt");
    QCOMPARE(launcher_.calls[0].dir, canon);
    QCOMPARE(launcher_.calls[1].target, canon + "sub/apple.txt");
    QCOMPARE(launcher_.calls[2].target, canon + "sub/");
    dlg.catComboCtrl->setCurrentText("audio");
    dlg.ftComboCtrl->setCurrentText(".mp3");
    QCOMPARE(Items(dlg.extListCtrl), QStringList({"song.mp3"}));
  }

  void screenshots() {
    WriteData("EMS.007", Z(".txt") + Z(".doc") + Z(".md"));
    WriteFile(tree_ + "notes.txt", "some words to list");
    BuildCatalog();
    ZrnFType a(files_, host_);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    QVERIFY(a.grab().save(QString::fromStdString(uitest::Root() + "ftype.png")));
    TZarnsExtListDlg b(files_, host_);
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    QVERIFY(b.grab().save(QString::fromStdString(uitest::Root() + "extlist.png")));
    if (const char* keep = std::getenv("ZARNS_SCREENSHOT_DIR")) {
      a.grab().save(QString::fromUtf8(keep) + "/ftype.png");
      b.grab().save(QString::fromUtf8(keep) + "/extlist.png");
    }
    // Every control inside the window, none overlapping its neighbours.
    for (QWidget* w : b.findChildren<QWidget*>())
      if (w->isVisible() && w->parentWidget() == &b) QVERIFY(b.rect().contains(w->geometry()));
    QVERIFY(!b.catComboCtrl->geometry().intersects(b.ftComboCtrl->geometry()));
    QVERIFY(b.extListCtrl->geometry().top() >= b.pathText->geometry().bottom());
  }
};

ZARNS_UI_TEST_MAIN(FileTypeDialogsTest)
#include "filetype_dialogs_test.moc"
