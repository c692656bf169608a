// The progress dialog of a catalog build (resource 15) and the "Input
// Required" box (resource 216).
#pragma once
#include <QDialog>
#include <QString>

#include "catalog/buildprogress.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// Modeless: the build shows it, drives it and destroys it. Each StepVal lets
// waiting window events through, so windows repaint and Cancel works.
class ZDialog : public QDialog, public BuildProgress {
  Q_OBJECT
 public:
  // The progress dialog (resource 15) with its controls.
  explicit ZDialog(QWidget* parent, int resId = 15);
  ~ZDialog() override;

  // The directory being scanned becomes the caption; the gauge advances one
  // step (wrapping to its minimum at the maximum); waiting events are
  // processed. Returns false once Cancel was pressed.
  bool StepVal(const std::string& ScanDirectory) override;
  // The gauge's range becomes 1 to Max.
  void SetMax(int Max) override;
  // The head line.
  void SetHeadText(const std::string& txt) override;
  // The directory count, in decimal.
  void SetDirNumText(int DirNum) override;
  // Puts "-->" beside one stage and blanks beside the other two.
  void SetCreateDirMapCurrent() override;
  void SetCreateCatalogCurrent() override;
  void SetCreateFileListCurrent() override;
  // Cancel: the build stops at its next step and the dialog closes.
  void BNClicked();

  // Whether the build may go on.
  bool Continue() const { return continue_; }

 protected:
  // An input box of resource 216 with `caption`, owned by `parent`; makes no
  // controls of its own.
  ZDialog(QWidget* parent, const QString& caption);
  void reject() override;  // Escape and the close box count as Cancel

 private:
  void Mark(int stage);

  bool continue_ = true;
  QProgressBar* PercGauge = nullptr;
  QLabel* TextHead = nullptr;
  QLabel* Text1 = nullptr;
  QLabel* Text2 = nullptr;
  QLabel* Text3 = nullptr;
  QLabel* Text4 = nullptr;
  QLabel* Text5 = nullptr;
  QLabel* Text6 = nullptr;
  QLabel* DirectoryText = nullptr;
  QLabel* DirectoryNumText = nullptr;
  bool isInputBox_ = false;
};

// The modal "Input Required" box: an entry field with the request text below
// it. The text typed is the box's result (Value()) when it ends with OK or
// Enter; the caller runs it with exec().
class ZReqDlg : public ZDialog {
  Q_OBJECT
 public:
  ZReqDlg(const QString& ReqStr, const QString& Caption, QWidget* parent = nullptr);
  // The text typed (at most 20 characters).
  QString Value() const;
  QLineEdit* Entry() const { return entry_; }

 protected:
  void reject() override;

 private:
  QLineEdit* entry_ = nullptr;
};
