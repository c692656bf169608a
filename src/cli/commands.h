// Each area of the command line adds its subcommands through a registration
// function listed in commands.cpp. A subcommand's callback stores its exit
// status in `exitCode`.
#pragma once
#include <CLI/CLI.hpp>
#include <vector>

using CliRegistration = void (*)(CLI::App& app, int& exitCode);

// All registration functions, in the order their subcommands are listed.
const std::vector<CliRegistration>& CliRegistrations();
