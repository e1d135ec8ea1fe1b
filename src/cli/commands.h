// The subcommands of the iso8583 tool. Each registers itself on the application and stores
// its exit status in `status` when it runs.
#pragma once

#include <CLI/CLI.hpp>

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the work ran and found a problem (or could not write)
inline constexpr int kExitUsage = 2;   // bad arguments, unreadable definition or input

void AddFormatCommand(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);
