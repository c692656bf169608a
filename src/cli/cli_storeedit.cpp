// zarns-cli store ...: changing and exporting the store (added to "store").
//   store delete NAME          removes the zarn NAME (the oldest of that name)
//   store describe NAME [--description TEXT] [--usage TEXT]
//                              without options prints the description, a line
//                              "--" and the usage; with them stores the new
//                              texts (each line followed by CR LF), keeping
//                              the one not given
//   store members PACKAGE      the zarns of the first package of that name,
//                              in membership order
//   store export [PACKAGE] FILE
//                              writes the package PACKAGE (all zarns without
//                              one) to FILE as a .pkg that loads back
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/clihost.h"
#include "cli/commands.h"
#include "platform/pfile.h"
#include "store/zrnedit.h"
#include "store/zrnpkgop.h"

namespace {

struct EditArgs {
  std::string name, description, usage, first, second;
};

void PrintBlock(const std::string& s) {
  std::cout << s;
  if (!s.empty() && s.back() != '\n') std::cout << '\n';
}

std::string List(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
  return s;
}

}  // namespace

void RegisterStoreEditCommands(CLI::App& app, CliContext& cli) {
  CLI::App* store = app.get_subcommand("store");
  auto args = std::make_shared<EditArgs>();

  CLI::App* del = store->add_subcommand("delete", "Remove a stored zarn (the oldest of that name)");
  del->add_option("NAME", args->name, "Zarn name")->required();
  del->callback([args, &cli] {
    ZrnEdit edit(cli.files);
    ZrnEdit::Result r = edit.Delete(args->name);
    if (r != ZrnEdit::Result::kDone) {
      std::cerr << "store: " << ZrnEdit::Describe(r, edit.LastError(), args->name) << "\n";
      cli.exitCode = 1;
    }
  });

  CLI::App* describe =
      store->add_subcommand("describe", "Print or change a zarn's description and usage");
  describe->add_option("NAME", args->name, "Zarn name")->required();
  describe->add_option("--description", args->description, "New description");
  describe->add_option("--usage", args->usage, "New usage");
  describe->callback([args, describe, &cli] {
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    std::string desc, usage;
    if (!op.BrowseInfo(args->name, desc, usage)) {
      std::cerr << "store: no zarn named \"" << args->name << "\" is stored\n";
      cli.exitCode = 1;
      return;
    }
    const bool newDesc = describe->count("--description") > 0;
    const bool newUsage = describe->count("--usage") > 0;
    if (!newDesc && !newUsage) {
      PrintBlock(desc);
      std::cout << "--\n";
      PrintBlock(usage);
      return;
    }
    if (newDesc) desc = args->description;
    if (newUsage) usage = args->usage;
    if (!op.ModifyBrowse(args->name, ZrnEdit::EditLines(desc), ZrnEdit::EditLines(usage))) {
      std::cerr << "store: the texts of \"" << args->name
                << "\" could not be stored (too long, or the store is busy)\n";
      cli.exitCode = 1;
    }
  });

  CLI::App* members = store->add_subcommand("members", "List the zarns of a package");
  members->add_option("PACKAGE", args->name, "Package name")->required();
  members->callback([args, &cli] {
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    auto id = ZrnEdit::PackageId(op.PackageNames(), args->name);
    if (!id) {
      std::cerr << "store: no package named \"" << args->name << "\" is loaded\n";
      cli.exitCode = 1;
      return;
    }
    for (const auto& n : op.PackageZarns(*id)) std::cout << n << '\n';
  });

  CLI::App* exp = store->add_subcommand("export", "Write a package (or all zarns) to a .pkg file");
  exp->add_option("PACKAGE", args->first, "Package name (all zarns when omitted)")->required();
  exp->add_option("FILE", args->second, "The package file to write");
  exp->callback([args, exp, &cli] {
    // One argument is the file; two are the package and the file.
    const bool named = exp->count("FILE") > 0;
    const std::string file = named ? args->second : args->first;
    std::optional<std::uint32_t> id;
    std::string pkgName;
    ZrnPkgOp op(cli.files, cli.host, cli.host);
    if (named) {
      id = ZrnEdit::PackageId(op.PackageNames(), args->first);
      if (!id) {
        std::cerr << "store: no package named \"" << args->first << "\" is loaded\n";
        cli.exitCode = 1;
        return;
      }
      pkgName = op.PackageNames()[*id / sizeof(ZarnMatchStructType)];
    } else {
      pkgName = std::filesystem::path(file).stem().string();
    }
    ZrnEdit edit(cli.files);
    PkgExport out;
    if (!edit.Export(id, pkgName, out)) {
      std::cerr << "store: the package could not be made (store unreadable, or larger than "
                << ZrnPkgOp::kMaxPackageText << " bytes)\n";
      cli.exitCode = 1;
      return;
    }
    if (!plat::WriteFileAtomic(file, out.text)) {
      std::cerr << "store: cannot write " << file << " ("
                << plat::FileErrorText(plat::LastFileError()) << ")\n";
      cli.exitCode = 1;
      return;
    }
    std::cout << ZrnEdit::PackageNameFrom(pkgName) << ": " << out.count << " zarns\n";
    if (!out.blanked.empty())
      std::cerr << "store: a blank was put before the definition of " << List(out.blanked)
                << " (a package section needs one after the name)\n";
    if (!out.skipped.empty()) {
      std::cerr << "store: not exported (a package cannot carry their texts: a ztxt, zfnc, zdesc "
                   "or zuse inside, or too long): "
                << List(out.skipped) << "\n";
      cli.exitCode = 1;
    }
  });
}
