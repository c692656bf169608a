// Everything that would open a window goes through a host: the GUI answers
// with Qt dialogs, the command line with stdin/stderr, tests with a
// recording fake. Core objects take the narrowest of the interfaces they
// need (messages, prompts, find results); the program's implementations
// provide them all through Host.
#pragma once
#include <optional>
#include <string>

#include "host/findresults.h"
#include "host/messages.h"
#include "host/prompts.h"

class Host : public MessageHost, public PromptHost, public FindResultsHost {
 public:
  ~Host() override;
  // Opens the file as a document in a new editor view, which becomes the
  // current view; false when it could not be opened.
  virtual bool AddFile(const std::string& path) = 0;
};

// A host without windows: every box answers OK, prompts give nothing and
// no document opens. For tools and code paths that have no user to ask.
class SilentHost : public Host {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void ShowMatchDialog(const ShowMatchXfer& xfer) override;
  std::optional<std::string> InputRequired(const std::string& request,
                                           const std::string& caption) override;
  std::optional<std::string> AskZarnName(const std::string& initial) override;
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::string& filter) override;
  bool AddFile(const std::string& path) override;
};
