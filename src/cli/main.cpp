// zarns-cli: the program's core for scripts and cron.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"
#include "store/zrnio.h"

int main(int argc, char** argv) {
  CLI::App app{"Zarns command-line companion"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("zarns-cli ") + ZARNS_VERSION);
  int exitCode = 0;
  // The one file set, in place before any command can run.
  ZrnIO files;
  Files = &files;
  for (auto reg : CliRegistrations()) reg(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    Files = nullptr;
    return app.exit(e);
  }
  Files = nullptr;
  return exitCode;
}
