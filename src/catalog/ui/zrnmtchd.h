// The Find results dialog (resource 193, "Zarns Find Results"): type words,
// list the files that hold them all, open the one picked.
#pragma once
#include <QDialog>
#include <QString>

#include "catalog/zwrdview.h"
#include "host/findresults.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Host;
class ZrnIO;

class ShowMatchDlg : public QDialog {
  Q_OBJECT
 public:
  // Filled from `xfer` (list, words field, path field), modal over `parent`;
  // searches the catalog files of `files`, asks and opens documents through
  // `host`. Both must outlive the dialog.
  ShowMatchDlg(ZrnIO& files, Host& host, ShowMatchXfer xfer, QWidget* parent = nullptr,
               int resId = 193);
  ~ShowMatchDlg() override;

  // Runs the search for the words field (Enter, command 1).
  void BNClicked();
  // The highlighted file changed: its directory goes to the path field.
  void LBNSetFocus();
  // Opens each selected file as the Preferences choice says: in its own
  // application, or in an editor view.
  void LBNDblclk();
  // Opens `file` (a full path) in an editor view: the file itself when it is
  // text, else a plain-text copy of it.
  bool AddFile(const std::string& file);

  // The transfer buffer: the list, the words field and the path field.
  ShowMatchXfer Transfer() const;
  WordView& Catalog() { return ShowCatalog; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void EvSize();
  void FillList(const std::vector<MatchItem>& items);
  void BNOkClicked();
  std::string FullPath(const std::string& name) const;

  ZrnIO& files_;
  Host& host_;
  WordView ShowCatalog;
  ShowMatchXfer xfer_;
  QLabel* wordsLabel_ = nullptr;
  QListWidget* MatchList = nullptr;
  QLineEdit* MatchString = nullptr;
  QLineEdit* PathString = nullptr;
  QLabel* ClickNotice = nullptr;
  // Says which words typed cannot be in the catalog (empty when none).
  QLabel* ShortNote = nullptr;
  QPushButton* BtnOk = nullptr;
  QPushButton* BtnCancel = nullptr;
  QPushButton* BtnHelp = nullptr;
};

// The path of the plain-text copy ShowMatchDlg::AddFile writes for a file
// that is not text: the name's last three characters become "zrn", in the
// "copies" folder of the data directory.
std::string PlainTextCopyPath(const std::string& file);
