// zarns-cli run / script: zarns on a file, headless.
//   run [--command NAME] [--caret LINE:COL | --select LINE:COL-LINE:COL] [--in-place] FILE
//       opens FILE in an in-memory editor view, puts the caret (LINE from 1,
//       COL in bytes from 0; default: the end of the last line) or the
//       selection, runs the command and prints the document with the file's
//       own line endings (--in-place writes it back atomically instead).
//   script FILE
//       Test Zarn on FILE's lines: "output.zrn" is written in the current
//       directory as the program writes it; the output document's final text
//       is printed (LF line breaks, ending with one).
// Message boxes go to stderr, Find results, launches and dial requests to
// stdout (cli/clihost.h); the document follows them.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/clihost.h"
#include "cli/commands.h"
#include "shell/document.h"
#include "store/zrnio.h"
#include "zarn/memtextbuf.h"
#include "zarn/viewcmds.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

struct RunArgs {
  std::string command = "run";
  std::string caret, select, file;
  bool inPlace = false;
};

// A document of the run (the file given, the script output): its buffer
// and in-memory view.
struct OpenDoc {
  TextDocument doc;
  std::unique_ptr<MemoryTextBuffer> buf;
  std::unique_ptr<TZarnsEditView> view;
};

// The documents of one run, with the engine context their views belong to.
// Opening a document for the engine (the script's "output.zrn") gives an
// in-memory view of the file.
class Session : public ViewOpener {
 public:
  explicit Session(CliContext& cli) : ctx_(cli.host, cli.files, this) {}

  OpenDoc* Open(const std::string& path) {
    auto d = std::make_unique<OpenDoc>();
    if (!d->doc.Load(path)) return nullptr;
    d->buf = std::make_unique<MemoryTextBuffer>(d->doc.Text());
    d->view = std::make_unique<TZarnsEditView>(ctx_, d->buf.get());
    docs_.push_back(std::move(d));
    return docs_.back().get();
  }
  TZarnsEditView* OpenView(const std::string& path) override {
    OpenDoc* d = Open(path);
    return d ? d->view.get() : nullptr;
  }
  // The output document is written back to its file as the window program
  // saves it, so both leave the same output.zrn.
  bool SaveView(TZarnsEditView* view) override {
    for (const auto& d : docs_)
      if (d->view.get() == view) return d->doc.Save(d->buf->GetText());
    return false;
  }
  ZarnContext& Context() { return ctx_; }

 private:
  ZarnContext ctx_;
  std::vector<std::unique_ptr<OpenDoc>> docs_;  // declared last: the views go before their context
};

// "LINE:COL" to an offset; false when malformed or the line does not exist.
// A column past the line's end stands at its end.
bool ParsePoint(const std::string& s, const MemoryTextBuffer& buf, std::uint32_t& out) {
  long line = 0, col = 0;
  char extra = 0;
  if (std::sscanf(s.c_str(), "%ld:%ld%c", &line, &col, &extra) != 2 || line < 1 || col < 0)
    return false;
  if (line > buf.GetNumLines()) return false;
  const std::uint32_t start = buf.GetLineIndex(static_cast<int>(line - 1));
  const long len = buf.GetLineLength(static_cast<int>(line - 1));
  out = start + static_cast<std::uint32_t>(col < len ? col : len);
  return true;
}

// The end of the last line; a final line break does not start a line of its own.
std::uint32_t DefaultCaret(const MemoryTextBuffer& buf) {
  int last = buf.GetNumLines() - 1;
  if (last > 0 && buf.GetLineLength(last) == 0) --last;
  return buf.GetLineIndex(last) + static_cast<std::uint32_t>(buf.GetLineLength(last));
}

using ViewCommand = void (*)(ViewCommands&);
const std::map<std::string, ViewCommand>& Commands() {
  static const std::map<std::string, ViewCommand> m = {
      {"run", [](ViewCommands& c) { c.CmRunzarn(); }},
      {"calculate", [](ViewCommands& c) { c.CmCalculate(); }},
      {"sort", [](ViewCommands& c) { c.CmSort(); }},
      {"date", [](ViewCommands& c) { c.CmInsertDate(); }},
      {"time", [](ViewCommands& c) { c.CmTime(); }},
      {"timereset", [](ViewCommands& c) { c.CmTimeReset(); }},
      {"phone", [](ViewCommands& c) { c.CmPhone(); }},
      {"find", [](ViewCommands& c) { c.CmSearchword(); }},
      {"atlas", [](ViewCommands& c) { c.CmAtlas(); }},
      {"dictionary", [](ViewCommands& c) { c.CmDictionary(); }},
      {"encyclopedia", [](ViewCommands& c) { c.CmEncyc(); }},
      {"web", [](ViewCommands& c) { c.CmWeb(); }},
      {"sports", [](ViewCommands& c) { c.CmSports(); }},
      {"science", [](ViewCommands& c) { c.CmScience(); }},
      {"arts", [](ViewCommands& c) { c.CmArts(); }},
      {"save", [](ViewCommands& c) { c.CmSavezarn(); }},
      {"test", [](ViewCommands& c) { c.CmTestzarn(); }},
  };
  return m;
}

