#include "shell/ui/qthost.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "catalog/ui/zrndlg.h"
#include "catalog/ui/zrnmtchd.h"
#include "framework/qtstrings.h"
#include "framework/uihooks.h"
#include "zarn/ui/zrninput.h"
#include "zarn/ui/zrnsedtv.h"

QtHost::QtHost(ZrnIO& files) : files_(files) {}

int QtHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  QString body = ToQt(text);
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QMessageBox box(uihooks::DialogParent());
  box.setWindowTitle(caption.empty() ? QStringLiteral("Zarns") : ToQt(caption));
  box.setText(body);
  box.setTextFormat(Qt::PlainText);
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  struct Choice {
    QMessageBox::StandardButton button;
    int id;
  };
  std::vector<Choice> choices;
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE:
      choices = {{QMessageBox::Abort, IDABORT},
                 {QMessageBox::Retry, IDRETRY},
                 {QMessageBox::Ignore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      choices = {
          {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_RETRYCANCEL:
      choices = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    default: choices = {{QMessageBox::Ok, IDOK}}; break;
  }
  QMessageBox::StandardButtons buttons;
  for (const Choice& c : choices) buttons |= c.button;
  box.setStandardButtons(buttons);
  const bool second = (flags & MB_DEFMASK) == MB_DEFBUTTON2 && choices.size() > 1;
  box.setDefaultButton(choices[second ? 1 : 0].button);
  // Closing the box: Cancel where there is one, else No, else the last button.
  QMessageBox::StandardButton escape = choices.back().button;
  for (const Choice& c : choices)
    if (c.button == QMessageBox::Cancel || c.button == QMessageBox::No) escape = c.button;
  box.setEscapeButton(escape);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  const QMessageBox::StandardButton pressed = clicked ? box.standardButton(clicked) : escape;
  for (const Choice& c : choices)
    if (c.button == pressed) return c.id;
  for (const Choice& c : choices)
    if (c.button == escape) return c.id;
  return IDCANCEL;
}

void QtHost::ShowMatchDialog(const ShowMatchXfer& xfer) {
  ShowMatchDlg dlg(files_, *this, xfer, uihooks::DialogParent());
  dlg.exec();
}

std::optional<std::string> QtHost::InputRequired(const std::string& request,
                                                 const std::string& caption) {
  QWidget* owner = zarn_ ? zui::TZarnsEditView::Current(*zarn_) : nullptr;
  ZReqDlg dlg(ToQt(request), ToQt(caption), owner ? owner : uihooks::DialogParent());
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return FromQt(dlg.Value());
}

std::optional<std::string> QtHost::AskZarnName(const std::string& initial) {
  // The loader asks with this prompt too; its box is "Input Required" (2966).
  ZrnInput dlg(zarn_, uihooks::DialogParent(), 2966);
  dlg.setWindowTitle(QStringLiteral("Input Required"));
  if (!initial.empty()) dlg.SetText(ToQt(initial));
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.Result();
}

std::optional<std::string> QtHost::OpenFileDialog(const std::string& title,
                                                  const std::string& filter) {
  QString f = ToQt(filter);
  if (!f.isEmpty()) f += QStringLiteral(";;");
  f += QStringLiteral("All Files (*)");
  const QString path =
      QFileDialog::getOpenFileName(uihooks::DialogParent(), ToQt(title), QString(), f);
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

bool QtHost::AddFile(const std::string& path) {
  return uihooks::OpenDocument && uihooks::OpenDocument(QFile::decodeName(path.c_str()));
}
