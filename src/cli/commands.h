// Each area of the command line adds its subcommands through a registration
// function listed in commands.cpp. A subcommand's callback works on the
// context's file set and host and stores its exit status in the context.
#pragma once
#include <CLI/CLI.hpp>
#include <vector>

class CliHost;
class ZrnIO;

// What the subcommands share: the process's one file set and host (owned by
// main) and the exit status.
struct CliContext {
  ZrnIO& files;
  CliHost& host;
  int exitCode = 0;
};

using CliRegistration = void (*)(CLI::App& app, CliContext& cli);

// All registration functions, in the order their subcommands are listed.
const std::vector<CliRegistration>& CliRegistrations();
