// What a catalog build reports while it runs, and how it learns that the
// user wants it stopped. The GUI's progress dialog implements it; the
// command line prints to a terminal; tests and cron builds stay silent.
#pragma once
#include <cstdio>
#include <string>

class BuildProgress {
 public:
  virtual ~BuildProgress();
  // The gauge's range becomes 1 to Max.
  virtual void SetMax(int Max) = 0;
  // The head line (the root being scanned, "Drive " and its path).
  virtual void SetHeadText(const std::string& txt) = 0;
  // Stage markers: "Create Directory Map ", "Create Word Catalog ",
  // "Create FileType Lists ".
  virtual void SetCreateDirMapCurrent() = 0;
  virtual void SetCreateCatalogCurrent() = 0;
  virtual void SetCreateFileListCurrent() = 0;
  // The directory count.
  virtual void SetDirNumText(int DirNum) = 0;
  // One directory entered (the gauge advances); false when the user pressed
  // Cancel: the build stops walking.
  virtual bool StepVal(const std::string& ScanDirectory) = 0;
};

// Shows nothing and never cancels.
class SilentProgress : public BuildProgress {
 public:
  void SetMax(int) override {}
  void SetHeadText(const std::string&) override {}
  void SetCreateDirMapCurrent() override {}
  void SetCreateCatalogCurrent() override {}
  void SetCreateFileListCurrent() override {}
  void SetDirNumText(int) override {}
  bool StepVal(const std::string&) override { return true; }
};

// One status line rewritten in place on a terminal (carriage return),
// at most a few times a second; never cancels. For the command line.
class StreamProgress : public BuildProgress {
 public:
  explicit StreamProgress(std::FILE* out) : out_(out) {}
  ~StreamProgress() override;
  void SetMax(int Max) override;
  void SetHeadText(const std::string& txt) override;
  void SetCreateDirMapCurrent() override;
  void SetCreateCatalogCurrent() override;
  void SetCreateFileListCurrent() override;
  void SetDirNumText(int DirNum) override;
  bool StepVal(const std::string& ScanDirectory) override;
  // Ends the status line (a newline when something was shown).
  void Finish();

 private:
  void Show(bool force);
  std::FILE* out_;
  std::string head_, stage_;
  int max_ = 100, value_ = 0, dirNum_ = 0;
  long long lastShownMs_ = 0;
  bool shown_ = false;
};
