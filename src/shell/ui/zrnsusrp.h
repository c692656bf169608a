// The Preferences dialog and the preference it keeps; its "Catalog" group
// sets when the word catalog is rebuilt on its own and which folders it
// covers.
#pragma once
#include <QDialog>
#include <QString>
#include <functional>

#include "shell/catsched.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

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

  // The catalog schedule and folders as the dialog holds them.
  CatalogSchedule Schedule() const;
  QStringList Roots() const;
  // "Add...": asks for a folder (this function, a folder chooser unless a
  // test replaced it; "" when cancelled) and lists it unless it is there.
  std::function<QString(QWidget*)> chooseFolder;
  void AddRoot();
  // "Remove": takes the selected folder off the list.
  void RemoveRoot();

  // OK keeps the choices; a schedule that cannot be set is said and the
  // dialog stays open.
  void accept() override;

 private:
  void BuildCatalogGroup();
  // Enables the day and time controls the chosen kind uses.
  void KindChanged();

  QRadioButton* app_ = nullptr;
  QRadioButton* zarns_ = nullptr;
  QComboBox* kind_ = nullptr;
  QComboBox* weekDay_ = nullptr;
  QSpinBox* monthDay_ = nullptr;
  QLabel* dayLabel_ = nullptr;
  QTimeEdit* time_ = nullptr;
  QListWidget* roots_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* status_ = nullptr;
};

// Where the Catalog group shows how the last build went, from the build log.
QString LastBuildText();
