#include "shell/cmdline.h"
#include "platform/pbytes.h"

#include <cctype>

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cmd;
  std::size_t i = 0;
  for (; i < args.size() && args[i] != "--open"; ++i) {
    if (i > 0) cmd.options += ' ';
    cmd.options += args[i];
  }
  if (i < args.size())
    cmd.files.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  return cmd;
}

bool HasUnregisterOption(const std::string& cmd) {
  static const std::string kWord = "unregister";
  // Compared over the token's own length: "/u", "-UNREG" and a bare "-" all match.
  auto matches = [](const std::string& token) {
    if (token.size() > kWord.size()) return false;
    for (std::size_t k = 0; k < token.size(); ++k)
      if (plat::AsciiLower(token[k]) != kWord[k]) return false;
    return true;
  };
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t i = 0;
  const std::size_t n = cmd.size();
  while (i < n) {
    while (i < n && blank(cmd[i])) ++i;
    if (i >= n) break;
    std::size_t end = i;
    while (end < n && !blank(cmd[end])) ++end;
    const std::string word = cmd.substr(i, end - i);
    i = end;
    if (word[0] != '-' && word[0] != '/') continue;  // a name, not an option
    // An absolute path ("/home/me/notes.zxt") names a file, it is no option.
    if (word[0] == '/' && word.find('/', 1) != std::string::npos) continue;
    std::size_t k = 0;
    while (k < word.size()) {
      if (word[k] == '-' || word[k] == '/') {  // an option token, up to "=" or "/"
        const std::size_t start = ++k;
        while (k < word.size() && word[k] != '=' && word[k] != '/') ++k;
        if (matches(word.substr(start, k - start))) return true;
      } else if (word[k] == '=') {  // the option's value
        ++k;
        while (k < word.size() && word[k] != '/') ++k;
      } else {
        ++k;
      }
    }
  }
  return false;
}

bool ProcessCmdLine(const std::string& cmdLine, DesktopRegistration& reg,
                    const DesktopRegistration::Icons& icons) {
  if (HasUnregisterOption(cmdLine)) {
    reg.Unregister();
    return true;
  }
  reg.Register(icons);
  return false;
}

PrintPdfRequest ParsePrintPdf(const std::vector<std::string>& args) {
  PrintPdfRequest r;
  if (args.empty() || args[0] != "--print-pdf") return r;
  r.requested = true;
  if (args.size() != 3 || args[1].empty() || args[2].empty()) {
    r.error = "usage: zarns --print-pdf OUT.pdf FILE";
    return r;
  }
  r.out = args[1];
  r.file = args[2];
  return r;
}
