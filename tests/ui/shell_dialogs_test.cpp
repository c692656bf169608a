// The shell's own dialogs: Preferences (2217), System Information (26000)
// and About (22000) with their captions, control ids and texts, and what
// each does with its values.
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

#include "framework/uihooks.h"
#include "platform/pdatadir.h"
#include "shell/ui/zdbg.h"
#include "shell/ui/zrnsabtd.h"
#include "shell/ui/zrnsusrp.h"
#include "ui/support/uitest.h"

namespace {
template <class T>
QString Text(QWidget* dlg, int id) {
  T* w = uitest::ById<T>(dlg, id);
  if (!w) return QStringLiteral("<missing %1>").arg(id);
  return w->text();
}
}  // namespace

class ShellDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { uitest::ClearDataDir(); }

  void preferencesLayout() {
    TZarnsUserPref dlg(nullptr);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Preferences"));
    QCOMPARE(dlg.objectName(), QStringLiteral("2217"));
    QCOMPARE(Text<QPushButton>(&dlg, 1), QStringLiteral("OK"));
    QCOMPARE(Text<QPushButton>(&dlg, 2), QStringLiteral("Cancel"));
    QCOMPARE(Text<QPushButton>(&dlg, 9), QStringLiteral("Help"));
    auto* group = uitest::ById<QGroupBox>(&dlg, 101);
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("File List Double Click Action"));
    auto* app = uitest::ById<QRadioButton>(group, 1052);
    auto* zarns = uitest::ById<QRadioButton>(group, 1053);
    QVERIFY(app && zarns);
    QCOMPARE(app->text(), QStringLiteral("Open File In Its Application"));
    QCOMPARE(zarns->text(), QStringLiteral("Open File in Zarns"));
    QVERIFY(app->autoExclusive() && zarns->autoExclusive());
    // Nothing chosen yet: files open in their own application, and that
    // choice is the one shown marked.
    QVERIFY(app->isChecked() && !zarns->isChecked());
    QCOMPARE(dlg.ListDblClkAction, 0);
    QCOMPARE(ListDblClkAction(), 0);
  }

  void preferencesChoiceIsKeptAndReachesTheResultsList() {
    uitest::ClearDataDir();
    uihooks::ListDblClkAction = [] { return ListDblClkAction(); };
    {
      TZarnsUserPref dlg(nullptr);
      QTest::mouseClick(uitest::ById<QRadioButton>(&dlg, 1053), Qt::LeftButton);
      QCOMPARE(dlg.ListDblClkAction, 1);
      // Cancel changes nothing.
      uitest::ById<QPushButton>(&dlg, 2)->click();
    }
    QCOMPARE(ListDblClkAction(), 0);
    {
      TZarnsUserPref dlg(nullptr);
      QTest::mouseClick(uitest::ById<QRadioButton>(&dlg, 1053), Qt::LeftButton);
      uitest::ById<QPushButton>(&dlg, 1)->click();
      QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    QCOMPARE(ListDblClkAction(), 1);
    QCOMPARE(uihooks::ListDblClkAction(), 1);
    QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value("Preferences/ListDblClkAction").toInt(), 1);
    {
      // The next time the dialog shows the kept choice, and can go back.
      TZarnsUserPref dlg(nullptr);
      QVERIFY(uitest::ById<QRadioButton>(&dlg, 1053)->isChecked());
      QTest::mouseClick(uitest::ById<QRadioButton>(&dlg, 1052), Qt::LeftButton);
      QCOMPARE(dlg.ListDblClkAction, 0);
      uitest::ById<QPushButton>(&dlg, 1)->click();
    }
    QCOMPARE(ListDblClkAction(), 0);
    // A damaged value reads as the default.
    ini.setValue("Preferences/ListDblClkAction", "garbage");
    ini.sync();
    QCOMPARE(ListDblClkAction(), 0);
    {
      // ... and the dialog marks the choice in effect.
      TZarnsUserPref dlg(nullptr);
      QVERIFY(uitest::ById<QRadioButton>(&dlg, 1052)->isChecked());
      QVERIFY(!uitest::ById<QRadioButton>(&dlg, 1053)->isChecked());
    }
    ini.setValue("Preferences/ListDblClkAction", 7);
    ini.sync();
    QCOMPARE(ListDblClkAction(), 0);
    uihooks::ListDblClkAction = nullptr;
  }

  void systemInformationShowsKilobytesAndTheLoad() {
    plat::MemoryStatus ms;
    ms.totalPhys = 65536ull * 1024;
    ms.availPhys = 16384ull * 1024 + 1000;  // rounded down to whole KB
    ms.memoryLoad = 75;
    ZDbg dlg(nullptr, 26000, &ms);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("System Information"));
    QCOMPARE(dlg.objectName(), QStringLiteral("26000"));
    QCOMPARE(Text<QLabel>(&dlg, 26001), QStringLiteral("65536"));
    QCOMPARE(Text<QLabel>(&dlg, 26002), QStringLiteral("16384"));
    QCOMPARE(Text<QLabel>(&dlg, 26003), QStringLiteral("75"));
    auto* load = uitest::ById<QProgressBar>(&dlg, 2603);
    auto* avail = uitest::ById<QProgressBar>(&dlg, 2602);
    QVERIFY(load && avail);
    QCOMPARE(load->value(), 75);
    QCOMPARE(load->minimum(), 0);
    QCOMPARE(load->maximum(), 100);
    QCOMPARE(load->text(), QStringLiteral("75%"));
    QCOMPARE(avail->value(), 25);  // the share still available
    QCOMPARE(avail->palette().color(QPalette::Highlight), QColor(255, 40, 40));
    QCOMPARE(load->geometry(), QRect(20, 100, 160, 25));
    QCOMPARE(avail->geometry(), QRect(20, 62, 160, 25));
    QCOMPARE(Text<QPushButton>(&dlg, 1), QStringLiteral("OK"));
    for (const char* label : {"KB Total Phys Mem", "Available Phys Mem", "Percent Phys Used"}) {
      bool found = false;
      for (QLabel* l : dlg.findChildren<QLabel*>()) found |= l->text() == QLatin1String(label);
      QVERIFY2(found, label);
    }
    // A machine whose memory cannot be read shows zeros, never a division by zero.
    plat::MemoryStatus none;
    dlg.SetupWindow(none);
    QCOMPARE(Text<QLabel>(&dlg, 26001), QStringLiteral("0"));
    QCOMPARE(avail->value(), 0);
    // The real reading fits the bars.
    ZDbg real(nullptr);
    QVERIFY(uitest::ById<QProgressBar>(&real, 2603)->value() <= 100);
  }

  void aboutJoinsNameTextAndVersion() {
    TProjectRCVersion v(TProjectRCVersion::Info{{"ProductName", "X"},
                                                {"ProductVersion", "1.0"},
                                                {"LegalCopyright", "(C) us\nline 2"},
                                                {"SpecialBuild", "test build"}});
    TZarnsAboutDlg dlg(nullptr, 22000, &v);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("About Zarns"));
    QCOMPARE(dlg.objectName(), QStringLiteral("22000"));
    QCOMPARE(Text<QLabel>(&dlg, 22001), QStringLiteral("X by Brindle 1.0"));
    QCOMPARE(Text<QLabel>(&dlg, 22002), QStringLiteral("(C) us\nline 2"));
    QCOMPARE(Text<QLabel>(&dlg, 22003), QStringLiteral("test build"));
    QCOMPARE(Text<QPushButton>(&dlg, 1), QStringLiteral("OK"));
    QVERIFY(!uitest::ById<QLabel>(&dlg, 1001)->pixmap().isNull());
    bool title = false;
    for (QLabel* l : dlg.findChildren<QLabel*>()) title |= l->text() == QLatin1String("Zarns 1.0");
    QVERIFY(title);
  }

  void aboutWithoutVersionInformationKeepsTheResourceTexts() {
    for (bool translation : {true, false}) {
      TProjectRCVersion v(
          translation ? TProjectRCVersion::Info{}
                      : TProjectRCVersion::Info{{"ProductName", "X"}, {"ProductVersion", "2"}},
          translation);
      TZarnsAboutDlg dlg(nullptr, 22000, &v);
      QCOMPARE(Text<QLabel>(&dlg, 22001), QStringLiteral("by Brindle"));
      QCOMPARE(Text<QLabel>(&dlg, 22002), QString());
      QCOMPARE(Text<QLabel>(&dlg, 22003), QString());
    }
    // A name without a version leaves 22001 alone too.
    TProjectRCVersion half(TProjectRCVersion::Info{{"ProductName", "X"}});
    TZarnsAboutDlg dlg(nullptr, 22000, &half);
    QCOMPARE(Text<QLabel>(&dlg, 22001), QStringLiteral("by Brindle"));
    const char* out = nullptr;
    QVERIFY(!half.GetProductVersion(out));
    QVERIFY(half.GetProductName(out));
    QCOMPARE(QString::fromUtf8(out), QStringLiteral("X"));
  }

  void theProgramsOwnVersion() {
    TProjectRCVersion own;
    const char* name = nullptr;
    const char* version = nullptr;
    QVERIFY(own.GetProductName(name));
    QVERIFY(own.GetProductVersion(version));
    QCOMPARE(QString::fromUtf8(name), QStringLiteral("Zarns"));
    QCOMPARE(QString::fromUtf8(version), QStringLiteral(ZARNS_VERSION));
    TZarnsAboutDlg dlg(nullptr);
    QCOMPARE(Text<QLabel>(&dlg, 22001), QStringLiteral("Zarns by Brindle " ZARNS_VERSION));
  }
};

ZARNS_UI_TEST_MAIN(ShellDialogsTest)
#include "shell_dialogs_test.moc"
