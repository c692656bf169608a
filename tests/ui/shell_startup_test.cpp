// Start-up and shut-down of the program: the catalog question before any
// window exists, the command line (registration and the unregister option),
// the main window's state, and the order in which shared objects go away.
#include <QFile>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <memory>

#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "platform/pregistry.h"
#include "shell/cmdline.h"
#include "shell/desktopreg.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {
struct Prompt {
  QString caption;
  bool hadMainWindow;
  const ZrnIO* files;  // the file set "Now" would build
};
std::vector<Prompt> prompts;

QString DesktopEntryPath() {
  return QString::fromStdString(DesktopRegistration::DesktopEntryPath(plat::XdgDataHome()));
}
QString MimePackagePath() {
  return QString::fromStdString(DesktopRegistration::MimePackagePath(plat::XdgDataHome()));
}

// Makes every file of the catalog group exist, so the catalog check passes.
void MakeCatalogFiles() {
  ZrnIO io;
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtMatch, DataFile::kExtensions, DataFile::kExtList,
        DataFile::kExtTypeCatMatch, DataFile::kExtCategory})
    WriteFile(io.FileName(n), "");
}
}  // namespace

class ShellStartupTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  plat::RecordingLauncher launcher_;

  std::unique_ptr<TZarnsApp> Start(QStringList args) {
    args.prepend(QStringLiteral("zarns"));
    auto app = std::make_unique<TZarnsApp>(args, &host_);
    app->InitInstance();
    return app;
  }
  static plat::Registry& Reg() { return plat::ClassesRoot(); }

 private slots:
  void initTestCase() {
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO& files, const QString& caption) {
      prompts.push_back({caption, MainWin != nullptr, &files});
    };
  }
  void cleanupTestCase() { plat::SetLauncher(nullptr); }
  void init() {
    uitest::ClearDataDir();
    prompts.clear();
  }

  void withoutACatalogTheQuestionComesBeforeTheWindow() {
    {
      auto app = Start({});
      QCOMPARE(prompts.size(), std::size_t(1));
      QCOMPARE(prompts[0].caption,
               QStringLiteral("No Zarns Catalog Exists, Create Now or Schedule later?"));
      QVERIFY(!prompts[0].hadMainWindow);
      QCOMPARE(prompts[0].files, &app->DataFiles());  // the program's own file set
      QVERIFY(MainWin);                               // the program runs on without a catalog
    }
    // The question comes again at the next start.
    { auto app = Start({}); }
    QCOMPARE(prompts.size(), std::size_t(2));
    // With a complete catalog there is no question; an incomplete one asks.
    MakeCatalogFiles();
    { auto app = Start({}); }
    QCOMPARE(prompts.size(), std::size_t(2));
    ZrnIO io;
    QVERIFY(QFile::remove(QString::fromStdString(io.FileName(DataFile::kExtTypeCatMatch))));
    { auto app = Start({}); }
    QCOMPARE(prompts.size(), std::size_t(3));
  }

  void catalogCheckLeavesNoFileOpen() {
    MakeCatalogFiles();
    auto app = Start({});
    // Every catalog file can be opened for writing right away.
    for (DataFile n :
         {DataFile::kWordsBuf, DataFile::kFilesBuf, DataFile::kExtensions, DataFile::kExtMatch}) {
      ZrnIO& files = app->DataFiles();
      HANDLE h = files.NewFile(files.FileName(n).c_str(), "w");
      QVERIFY(plat::IsOpen(h));
      files.CloseFile(h);
    }
  }

  void unregisterOptionParsing() {
    for (const char* yes :
         {"/unregister", "-unregister", "-UNREG", "/u", "-U", "-", "/unreg", "/UnRegister", "-x -u",
          "file.txt /unr", "-a/u", "-u=yes", "\t-unregister\t"})
      QVERIFY2(HasUnregisterOption(yes), yes);
    for (const char* no :
         {"", "unregister", "-unregisterx", "/unregisterx", "--open", "-x", "notes.txt",
          "/home/me/u.zxt", "/usr/share/doc/unreg", "u", "-register", "x-u"})
      QVERIFY2(!HasUnregisterOption(no), no);
  }

  void everyNormalStartRegisters() {
    auto app = Start({});
    const QString exe = QCoreApplication::applicationFilePath();
    QCOMPARE(
        QString::fromStdString(Reg().GetString("Zarns.Application\\DefaultIcon", "").value_or("")),
        exe);
    QCOMPARE(
        QString::fromStdString(Reg().GetString("Zarns.Document.1\\DefaultIcon", "").value_or("")),
        exe + QStringLiteral(",1"));
    QCOMPARE(Reg().GetString(".zxt", "").value_or(""), std::string("Zarns.Document.1"));
    QVERIFY(Reg().KeyExists("Zarns.Application\\FileCategories"));
    // The desktop knows the program and the ".zxt" type.
    QFile desktop(DesktopEntryPath());
    QVERIFY(desktop.open(QIODevice::ReadOnly));
    const QByteArray entry = desktop.readAll();
    QVERIFY(entry.contains("Exec=\"" + exe.toUtf8() + "\" --open %F"));
    QVERIFY(entry.contains("MimeType=application/x-zarns-document;"));
    QFile mime(MimePackagePath());
    QVERIFY(mime.open(QIODevice::ReadOnly));
    QVERIFY(mime.readAll().contains("<glob pattern=\"*.zxt\"/>"));
    // A value someone changed is written again at the next start.
    Reg().SetString(".zxt", "", "Other.Document");
    app.reset();
    app = Start({});
    QCOMPARE(Reg().GetString(".zxt", "").value_or(""), std::string("Zarns.Document.1"));
  }

  void unregisterRemovesTheKeysAndStillOpensTheWindow() {
    for (const QString& opt : {QStringLiteral("/unregister"), QStringLiteral("-UNREG"),
                               QStringLiteral("/u"), QStringLiteral("-")}) {
      { auto app = Start({}); }  // registered
      QVERIFY(Reg().KeyExists(".zxt"));
      auto app = Start({opt});
      QVERIFY2(MainWin && MainWin->isVisible(), qPrintable(opt));
      QVERIFY2(!Reg().KeyExists(".zxt"), qPrintable(opt));
      QVERIFY(!Reg().KeyExists("Zarns.Document.1"));
      QVERIFY(!Reg().KeyExists("Zarns.Application\\DefaultIcon"));
      QVERIFY(!QFile::exists(DesktopEntryPath()));
      QVERIFY(!QFile::exists(MimePackagePath()));
    }
    // "-unregisterx" and a bare word register instead.
    for (const QString& opt : {QStringLiteral("-unregisterx"), QStringLiteral("unregister")}) {
      { auto app = Start({QStringLiteral("/u")}); }
      QVERIFY(!Reg().KeyExists(".zxt"));
      auto app = Start({opt});
      QVERIFY2(Reg().KeyExists(".zxt"), qPrintable(opt));
    }
  }

  void unregisterKeepsTheUsersFileCategories() {
    { auto app = Start({}); }
    Reg().SetDword("Zarns.Application\\FileCategories\\Music\\Inclusions", "mp3", 42);
    { auto app = Start({QStringLiteral("-u")}); }
    QVERIFY(!Reg().KeyExists("Zarns.Application\\DefaultIcon"));
    QCOMPARE(
        Reg().GetDword("Zarns.Application\\FileCategories\\Music\\Inclusions", "mp3").value_or(0),
        42u);
    QVERIFY(!Reg().KeyExists(".zxt"));
  }

  void fileNamesOnTheCommandLineAreNotOpenedUnlessHandedOver() {
    const std::string dir = uitest::FreshDir("cmdline");
    WriteFile(dir + "a.txt", "alpha\n");
    {
      auto app = Start({QString::fromStdString(dir + "a.txt")});
      QCOMPARE(app->Client()->subWindowList().size(), 0);
    }
    {
      // The desktop entry hands files over after --open.
      auto app = Start({QStringLiteral("--open"), QString::fromStdString(dir + "a.txt")});
      QCOMPARE(app->Client()->subWindowList().size(), 1);
      QVERIFY(Reg().KeyExists(".zxt"));
      auto* child = app->ActiveChild();
      QCOMPARE(child->View()->toPlainText(), QStringLiteral("alpha\n"));
    }
    {
      // A handed-over name that looks like an option is still a name.
      WriteFile(dir + "notes -u.txt", "beta\n");
      auto app = Start({QStringLiteral("--open"), QString::fromStdString(dir + "notes -u.txt"),
                        QStringLiteral("-u")});
      QVERIFY(Reg().KeyExists(".zxt"));
      QCOMPARE(app->Client()->subWindowList().size(), 1);
    }
  }

  void mainWindowOpensMaximisedWithItsToolBar() {
    auto app = Start({});
    QVERIFY(MainWin->isVisible());
    QVERIFY(MainWin->windowState() & Qt::WindowMaximized);
    QVERIFY(app->ToolBar()->isVisible());
    QVERIFY(MainWin->statusBar()->isVisible());
  }

  void shutDownAsksTheDocumentsAndReleasesTheSharedObjects() {
    auto app = Start({});
    app->Command(24331);
    app->ActiveView()->insertPlainText(QStringLiteral("changed"));
    QVERIFY(app->ActiveChild()->IsDirty());
    // Cancel keeps the program running.
    host_.answers = {IDCANCEL};
    QVERIFY(!MainWin->close());
    QVERIFY(MainWin->isVisible());
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].caption, std::string("Zarns"));
    QCOMPARE(host_.boxes[0].flags & MB_TYPEMASK, unsigned(MB_YESNOCANCEL));
    // No closes without saving.
    host_.answers = {IDNO};
    QVERIFY(MainWin->close());
    QCOMPARE(&app->Zarn().GetFiles(), &app->DataFiles());  // the engine works on the program's set
    app.reset();
    QVERIFY(!MainWin);
    QVERIFY(!TZarnsApp::Instance());
    host_.boxes.clear();
  }
};

ZARNS_UI_TEST_MAIN(ShellStartupTest)
#include "shell_startup_test.moc"
