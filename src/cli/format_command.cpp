#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/command_output.h"
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
    return DeliverDefinition(options.toFile ? &options.output : nullptr, *def, kExitOk);
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
