// zarns-cli registry: the file-type lists and the user's categories.
#include <CLI/CLI.hpp>

#include <iostream>

#include "catalog/zrnreg.h"
#include "cli/clihost.h"
#include "cli/commands.h"
#include "platform/pregistry.h"

void RegisterRegistryCommands(CLI::App& app, CliContext& cli) {
  CLI::App* regCmd = app.add_subcommand("registry", "File types to catalog and file categories");
  regCmd->require_subcommand(1);

  regCmd->add_subcommand("rebuild", "Rebuild the extension and category lists from the file types")
      ->callback([&cli] {
        ZrnReg reg(cli.files, cli.host);
        if (reg.GetRegistryTextExt()) {
          cli.exitCode = 0;
          return;
        }
        std::cerr << "registry: cannot write the extension lists: "
                  << plat::FileErrorText(reg.LastError()) << "\n";
        cli.exitCode = 1;
      });

  regCmd->add_subcommand("extensions", "List the extensions whose files are catalogued")
      ->callback([&cli] {
        ZrnReg reg(cli.files, cli.host);
        std::vector<std::string> exts;
        reg.RegExtPtr = &exts;
        reg.GetExtensions();
        for (auto& e : exts) std::cout << CliEscape(e) << "\n";
        cli.exitCode = 0;
      });

  auto setExts = std::make_shared<std::vector<std::string>>();
  CLI::App* setCmd =
      regCmd->add_subcommand("set-extensions", "Choose the extensions whose files are catalogued");
  setCmd->add_option("EXT", *setExts, "Extensions with their leading dot, e.g. .txt")->required();
  setCmd->callback([setExts, &cli] {
    ZrnReg reg(cli.files, cli.host);
    reg.RegExtPtr = setExts.get();
    if (reg.SetExtensions()) {
      cli.exitCode = 0;
      return;
    }
    std::cerr << "registry: cannot write the extension list: "
              << plat::FileErrorText(reg.LastError()) << "\n";
    cli.exitCode = 1;
  });

  regCmd->add_subcommand("categories", "List the file categories, sorted as the viewer shows them")
      ->callback([&cli] {
        ZrnReg reg(cli.files, cli.host);
        ListData cb;
        reg.GetFileCategories(cb);
        SortListNoCase(cb);  // as the viewer lists them
        for (auto& i : cb) std::cout << CliEscape(i.text) << "\n";
        cli.exitCode = 0;
      });

  auto category = std::make_shared<std::string>();
  CLI::App* types = regCmd->add_subcommand("types", "List the extensions of a category");
  types->add_option("CATEGORY", *category, "Category name (exact)")->required();
  types->callback([category, &cli] {
    ZrnReg reg(cli.files, cli.host);
    ListData cb;
    reg.GetCatFileTypes(cb, *category);
    SortListNoCase(cb);
    for (auto& i : cb) std::cout << CliEscape(i.text) << "\n";
    cli.exitCode = 0;
  });

  auto ext = std::make_shared<std::string>();
  CLI::App* files =
      regCmd->add_subcommand("files", "List the catalogued files of a file-type list extension");
  files->add_option("EXT", *ext, "Extension text, e.g. .mp3")->required();
  files->callback([ext, &cli] {
    ZrnReg reg(cli.files, cli.host);
    ListData list;
    std::string e = *ext;
    reg.GetTypeCatMatchFiles(list, e);
    SortListNoCase(list);
    for (auto& i : list) {
      std::string path;
      reg.GetPathFromOffset(i.value, path);
      std::cout << CliEscape(i.text) << "\t" << CliEscape(path) << "\n";
    }
    cli.exitCode = list.empty() ? 1 : 0;
  });

  auto newCat = std::make_shared<std::string>();
  CLI::App* addCat = regCmd->add_subcommand("add-category", "Create a file category");
  addCat->add_option("NAME", *newCat, "Category name")->required();
  addCat->callback([newCat, &cli] {
    ZrnReg reg(cli.files, cli.host);
    reg.SetNewCategory(*newCat);
    std::string n =
        newCat->substr(newCat->find('.') == std::string::npos ? 0 : newCat->find('.') + 1);
    // A category the registry store refused (busy, disk full) fails too;
    // the host has printed why.
    bool stored =
        !n.empty() && plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\" + n);
    cli.exitCode = stored ? 0 : 1;
  });

  auto catName = std::make_shared<std::string>();
  auto extName = std::make_shared<std::string>();
  CLI::App* addExt = regCmd->add_subcommand("add-extension", "Add an extension to a file category");
  addExt->add_option("CATEGORY", *catName, "Category name")->required();
  addExt->add_option("EXT", *extName, "Extension, e.g. .mp3")->required();
  addExt->callback([catName, extName, &cli] {
    ZrnReg reg(cli.files, cli.host);
    reg.SetNewCategoryExtension(*catName, *extName);
    std::string v =
        extName->substr(extName->find('.') == std::string::npos ? 0 : extName->find('.') + 1);
    bool stored =
        !catName->empty() && !v.empty() &&
        plat::ClassesRoot()
            .GetDword("Zarns.Application\\FileCategories\\" + *catName + "\\Inclusions", v)
            .has_value();
    cli.exitCode = stored ? 0 : 1;
  });
}
