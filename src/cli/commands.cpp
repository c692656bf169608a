#include "cli/commands.h"

// Areas add themselves here.
void RegisterStoreCommands(CLI::App& app, CliContext& cli);
void RegisterStoreEditCommands(CLI::App& app, CliContext& cli);  // after the store
void RegisterCliHost(CLI::App& app, CliContext& cli);
void RegisterCatalogCommands(CLI::App& app, CliContext& cli);
void RegisterRegistryCommands(CLI::App& app, CliContext& cli);
void RegisterRunCommands(CLI::App& app, CliContext& cli);
void RegisterPhoneCommands(CLI::App& app, CliContext& cli);

const std::vector<CliRegistration>& CliRegistrations() {
  static const std::vector<CliRegistration> regs = {
      RegisterCliHost,           RegisterRunCommands,     RegisterStoreCommands,
      RegisterStoreEditCommands, RegisterCatalogCommands, RegisterRegistryCommands,
      RegisterPhoneCommands,
  };
  return regs;
}
