// The About box and the reader of the program's version information.
#pragma once
#include <QDialog>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

// The program's version information: product name, version, copyright and
// special-build note, taken from the build's version constants.
class TProjectRCVersion {
 public:
  using Info = std::map<std::string, std::string>;
  // The program's own version information.
  TProjectRCVersion();
  // Given values ("ProductName", "ProductVersion", "LegalCopyright",
  // "SpecialBuild"); `hasTranslation` false acts as information without a
  // translation entry, which reads as no information at all.
  explicit TProjectRCVersion(Info info, bool hasTranslation = true);
  virtual ~TProjectRCVersion();

  // Each points its argument at the value's text and returns true when it exists.
  bool GetProductName(const char*& prodName) const;
  bool GetProductVersion(const char*& prodVersion) const;
  bool GetCopyright(const char*& copyright) const;
  bool GetDebug(const char*& debug) const;

  // The values the running program was built with.
  static Info BuildInfo();

 private:
  bool Get(const char* name, const char*& out) const;
  const std::uint32_t* TransBlock = nullptr;  // language and code page of the strings
  std::unique_ptr<Info> FVData;               // null when there is no version information
  std::uint32_t translation_ = 0;
};

class QLabel;

// Dialog 22000 "About Zarns".
class TZarnsAboutDlg : public QDialog {
  Q_OBJECT
 public:
  // `version` replaces the program's own version information (for tests).
  explicit TZarnsAboutDlg(QWidget* parent, int resId = 22000,
                          const TProjectRCVersion* version = nullptr);
  // Fills 22001 to 22003 from the version information.
  void SetupWindow(const TProjectRCVersion& version);
};
