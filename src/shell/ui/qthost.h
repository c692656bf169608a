// The host of the windowed program: message boxes, the Find results dialog,
// the input boxes and the file-open dialog are Qt dialogs; AddFile opens a
// document through uihooks::OpenDocument.
#pragma once
#include <QString>

#include "host/host.h"

class QWidget;
class ZarnContext;
class ZrnIO;

class QtHost : public Host {
 public:
  // The Find results dialog searches the catalog files of `files`, which
  // must outlive the host.
  explicit QtHost(ZrnIO& files);

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

 private:
  ZrnIO& files_;
  ZarnContext* zarn_ = nullptr;
};
