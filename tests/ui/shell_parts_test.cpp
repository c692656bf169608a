// The shell's smaller parts on their own: the recent-file list and its menu
// entries, the keyboard-lock indicators, the text conversion to and from Qt,
// the dialog-unit scale, and a document window with a site of its own.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "common/recordinghost.h"
#include "framework/dlgunits.h"
#include "framework/qtstrings.h"
#include "shell/ui/recentfiles.h"
#include "shell/ui/statusind.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zdbg.h"
#include "shell/ui/zfindrep.h"
#include "shell/ui/zrnsabtd.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsusrp.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QStringList MenuTexts(QMenu* m) {
  QStringList out;
  for (QAction* a : m->actions())
    out << (a->isSeparator() ? QStringLiteral("-") + (a->isVisible() ? "" : "hidden") : a->text());
  return out;
}

void Led(const std::string& dir, const std::string& name, const std::string& value) {
  QDir().mkpath(Q(dir + name));
  WriteFile(dir + name + "/brightness", value);
}

// A site that records what the document window asks of it.
class FakeSite : public DocumentSite {
 public:
  QString AskSaveName(const QString& suggested) override {
    asked << suggested;
    return answer;
  }
  QPlainTextEdit* ActiveEditor() const override { return editor; }
  QWidget* MainWindow() const override { return main; }
  MessageHost& Messages() override { return messages; }

  RecordingHost messages;
  QStringList asked;
  QString answer;
  QPlainTextEdit* editor = nullptr;
  QWidget* main = nullptr;
};

}  // namespace

class ShellPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void recentFilesKeepTheEightNewestInTheIniFile() {
    const std::string dir = uitest::FreshDir("recent");
    const QString ini = Q(dir + "Zarns.ini");
    WriteFile(dir + "Zarns.ini", "[Preferences]\nListDblClkAction=1\n");
    RecentFiles recent(ini);
    QVERIFY(recent.Files().isEmpty());
    for (int i = 0; i < 10; ++i) recent.Add(QStringLiteral("/docs/f%1.txt").arg(i));
    recent.Add(QStringLiteral("/docs/f5.txt"));  // again: moves to the top, no repeat
    recent.Add(QString());                       // nothing to remember
    const QStringList expect{"/docs/f5.txt", "/docs/f9.txt", "/docs/f8.txt", "/docs/f7.txt",
                             "/docs/f6.txt", "/docs/f4.txt", "/docs/f3.txt", "/docs/f2.txt"};
    QCOMPARE(recent.Files(), expect);
    // The file: Count and File1..File8 in section MRU, the other sections kept.
    QString text = Q(Slurp(dir + "Zarns.ini"));
    QString mru = QStringLiteral("[MRU]\nCount=8\n");
    for (int i = 0; i < 8; ++i) mru += QStringLiteral("File%1=%2\n").arg(i + 1).arg(expect[i]);
    QVERIFY2(text.contains(mru), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("[Preferences]\nListDblClkAction=1\n")));
    // Another instance reads what this one wrote.
    QCOMPARE(RecentFiles(ini).Files(), expect);
  }

  void recentFilesKeepOddNamesAsTheyAre() {
    const QString ini = Q(uitest::FreshDir("recentodd") + "Zarns.ini");
    RecentFiles recent(ini);
    const QStringList names{QStringLiteral("/a, b; c=d.txt"), QStringLiteral("/#x [y] \"q\".txt"),
                            QStringLiteral("/caf\u00e9 \u20ac/ &amp.txt"),
                            QStringLiteral(" /lead and trail ")};
    for (const QString& n : names) recent.Add(n);
    QStringList back = recent.Files();
    std::reverse(back.begin(), back.end());
    QCOMPARE(back, names);
    // Over-long names are cut when read back.
    recent.Add(QStringLiteral("/") + QString(400, QLatin1Char('n')));
    QCOMPARE(recent.Files().first().size(), RecentFiles::kMaxPath);
  }

  void recentFilesOnTheMenu() {
    const QString ini = Q(uitest::FreshDir("recentmenu") + "Zarns.ini");
    RecentFiles recent(ini);
    QMenu menu;
    menu.addAction(QStringLiteral("Send"));
    QAction* anchor = menu.addSeparator();
    menu.addAction(QStringLiteral("Exit"));
    recent.AttachMenu(&menu, anchor);
    // No names: no entries and no separator of their own.
    QCOMPARE(MenuTexts(&menu), (QStringList{"Send", "-hidden", "Exit"}));
    recent.Add(QStringLiteral("/x/Tom & Jerry.txt"));
    recent.Add(QStringLiteral("/x/b.txt"));
    QCOMPARE(MenuTexts(&menu),
             (QStringList{"Send", "&1 /x/b.txt", "&2 /x/Tom && Jerry.txt", "-", "Exit"}));
    QCOMPARE(menu.actions().at(2)->objectName(), QStringLiteral("MRU2"));
    QSignalSpy chosen(&recent, &RecentFiles::Chosen);
    menu.actions().at(2)->trigger();
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.first().first().toInt(), 1);
    // The entries follow the file, and never pass eight.
    for (int i = 0; i < 12; ++i) recent.Add(QStringLiteral("/x/%1").arg(i));
    QCOMPARE(menu.actions().size(), 1 + RecentFiles::kMax + 2);
    QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("&1 /x/11"));
  }

  void indicatorsFollowTheKeyboardLeds() {
    const std::string leds = uitest::FreshDir("leds");
    Led(leds, "input3::capslock", "1\n");
    Led(leds, "input3::numlock", "0\n");
    Led(leds, "input7::numlock", "  2\n");  // a second keyboard with its lock on
    Led(leds, "input3::scrolllock", "junk");
    Led(leds, "phy0-led", "1\n");  // not a keyboard lock
    StatusIndicators ind(nullptr, Q(leds));
    for (const char* name : {"CAPS", "NUM", "SCRL"}) QVERIFY(ind.findChild<QLabel*>(name));
    QCOMPARE(ind.Caps()->text(), QStringLiteral("CAPS"));
    QVERIFY(ind.Caps()->isEnabled());
    QVERIFY(ind.Num()->isEnabled());
    QVERIFY(!ind.Scrl()->isEnabled());
    // Each refresh reads the LEDs again.
    WriteFile(leds + "input3::capslock/brightness", "0\n");
    WriteFile(leds + "input3::scrolllock/brightness", "1");
    ind.Refresh();
    QVERIFY(!ind.Caps()->isEnabled());
    QVERIFY(ind.Scrl()->isEnabled());
    // A file of nothing but blanks is no brightness.
    WriteFile(leds + "input3::scrolllock/brightness", std::string(1 << 20, ' '));
    ind.Refresh();
    QVERIFY(!ind.Scrl()->isEnabled());
    // The poll runs by itself.
    WriteFile(leds + "input3::capslock/brightness", "1\n");
    QTRY_VERIFY_WITH_TIMEOUT(ind.Caps()->isEnabled(), 5 * StatusIndicators::kPollMs);
  }

  void indicatorsWithoutLedsStayOff() {
    StatusIndicators ind(nullptr, Q(uitest::Root() + "no/such/leds"));
    QVERIFY(!ind.Caps()->isEnabled());
    QVERIFY(!ind.Num()->isEnabled());
    QVERIFY(!ind.Scrl()->isEnabled());
    QVERIFY(!ind.LedOn(QStringLiteral("capslock")));
  }

  void textsBetweenTheCoreAndQt() {
    QCOMPARE(ToQt("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
    // Not UTF-8: every byte becomes the character of the same number.
    QCOMPARE(ToQt("caf\xe9"), QStringLiteral("caf\u00e9"));
    QCOMPARE(ToQt("\xc3"), QString(QChar(0xC3)));
    QCOMPARE(ToQt(std::string("a\0b", 3)).size(), 3);
    QCOMPARE(FromQt(QStringLiteral("caf\u00e9 \u20ac")), std::string("caf\xc3\xa9 \xe2\x82\xac"));
    QCOMPARE(FromQt(QString()), std::string());
    for (const std::string& s : {std::string("plain"), std::string("\xf0\x9f\x98\x80 smile"),
                                 std::string("tab\there\r\n")})
      QCOMPARE(FromQt(ToQt(s)), s);
  }

  void dialogUnitsDoNotDependOnTheFonts() {
    QCOMPARE(dlgunits::Rect(4, 8, 40, 16), QRect(6, 13, 60, 26));
    QCOMPARE(dlgunits::Rect(0, 0, 7, 9).size(), QSize(dlgunits::X(7), dlgunits::Y(9)));
    // The dialogs have the same size whatever font the machine has.
    TZarnsUserPref prefs(nullptr);
    QCOMPARE(prefs.size(), QSize(360, 390));
    QCOMPARE(uitest::ById<QPushButton>(&prefs, 1)->geometry(), QRect(276, 19, 75, 22));
    TZarnsAboutDlg about(nullptr);
    QCOMPARE(about.size(), QSize(320, 130));
    ZDbg dbg(nullptr);
    QCOMPARE(dbg.size(), QSize(440, 185));
  }

  void aDocumentWindowAsksItsSite() {
    FakeSite site;
    ZrnIO files;
    ZarnContext ctx(site.messages, files);
    QWidget main;
    site.main = &main;
    QMdiArea area;
    auto* view = new zui::TZarnsEditView(ctx);
    auto* child = new TZarnsMDIChild(&area, view, site);
    area.addSubWindow(child);
    view->insertPlainText(QStringLiteral("alpha beta"));
    // Save As asks the site for the name.
    const std::string dir = uitest::FreshDir("site");
    site.answer = Q(dir + "saved.zxt");
    QSignalSpy path(child, &TZarnsMDIChild::PathChanged);
    QVERIFY(child->SaveAs());
    QCOMPARE(site.asked, QStringList{QStringLiteral("Untitled.zxt")});
    QCOMPARE(Slurp(dir + "saved.zxt"), std::string("alpha beta"));
    QCOMPARE(path.size(), 1);
    site.answer.clear();  // cancelled: nothing saved
    QVERIFY(!child->SaveAs());
    QCOMPARE(site.asked.last(), Q(dir + "saved.zxt"));  // the document's own name first
    QCOMPARE(child->Path(), Q(dir + "saved.zxt"));
    // The find box belongs to the site's main window and searches the editor
    // the site names, not the window that opened it.
    QPlainTextEdit other;
    other.setPlainText(QStringLiteral("one two beta"));
    site.editor = &other;
    QVERIFY(child->HandleCommand(zcmd::CM_EDITFIND));
    auto* find = main.findChild<TZarnsFindDlg*>();
    QVERIFY(find);
    find->findChild<QLineEdit*>()->setText(QStringLiteral("beta"));
    for (QPushButton* b : find->findChildren<QPushButton*>())
      if (b->text() == QLatin1String("&Find Next")) b->click();
    QCOMPARE(other.textCursor().selectedText(), QStringLiteral("beta"));
    QVERIFY(!view->textCursor().hasSelection());
    delete find;
  }
};

ZARNS_UI_TEST_MAIN(ShellPartsTest)
#include "shell_parts_test.moc"
