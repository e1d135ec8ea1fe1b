#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/commands.h"
#include "model/save_file.h"

int main(int argc, char** argv) {
    CLI::App app{
        "iso8583: read ISO 8583 protocol definitions (.pro), check messages against them "
        "and build messages under them."};
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    app.set_version_flag("--version", "iso8583 " ISO_VERSION);
    // Ctrl+C or a hang-up in the middle of `format -o` must not leave a temporary file behind.
    RemoveSaveTemporaryOnSignals();
    int status = kExitOk;
    AddFormatCommand(app, status);
    AddCheckCommand(app, status);
    AddDiagnoseCommand(app, status);
    AddLintCommand(app, status);
    AddImportCommand(app, status);
    AddExportCommand(app, status);
    AddLearnCommand(app, status);
    AddBuildCommand(app, status);
    AddConvertCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help is a success on standard output; anything else is a usage error.
        errno = 0;
        if (app.exit(e) != 0) return kExitUsage;
        // Help or a version nobody could read is no success either.
        std::cout.flush();
        if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "iso8583: cannot write to standard output: %s\n",
                         errno != 0 ? std::strerror(errno) : "unknown error");
            return kExitUsage;
        }
        return kExitOk;
    }
    return status;
}
