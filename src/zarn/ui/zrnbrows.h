// The Zarn Browser (dialog 286): the stored zarns by package, their
// description and usage, pasting and running a zarn in the current view,
// loading, sending, copying, cutting, pasting and deleting zarns.
#pragma once
#include <QDialog>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/zrnpkgop.h"

class QComboBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class ZarnContext;

class ZrnBrowse : public QDialog {
  Q_OBJECT
 public:
  // Control and command ids.
  enum : int {
    kTab = 1601,
    kList = 1905,
    kDesc = 1078,
    kUsage = 1077,
    kModify = 1088,
    kDelete = 1089,
    kRun = 1073,
    kInsert = 1110,
    CM_COPYZARNITEM = 62720,
    CM_DELETEZARNITEM = 62721,
    CM_PASTEZARNITEM = 62722,
    CM_NEWPACKAGE = 62723,
    CM_SENDPACKAGE = 62725
  };

  // The browser over the store of `ctx`'s file set; pastes and runs in its
  // current view; questions go to its host. `ctx` must outlive the dialog.
  explicit ZrnBrowse(ZarnContext& ctx, QWidget* parent = nullptr, int resId = 286);
  ~ZrnBrowse() override;

  // --- handlers ---------------------------------------------------------------
  // Copy Zarn: the selected zarn as a "ztxt" package section on the clipboard.
  void CmCopyZarnItem();
  // Cut Zarn: Copy Zarn, then the zarn is deleted (without asking).
  void CmDeleteZarnItem();
  // Paste Zarn: stores every "ztxt"/"zfnc" section on the clipboard.
  void CmPasteZarnItem();
  // Load New Package: asks for a .pkg file and loads it; then the tabs and
  // the list show it.
  PkgLoadResult CmNewPackage();
  // Send Package: the zarns of the tab shown written to a .pkg file, handed
  // to the mailer as an attachment.
  void CmSendPackage();
  // Delete: asks, then removes the selected zarn from the store.
  void BNDeleteClicked();
  // Paste in Document: the selected name replaces the current view's selection.
  void BNInsertClicked();
  // Modify: the edits' lines, each followed by CR LF, become the browse text.
  void BNModifyClicked();
  // Run: pastes the name, then runs the zarn on the view's caret line.
  void BNRunClicked();
  // Double click on the list: Run.
  void CBNZarnBrowseDblclk() { BNRunClicked(); }
  // The selected zarn's description and usage into the edits.
  void CBNZarnSelchange();
  // The tab shown changed: "All" lists every zarn, tab k package 12 * (k - 1).
  void TabSelChange();

  // --- state ------------------------------------------------------------------
  // The tabs and list again from the files (after a change of the store).
  void Refresh();
  // The names listed, in list order.
  std::vector<std::string> Names() const;
  // The selected name ("" when the list is empty).
  std::string Selected() const;
  // Selects `name` when listed; false otherwise.
  bool Select(const std::string& name);

  QTabBar* ZarnTab = nullptr;
  QComboBox* ZarnList = nullptr;
  QPlainTextEdit* DescEdit = nullptr;
  QPlainTextEdit* UsageEdit = nullptr;
  QMenu* PopupMenu = nullptr;
  QPoint PopPoint;          // screen point of the last right click
  std::uint32_t PkgID = 0;  // package shown (tabs after "All")

 protected:
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  void LoadAllZarns();
  void LoadPkg();
  void Fill(std::vector<std::string> names);
  void UpdateButtons();
  // Copy Zarn; false (and told why) when nothing went to the clipboard.
  bool CopySelected();
  // Deletes `name`; a failure is told. True when it was deleted.
  bool DeleteZarn(const std::string& name);
  // A message box with the browser's caption.
  void Tell(const std::string& text);

  ZarnContext& ctx_;
  std::unique_ptr<ZrnPkgOp> op_;
  QPushButton* modify_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* insert_ = nullptr;
  bool filling_ = false;
};
