#include "framework/uihooks.h"

#include <QApplication>
#include <QWidget>

namespace uihooks {

std::function<bool(const QString& path)> OpenDocument;
std::function<int()> ListDblClkAction;
std::function<QWidget*()> MainWindow;
std::function<void(int topic)> ShowHelp;

QWidget* DialogParent() {
  if (MainWindow) {
    if (QWidget* w = MainWindow()) return w;
  }
  return QApplication::activeWindow();
}

}  // namespace uihooks
