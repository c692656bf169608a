// A host that records what it is asked and answers from scripts: the tests'
// stand-in for the program's windows.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"

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
};
