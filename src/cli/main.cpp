// zarns-cli: the program's core for scripts and cron.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/clihost.h"
#include "cli/commands.h"
#include "store/zrnio.h"

int main(int argc, char** argv) {
  CLI::App app{"Zarns command-line companion"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("zarns-cli ") + ZARNS_VERSION);
  // The one file set and host, in place before any command can run.
  ZrnIO files;
  CliHost host(files, std::cout, std::cerr, std::cin);
  CliLauncher launcher(std::cout);
  plat::SetLauncher(&launcher);
  CliContext cli{files, host};
  int exitCode = 0;
  for (auto reg : CliRegistrations()) reg(app, cli);
  try {
    app.parse(argc, argv);
    exitCode = cli.exitCode;
  } catch (const CLI::ParseError& e) {
    exitCode = app.exit(e);
  }
  plat::SetLauncher(nullptr);
  return exitCode;
}
