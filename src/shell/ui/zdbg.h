// Dialog 26000 "System Information": physical memory in KB and the memory load.
#pragma once
#include <QDialog>

#include "platform/psysinfo.h"

class QLabel;
class QProgressBar;

class ZDbg : public QDialog {
  Q_OBJECT
 public:
  // Reads the memory status now; `status` replaces it (for tests).
  explicit ZDbg(QWidget* parent, int resId = 26000, const plat::MemoryStatus* status = nullptr);

  // Fills the statics and gauges from the memory status.
  void SetupWindow(const plat::MemoryStatus& ms);

  // The value of gauge 2602: the share of physical memory still available, in percent.
  static int AvailablePercent(const plat::MemoryStatus& ms);

 private:
  QLabel* total_ = nullptr;             // 26001
  QLabel* avail_ = nullptr;             // 26002
  QLabel* load_ = nullptr;              // 26003
  QProgressBar* gaugeAvail_ = nullptr;  // 2602
  QProgressBar* gaugeLoad_ = nullptr;   // 2603
};
