// The subcommands of the iso8583 tool. Each registers itself on the application and stores
// its exit status in `status` when it runs.
#pragma once

#include <CLI/CLI.hpp>

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // some message did not pass or could not be prepared
inline constexpr int kExitUsage = 2;   // bad arguments, unreadable input, unwritable output

inline constexpr char kExitStatusRule[] =
    "Exit status: 0 when every message passed (format: the file was written); 1 when some "
    "message did not pass or could not be prepared; 2 for bad arguments, an unreadable or too "
    "large definition or input, or output that cannot be written.";

void AddFormatCommand(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);
void AddDiagnoseCommand(CLI::App& app, int& status);
void AddLintCommand(CLI::App& app, int& status);
void AddImportCommand(CLI::App& app, int& status);
void AddExportCommand(CLI::App& app, int& status);
void AddLearnCommand(CLI::App& app, int& status);
void AddBuildCommand(CLI::App& app, int& status);
void AddConvertCommand(CLI::App& app, int& status);
