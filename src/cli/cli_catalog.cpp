// zarns-cli catalog: build, roots, find, name, schedule.
//
// Exit status of build: 0 built and in place, 1 failed (the previous
// catalog is kept; the cause is printed), 3 refused because another build
// is running. Every build, whatever its end, adds a line to the build log.
// schedule exits 0 when set (or for status), 1 when it could not be set,
// 2 for words it does not understand. The searches exit 4 when the catalog is damaged or is being
// replaced (the message says which), 1 when nothing was found.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "catalog/buildlog.h"
#include "catalog/buildprogress.h"
#include "catalog/catfiles.h"
#include "catalog/catnames.h"
#include "catalog/zrnfile.h"
#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "cli/clihost.h"
#include "cli/commands.h"
#include "shell/catsched.h"
#include "store/zrnio.h"

namespace {

void PrintFound(ZrnFile& f) {
  f.Reset();
  std::string name, path;
  std::uint32_t id = 0;
  while (!f.eol) {
    f.GetNext(name, path, id);
    std::cout << CliEscape(name) << "\t" << CliEscape(path) << "\n";
  }
}

// The status of a search that met a catalog it could not trust.
constexpr int kUntrustedCatalogExit = 4;
constexpr int kBuildRunningExit = 3;

}  // namespace

