#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "model/pro_file.h"

namespace {

struct FormatOptions {
    std::string input;
    std::string output;
    bool toFile = false;
};

int RunFormat(const FormatOptions& options) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    if (!LoadProtocolFile(options.input, *def, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    // An output that cannot be written exits 2 like an unreadable input: 1 would tell a script
    // that the definition had a fault.
    if (options.toFile) {
        if (SaveProtocolFile(options.output, *def, error)) return kExitOk;
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    errno = 0;
    if (WriteProtocolLines(stdout, *def) && std::fflush(stdout) == 0) return kExitOk;
    const int e = errno;
    std::fprintf(stderr, "standard output: cannot write: %s\n",
                 e != 0 ? std::strerror(e) : "write error");
    return kExitUsage;
}

}  // namespace

void AddFormatCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<FormatOptions>();
    CLI::App* format = app.add_subcommand(
        "format",
        "Read a protocol definition (.pro) and write it back exactly as the desktop program "
        "saves it.");
    format->add_option("FILE.pro", options->input, "Protocol definition to read")->required();
    CLI::Option* output =
        format->add_option("-o,--output", options->output,
                           "Write to this file instead of standard output (a file is replaced only "
                           "once fully written; a device or FIFO is written to)");
    format->footer(kExitStatusRule);
    format->callback([options, output, &status] {
        options->toFile = output->count() > 0;
        status = RunFormat(*options);
    });
}
