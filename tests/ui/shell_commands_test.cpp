// The main window's command surface: menu 100 and accelerator table 100 as
// the command table gives them, the tool bar's gadgets and separators, the
// status-bar hints and tool tips, command enabling and routing, context help.
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "common/recordinghost.h"
#include "platform/plauncher.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zrnshelp.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"

namespace {

// "id:text" for a command, "-" for a separator, ">text[ ... ]" for a popup.
QStringList Dump(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) {
    if (!a->isVisible()) continue;
    if (a->isSeparator())
      out << QStringLiteral("-");
    else if (a->menu())
      out << QStringLiteral(">%1[%2]").arg(a->text(), Dump(a->menu()).join(QLatin1Char('|')));
    else
      out << QStringLiteral("%1:%2").arg(a->data().toInt()).arg(a->text());
  }
  return out;
}

}  // namespace

class ShellCommandsTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::unique_ptr<TZarnsApp> app_;

  QMenuBar* Bar() const { return MainWin->menuBar(); }
  int Windows() const { return app_->Client()->subWindowList().size(); }
  void CloseAll() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      if (auto* c = qobject_cast<TZarnsMDIChild*>(w)) c->SetDirty(false);
      w->close();
    }
    QCoreApplication::processEvents();
  }

 private slots:
  void initTestCase() {
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO&, const QString&) {};
    app_ = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    app_->InitInstance();
    QVERIFY(MainWin);
    QVERIFY(QTest::qWaitForWindowExposed(MainWin));
  }

  void cleanupTestCase() {
    CloseAll();
    app_.reset();
    plat::SetLauncher(nullptr);
  }

  void cleanup() {
    CloseAll();
    if (app_->InContextHelp()) QTest::keyClick(MainWin, Qt::Key_Escape);
    host_.matchDialogs.clear();
    host_.boxes.clear();
  }

  void frameIsTheMaximisedMainWindow() {
    QCOMPARE(MainWin->windowTitle(), QStringLiteral("Zarns"));
    QVERIFY(MainWin->windowState() & Qt::WindowMaximized);
    QVERIFY(!MainWin->windowIcon().isNull());
    QVERIFY(qobject_cast<TZarnsMDIClient*>(MainWin->centralWidget()));
    QVERIFY(MainWin->acceptDrops());
  }

  void menuMatchesTheCommandTable() {
    const QList<QAction*> tops = Bar()->actions();
    QStringList titles;
    for (QAction* a : tops) titles << a->text();
    QCOMPARE(titles, (QStringList{"&File", "E&dit", "Sear&ch", "&Advanced", "&Window", "&Help"}));

    const QStringList file{"24331:&New   (CTRL + N)",
                           "24332:&Open...",
                           "24339:&Close",
                           "-",
                           "24333:&Save",
                           "24334:Save &As...",
                           "-",
                           "24340:Print Pre&view...",
                           "24337:&Print...",
                           "24338:P&rint Setup...",
                           "-",
                           "24345:Sen&d...",
                           "-",
                           "24310:E&xit\tAlt+F4"};
    const QStringList edit{"24321:&Undo\tAlt+BkSp",
                           "-",
                           "24322:Cu&t\tShift+Del",
                           "24323:&Copy\tCtrl+C",
                           "24324:&Paste\tShift+Ins",
                           "-",
                           "24326:Clear &All\tCtrl+Del",
                           "24325:&Delete\tDel",
                           "-",
                           "284:P&references\tCtrl+R"};
    const QStringList search{"23:My Computer     (CTRL + Enter)",
                             "24222:File &Types         (CTRL + T)",
                             ">&Word Catalog[114:&Create|113:&Destroy|112:Re&Scan]",
                             "-",
                             "24351:&Find...            (CTRL + F)",
                             "24352:&Replace...",
                             "24353:&Next\tF3"};
    const QStringList advanced{"14:&Test Zarn",
                               "11:&Save Zarn",
                               "-",
                               "10:&Load From File",
                               "285:&Browse Zarns",
                               "17:&Extract Zarns",
                               "-",
                               "16:&Reset Zarns",
                               "-",
                               ">&Options[7:&File types to catalog|6:&Schedule Cataloging]"};
    const QStringList window{"24361:&Cascade", "24362:&Tile", "24364:Arrange &Icons",
                             "24365:C&lose All"};
    const QStringList help{"2001:&Contents", "5:&Sys Info", "2972:&Using help", "-",
                           "2009:&About..."};
    QCOMPARE(Dump(tops[0]->menu()), file);
    QCOMPARE(Dump(tops[1]->menu()), edit);
    QCOMPARE(Dump(tops[2]->menu()), search);
    QCOMPARE(Dump(tops[3]->menu()), advanced);
    QCOMPARE(Dump(tops[4]->menu()), window);
    QCOMPARE(Dump(tops[5]->menu()), help);
  }

  void noMenuMnemonicIsTakenByAnAltAccelerator() {
    for (QAction* a : Bar()->actions()) {
      const QString t = a->text();
      const int amp = t.indexOf(QLatin1Char('&'));
      QVERIFY(amp >= 0);
      const QKeySequence alt(QKeyCombination(
          Qt::AltModifier, static_cast<Qt::Key>(t.at(amp + 1).toUpper().unicode())));
      for (const auto& acc : zcmd::Accelerators()) QVERIFY2(acc.key != alt, qPrintable(t));
    }
  }

  void acceleratorTableHasItsTwentyOneEntriesInOrder() {
    const std::vector<std::pair<QString, int>> expected = {
        {"Shift+Del", 24322}, {"Shift+Ins", 24324}, {"Ctrl+Del", 24326}, {"Alt+Backspace", 24321},
        {"F3", 24353},        {"Ctrl+Return", 23},  {"Ctrl+F12", 114},   {"Ctrl+N", 24331},
        {"Ctrl+C", 24323},    {"Ctrl+V", 24324},    {"Alt+J", 392},      {"Ctrl+B", 285},
        {"Ctrl+M", 62713},    {"Alt+E", 17},        {"Alt+R", 21},       {"Alt+L", 10},
        {"Alt+S", 11},        {"Alt+T", 14},        {"Ctrl+T", 24222},   {"Ctrl+D", 13},
        {"Ctrl+R", 284}};
    const auto& table = zcmd::Accelerators();
    QCOMPARE(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
      QCOMPARE(table[i].key.toString(QKeySequence::PortableText), expected[i].first);
      QCOMPARE(table[i].id, expected[i].second);
    }
  }

  // Each key, pressed in an editor window, reaches its command: in context-help
  // mode the command shows its topic, which names the id the key produced.
  void everyAcceleratorKeyReachesItsCommand() {
    app_->Command(zcmd::CM_FILENEW);
    auto* view = app_->ActiveView();
    QVERIFY(view);
    for (const auto& acc : zcmd::Accelerators()) {
      QTest::keyClick(view, Qt::Key_F1, Qt::ShiftModifier);
      QVERIFY(app_->InContextHelp());
      const QKeyCombination kc = acc.key[0];
      QTest::keyClick(view, kc.key(), kc.keyboardModifiers());
      QVERIFY2(!app_->InContextHelp(), qPrintable(acc.key.toString()));
      QVERIFY(HelpWindow());
      QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/%1.html").arg(acc.id));
    }
    // Ctrl+F, named by the Find menu item, finds although the table has no entry for it.
    QTest::keyClick(view, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/24351.html"));
    // Keypad Enter counts as Enter.
    QTest::keyClick(view, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/23.html"));
  }

  void acceleratorsRunTheirCommands() {
    QCOMPARE(Windows(), 0);
    QTest::keyClick(MainWin, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(Windows(), 1);
    auto* view = app_->ActiveView();
    QVERIFY(view);
    QTest::keyClicks(view, "3 + 4");
    QTest::keyClick(view, Qt::Key_R, Qt::AltModifier);
    QCOMPARE(view->toPlainText(), QStringLiteral("7 "));
    // Alt+Backspace undoes through the window's editing commands.
    view->setPlainText(QStringLiteral("abc"));
    view->moveCursor(QTextCursor::End);
    QTest::keyClicks(view, "d");
    QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(view->toPlainText(), QStringLiteral("abc"));
    // Ctrl+Del clears the document; Ctrl+D and Ctrl+M do nothing at all.
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(view->toPlainText(), QStringLiteral("abc"));
    QCOMPARE(Windows(), 1);
    QTest::keyClick(view, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(view->toPlainText(), QString());
    // Alt+E (Extract Zarns) answers nothing and leaves the text alone.
    QTest::keyClick(view, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(view->toPlainText(), QString());
  }

  void toolBarGadgetsInOrderWithTheirSeparators() {
    QToolBar* bar = app_->ToolBar();
    QVERIFY(bar);
    QCOMPARE(bar->objectName(), QStringLiteral("32041"));
    QCOMPARE(bar->windowTitle(), QStringLiteral("Toolbar"));
    QCOMPARE(MainWin->toolBarArea(bar), Qt::TopToolBarArea);
    QCOMPARE(bar->font().pointSize(), 10);
    QStringList got;
    for (QAction* a : bar->actions()) {
      if (a->property("separatorSize").isValid())
        got << QStringLiteral("sep%1").arg(a->property("separatorSize").toInt());
      else
        got << QString::number(a->data().toInt());
    }
    const QStringList expected{"24331", "24332", "24333", "sep6", "24323", "24321", "sep6",
                               "21",    "2922",  "24222", "27",   "291",   "sep10", "293",
                               "263",   "264",   "265",   "266",  "268",   "sep10", "261",
                               "26",    "262",   "270",   "271",  "272",   "2923",  "sep25",
                               "24337", "24340", "sep25", "2001", "295"};
    QCOMPARE(got, expected);
    // Every button shows a bitmap of its own id.
    for (QAction* a : bar->actions()) {
      if (a->property("separatorSize").isValid()) continue;
      QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
      QVERIFY(QFile::exists(QStringLiteral(":/icons/%1.svg").arg(a->data().toInt())));
      auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
      QVERIFY(b);
      QVERIFY(!b->autoRepeat());
    }
    // For a server the file and print gadgets and their separators are left out.
    QToolBar server;
    app_->CreateGadgets(&server, true);
    QStringList s;
    for (QAction* a : server.actions())
      s << (a->property("separatorSize").isValid()
                ? QStringLiteral("sep%1").arg(a->property("separatorSize").toInt())
                : QString::number(a->data().toInt()));
    QCOMPARE(s.first(), QStringLiteral("24323"));
    QVERIFY(!s.contains(QStringLiteral("24337")) && !s.contains(QStringLiteral("24331")));
    QCOMPARE(s.count(QStringLiteral("sep25")), 1);
    QCOMPARE(s.count(QStringLiteral("sep6")), 1);
    QCOMPARE(s.last(), QStringLiteral("295"));
  }

  void toolTipsAndStatusHints() {
    // Commands on the menu show their menu text; the others the hint's second line.
    const std::vector<std::pair<int, QString>> tips = {
        {24331, "New"},
        {24332, "Open"},
        {24333, "Save"},
        {24323, "Copy"},
        {24321, "Undo"},
        {21, "Execute! the zarn, refer to manual"},
        {2922, "Lookup, search inside files"},
        {24222, "File Types"},
        {27, "Browser, view additional Zarns"},
        {291, "Convert any document to plain text"},
        {293, "Calculator, Enter the expression, then click here"},
        {263, "make a list, click here to sort it"},
        {264, "Insert today's date"},
        {265, "Insert the time, start\\lap click the stopwatch"},
        {266, "Reset the stopwatch"},
        {268, "cursor to a phone number, click to dial, modem required"},
        {261, "Atlas, Enter City name, Internet required"},
        {26, "Dictionary, cursor on word, Internet required"},
        {262, "Encyclopedia, cursor on word, Internet required"},
        {270, "Film&TV Search, cursor on word, Internet required"},
        {271, "Science Search, cursor on word, Internet required"},
        {272, "Sports Search, cursor on word, Internet required"},
        {2923, "Web Search, cursor on word, Internet required"},
        {24337, "Print"},
        {24340, "Print Preview"},
        {2001, "Contents"},
        {295, "Extended Help, Brindle Website, Internet access required"}};
    for (const auto& [id, tip] : tips) QCOMPARE(app_->Action(id)->toolTip(), tip);

    const std::vector<std::pair<int, QString>> status = {
        {24331, "Creates a new document"},
        {24222, "File Type Viewer"},
        {21, "Run Zarn"},
        {265, "Insert Time"},
        {2001, "Help table of contents"},
        {6, "Specify when to update your Zarns catalog"},
        {24345, "Sends the active document using electronic mail"},
        {23, ""},
        {114, ""}};
    for (const auto& [id, text] : status) {
      QCOMPARE(app_->Action(id)->statusTip(), text);
      MainWin->statusBar()->clearMessage();
      app_->Action(id)->showStatusText(MainWin);
      QCOMPARE(MainWin->statusBar()->currentMessage(), text);
    }
    // The keyboard indicators sit in the status bar.
    for (const char* name : {"CAPS", "NUM", "SCRL"})
      QVERIFY(MainWin->statusBar()->findChild<QLabel*>(name));
  }

  void commandsNoWindowAnswersAreDisabled() {
    app_->UpdateCommandStates();
    auto on = [&](int id) { return app_->Action(id)->isEnabled(); };
    // Without a document.
    QVERIFY(on(24331) && on(24332) && on(2001) && on(2009) && on(5) && on(284) && on(23) &&
            on(2922));
    QVERIFY(on(6) && on(114) && on(112) && on(113) && on(16) && on(10));
    QVERIFY(!on(24333) && !on(24339) && !on(24334) && !on(21) && !on(293) && !on(24323));
    QVERIFY(!on(14) && !on(11) && !on(17) && !on(24361) && !on(24345));
    // The zarn browser: the menu item and its tool-bar button.
    QVERIFY(on(285) && on(27));
    // Printing needs a document window; Ctrl+D and Ctrl+M have no command.
    for (int id : {24337, 24338, 24340, 13, 62713})
      QVERIFY2(!on(id), qPrintable(QString::number(id)));
    // The file-type dialogs are the application's own.
    QVERIFY(on(24222) && on(7));
    // Convert to Text, Contacts and Speed Dial are the application's own.
    QVERIFY(on(291) && on(392) && on(269));
    // With a document, the view and its window answer their commands.
    app_->Command(zcmd::CM_FILENEW);
    app_->UpdateCommandStates();
    QVERIFY(on(24333) && on(24339) && on(24334) && on(21) && on(293) && on(263) && on(14) &&
            on(11));
    QVERIFY(on(24361) && on(24365));
    QVERIFY(!on(17));
    // The printer (PDF output when none is installed) prints the document.
    QVERIFY(on(24337) && on(24338) && on(24340));
    // Send follows the mail service.
    launcher_.mailAvailable = false;
    app_->UpdateCommandStates();
    QVERIFY(!on(24345));
    launcher_.mailAvailable = true;
    app_->UpdateCommandStates();
    QVERIFY(on(24345));
  }

  void myComputerGoesToTheViewFirstElseOpensEmptyResults() {
    QVERIFY(app_->Command(zcmd::CM_SEARCHWORD));
    QCOMPARE(host_.matchDialogs.size(), std::size_t(1));
    QVERIFY(host_.matchDialogs[0].ListOfMatches.empty());
    QVERIFY(host_.matchDialogs[0].MatchString.empty());
    QVERIFY(host_.matchDialogs[0].PathString.empty());
    host_.matchDialogs.clear();
    // In an editor window the view takes the command: the application's
    // empty results dialog is not what opens.
    app_->Command(zcmd::CM_FILENEW);
    auto* view = app_->ActiveView();
    view->setPlainText(QStringLiteral("qqzzyy"));
    view->moveCursor(QTextCursor::End);
    app_->Command(zcmd::CM_SEARCHWORD);
    for (const auto& x : host_.matchDialogs)
      QVERIFY(!x.MatchString.empty() || !x.ListOfMatches.empty());
  }

  void contextHelpShowsTheTopicInsteadOfRunning() {
    const int before = Windows();
    QTest::keyClick(MainWin, Qt::Key_F1, Qt::ShiftModifier);
    QVERIFY(app_->InContextHelp());
    QVERIFY(app_->HelpCursor);
    QVERIFY(QApplication::overrideCursor());
    // A click on the New button shows its topic; no document opens.
    auto* button =
        qobject_cast<QToolButton*>(app_->ToolBar()->widgetForAction(app_->Action(24331)));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(Windows(), before);
    QVERIFY(!app_->InContextHelp());
    QVERIFY(!app_->HelpCursor);
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/24331.html"));
    QVERIFY(app_->HelpState);
    // Escape leaves the mode and gives the arrow back.
    QTest::keyClick(MainWin, Qt::Key_F1, Qt::ShiftModifier);
    QVERIFY(app_->InContextHelp());
    QTest::keyClick(MainWin, Qt::Key_Escape);
    QVERIFY(!app_->InContextHelp());
    QVERIFY(!QApplication::overrideCursor());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(Windows(), before + 1);
    // F1 alone opens the contents.
    QTest::keyClick(MainWin, Qt::Key_F1);
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/contents.html"));
  }

  void f1InAnOpenMenuShowsTheHighlightedItemsTopic() {
    WriteFile(DataFilePath(DataFile::kZarnNames), "zarn");
    QMenu* advanced = Bar()->actions()[3]->menu();
    advanced->popup(QPoint(10, 10));
    QTRY_VERIFY(QApplication::activePopupWidget() == advanced);
    advanced->setActiveAction(app_->Action(16));
    QTest::keyClick(advanced, Qt::Key_F1);
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/16.html"));
    QVERIFY(!QApplication::activePopupWidget());  // the menu closed, Reset Zarns did not run
    QVERIFY(!app_->InContextHelp());
    QVERIFY(QFile::exists(QString::fromStdString(DataFilePath(DataFile::kZarnNames))));
  }

  void everyCommandHasAHelpTopic() {
    for (int id : zcmd::AllCommands()) {
      QVERIFY2(!HelpTopicPath(id).isEmpty(), qPrintable(QString::number(id)));
      QVERIFY(ShowHelpContext(id));
      QCOMPARE(HelpWindow()->CurrentPage(), HelpTopicPath(id));
      QVERIFY(!HelpWindow()->Browser()->toPlainText().isEmpty());
    }
    QVERIFY(app_->Command(zcmd::CM_HELPUSING));
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/usinghelp.html"));
    QVERIFY(app_->Command(zcmd::CM_HELPCONTENTS));
    QCOMPARE(HelpWindow()->CurrentPage(), QStringLiteral(":/help/contents.html"));
    // The contents links every topic.
    const QString html = HelpWindow()->Browser()->toHtml();
    for (int id : zcmd::AllCommands()) QVERIFY(html.contains(QStringLiteral("%1.html").arg(id)));
  }

  void windowCommandsArrangeTheDocuments() {
    app_->Command(zcmd::CM_FILENEW);
    app_->Command(zcmd::CM_FILENEW);
    app_->Command(zcmd::CM_FILENEW);
    QCOMPARE(Windows(), 3);
    // The Window menu lists the documents, the active one checked; choosing one activates it.
    QMenu* windowMenu = Bar()->actions()[4]->menu();
    emit windowMenu->aboutToShow();
    QList<QAction*> listed;
    for (QAction* a : windowMenu->actions())
      if (a->property("windowList").toBool() && !a->isSeparator()) listed << a;
    QCOMPARE(listed.size(), 3);
    QVERIFY(listed[0]->text().startsWith(QStringLiteral("&1 ")));
    QVERIFY(listed[2]->isChecked());
    listed[0]->trigger();
    QCOMPARE(app_->Client()->activeSubWindow(),
             app_->Client()->subWindowList(QMdiArea::CreationOrder).first());
    emit windowMenu->aboutToShow();  // rebuilt, not appended
    int again = 0;
    for (QAction* a : windowMenu->actions())
      again += a->property("windowList").toBool() && !a->isSeparator();
    QCOMPARE(again, 3);
    QVERIFY(app_->Command(zcmd::CM_TILECHILDREN));
    const auto list = app_->Client()->subWindowList();
    QVERIFY(!list[0]->geometry().intersects(list[1]->geometry()));
    QVERIFY(app_->Command(zcmd::CM_CASCADECHILDREN));
    QVERIFY(app_->Command(zcmd::CM_CLOSECHILDREN));
    QCoreApplication::processEvents();
    QCOMPARE(Windows(), 0);
  }
};

ZARNS_UI_TEST_MAIN(ShellCommandsTest)
#include "shell_commands_test.moc"
