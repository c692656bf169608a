#include "shell/ui/zarnsapp.h"

#include <QApplication>
#include <QMainWindow>

int RunZarnsApp(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Zarns");
  QMainWindow win;
  win.setWindowTitle("Zarns");
  win.showMaximized();
  return app.exec();
}
