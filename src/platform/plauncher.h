// Hands files, web addresses, telephone numbers and mail attachments to the
// desktop. The real launcher starts xdg-open / xdg-email detached, with an
// argument vector and never through a shell.
#pragma once
#include <string>
#include <vector>

namespace plat {

class Launcher {
 public:
  virtual ~Launcher();
  // Opens a file path or a web address in its associated application.
  virtual bool Open(const std::string& target) = 0;
  // Asks the desktop's dialer to call `number` (a tel: address).
  virtual bool Dial(const std::string& number) = 0;
  // True when documents can be mailed (xdg-email is installed).
  virtual bool CanMail() = 0;
  // Opens a new mail with the files attached.
  virtual bool Mail(const std::vector<std::string>& attachments) = 0;
};

// Records every request instead of starting anything; for tests and dry runs.
class RecordingLauncher : public Launcher {
 public:
  struct Call {
    std::string kind;
    std::string target;
  };  // kind: "open", "dial", "mail"
  bool Open(const std::string& target) override;
  bool Dial(const std::string& number) override;
  bool CanMail() override;
  bool Mail(const std::vector<std::string>& attachments) override;
  std::vector<Call> calls;
  bool result = true;  // what each request answers
  bool mailAvailable = true;
};

// Starts a program (looked up on PATH) detached from this process, with
// the argument vector as given and no shell; true when it started. Used by
// the xdg launcher; open for tests and other helpers.
bool StartDetached(const std::vector<std::string>& argv);

// The same, watching the program for up to `waitMs` milliseconds: false
// also when it ends in that time with a non-zero status.
bool StartWatched(const std::vector<std::string>& argv, int waitMs);

// The message a user gets when opening `target` (a file, an address, a
// tel: number) failed.
std::string LaunchFailedText(const std::string& target);

// The launcher in use (the xdg one unless a test installed another).
Launcher& Launch();
// Installs `l` (not owned); nullptr restores the xdg launcher.
void SetLauncher(Launcher* l);

}  // namespace plat
