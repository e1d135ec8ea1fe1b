#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "cli/message_learning.h"
#include "interop/interop.h"
#include "interop/read_text.h"
#include "model/pro_file.h"

namespace {

struct ImportOptions {
    std::string input;
    std::string output;
    std::string from;
    std::string messages;  // traffic to learn the message definitions from
    FramingOptions framing;
    bool toFile = false;
};

int RunImport(const ImportOptions& options) {
    std::string text;
    std::string error;
    if (!ReadForeignFile(options.input, text, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    const ForeignFormat format =
        options.from.empty() ? RecogniseFormat(text) : ForeignFormatFromName(options.from);
    if (format == ForeignFormat::kUnknown) {
        std::fprintf(stderr, "%s: not a jPOS packager, a moov field list or a pyiso8583 field dictionary\n",
                     options.input.c_str());
        return kExitUsage;
    }
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    InteropNotes notes;
    if (!ImportDefinition(format, text, *def, notes, error)) {
        std::fprintf(stderr, "%s: %s\n", options.input.c_str(), error.c_str());
        return kExitUsage;
    }
    for (const std::string& note : notes)
        std::fprintf(stderr, "%s: %s\n", options.input.c_str(), note.c_str());
    int status = notes.empty() ? kExitOk : kExitFailed;
    if (!options.messages.empty()) {
        MessageLearner learner(*def);
        if (!LearnFromInputs(learner, *def, {options.messages}, options.framing)) return kExitUsage;
        status = std::max(status, AddLearned(learner, *def));
    }
    return DeliverDefinition(options.toFile ? &options.output : nullptr, *def, status);
}

}  // namespace

void AddImportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import",
        "Read another tool's definition (a jPOS generic packager XML, a moov-io/iso8583 JSON "
        "field list, a pyiso8583 field dictionary as JSON) and write it as a protocol definition (.pro); what "
        "cannot be carried over exactly is said on standard error, one line each.");
    command->add_option("FILE", options->input, "Definition to read")->required();
    CLI::Option* output = command->add_option(
        "-o,--output", options->output,
        "Write to this file instead of standard output (replaced only once fully written)");
    command
        ->add_option("--from", options->from,
                     "The file's format, instead of telling it from the content")
        ->check(CLI::IsMember({"jpos", "moov", "pyiso8583"}));
    CLI::Option* messages = command->add_option(
        "--messages", options->messages,
        "Learn the message definitions (MSG lines) from the messages of this file, read with "
        "the framing options, and add them to the definition");
    AddFramingOptions(*command, options->framing);
    for (const char* framing : {"--hex", "--raw", "--dump", "--stream", "--header"})
        command->get_option(framing)->needs(messages);
    command->footer(
        "Exit status: 0 when everything was carried over, 1 when something was not or a "
        "message of --messages failed to decode (the definition is still written), 2 when the "
        "input or the messages cannot be read, the input is of no known kind, or the output "
        "cannot be written.");
    command->callback([options, output, &status] {
        options->toFile = output->count() > 0;
        status = RunImport(*options);
    });
}
