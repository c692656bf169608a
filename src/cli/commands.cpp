#include "cli/commands.h"

// Areas add themselves here.
void RegisterStoreCommands(CLI::App& app, int& exitCode);
void RegisterCliHost(CLI::App& app, int& exitCode);
void RegisterCatalogCommands(CLI::App& app, int& exitCode);
void RegisterRegistryCommands(CLI::App& app, int& exitCode);
void RegisterRunCommands(CLI::App& app, int& exitCode);

const std::vector<CliRegistration>& CliRegistrations() {
  static const std::vector<CliRegistration> regs = {
      RegisterCliHost,         RegisterRunCommands,      RegisterStoreCommands,
      RegisterCatalogCommands, RegisterRegistryCommands,
  };
  return regs;
}
