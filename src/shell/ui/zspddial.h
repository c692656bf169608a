// The speed-dial dialog (dialog 8, "Zarns Speed Dial"): named telephone
// numbers of a type, kept in the speed-dial file between openings and runs;
// added or updated, removed, dialled, and copied into the document.
#pragma once
#include <QDialog>
#include <cstdint>

#include "shell/speeddial.h"

class MessageHost;
class QComboBox;
class QLineEdit;
class QTreeWidget;
class ZarnContext;

class TZarnsSpeedDialDlg : public QDialog {
  Q_OBJECT
 public:
  // The numbers of `store`; Copy to Doc writes into `ctx`'s current view;
  // questions and errors go to `messages`.
  TZarnsSpeedDialDlg(SpeedDialStore& store, ZarnContext* ctx, MessageHost& messages,
                     QWidget* parent = nullptr, int resId = 8);

  // Fills the type list, reads the saved numbers, selects "Home".
  void SetupWindow();
  // Stores the edits' entry: the entry of that name and type gets the new
  // number, else a new entry is added.
  void BNAddUpdateClick();
  // Clears the edits and the selection; leaves edit mode.
  void BNResetClick();
  // Removes the selected entry; leaves edit mode.
  void BNRemoveClick();
  // Dials the selected entry's number (or the number typed); enters edit mode.
  void BNDialClick();
  // Inserts "name: number" at the caret of the current document.
  void BNCopyToDocClick();

  // Set by choosing an entry or by Dial, cleared by Remove and Reset/Clear.
  // Add/Update works in either mode (it updates the entry of the same name
  // and type, else adds one), so a press is never silently ignored.
  bool EditMode = false;
  QTreeWidget* phoneWindow = nullptr;
  QLineEdit* nameText = nullptr;
  QLineEdit* numberText = nullptr;
  QComboBox* typeComboCtrl = nullptr;

 private:
  // Lists the stored entries, selecting the one with `selectId` (0: none).
  void Reload(std::int32_t selectId);
  // The selected entry's telId, 0 when none is selected.
  std::int32_t SelectedId() const;
  // The selected entry, else one made of the edits.
  TelNum Current() const;
  void Selected();

  SpeedDialStore& store_;
  ZarnContext* ctx_;
  MessageHost& messages_;
  std::vector<TelNum> phoneListData;
};
