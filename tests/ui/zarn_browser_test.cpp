// The Zarn Browser (286): its controls, the sorted fill, the package tabs,
// the browse texts and Modify, Paste in Document and Run in the current
// view, Delete, Copy/Cut/Paste Zarn through the clipboard, the loader's
// messages, the right-click menu and Send Package.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <memory>

#include "common/recordinghost.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"
#include "ui/support/uitest.h"
#include "zarn/memtextbuf.h"
#include "zarn/ui/zrnbrows.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

using V = std::vector<std::string>;

class ZarnBrowserTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  RecordingHost host_;
  std::unique_ptr<ZarnContext> ctx_;
  std::unique_ptr<MemoryTextBuffer> buf_;
  std::unique_ptr<TZarnsEditView> view_;
  plat::RecordingLauncher launcher_;

  void Store(const std::string& name, const std::string& value) {
    std::string n = name, v = value;
    QVERIFY(ZrnLvl1(files_).Set(n, v));
  }
  std::string Def(const std::string& name) {
    std::string n = name, v = "<none>";
    ZrnLvl1(files_).Get(n, v);
    return v;
  }
  std::string Pkg(const std::string& file, const std::string& text) {
    const std::string path = uitest::Root() + file;
    plat::WriteFileAtomic(path, text);
    return path;
  }
  static QString Text(ZrnBrowse& d, int id) {
    if (auto* b = uitest::ById<QPushButton>(&d, id)) return b->text();
    return QStringLiteral("<missing>");
  }
  static V Tabs(ZrnBrowse& d) {
    V out;
    for (int i = 0; i < d.ZarnTab->count(); ++i) out.push_back(d.ZarnTab->tabText(i).toStdString());
    return out;
  }

 private slots:
  void init() {
    uitest::ClearDataDir();
    files_.zarnIndex = ZarnNameIndex{};
    ++files_.zarnGeneration;
    host_.boxes.clear();
    host_.answers.clear();
    host_.inputRequests.clear();
    host_.openDialogs.clear();
    host_.openAnswers.clear();
    ctx_ = std::make_unique<ZarnContext>(host_, files_);
    buf_ = std::make_unique<MemoryTextBuffer>("");
    view_ = std::make_unique<TZarnsEditView>(*ctx_, buf_.get());
    ctx_->CurrentView = view_.get();
    launcher_.calls.clear();
    plat::SetLauncher(&launcher_);
  }
  void cleanup() {
    plat::SetLauncher(nullptr);
    view_.reset();
    ctx_.reset();
  }
  void initTestCase() { uitest::InstallModalGuard(); }

  void controlsAndTexts() {
    ZrnBrowse d(*ctx_);
    QCOMPARE(d.windowTitle(), QStringLiteral("Zarn Browser"));
    QCOMPARE(d.objectName(), QStringLiteral("286"));
    QVERIFY(uitest::ById<QTabBar>(&d, 1601));
    QVERIFY(uitest::ById<QComboBox>(&d, 1905));
    QVERIFY(!d.ZarnList->isEditable());
    QVERIFY(uitest::ById<QPlainTextEdit>(&d, 1078));
    QVERIFY(uitest::ById<QPlainTextEdit>(&d, 1077));
    QCOMPARE(Text(d, 1088), QStringLiteral("Modify"));
    QCOMPARE(Text(d, 1089), QStringLiteral("Delete"));
    QCOMPARE(Text(d, 1073), QStringLiteral("Run"));
    QCOMPARE(Text(d, 1110), QStringLiteral("Paste in Document"));
    QStringList labels;
    for (QLabel* l : d.findChildren<QLabel*>()) labels << l->text();
    QCOMPARE(labels, (QStringList{"Zarn", "Description", "Usage"}));
    // Labels above their controls, the edits below the list, buttons beside it.
    QVERIFY(d.ZarnList->geometry().bottom() < d.DescEdit->geometry().top());
    QVERIFY(d.DescEdit->geometry().bottom() < d.UsageEdit->geometry().top());
    auto* run = uitest::ById<QPushButton>(&d, 1073);
    QVERIFY(run->geometry().left() > d.ZarnList->geometry().right());
    QVERIFY(d.rect().contains(d.UsageEdit->geometry()));
    QStringList items;
    for (QAction* a : d.PopupMenu->actions()) items << a->text() + "=" + a->data().toString();
    QCOMPARE(items, (QStringList{"Copy Zarn=62720", "Cut Zarn=62721", "Paste Zarn=62722",
                                 "Load New Package=62723", "Send Package=62725"}));
    // An empty store: "All" only, nothing listed, the edits empty.
    QCOMPARE(Tabs(d), V{"All"});
    QCOMPARE(d.ZarnList->count(), 0);
    QVERIFY(d.DescEdit->toPlainText().isEmpty());
    QVERIFY(!run->isEnabled());
  }

  void fillIsSortedAndEachNameOnce() {
    Store("gamma", " g");
    Store("beta", " b\r\nzdesc B desc\r\nzuse B use\r\n");
    Store("Alpha", " a\r\nzdesc First of all\r\n");
    Store("alpha2", " a2");
    Store("Programs", " p");
    ZrnBrowse d(*ctx_);
    QCOMPARE(d.Names(), (V{"Alpha", "alpha2", "beta", "gamma", "Programs"}));
    QCOMPARE(d.Selected(), std::string("Alpha"));
    QCOMPARE(d.DescEdit->toPlainText(), QStringLiteral("First of all\n"));
    QVERIFY(d.UsageEdit->toPlainText().isEmpty());
    // Selection change shows the new zarn's texts.
    d.ZarnList->setCurrentIndex(2);
    QCOMPARE(d.DescEdit->toPlainText(), QStringLiteral("B desc\n"));
    QCOMPARE(d.UsageEdit->toPlainText(), QStringLiteral("B use\n"));
    d.ZarnList->setCurrentIndex(3);
    QVERIFY(d.DescEdit->toPlainText().isEmpty());
  }

  void packageTabsInTableOrder() {
    Store("loose", " l");
    ZrnBrowse loader(*ctx_);
    host_.openAnswers = {Pkg("t.pkg", "ZPKG tools\r\nztxt zed 1\r\nztxt Ant 2\r\n"),
                         Pkg("m.pkg", "zpkg more\r\nzfnc mid 3\r\nztxt ant 4\r\n")};
    QVERIFY(loader.CmNewPackage().loaded);
    QVERIFY(loader.CmNewPackage().loaded);
    QCOMPARE(host_.openDialogs, (V{"Load New Package", "Load New Package"}));
    // The loader's own dialog shows the new tabs at once.
    QCOMPARE(Tabs(loader), (V{"All", "tools", "more"}));

    ZrnBrowse d(*ctx_);
    QCOMPARE(Tabs(d), (V{"All", "tools", "more"}));
    // "ant" of the second package replaced the definition of "Ant", which
    // keeps its name and place and now belongs to both packages.
    QCOMPARE(d.Names(), (V{"Ant", "loose", "mid", "zed"}));
    std::string ant = "ant", def;
    QVERIFY(ZrnLvl1(files_).Get(ant, def));
    QCOMPARE(def, std::string(" 4\r\n"));
    d.ZarnTab->setCurrentIndex(2);
    QCOMPARE(d.PkgID, 12u);
    QCOMPARE(d.Names(), (V{"Ant", "mid"}));
    d.ZarnTab->setCurrentIndex(1);
    QCOMPARE(d.PkgID, 0u);
    QCOMPARE(d.Names(), (V{"Ant", "zed"}));
    QCOMPARE(d.Selected(), std::string("Ant"));
    d.ZarnTab->setCurrentIndex(0);
    QCOMPARE(d.Names().size(), size_t(4));
  }

  void modifyStoresEachLineWithCrLf() {
    Store("hi", " hello\r\nzdesc Old\r\nzuse old use\r\n");
    ZrnBrowse d(*ctx_);
    d.DescEdit->setPlainText(QStringLiteral("One line"));
    d.UsageEdit->setPlainText(QStringLiteral("first\nsecond\n"));
    QTest::mouseClick(uitest::ById<QPushButton>(&d, 1088), Qt::LeftButton);
    std::string n = "hi", desc, usage;
    QVERIFY(ZrnLvl1(files_).GetBrowseInfo(n, desc, usage));
    QCOMPARE(desc, std::string("One line\r\n"));
    QCOMPARE(usage, std::string("first\r\nsecond\r\n"));
    // Modify again without changes: the text does not grow.
    ZrnBrowse again(*ctx_);
    QTest::mouseClick(uitest::ById<QPushButton>(&again, 1088), Qt::LeftButton);
    QVERIFY(ZrnLvl1(files_).GetBrowseInfo(n, desc, usage));
    QCOMPARE(desc, std::string("One line\r\n"));
    QCOMPARE(Def("hi"), std::string(" hello\r\n"));
  }

  void pasteAndRunInTheCurrentView() {
    Store("sig", " Kind regards");
    buf_->SetText("Thanks, XX");
    buf_->SetSelection(8, 10);
    ZrnBrowse d(*ctx_);
    QTest::mouseClick(uitest::ById<QPushButton>(&d, 1110), Qt::LeftButton);
    QCOMPARE(buf_->GetText(), std::string("Thanks, sig"));
    buf_->SetText("Thanks, ");
    buf_->SetSelection(8, 8);
    QTest::mouseClick(uitest::ById<QPushButton>(&d, 1073), Qt::LeftButton);
    QVERIFY2(buf_->GetText().find("Kind regards") != std::string::npos, buf_->GetText().c_str());
    QVERIFY(buf_->GetText().find("sig") == std::string::npos);
    // A double click on the list runs too.
    buf_->SetText("");
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(d.ZarnList, &dbl);
    QVERIFY(buf_->GetText().find("Kind regards") != std::string::npos);
    // Without a document the two are disabled.
    ctx_->CurrentView = nullptr;
    ZrnBrowse none(*ctx_);
    QVERIFY(!uitest::ById<QPushButton>(&none, 1073)->isEnabled());
    QVERIFY(!uitest::ById<QPushButton>(&none, 1110)->isEnabled());
    none.BNRunClicked();  // nothing to run in, nothing happens
  }

  void deleteAsksThenRemoves() {
    Store("keep", " k");
    Store("drop", " d");
    ZrnBrowse d(*ctx_);
    QVERIFY(d.Select("drop"));
    host_.answers = {IDNO};
    QTest::mouseClick(uitest::ById<QPushButton>(&d, 1089), Qt::LeftButton);
    QCOMPARE(host_.boxes.back().text, std::string("Delete the zarn \"drop\"?"));
    QCOMPARE(host_.boxes.back().caption, std::string("Zarn Browser"));
    QCOMPARE(Def("drop"), std::string(" d"));
    host_.answers = {IDYES};
    QTest::mouseClick(uitest::ById<QPushButton>(&d, 1089), Qt::LeftButton);
    QCOMPARE(Def("drop"), std::string("<none>"));
    QCOMPARE(Def("keep"), std::string(" k"));
    QCOMPARE(d.Names(), V{"keep"});
    QCOMPARE(d.Selected(), std::string("keep"));
    QCOMPARE(host_.boxes.size(), size_t(2));
  }

  void copyCutAndPasteThroughTheClipboard() {
    Store("hi", " hello\r\nzdesc Says hello\r\nzuse hi\r\n");
    Store("other", " o");
    ZrnBrowse d(*ctx_);
    QVERIFY(d.Select("hi"));
    d.CmCopyZarnItem();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("ztxt hi hello\r\nzdesc Says hello\r\nzuse hi\r\n"));
    d.CmDeleteZarnItem();  // Cut: copied, then gone without a question
    QCOMPARE(Def("hi"), std::string("<none>"));
    QCOMPARE(d.Names(), V{"other"});
    QVERIFY(host_.boxes.empty());
    d.CmPasteZarnItem();
    QCOMPARE(Def("hi"), std::string(" hello\r\n"));
    QCOMPARE(d.Names(), (V{"hi", "other"}));
    QCOMPARE(d.Selected(), std::string("hi"));
    QCOMPARE(d.DescEdit->toPlainText(), QStringLiteral("Says hello\n"));
    // Two sections at once, and a clipboard without one.
    QGuiApplication::clipboard()->setText(QStringLiteral("ztxt a 1\nzfnc b 2\n"));
    d.CmPasteZarnItem();
    QCOMPARE(d.Names(), (V{"a", "b", "hi", "other"}));
    QGuiApplication::clipboard()->setText(QStringLiteral("just words"));
    d.CmPasteZarnItem();
    QCOMPARE(host_.boxes.size(), size_t(1));
    QVERIFY(host_.boxes[0].text.find("The clipboard holds no zarn") == 0);
  }

  void loaderMessages() {
    ZrnBrowse d(*ctx_);
    host_.openAnswers = {std::nullopt};  // cancelled
    QVERIFY(!d.CmNewPackage().loaded);
    QCOMPARE(host_.boxes.size(), size_t(1));
    QCOMPARE(host_.boxes[0].text, std::string("Error Reading Zarn Package"));
    QCOMPARE(host_.boxes[0].caption, std::string("Error"));
    host_.openAnswers = {Pkg("plain.pkg", "no magic here\r\nztxt x 1\r\n")};
    QVERIFY(!d.CmNewPackage().loaded);
    QCOMPARE(host_.inputRequests.size(), size_t(1));  // the "Input Required" prompt
    QCOMPARE(host_.boxes.size(), size_t(1));
    QCOMPARE(Tabs(d), V{"All"});
    QCOMPARE(Def("x"), std::string("<none>"));
    // The program's one size rule: a package over 1 MiB is refused whole.
    host_.openAnswers = {Pkg("big.pkg", "ZPKG big\r\nztxt x " + std::string(1u << 20, 'b'))};
    QVERIFY(!d.CmNewPackage().loaded);
    QCOMPARE(host_.boxes.back().text, std::string("Error Reading Zarn Package"));
    // Loading through the popup's item shows the new tab.
    host_.openAnswers = {Pkg("ok.pkg", "ZPKG fine\r\nztxt y 2\r\n")};
    for (QAction* a : d.PopupMenu->actions())
      if (a->data().toInt() == ZrnBrowse::CM_NEWPACKAGE) a->trigger();
    QCOMPARE(Tabs(d), (V{"All", "fine"}));
    QCOMPARE(d.Names(), V{"y"});
  }

  void rightClickShowsTheMenuAtTheMouse() {
    ZrnBrowse d(*ctx_);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QPoint shownAt;
    QStringList items;
    uitest::OnNextModal([&](QWidget* w) {
      auto* m = qobject_cast<QMenu*>(w);
      if (m) {
        shownAt = m->pos();
        for (QAction* a : m->actions()) items << a->text();
      }
      w->close();
    });
    const QPoint local(40, 120);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, local, d.mapToGlobal(local));
    QCoreApplication::sendEvent(&d, &ev);
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(d.PopPoint, d.mapToGlobal(local));
    QCOMPARE(items.size(), 5);
    QVERIFY((shownAt - d.PopPoint).manhattanLength() < 40);
  }

  void sendPackageMailsAFileThatLoadsBack() {
    ZrnBrowse loader(*ctx_);
    host_.openAnswers = {Pkg("t.pkg", "ZPKG tools\r\nztxt one 1\r\nzdesc D\r\nztxt two 2\r\n")};
    QVERIFY(loader.CmNewPackage().loaded);
    Store("other", " o");
    ZrnBrowse d(*ctx_);
    d.ZarnTab->setCurrentIndex(1);
    d.CmSendPackage();
    QCOMPARE(launcher_.calls.size(), size_t(1));
    QCOMPARE(launcher_.calls[0].kind, std::string("mail"));
    const std::string path = launcher_.calls[0].target;
    QVERIFY(path.size() > 10 && path.substr(path.size() - 10) == "/tools.pkg");
    std::string text;
    QVERIFY(plat::ReadWholeFile(path, text));
    QCOMPARE(text, std::string("ZPKG tools\r\nztxt one 1\r\nzdesc D\r\nztxt two 2\r\n"));
    // The All tab sends every zarn.
    d.ZarnTab->setCurrentIndex(0);
    d.CmSendPackage();
    QVERIFY(plat::ReadWholeFile(launcher_.calls[1].target, text));
    QVERIFY(text.find("ztxt other o") != std::string::npos);
    // Without a mailer the item is disabled.
    launcher_.mailAvailable = false;
    ZrnBrowse off(*ctx_);
    QVERIFY(!off.PopupMenu->actions().back()->isEnabled());
    launcher_.mailAvailable = true;
  }
};

ZARNS_UI_TEST_MAIN(ZarnBrowserTest)
#include "zarn_browser_test.moc"
