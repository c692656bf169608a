// Dialog 194, the file type viewer: file categories, the extensions of the
// chosen category, the cataloged files of the chosen extension and the
// folder of the chosen file; opens a file or its folder; adds categories
// and extensions of categories.
#pragma once
#include <QDialog>
#include <string>

#include "catalog/zrnreg.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class MessageHost;
class ZrnFile;
class ZrnIO;

class TZarnsExtListDlg : public QDialog {
  Q_OBJECT
 public:
  // Rebuilds the file-type lists of `files` from the file types and shows
  // the first category. `messages` takes the registry's message boxes.
  TZarnsExtListDlg(ZrnIO& files, MessageHost& messages, QWidget* parent = nullptr, int resId = 194);
  ~TZarnsExtListDlg() override;

  void BNCatClick();          // a category was chosen (1903)
  void BNFtypeClick();        // an extension was chosen (1701)
  void BNListClick();         // a file was chosen (1902)
  void BNDBLListClick();      // Open (1) or a double click in the file list
  void BNDBLOpenListClick();  // Open Folder (9)
  void BNAddCatClick();       // Add Category (301), in two presses
  void BNAddFTClick();        // Add Ext to Category (300), in two presses

  QListWidget* extListCtrl = nullptr;  // 1902
  QLabel* pathText = nullptr;          // 1225
  QLineEdit* addCatEdit = nullptr;     // 302
  QLineEdit* addFTEdit = nullptr;      // 303
  QComboBox* catComboCtrl = nullptr;   // 1903
  QComboBox* ftComboCtrl = nullptr;    // 1701
  QPushButton* addCatBtn = nullptr;    // 301
  QPushButton* addFTBtn = nullptr;     // 300
  ZrnReg* Registry = nullptr;
  ZrnFile* ZFile = nullptr;

 private:
  void SetupWindow();
  void CompleteAddCategory();
};
