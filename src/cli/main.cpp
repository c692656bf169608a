// zarns-cli: the program's core for scripts and cron.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Zarns command-line companion"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("zarns-cli ") + ZARNS_VERSION);
  int exitCode = 0;
  for (auto reg : CliRegistrations()) reg(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return exitCode;
}
