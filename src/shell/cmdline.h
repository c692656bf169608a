// The program's command line: the unregister option, --help and --version,
// and the files the desktop entry hands over after "--open".
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

#include "shell/desktopreg.h"

struct CommandLine {
  // The arguments before "--open", joined with blanks: where options are looked for.
  std::string options;
  // The arguments after "--open": file names, never options, whatever they contain.
  std::vector<std::string> files;
};

// Splits the arguments (without the program's name). File names before
// "--open" are not taken: only the desktop entry's hand-over opens files.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// True when `cmdLine` holds the unregister option: a token "-" or "/"
// followed by a prefix of "unregister" in any case ("/u", "-UNREG", a bare
// "-"), alone or among other options ("-x/u", "-u=yes"). Words without a
// leading "-" or "/" and absolute paths are names, not options.
bool HasUnregisterOption(const std::string& cmdLine);

// Unregisters when `cmdLine` holds the unregister option, else registers
// with `icons`. Returns true when it unregistered.
bool ProcessCmdLine(const std::string& cmdLine, DesktopRegistration& reg,
                    const DesktopRegistration::Icons& icons);

// What --help or --version before "--open" asks for; the first one given wins.
enum class InfoOption { kNone, kHelp, kVersion };
InfoOption FindInfoOption(const std::vector<std::string>& args);

// The usage text of --help; `helpDir` is where the help pages were found.
std::string UsageText(const std::string& helpDir);
// The line --version prints.
std::string VersionText();

// Answers --help or --version on `out` and returns the exit status (0), or
// returns -1 when `args` (without the program's name) ask for neither. Runs
// before any window exists, so both work without a display.
int AnswerInfoOption(const std::vector<std::string>& args, std::ostream& out);

// zarns --print-pdf OUT.pdf FILE: prints FILE to OUT.pdf without a window.
struct PrintPdfRequest {
  bool requested = false;  // the first argument is "--print-pdf"
  std::string out;         // the PDF to write
  std::string file;        // the document to print
  std::string error;       // what is wrong with the arguments, empty when nothing
};
// Reads the arguments (without the program's name) as a --print-pdf request.
PrintPdfRequest ParsePrintPdf(const std::vector<std::string>& args);
