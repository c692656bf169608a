// Start-up of the windowed program: from starting the process to a shown,
// exposed main window, with a word catalog in the data directory (so no
// question is asked). Each run is a fresh process; the same measurement of a
// bare Qt main window is the baseline the ratio is taken against.
//   startup_bench [RUNS]        runs both and reports median and best
//   startup_bench --child zarns|bare   one start (used by the parent)
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/zrnwcat.h"
#include "shell/ui/zarnsapp.h"
#include "store/zrnio.h"

namespace fs = std::filesystem;

namespace {

// Runs the event loop until `w` is exposed, then leaves.
int ShowAndQuit(QWidget* w) {
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (w->windowHandle() && w->windowHandle()->isExposed()) QApplication::quit();
  });
  poll.start(1);
  return QApplication::exec();
}

int Child(const std::string& kind, int argc, char** argv) {
  QApplication qapp(argc, argv);
  if (kind == "bare") {
    QMainWindow w;
    w.setWindowTitle("bare");
    w.showMaximized();
    return ShowAndQuit(&w);
  }
  TZarnsApp app(QStringList{"zarns"});
  app.InitInstance();
  return ShowAndQuit(MainWin);
}

double RunOnce(const char* self, const char* kind) {
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execl(self, self, "--child", kind, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

void Report(const char* name, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("  %-28s median %7.1f ms   best %7.1f ms   worst %7.1f ms\n", name, ms[ms.size() / 2],
              ms.front(), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--child") return Child(argv[2], argc, argv);
  const int runs = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 15;

  // A private profile with a catalog over a small generated corpus.
  const fs::path root = fs::temp_directory_path() / ("zarns-startup-" + std::to_string(getpid()));
  fs::create_directories(root / "data");
  fs::create_directories(root / "xdg");
  fs::create_directories(root / "corpus");
  setenv("ZARNS_DATA_DIR", (root / "data").c_str(), 1);
  setenv("XDG_DATA_HOME", (root / "xdg").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (int i = 0; i < 200; ++i) {
    std::ofstream f(root / "corpus" / ("note" + std::to_string(i) + ".txt"));
    for (int j = 0; j < 50; ++j)
      f << "word" << (i * 7 + j) % 997 << " budget meeting line " << j << "\n";
  }
  {
    ZrnIO files;
    WordCat cat(files);
    cat.CreateWordCatalog(nullptr, {(root / "corpus").string() + "/"});
    files.OpenFiles("r");
    const bool complete = files.TestFiles() == 1;
    files.CloseFiles();
    if (!complete) {
      std::fprintf(stderr, "the catalog build left files missing\n");
      return 1;
    }
  }

  std::printf("Start-up to a shown main window (%d runs each, platform %s)\n", runs,
              std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "default");
  std::vector<double> zarns, bare;
  RunOnce(argv[0], "zarns");  // warm the file cache
  for (int i = 0; i < runs; ++i) {
    bare.push_back(RunOnce(argv[0], "bare"));
    zarns.push_back(RunOnce(argv[0], "zarns"));
  }
  if (std::find(zarns.begin(), zarns.end(), -1.0) != zarns.end()) {
    std::fprintf(stderr, "a start failed\n");
    return 1;
  }
  Report("zarns (catalog present)", zarns);
  Report("bare Qt main window", bare);
  std::sort(zarns.begin(), zarns.end());
  std::sort(bare.begin(), bare.end());
  const double med = zarns[zarns.size() / 2];
  std::printf("  ratio zarns / bare (median)  %.2f\n", med / bare[bare.size() / 2]);
  std::printf("  target < 300 ms: %s\n", med < 300 ? "met" : "NOT met");
  fs::remove_all(root);
  return med < 300 ? 0 : 2;
}
