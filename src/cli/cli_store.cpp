// zarns-cli store ...: the zarn definition store and packages.
//   store set NAME [VALUE]   VALUE (or all of stdin) stored under NAME
//   store get NAME           the definition text exactly; exit 1 when not stored
//   store list               names in table order, one per line
//   store browse NAME        the description, a line "--", the usage
//   store load PACKAGE       loads a .pkg file
//   store packages           package names in load order
//   store reset              removes every zarn and package
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "cli/clihost.h"
#include "cli/commands.h"
#include "platform/pfile.h"
#include "store/zrnedit.h"
#include "store/zrnlvl.h"
#include "store/zrnpkgop.h"

namespace {

struct StoreArgs {
  std::string name, value, package;
  bool haveValue = false;
};

// Ends a text that is not empty with a line break, so what follows starts a line.
void PrintBlock(const std::string& s) {
  std::cout << s;
  if (!s.empty() && s.back() != '\n') std::cout << '\n';
}

}  // namespace

void RegisterStoreCommands(CLI::App& app, CliContext& cli) {
  auto args = std::make_shared<StoreArgs>();
  CLI::App* store = app.add_subcommand("store", "The zarn definition store and packages");
  store->require_subcommand(1);

  CLI::App* set = store->add_subcommand("set", "Store a zarn (VALUE from stdin when omitted)");
  set->add_option("NAME", args->name, "Zarn name")->required();
  set->add_option("VALUE", args->value, "Definition, optionally with zdesc/zuse browse text");
  set->callback([args, set, &cli] {
    std::string value = args->value;
    if (set->count("VALUE") == 0)
      value.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    // A name already stored gets the new definition.
    ZrnEdit edit(cli.files);
    const ZrnEdit::Result r = edit.Store(args->name, value);
    if (r != ZrnEdit::Result::kDone) {
      std::cerr << "store: cannot store \"" << args->name
                << "\": " << StoreErrorText(edit.LastStoreError()) << "\n";
      cli.exitCode = 1;
    }
  });

  CLI::App* get = store->add_subcommand("get", "Print a zarn's definition text");
  get->add_option("NAME", args->name, "Zarn name")->required();
  get->callback([args, &cli] {
    std::string name = args->name, value;
    ZrnLvl1 lvl(cli.files);
    if (lvl.Get(name, value))
      std::cout << value;
    else
      cli.exitCode = 1;
  });

  CLI::App* list = store->add_subcommand("list", "List stored zarn names in table order");
  list->callback([&cli] {
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    for (const auto& n : op.AllZarns()) std::cout << n << '\n';
  });

  CLI::App* browse = store->add_subcommand("browse", "Print a zarn's description and usage");
  browse->add_option("NAME", args->name, "Zarn name")->required();
  browse->callback([args, &cli] {
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    std::string desc, usage;
    if (!op.BrowseInfo(args->name, desc, usage)) {
      cli.exitCode = 1;
      return;
    }
    PrintBlock(desc);
    std::cout << "--\n";
    PrintBlock(usage);
  });

  CLI::App* load = store->add_subcommand("load", "Load a package file (.pkg)");
  load->add_option("PACKAGE", args->package, "Package file")->required();
  load->callback([args, &cli] {
    std::error_code ec;
    std::string path = std::filesystem::absolute(args->package, ec).string();
    if (ec) path = args->package;
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    PkgLoadResult r = op.LoadPackage(path);
    if (!r.loaded) {
      if (r.noMagic)
        std::cerr << "\nstore: " << args->package << " is not a zarn package (no ZPKG)\n";
      else if (r.cause != StoreError::None)
        std::cerr << "store: cannot record package " << r.name << ": " << StoreErrorText(r.cause)
                  << "\n";
      cli.exitCode = 1;
      return;
    }
    std::cout << r.name << ": " << r.stored << " zarns\n";
    if (r.refused > 0) {
      std::cerr << "store: " << r.refused << " sections of " << r.name
                << " were not stored (the first: " << StoreErrorText(r.cause) << ")\n";
      cli.exitCode = 1;
    } else if (r.unlinked > 0) {
      std::cerr << "store: " << r.unlinked << " zarns of " << r.name
                << " were stored but not listed under the package: " << StoreErrorText(r.cause)
                << "\n";
      cli.exitCode = 1;
    }
  });

  CLI::App* packages = store->add_subcommand("packages", "List loaded packages in load order");
  packages->callback([&cli] {
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    for (const auto& n : op.PackageNames()) std::cout << n << '\n';
  });

  CLI::App* reset = store->add_subcommand("reset", "Remove every stored zarn and package");
  reset->callback([&cli] {
    StoreError why = StoreError::None;
    if (!ZrnLvl1::ResetZarns(cli.files, &why)) {
      std::cerr << "store: some store files could not be removed: " << StoreErrorText(why) << "\n";
      cli.exitCode = 1;
    }
  });
}
