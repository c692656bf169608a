#include "cli/commands.h"

// Areas add themselves here.
void RegisterStoreCommands(CLI::App& app, int& exitCode);

const std::vector<CliRegistration>& CliRegistrations() {
  static const std::vector<CliRegistration> regs = {
      RegisterStoreCommands,
  };
  return regs;
}
