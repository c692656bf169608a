// zarns-cli catalog: build, roots, find, name.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "catalog/buildprogress.h"
#include "catalog/zrnfile.h"
#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "cli/clihost.h"
#include "cli/commands.h"
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

}  // namespace

void RegisterCatalogCommands(CLI::App& app, CliContext& cli) {
  CLI::App* cat = app.add_subcommand("catalog", "Build and search the word catalog");
  cat->require_subcommand(1);

  // build
  auto roots = std::make_shared<std::vector<std::string>>();
  CLI::App* build = cat->add_subcommand("build", "Build the word catalog anew");
  build->add_option("--root", *roots,
                    "A directory to catalog (repeatable); default: the configured roots");
  build->callback([roots, &cli] {
    WordCat builder(cli.files);
    StreamProgress progress(stderr);
    bool tty = ::isatty(STDERR_FILENO) == 1;
    builder.CreateWordCatalog(tty ? static_cast<BuildProgress*>(&progress) : nullptr, *roots);
    if (tty) progress.Finish();
    const BuildStats& s = builder.Stats();
    if (s.failed) {
      std::fputs(
          "zarns-cli: the catalog files could not be created (is a search or build running?)\n",
          stderr);
      cli.exitCode = 1;
      return;
    }
    std::fprintf(stderr, "catalog: %u directories, %u files, %u words, %d catalogs, %.2f seconds\n",
                 s.directories, s.files, s.words, s.catalogs, s.seconds);
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

  // find
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* find = cat->add_subcommand("find", "List the files that contain every word");
  find->add_option("WORD", *words, "Words to match")->required();
  find->callback([words, &cli] {
    WordView view(cli.files, cli.host, cli.host);
    for (std::size_t i = 0; i < words->size(); ++i) view.FindName += (i ? " " : "") + (*words)[i];
    view.InterpretWords();
    if (view.MatchesFound == 0) std::cerr << "No Match found\n";
    std::vector<MatchItem> items = view.HitList;
    WordView::SortByName(items);
    cli.files.OpenFiles("r");
    for (auto& m : items) {
      view.fileid = m.fileid;
      view.FindPath.clear();
      view.GetFilePath(true);
      std::cout << CliEscape(m.name) << "\t" << CliEscape(view.FindPath) << "\n";
    }
    cli.files.CloseFiles();
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
    cli.exitCode = n > 0 ? 0 : 1;
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
    cli.exitCode = view.FindFileName(&found) ? 0 : 1;
  });
}
