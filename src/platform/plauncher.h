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
  // Opens a file in its associated application started in `workDir` (the
  // file's folder), so relative paths the application uses resolve there.
  // Launchers that cannot choose a directory open it as Open does.
  virtual bool OpenIn(const std::string& target, const std::string& workDir);
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
    std::string dir;  // the working directory asked for by OpenIn
  };                  // kind: "open", "dial", "mail"
  bool Open(const std::string& target) override;
  bool OpenIn(const std::string& target, const std::string& workDir) override;
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
// A non-empty `workDir` becomes the program's working directory; when it
// cannot be entered the program starts in ours.
bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir = {});

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
