// The document type's registration: the registry store's keys for ".zxt" and
// the program, and the desktop's side of it under $XDG_DATA_HOME (a desktop
// entry, a MIME type for ".zxt" and the two icons). Every normal start writes
// them; the unregister option removes them again. An installed program has
// its desktop entry, MIME type and icons under its prefix already, so then
// only the keys are written (see SetInstalledDataDir).
#pragma once
#include <functional>
#include <string>

namespace plat {
class Registry;
}

class DesktopRegistration {
 public:
  // The icons' bytes (SVG), written as given.
  struct Icons {
    std::string app;
    std::string document;
  };
  // Asks the desktop to reread its MIME and application caches under a data home.
  using Refresh = std::function<void(const std::string& dataHome)>;

  // Keys go to `reg`; files under `dataHome` (ending with "/"); `exe` is the
  // program the desktop entry and the icon keys name. An empty `refresh`
  // starts the desktop's update tools.
  DesktopRegistration(plat::Registry& reg, std::string dataHome, std::string exe,
                      Refresh refresh = {});

  // Writes every key and file that does not hold its value already, so a
  // start that finds everything in place writes nothing. The caches are
  // refreshed when the desktop entry or the MIME type was written. False
  // when a file could not be written.
  bool Register(const Icons& icons);
  // Removes the keys (a key that has subkeys stays, so the user's file
  // categories survive) and the files; refreshes the caches when the desktop
  // entry or the MIME type was there.
  void Unregister();

  // `dir` (ending with "/", or empty: not installed) is the install prefix's
  // data directory, "<prefix>/share/", holding the installed desktop entry.
  // Installed, Register writes the keys only and removes the per-user files
  // at their fixed paths: they would shadow the installed entry (same file
  // name) and start whatever program last wrote them, and the installed ones
  // already give ".zxt" its type, icons and program. When the data home is
  // the install's own data directory (installed under ~/.local), the files
  // there are the installation's and neither Register nor Unregister touches
  // them.
  void SetInstalledDataDir(std::string dir);
  // "<exeDir>/../share/", resolved, when it holds an installed desktop entry; else "".
  static std::string InstalledDataDir(const std::string& exeDir);
  // Writes the desktop entry for `exe` and the MIME package under `dataDir`
  // (ending with "/"), as an install places them. False when one failed.
  static bool WriteInstalledFiles(const std::string& dataDir, const std::string& exe);

  // Where the files go.
  static std::string DesktopEntryPath(const std::string& dataHome);
  static std::string MimePackagePath(const std::string& dataHome);
  static std::string AppIconPath(const std::string& dataHome);
  static std::string DocIconPath(const std::string& dataHome);

  // The desktop entry that starts `exe` with the files after "--open".
  static std::string DesktopEntry(const std::string& exe);
  // The MIME package that gives ".zxt" its type.
  static std::string MimePackage();
  // `path` escaped for a quoted desktop-entry argument.
  static std::string DesktopQuoted(const std::string& path);
  // Starts update-mime-database and update-desktop-database on `dataHome`.
  static void RefreshDesktopCaches(const std::string& dataHome);

 private:
  void RegisterKeys();
  void UnregisterKeys();
  // Removes the per-user files; true when the desktop entry or MIME type was there.
  bool RemoveFiles();

  plat::Registry& reg_;
  std::string dataHome_;
  std::string exe_;
  Refresh refresh_;
  std::string installedData_;
};
