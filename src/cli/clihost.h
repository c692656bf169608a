// The command line's host: message boxes become one line on stderr
// ("CAPTION: TEXT", line breaks written as \n) answered OK (or Cancel when
// asked to); the Find results dialog and launches print to stdout; input
// boxes read one line from stdin.
#pragma once
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/plauncher.h"

class ZrnIO;

class CliHost : public Host {
 public:
  // Find results show the directories catalogued in `files`.
  CliHost(ZrnIO& files, std::ostream& out, std::ostream& err, std::istream& in);
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  // Prints "Zarns Find Results: MATCHSTRING" and one "\tNAME\tDIRECTORY"
  // line per listed file, names sorted.
  void ShowMatchDialog(const ShowMatchXfer& xfer) override;
  std::optional<std::string> InputRequired(const std::string& request,
                                           const std::string& caption) override;
  std::optional<std::string> AskZarnName(const std::string& initial) override;
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::string& filter) override;
  // The command line has no editor to open a file in: false.
  bool AddFile(const std::string& path) override;

  // The answer every message box gets: IDOK (default) or IDCANCEL. Boxes
  // with Yes/No buttons get IDYES / IDNO accordingly.
  void SetAnswer(int answer) { answer_ = answer; }
  int Answer() const { return answer_; }

 private:
  ZrnIO& files_;
  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  int answer_ = 1;  // IDOK
};

// Prints "open: TARGET", "dial: NUMBER", "mail: FILE..." to stdout instead of
// launching anything.
class CliLauncher : public plat::Launcher {
 public:
  explicit CliLauncher(std::ostream& out) : out_(out) {}
  bool Open(const std::string& target) override;
  bool Dial(const std::string& number) override;
  bool CanMail() override { return true; }
  bool Mail(const std::vector<std::string>& attachments) override;

 private:
  std::ostream& out_;
};

// Text for one output line: backslash, line breaks and tabs written as
// \\, \n, \r and \t, so that every record stays on its own line.
std::string CliEscape(const std::string& s);
