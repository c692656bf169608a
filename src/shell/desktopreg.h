// The document type's registration: the registry store's keys for ".zxt" and
// the program, and the desktop's side of it under $XDG_DATA_HOME (a desktop
// entry, a MIME type for ".zxt" and the two icons). Every normal start writes
// them; the unregister option removes them again.
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

  plat::Registry& reg_;
  std::string dataHome_;
  std::string exe_;
  Refresh refresh_;
};
