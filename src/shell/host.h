// Everything that would open a window or leave the process goes through the
// host: the GUI answers with Qt dialogs, the command line with stdin/stderr,
// tests with a recording fake.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/matchxfer.h"

// Message box buttons and icons (the values of the classic message box API).
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_ICONMASK = 0xF0,
  MB_ICONINFORMATION = MB_ICONASTERISK,
  MB_ICONSTOP = MB_ICONHAND
};
// Message box answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

class Host {
 public:
  virtual ~Host();
  // A modal message box; returns the button pressed (IDOK, IDCANCEL, ...).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The Find results dialog, modal, filled from `xfer`; it runs further
  // searches itself.
  virtual void ShowMatchDialog(const ShowMatchXfer& xfer) = 0;
  // The "Input Required" box: shows `request` above an entry field; returns
  // the text typed, or nothing when cancelled.
  virtual std::optional<std::string> InputRequired(const std::string& request,
                                                   const std::string& caption) = 0;
  // The zarn-name prompt: returns the name typed, or nothing when cancelled.
  virtual std::optional<std::string> AskZarnName(const std::string& initial) = 0;
  // The common file-open dialog; `filter` as "Packages (*.pkg)"; returns the path chosen.
  virtual std::optional<std::string> OpenFileDialog(const std::string& title,
                                                    const std::string& filter) = 0;
  // Opens the file as a document in a new editor view, which becomes
  // CurrentView; false when it could not be opened.
  virtual bool AddFile(const std::string& path) = 0;
};

// The host in use; a silent one (every box answers OK) until one is installed.
Host& TheHost();
// Installs `h` (not owned); nullptr restores the silent host.
void SetHost(Host* h);

// A host that records what it is asked and answers from scripts: for tests.
class RecordingHost : public Host {
 public:
  struct Box {
    std::string text, caption;
    unsigned flags;
  };
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void ShowMatchDialog(const ShowMatchXfer& xfer) override;
  std::optional<std::string> InputRequired(const std::string& request,
                                           const std::string& caption) override;
  std::optional<std::string> AskZarnName(const std::string& initial) override;
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::string& filter) override;
  bool AddFile(const std::string& path) override;

  std::vector<Box> boxes;                   // every message box, in order
  std::vector<int> answers;                 // answers to give, front first; then IDOK
  std::vector<ShowMatchXfer> matchDialogs;  // every Find results dialog
  std::vector<std::pair<std::string, std::string>> inputRequests;  // request, caption
  std::vector<std::optional<std::string>>
      inputs;                            // scripted input answers, front first; then nothing
  std::vector<std::string> openDialogs;  // titles of file dialogs shown
  std::vector<std::optional<std::string>> openAnswers;  // scripted file dialog answers
  std::vector<std::string> addedFiles;                  // paths given to AddFile
  // What AddFile does beyond recording (e.g. make an in-memory view current).
  bool (*onAddFile)(const std::string& path, void* ctx) = nullptr;
  void* onAddFileCtx = nullptr;
};
