// The host of the windowed program: message boxes, the Find results dialog,
// the input boxes and the file-open dialog are Qt dialogs; AddFile opens a
// document through uihooks::OpenDocument. Install with SetHost(&host).
#pragma once
#include <QString>

#include "shell/host.h"

class QWidget;
class ZarnContext;

class QtHost : public Host {
 public:
  // A message box with `caption` and the buttons and icon of `flags`
  // (MB_OK, MB_OKCANCEL, ...); returns the button pressed (IDOK, ...);
  // closing the box counts as Cancel (or No/OK where there is no Cancel).
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  // The Find results dialog, modal.
  void ShowMatchDialog(const ShowMatchXfer& xfer) override;
  // The "Input Required" box; the text typed, or nothing when cancelled.
  std::optional<std::string> InputRequired(const std::string& request,
                                           const std::string& caption) override;
  // The zarn-name prompt; the name typed, or nothing when cancelled.
  std::optional<std::string> AskZarnName(const std::string& initial) override;
  // A file-open dialog; `filter` as "Packages (*.pkg)".
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::string& filter) override;
  // Opens the file in a new editor view through uihooks::OpenDocument.
  bool AddFile(const std::string& path) override;

  // The engine context whose current view owns the input boxes and whose
  // GlobalString the zarn-name prompt fills; none (the default): the boxes
  // go over the main window and the prompt fills nothing but its answer.
  void SetZarnContext(ZarnContext* ctx) { zarn_ = ctx; }

  // Texts between the core (bytes, mostly ASCII) and Qt: UTF-8 when valid,
  // else one character per byte.
  static QString ToQt(const std::string& s);
  static std::string FromQt(const QString& s);

 private:
  ZarnContext* zarn_ = nullptr;
};
