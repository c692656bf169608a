// The Preferences dialog and the preference it keeps.
#pragma once
#include <QDialog>

class QRadioButton;

// How a double click in the Find results list opens a file.
enum ListDblClkActionKind : int {
  kOpenInOwnApp = 0,  // in the application the desktop associates with it
  kOpenInZarns = 1    // in an editor view of this program
};

// The choice kept in "Zarns.ini" (section "Preferences"); kOpenInOwnApp when
// nothing was chosen yet. The Find results dialog reads it on every double click.
int ListDblClkAction();
// Stores the choice in "Zarns.ini".
void SetListDblClkAction(int action);

// Dialog 2217 "Preferences".
class TZarnsUserPref : public QDialog {
  Q_OBJECT
 public:
  explicit TZarnsUserPref(QWidget* parent, int resId = 2217);

  // The choice as the dialog holds it (0 or 1); starts as the stored choice.
  int ListDblClkAction = kOpenInOwnApp;

  // Control 1053 "Open File in Zarns" clicked.
  void BNEditClicked();
  // Control 1052 "Open File In Its Application" clicked.
  void BNAppClicked();

  void accept() override;

 private:
  QRadioButton* app_ = nullptr;
  QRadioButton* zarns_ = nullptr;
};
