// The status bar's keyboard-lock indicators CAPS, NUM and SCRL, lit while
// the keyboard's LED of the same lock is on.
#pragma once
#include <QString>
#include <QStringList>
#include <QWidget>
#include <map>

class QLabel;

class StatusIndicators : public QWidget {
  Q_OBJECT
 public:
  // The kernel's LED class directory.
  static const QString kLedDir;
  // How often the LEDs are read, in milliseconds.
  static constexpr int kPollMs = 200;

  // Reads the LEDs under `ledDir` (a directory of "<device>::<lock>" entries
  // holding a "brightness" file) now and every kPollMs.
  explicit StatusIndicators(QWidget* parent = nullptr, QString ledDir = kLedDir);

  // Reads the LEDs and enables each indicator whose lock is on.
  void Refresh();
  // Whether some LED of `lock` ("capslock", "numlock", "scrolllock") is on.
  bool LedOn(const QString& lock);

  QLabel* Caps() const { return caps_; }
  QLabel* Num() const { return num_; }
  QLabel* Scrl() const { return scrl_; }

 private:
  QLabel* Indicator(const char* text);

  QString ledDir_;
  // The brightness files of each lock, looked up once: reading them is cheap
  // enough for every refresh, listing the directory is not.
  std::map<QString, QStringList> files_;
  QLabel* caps_ = nullptr;
  QLabel* num_ = nullptr;
  QLabel* scrl_ = nullptr;
};
