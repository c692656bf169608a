#include "cli/clihost.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "catalog/catnames.h"
#include "catalog/zwrdview.h"
#include "cli/commands.h"

std::string CliEscape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

CliHost::CliHost(ZrnIO& files, std::ostream& out, std::ostream& err, std::istream& in)
    : files_(files), out_(out), err_(err), in_(in) {}

int CliHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  std::string t;
  for (char c : text) {
    if (c == '\n')
      t += "\\n";
    else if (c != '\r')
      t += c;
  }
  err_ << caption << ": " << t << "\n";
  err_.flush();
  bool ok = answer_ != IDCANCEL;
  switch (flags & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL: return ok ? IDOK : IDCANCEL;
    case MB_YESNO: return ok ? IDYES : IDNO;
    case MB_YESNOCANCEL: return ok ? IDYES : IDCANCEL;
    case MB_RETRYCANCEL: return ok ? IDRETRY : IDCANCEL;
    case MB_ABORTRETRYIGNORE: return ok ? IDIGNORE : IDABORT;
    default: return ok ? IDOK : IDCANCEL;
  }
}

void CliHost::ShowMatchDialog(const ShowMatchXfer& xfer) {
  out_ << "Zarns Find Results: " << CliEscape(xfer.MatchString) << "\n";
  std::vector<MatchItem> items = xfer.ListOfMatches;
  WordView::SortByName(items);
  std::vector<std::uint32_t> ids;
  for (auto& m : items) ids.push_back(m.fileid);
  // The directories from one look at the catalog, as `catalog find` lists
  // them; a damaged catalog lists the names without them (it was told).
  CatalogNames names(*this);
  std::vector<std::string> dirs;
  if (!names.Directories(ids, dirs)) dirs.assign(items.size(), std::string());
  for (std::size_t i = 0; i < items.size(); ++i)
    out_ << "\t" << CliEscape(items[i].name) << "\t" << CliEscape(dirs[i]) << "\n";
  out_.flush();
}

std::optional<std::string> CliHost::InputRequired(const std::string& request,
                                                  const std::string& caption) {
  err_ << caption << ": " << request << "\n";
  err_.flush();
  std::string line;
  if (!std::getline(in_, line)) return std::string();  // nothing to read: an empty answer
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<std::string> CliHost::AskZarnName(const std::string&) {
  return InputRequired("Zarn name", "Enter ZarnName");
}

std::optional<std::string> CliHost::OpenFileDialog(const std::string& title,
                                                   const std::string& filter) {
  err_ << title << ": " << filter << "\n";
  err_.flush();
  std::string line;
  if (!std::getline(in_, line) || line.empty()) return std::nullopt;
  if (line.back() == '\r') line.pop_back();
  return line;
}

bool CliHost::AddFile(const std::string&) { return false; }

bool CliLauncher::Open(const std::string& target) {
  out_ << "open: " << target << "\n";
  out_.flush();
  return true;
}

bool CliLauncher::Dial(const std::string& number) {
  out_ << "dial: " << number << "\n";
  out_.flush();
  return true;
}

bool CliLauncher::Mail(const std::vector<std::string>& attachments) {
  out_ << "mail:";
  for (auto& a : attachments) out_ << " " << a;
  out_ << "\n";
  out_.flush();
  return true;
}

// The host's own global option; listed first among the registrations.
void RegisterCliHost(CLI::App& app, CliContext& cli) {
  app.add_option_function<std::string>(
         "--answer",
         [&cli](const std::string& v) { cli.host.SetAnswer(v == "cancel" ? IDCANCEL : IDOK); },
         "How message boxes are answered: ok (the default) or cancel")
      ->check(CLI::IsMember({"ok", "cancel"}));
}
