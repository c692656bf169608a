// Prompts: the boxes that ask the user for a text or a file.
#pragma once
#include <optional>
#include <string>

class PromptHost {
 public:
  virtual ~PromptHost();
  // The "Input Required" box: shows `request` above an entry field; returns
  // the text typed, or nothing when cancelled.
  virtual std::optional<std::string> InputRequired(const std::string& request,
                                                   const std::string& caption) = 0;
  // The zarn-name prompt: returns the name typed, or nothing when cancelled.
  virtual std::optional<std::string> AskZarnName(const std::string& initial) = 0;
  // The common file-open dialog; `filter` as "Packages (*.pkg)"; returns the path chosen.
  virtual std::optional<std::string> OpenFileDialog(const std::string& title,
                                                    const std::string& filter) = 0;
};