int DoRun(const RunArgs& a, CliContext& cli) {
  Session session(cli);
  OpenDoc* d = session.Open(a.file);
  if (!d) {
    std::cerr << "run: cannot read " << a.file << "\n";
    return 1;
  }
  MemoryTextBuffer& buf = *d->buf;
  if (!a.select.empty()) {
    const std::size_t dash = a.select.find('-');
    std::uint32_t s = 0, e = 0;
    if (dash == std::string::npos || !ParsePoint(a.select.substr(0, dash), buf, s) ||
        !ParsePoint(a.select.substr(dash + 1), buf, e)) {
      std::cerr << "run: --select wants LINE:COL-LINE:COL within the file, not \"" << a.select
                << "\"\n";
      return 2;
    }
    buf.SetSelection(std::min(s, e), std::max(s, e));
  } else if (!a.caret.empty()) {
    std::uint32_t c = 0;
    if (!ParsePoint(a.caret, buf, c)) {
      std::cerr << "run: --caret wants LINE:COL within the file, not \"" << a.caret << "\"\n";
      return 2;
    }
    buf.SetSelection(c, c);
  } else {
    const std::uint32_t c = DefaultCaret(buf);
    buf.SetSelection(c, c);
  }
  d->view->SetFocus();
  ViewCommands commands(*d->view);
  Commands().at(a.command)(commands);
  std::cout.flush();
  const std::string text = buf.GetText();
  if (a.inPlace) {
    if (text != d->doc.Text() && !d->doc.Save(text)) {
      std::cerr << "run: cannot write " << a.file << "\n";
      return 1;
    }
    return 0;
  }
  std::cout << d->doc.ToBytes(text);
  std::cout.flush();
  return 0;
}

int DoScript(const std::string& file, CliContext& cli) {
  Session session(cli);
  OpenDoc* d = session.Open(file);
  if (!d) {
    std::cerr << "script: cannot read " << file << "\n";
    return 1;
  }
  d->view->SetFocus();
  const bool sound = ViewCommands(*d->view).CmTestzarn();
  std::cout.flush();
  // The output document is the view the run left current (if it made one).
  const TZarnsEditView* current = session.Context().CurrentView;
  if (current && current != d->view.get() && current->Buffer()) {
    std::string out =
        TextDocument::FromCrLf(current->Buffer()->GetText(), TextDocument::LineEnding::LF);
    if (!out.empty() && out.back() != '\n') out += '\n';
    std::cout << out;
    std::cout.flush();
  }
  return sound ? 0 : 1;
}

}  // namespace

void RegisterRunCommands(CLI::App& app, CliContext& cli) {
  auto args = std::make_shared<RunArgs>();
  CLI::App* run = app.add_subcommand("run", "Run a zarn command on a file and print the result");
  std::vector<std::string> names;
  for (const auto& [name, fn] : Commands()) names.push_back(name);
  run->add_option("--command", args->command,
                  "run (default), calculate, sort, date, time, timereset, phone, "
                  "find, atlas, dictionary, encyclopedia, web, sports, science, "
                  "arts, save or test")
      ->check(CLI::IsMember(names));
  auto* caret =
      run->add_option("--caret", args->caret, "Caret at LINE:COL (LINE from 1, COL bytes from 0)");
  auto* select = run->add_option("--select", args->select, "Selection LINE:COL-LINE:COL");
  caret->excludes(select);
  run->add_flag("--in-place", args->inPlace,
                "Write the result back to FILE instead of printing it");
  run->add_option("FILE", args->file, "The document")->required();
  run->callback([args, &cli] { cli.exitCode = DoRun(*args, cli); });

  CLI::App* script = app.add_subcommand("script", "Run FILE's lines as a zarn script (Test Zarn)");
  script->add_option("FILE", args->file, "The script")->required();
  script->callback([args, &cli] { cli.exitCode = DoScript(args->file, cli); });
}
