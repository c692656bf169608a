#include "ui/support/uitest.h"

#include "common/testenv.h"

#include <unistd.h>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace uitest {

namespace {
bool handled = false;
int pending = 0;  // OnNextModal handlers waiting
}  // namespace

// The same private tree as the core tests get, plus the offscreen platform.
void Setup() {
  TestEnv::Setup();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void Teardown() { TestEnv::Teardown(); }

const std::string& Root() { return TestEnv::Root(); }

std::string FreshDir(const std::string& name) { return TestEnv::FreshDir(name); }

void ClearDataDir() { TestEnv::ClearDataDir(); }

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
