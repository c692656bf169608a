#include "cli/commands.h"

// Areas add themselves here.
const std::vector<CliRegistration>& CliRegistrations() {
  static const std::vector<CliRegistration> regs = {};
  return regs;
}