void RegisterCatalogCommands(CLI::App& app, CliContext& cli) {
  CLI::App* cat = app.add_subcommand("catalog", "Build and search the word catalog");
  cat->require_subcommand(1);

  // build
  auto roots = std::make_shared<std::vector<std::string>>();
  CLI::App* build = cat->add_subcommand(
      "build",
      "Build the word catalog anew; it replaces the previous one only when complete. Exit "
      "status: 0 built, 1 failed (previous catalog kept), 3 another build is running");
  build->add_option("--root", *roots,
                    "A directory to catalog (repeatable); default: the configured roots");
  build->callback([roots, &cli] {
    WordCat builder(cli.files);
    StreamProgress progress(stderr);
    bool tty = ::isatty(STDERR_FILENO) == 1;
    const std::time_t start = std::time(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    builder.CreateWordCatalog(tty ? static_cast<BuildProgress*>(&progress) : nullptr, *roots);
    if (tty) progress.Finish();
    const BuildStats& s = builder.Stats();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!AppendBuildLog(BuildLogEntryFor(s, start, took)))
      std::fprintf(stderr, "zarns-cli: the build log could not be written (%s)\n",
                   plat::FileErrorText(plat::LastFileError()));
    if (s.busy) {
      std::fputs("zarns-cli: another catalog build is running; this one was not started\n", stderr);
      cli.exitCode = kBuildRunningExit;
      return;
    }
    if (s.failed) {
      std::fprintf(stderr,
                   "zarns-cli: the catalog could not be built (%s); the previous one is kept\n",
                   plat::FileErrorText(s.error));
      cli.exitCode = 1;
      return;
    }
    std::fprintf(stderr, "catalog: %u directories, %u files, %u words, %d catalogs, %.2f seconds\n",
                 s.directories, s.files, s.words, s.catalogs, s.seconds);
    if (s.fileLimitReached)
      std::fprintf(stderr,
                   "zarns-cli: a build takes at most %u files; the files after them are not in "
                   "the catalog\n",
                   kMaxBuildFiles);
    cli.exitCode = 0;
  });

  // roots
  auto dirs = std::make_shared<std::vector<std::string>>();
  auto reset = std::make_shared<bool>(false);
  CLI::App* rootsCmd = cat->add_subcommand("roots", "Show, or set, the directories a build walks");
  rootsCmd->add_option("DIR", *dirs, "The new roots, in the order they are walked");
  rootsCmd->add_flag("--default", *reset, "Go back to the default root (the home directory)");
  rootsCmd->callback([dirs, reset, &cli] {
    cli.exitCode = 0;
    if (*reset) {
      SetCatalogRoots({});
    } else if (!dirs->empty()) {
      for (auto& d : *dirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(d, ec)) {
          std::cerr << "zarns-cli: not a directory: " << d << "\n";
          cli.exitCode = 2;
          return;
        }
      }
      if (!SetCatalogRoots(*dirs)) {
        std::cerr << "zarns-cli: the roots could not be stored\n";
        cli.exitCode = 1;
        return;
      }
    }
    for (auto& r : GetCatalogRoots()) std::cout << CliEscape(r) << "\n";
  });

  // schedule
  auto when = std::make_shared<std::vector<std::string>>();
  CLI::App* sched = cat->add_subcommand(
      "schedule",
      "Rebuild the catalog on its own: off | daily HH:MM | weekly DAY HH:MM | monthly N HH:MM | "
      "startup | shutdown; or show the schedule and the last build: status");
  sched->add_option("WHEN", *when, "The schedule, or status")->required();
  sched->callback([when, &cli] {
    if (when->size() == 1 && (*when)[0] == "status") {
      std::cout << ScheduleStatusText();
      cli.exitCode = 0;
      return;
    }
    CatalogSchedule s;
    std::string error;
    if (!ParseScheduleArgs(*when, s, error)) {
      std::cerr << "zarns-cli: " << error << "\n";
      cli.exitCode = 2;
      return;
    }
    if (!ApplyCatalogSchedule(s, CurrentScheduleEnv(), error)) {
      std::cerr << "zarns-cli: the schedule could not be set: " << error << "\n";
      cli.exitCode = 1;
      return;
    }
    std::cout << "Schedule: " << ScheduleText(s) << "\n";
    cli.exitCode = 0;
  });

  // find
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* find = cat->add_subcommand("find", "List the files that contain every word");
  find->add_option("WORD", *words, "Words to match")->required();
  find->callback([words, &cli] {
    WordView view(cli.files, cli.host, cli.host);
    for (std::size_t i = 0; i < words->size(); ++i) view.FindName += (i ? " " : "") + (*words)[i];
    // One catalog from the search to the last directory looked up.
    CatalogReadScope scope;
    view.InterpretWords();
    if (!view.Problem.empty()) {
      cli.exitCode = kUntrustedCatalogExit;
      return;
    }
    if (view.MatchesFound == 0) std::cerr << "No Match found\n";
    std::vector<MatchItem> items = view.HitList;
    WordView::SortByName(items);
    // The directories from the mapped tables: only the records of the
    // files listed are touched, however many files the catalog holds.
    std::vector<std::uint32_t> ids;
    ids.reserve(items.size());
    for (auto& m : items) ids.push_back(m.fileid);
    CatalogNames names(cli.host);
    std::vector<std::string> dirs;
    if (!names.Directories(ids, dirs)) {
      cli.exitCode = kUntrustedCatalogExit;
      return;
    }
    std::string lines;
    for (std::size_t i = 0; i < items.size(); ++i)
      lines += CliEscape(items[i].name) + "\t" + CliEscape(dirs[i]) + "\n";
    std::cout << lines;
    cli.exitCode = items.empty() ? 1 : 0;
  });

  // name
  auto text = std::make_shared<std::string>();
  CLI::App* name =
      cat->add_subcommand("name", "List the catalogued files whose name contains TEXT");
  name->add_option("TEXT", *text, "Text to look for (case-sensitive)")->required();
  name->callback([text, &cli] {
    WordView view(cli.files, cli.host, cli.host);
    ZrnFile found;
    int n = view.CollectFileNames(*text, found);
    PrintFound(found);
    cli.exitCode = !view.Problem.empty() ? kUntrustedCatalogExit : n > 0 ? 0 : 1;
  });

  // open: the file-name search as the editor runs it, through the host
  auto openText = std::make_shared<std::string>();
  CLI::App* open = cat->add_subcommand(
      "open", "Open the catalogued file whose name contains TEXT (asks first); several: list them");
  open->add_option("TEXT", *openText, "Text to look for (case-sensitive)")->required();
  open->callback([openText, &cli] {
    WordView view(cli.files, cli.host, cli.host);
    ZrnFile found;
    found.ShortFileName = *openText;
    const bool any = view.FindFileName(&found);
    cli.exitCode = !view.Problem.empty() ? kUntrustedCatalogExit : any ? 0 : 1;
  });
}
