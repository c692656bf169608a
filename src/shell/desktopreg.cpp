#include "shell/desktopreg.h"

#include <filesystem>
#include <utility>

#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "platform/pregistry.h"

namespace {

constexpr const char* kMimeType = "application/x-zarns-document";

// True when `path` was written; a file that already holds `content` is left alone.
bool WriteIfChanged(const std::string& path, const std::string& content, bool* failed) {
  std::string existing;
  if (plat::ReadWholeFile(path, existing) && existing == content) return false;
  const std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) plat::MakeDirs(path.substr(0, slash + 1));
  const bool ok = plat::WriteFileAtomic(path, content);
  if (!ok) *failed = true;
  return ok;
}

// `dir` resolved as far as it exists, ending with "/"; the text itself when that fails.
std::string Resolved(const std::string& dir) {
  std::error_code ec;
  std::string out = std::filesystem::weakly_canonical(dir, ec).string();
  if (ec || out.empty()) out = dir;
  if (out.back() != '/') out += '/';
  return out;
}

}  // namespace

DesktopRegistration::DesktopRegistration(plat::Registry& reg, std::string dataHome, std::string exe,
                                         Refresh refresh)
    : reg_(reg),
      dataHome_(std::move(dataHome)),
      exe_(std::move(exe)),
      refresh_(refresh ? std::move(refresh) : Refresh(&RefreshDesktopCaches)) {}

std::string DesktopRegistration::DesktopEntryPath(const std::string& dataHome) {
  return dataHome + "applications/zarns.desktop";
}

std::string DesktopRegistration::MimePackagePath(const std::string& dataHome) {
  return dataHome + "mime/packages/zarns.xml";
}

std::string DesktopRegistration::AppIconPath(const std::string& dataHome) {
  return dataHome + "icons/hicolor/scalable/apps/zarns.svg";
}

std::string DesktopRegistration::DocIconPath(const std::string& dataHome) {
  return dataHome + "icons/hicolor/scalable/mimetypes/application-x-zarns-document.svg";
}

std::string DesktopRegistration::DesktopQuoted(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\') {  // the string escape, then the quoting escape: four in the file
      out += "\\\\\\\\";
      continue;
    }
    if (c == '"' || c == '`' || c == '$') out += "\\\\";
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

std::string DesktopRegistration::DesktopEntry(const std::string& exe) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Zarns\n"
         "GenericName=Text Editor\n"
         "Comment=Text editor with zarns and a word catalog of your files\n"
         "Exec=\"" +
         DesktopQuoted(exe) +
         "\" --open %F\n"
         "Icon=zarns\n"
         "Terminal=false\n"
         "Categories=Utility;TextEditor;\n"
         "MimeType=" +
         std::string(kMimeType) + ";text/plain;\n";
}

std::string DesktopRegistration::MimePackage() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         std::string(kMimeType) +
         "\">\n"
         "    <comment>Zarns document</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <icon name=\"application-x-zarns-document\"/>\n"
         "    <glob pattern=\"*.zxt\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

void DesktopRegistration::RefreshDesktopCaches(const std::string& dataHome) {
  // Either tool may be missing; the desktop then rereads the files later by itself.
  plat::StartDetached({"update-mime-database", dataHome + "mime"});
  plat::StartDetached({"update-desktop-database", dataHome + "applications"});
}

void DesktopRegistration::RegisterKeys() {
  // A value that already holds its value is not written again, which spares
  // the store a rewrite (and its flush) per start.
  auto set = [this](const std::string& key, const std::string& value) {
    if (reg_.GetString(key, "") != value) reg_.SetString(key, "", value);
  };
  set("Zarns.Application\\DefaultIcon", exe_);
  if (!reg_.KeyExists("Zarns.Application\\FileCategories"))
    reg_.CreateKey("Zarns.Application\\FileCategories");
  set("Zarns.Document.1\\DefaultIcon", exe_ + ",1");
  set(".zxt", "Zarns.Document.1");
}

void DesktopRegistration::SetInstalledDataDir(std::string dir) { installedData_ = std::move(dir); }

std::string DesktopRegistration::InstalledDataDir(const std::string& exeDir) {
  if (exeDir.empty()) return {};
  const std::string share = Resolved(exeDir + "/../share/");
  return plat::Fs().Exists(DesktopEntryPath(share)) ? share : std::string();
}

bool DesktopRegistration::WriteInstalledFiles(const std::string& dataDir, const std::string& exe) {
  bool failed = false;
  WriteIfChanged(DesktopEntryPath(dataDir), DesktopEntry(exe), &failed);
  WriteIfChanged(MimePackagePath(dataDir), MimePackage(), &failed);
  return !failed;
}

bool DesktopRegistration::Register(const Icons& icons) {
  RegisterKeys();
  if (!installedData_.empty()) {
    if (Resolved(installedData_) != Resolved(dataHome_) && RemoveFiles()) refresh_(dataHome_);
    return true;
  }
  bool failed = false;
  bool changed = WriteIfChanged(DesktopEntryPath(dataHome_), DesktopEntry(exe_), &failed);
  changed = WriteIfChanged(MimePackagePath(dataHome_), MimePackage(), &failed) || changed;
  WriteIfChanged(AppIconPath(dataHome_), icons.app, &failed);
  WriteIfChanged(DocIconPath(dataHome_), icons.document, &failed);
  if (changed) refresh_(dataHome_);
  return !failed;
}

void DesktopRegistration::UnregisterKeys() {
  // A key that still has subkeys (the file categories) stays, as a registry
  // refuses to delete it: the user's categories survive.
  auto deleteIfLeaf = [this](const std::string& key) {
    std::string sub;
    if (!reg_.EnumKey(key, 0, sub)) reg_.DeleteKey(key);
  };
  deleteIfLeaf("Zarns.Application\\DefaultIcon");
  deleteIfLeaf("Zarns.Document.1\\DefaultIcon");
  deleteIfLeaf("Zarns.Application");
  deleteIfLeaf("Zarns.Document.1");
  deleteIfLeaf(".zxt");
}

bool DesktopRegistration::RemoveFiles() {
  plat::FileSystem& fs = plat::Fs();
  bool changed = fs.Remove(DesktopEntryPath(dataHome_));
  changed = fs.Remove(MimePackagePath(dataHome_)) || changed;
  fs.Remove(AppIconPath(dataHome_));
  fs.Remove(DocIconPath(dataHome_));
  return changed;
}

void DesktopRegistration::Unregister() {
  UnregisterKeys();
  // The installation's own files are removed with the installation.
  if (!installedData_.empty() && Resolved(installedData_) == Resolved(dataHome_)) return;
  if (RemoveFiles()) refresh_(dataHome_);
}
