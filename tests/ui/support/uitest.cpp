#include "ui/support/uitest.h"

#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace uitest {

namespace {
std::string root;
int counter = 0;
bool handled = false;
int pending = 0;  // OnNextModal handlers waiting
}  // namespace

void Setup() {
  std::string tmpl = (fs::temp_directory_path() / "zarns-uitest-XXXXXX").string();
  char* made = mkdtemp(tmpl.data());
  root = std::string(made ? made : "/tmp/zarns-uitest") + "/";
  for (const char* d : {"data", "xdg-data", "xdg-config", "home"}) fs::create_directories(root + d);
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "xdg-data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "xdg-config").c_str(), 1);
  setenv("HOME", (root + "home").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void Teardown() {
  std::error_code ec;
  if (!root.empty() && root.find("zarns-uitest") != std::string::npos) fs::remove_all(root, ec);
}

const std::string& Root() { return root; }

std::string FreshDir(const std::string& name) {
  std::string dir = root + "t" + std::to_string(++counter) + "-" + name + "/";
  fs::create_directories(dir);
  return dir;
}

void ClearDataDir() {
  std::error_code ec;
  for (auto& e : fs::directory_iterator(root + "data", ec)) fs::remove_all(e.path(), ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void OnNextModal(std::function<void(QWidget*)> f, int timeoutMs) {
  handled = false;
  ++pending;
  auto* timer = new QTimer;
  auto left = std::make_shared<int>(timeoutMs / 10);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, left, f]() {
    QWidget* w = QApplication::activePopupWidget();
    if (!w) w = QApplication::activeModalWidget();
    if (w && w->isVisible()) {
      timer->stop();
      timer->deleteLater();
      handled = true;
      --pending;
      f(w);
      return;
    }
    if (--*left <= 0) {
      --pending;
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

void InstallModalGuard() {
  auto* timer = new QTimer(qApp);
  auto seen = std::make_shared<int>(0);
  timer->setInterval(250);
  QObject::connect(timer, &QTimer::timeout, [seen] {
    QWidget* w = QApplication::activePopupWidget();
    if (!w) w = QApplication::activeModalWidget();
    if (!w || pending > 0) {
      *seen = 0;
      return;
    }
    if (++*seen >= 8) {
      qWarning("closing an unexpected window: %s \"%s\"", w->metaObject()->className(),
               qPrintable(w->windowTitle()));
      *seen = 0;
      w->close();
    }
  });
  timer->start();
}

bool ModalHandled() { return handled; }

}  // namespace uitest
