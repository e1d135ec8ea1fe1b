#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "interop/interop.h"
#include "model/pro_file.h"
#include "model/save_file.h"

namespace {

struct ExportOptions {
    std::string input;
    std::string to;
    std::string output;
    bool toFile = false;
};

int RunExport(const ExportOptions& options) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    if (!LoadProtocolFile(options.input, *def, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    std::string text;
    InteropNotes notes;
    ExportDefinition(ForeignFormatFromName(options.to), *def, text, notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "%s: %s\n", options.input.c_str(), note.c_str());
    const int status = notes.empty() ? kExitOk : kExitFailed;
    auto write = [&text](std::FILE* stream) {
        return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    };
    return DeliverOutput(options.toFile ? &options.output : nullptr, write, status);
}

}  // namespace

void AddExportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = app.add_subcommand(
        "export",
        "Write a protocol definition (.pro) as another tool's definition: a moov-io/iso8583 "
        "JSON field list, a jPOS generic packager XML or a pyiso8583 field dictionary as JSON; what the format "
        "cannot hold is said on standard error, one line each.");
    command->add_option("FILE.pro", options->input, "Protocol definition to read")->required();
    command->add_option("--to", options->to, "The format to write")
        ->required()
        ->check(CLI::IsMember({"jpos", "moov", "pyiso8583"}));
    CLI::Option* output = command->add_option(
        "-o,--output", options->output,
        "Write to this file instead of standard output (replaced only once fully written)");
    command->footer(
        "Exit status: 0 when everything was carried over, 1 when something was not (the "
        "definition is still written), 2 when the input cannot be read or the output cannot be "
        "written.");
    command->callback([options, output, &status] {
        options->toFile = output->count() > 0;
        status = RunExport(*options);
    });
}
