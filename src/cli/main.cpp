// zarns-cli: the program's core for scripts and cron.
#include <CLI/CLI.hpp>

#include <iostream>

#include "catalog/zrnfile.h"
#include "cli/clihost.h"
#include "cli/commands.h"
#include "store/zrnio.h"

namespace {

// Exit status of a command line that could not be understood (unknown or
// missing argument), the same as a subcommand's bad value.
constexpr int kUsageExit = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Zarns command-line companion"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("zarns-cli ") + ZARNS_VERSION);
  app.footer(
      "Exit status: 0 done; 1 failed or nothing found; 2 bad arguments; 3 another\n"
      "catalog build is running; 4 the catalog is damaged or being replaced.\n"
      "Help pages: " +
      ZrnFile::HelpDir());
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
    // CLI11's own codes (100 and up) would tell a script nothing more.
    exitCode = app.exit(e) == 0 ? 0 : kUsageExit;
  }
  plat::SetLauncher(nullptr);
  return exitCode;
}
