#include "shell/cmdline.h"
#include "catalog/zrnfile.h"
#include "platform/pbytes.h"

#include <cctype>
#include <ostream>

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

InfoOption FindInfoOption(const std::vector<std::string>& args) {
  // After --print-pdf come two file names, whatever they look like.
  if (!args.empty() && args[0] == "--print-pdf") return InfoOption::kNone;
  for (const std::string& a : args) {
    if (a == "--open") break;  // file names from here on
    if (a == "--help" || a == "-h") return InfoOption::kHelp;
    if (a == "--version") return InfoOption::kVersion;
  }
  return InfoOption::kNone;
}

std::string UsageText(const std::string& helpDir) {
  return "Usage: zarns [OPTION]... [--open FILE...]\n"
         "The Zarns text editor: zarns run on the text under the caret, and a word\n"
         "catalog of your files.\n"
         "\n"
         "  --open FILE...  open the files; every argument after it is a file name\n"
         "  -unregister     remove the registry keys and the per-user desktop entry and\n"
         "                  .zxt document type, then start as usual (any prefix of the\n"
         "                  word, after - or /: -u, /unreg)\n"
         "  --print-pdf OUT.pdf FILE\n"
         "                  print FILE to OUT.pdf as Print would, without a window\n"
         "  -h, --help      show this help and exit\n"
         "  --version       show the version and exit\n"
         "\n"
         "Help pages: " +
         helpDir +
         "\n"
         "The command-line companion is zarns-cli; see zarns-cli --help.\n";
}

std::string VersionText() { return std::string("zarns ") + ZARNS_VERSION + "\n"; }

int AnswerInfoOption(const std::vector<std::string>& args, std::ostream& out) {
  switch (FindInfoOption(args)) {
    case InfoOption::kHelp: out << UsageText(ZrnFile::HelpDir()); break;
    case InfoOption::kVersion: out << VersionText(); break;
    case InfoOption::kNone: return -1;
  }
  out.flush();
  return 0;
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
