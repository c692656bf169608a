// The settings file names the user's recent documents: it is private
// (0600) whatever the umask, when first written and after every rewrite,
// and a file that was left more open is tightened by the next write.
#include <sys/stat.h>

#include <QSettings>
#include <QTest>

#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "shell/ui/recentfiles.h"
#include "shell/ui/zrnsusrp.h"
#include "ui/support/uitest.h"

namespace {

int Mode(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

}  // namespace

class SettingsPrivateTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { saved_ = umask(022); }
  void cleanup() { umask(saved_); }

  void recentListIsPrivateFromItsFirstWrite() {
    const std::string path = uitest::FreshDir("private-recent") + "Zarns.ini";
    RecentFiles recent(QString::fromStdString(path));
    recent.Add(QStringLiteral("/home/someone/secret plans.txt"));
    QCOMPARE(Mode(path), 0600);
    recent.Add(QStringLiteral("/home/someone/more.txt"));
    QCOMPARE(Mode(path), 0600);
    QCOMPARE(recent.Files().size(), 2);
  }

  void aMoreOpenFileIsTightenedByTheNextWrite() {
    const std::string path = uitest::FreshDir("private-open") + "Zarns.ini";
    WriteFile(path, "[MRU]\nCount=1\nFile1=/a.txt\n");
    chmod(path.c_str(), 0644);
    RecentFiles recent(QString::fromStdString(path));
    recent.Add(QStringLiteral("/b.txt"));
    QCOMPARE(Mode(path), 0600);
    QCOMPARE(recent.Files(), (QStringList{"/b.txt", "/a.txt"}));
  }

  void preferencesInTheDataDirectoryArePrivate() {
    const std::string path = plat::DataPath("Zarns.ini");
    std::remove(path.c_str());
    SetListDblClkAction(kOpenInZarns);
    QCOMPARE(Mode(path), 0600);
    QCOMPARE(ListDblClkAction(), kOpenInZarns);
    struct stat st;
    QCOMPARE(stat(plat::DataDir().c_str(), &st), 0);
    QCOMPARE(static_cast<int>(st.st_mode & 0777), 0700);
  }

 private:
  mode_t saved_ = 022;
};

ZARNS_UI_TEST_MAIN(SettingsPrivateTest)
#include "settings_private_test.moc"
