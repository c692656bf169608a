// The zarn-name prompt: a one-line entry whose text becomes the engine
// context's GlobalString.
#pragma once
#include <QDialog>
#include <QString>
#include <string>

class QLineEdit;
class ZarnContext;

class ZrnInput : public QDialog {
  Q_OBJECT
 public:
  // The prompt over `parent`; the entry starts with " this". OK leaves the
  // name in `ctx`'s GlobalString (without a context only in Result()).
  explicit ZrnInput(ZarnContext* ctx, QWidget* parent = nullptr, int resId = 0);
  ~ZrnInput() override;

  // OK: the first line of the entry (at most 19 characters) becomes
  // GlobalString, and the dialog closes with OK.
  void BNOKClicked();
  // Cancel: closes without touching GlobalString.
  void BNCancelClicked();

  void SetText(const QString& text);
  // What OK stored (GlobalString after OK).
  std::string Result() const { return result_; }
  QLineEdit* InputEdit() const { return InputEdit_; }

 private:
  QLineEdit* InputEdit_ = nullptr;
  ZarnContext* ctx_;
  std::string result_;
};
