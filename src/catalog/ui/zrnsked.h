// The cataloging dialog (resource 6): what the catalog is for, and "Now",
// which builds the whole catalog at once with the progress dialog.
#pragma once
#include <QDialog>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

#include "catalog/zrnwcat.h"

class QLabel;
class QPushButton;
class ZrnIO;

class ZrnSked : public QDialog {
  Q_OBJECT
 public:
  // The dialog with the resource's empty caption; "Now" builds the catalog
  // of `files`, which must outlive the dialog.
  explicit ZrnSked(ZrnIO& files, QWidget* parent = nullptr, int resId = 6);
  // The same dialog with `caption` (the start-up question when no catalog exists).
  ZrnSked(ZrnIO& files, const QString& caption, QWidget* parent, int resId = 6);
  ~ZrnSked() override;

  // "Now": builds the catalog over the configured roots with the progress
  // dialog owned by this dialog, then ends this dialog with the result 2.
  // A build refused (another is running) or failed shows a message box.
  void BNClicked();
  // Command 6: nothing to do here.
  void CmSked() {}

  // Whether the last "Now" build ran to its end and replaced the catalog
  // (false when cancelled, refused or failed).
  bool LastBuildCompleted() const { return completed_; }
  // What the last "Now" build did; nothing when none ran.
  const std::optional<BuildStats>& LastBuild() const { return lastBuild_; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Build(int resId);
  // Places the controls for the current font: the visible part grows to
  // hold both texts and the buttons, and the scheduling controls keep
  // their places relative to each other, below it.
  void LayOut();

  QLabel* head_ = nullptr;
  QLabel* body_ = nullptr;
  QPushButton* now_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* help_ = nullptr;
  // The scheduling controls and their places in dialog units.
  struct Placed {
    QWidget* widget;
    QRect units;
  };
  std::vector<Placed> schedule_;
  ZrnIO& files_;
  bool building_ = false;
  bool completed_ = false;
  std::optional<BuildStats> lastBuild_;
};

// What "Now" shows when the build did not replace the catalog.
inline constexpr char kBuildRunningText[] =
    "A catalog build is already running. This one was not started.";
inline constexpr char kBuildFailedText[] =
    "The catalog could not be built (%1). The previous catalog is kept.";

// The result a ZrnSked run ends with after "Now" (and after Cancel).
constexpr int kSkedDone = 2;
