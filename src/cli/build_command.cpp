#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "cli/draft_output.h"
#include "cli/message_input.h"
#include "encode/message_draft.h"
#include "input/line_reader.h"
#include "input/message_json.h"
#include "model/protocol.h"

namespace {

struct BuildOptions {
    std::string definition;
    std::vector<std::string> inputs;
    OutputOptions output;
};

// Builds the messages of the inputs' lines, one by one.
class Builder {
  public:
    Builder(const ProtocolDef& def, DraftOutput& output, bool nameInputs)
        : reader(def), output(output), nameInputs(nameInputs) {}

    // False when the input could not be opened or read (reported).
    bool BuildInput(const std::string& name) {
        const bool standardInput = name == "-";
        std::error_code ignored;
        if (!standardInput && std::filesystem::is_directory(name, ignored)) {
            std::fprintf(stderr, "%s: cannot open: %s\n", name.c_str(), ErrorText(EISDIR).c_str());
            return false;
        }
        std::FILE* stream = standardInput ? stdin : std::fopen(name.c_str(), "rb");
        if (stream == nullptr) {
            std::fprintf(stderr, "%s: cannot open: %s\n", name.c_str(), ErrorText(errno).c_str());
            return false;
        }
        where = nameInputs ? (standardInput ? "standard input: " : name + ": ") : "";
        LineReader lines(stream, false, MessageJsonReader::kLineMax);
        char* line = nullptr;
        std::size_t size = 0;
        bool overlong = false;
        for (long number = 1; !output.Failed() && lines.Next(line, size, overlong); ++number) {
            if (overlong) {
                Report(number, "longer than " + std::to_string(MessageJsonReader::kLineMax) +
                                   " characters");
                continue;
            }
            const std::string_view text(line, size);
            if (MessageJsonReader::Blank(text)) continue;
            if (!reader.Read(text, draft, reason) || !output.Put(draft, reason))
                Report(number, reason);
        }
        const int error = lines.Error();
        if (!standardInput) std::fclose(stream);
        if (error != 0) {
            std::fprintf(stderr, "%s: cannot read: %s\n",
                         standardInput ? "standard input" : name.c_str(), ErrorText(error).c_str());
        }
        return error == 0;
    }

    bool AnyFailed() const { return failed; }

  private:
    void Report(long line, const std::string& why) {
        std::fprintf(stderr, "%sline %ld: %s\n", where.c_str(), line, why.c_str());
        failed = true;
    }

    MessageJsonReader reader;
    DraftOutput& output;
    bool nameInputs;
    MessageDraft draft;
    std::string reason;
    std::string where;
    bool failed = false;
};

int RunBuild(const BuildOptions& options) {
    // A reader that went away (`build ... | head`) ends the run quietly, as for any filter.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    std::vector<std::uint8_t> header;
    if (options.output.hasHeader && !OutputHeader(options.output, def, header)) return kExitUsage;
    const std::vector<std::string> standardInput = {"-"};
    const std::vector<std::string>& inputs =
        options.inputs.empty() ? standardInput : options.inputs;
    bool inputsRead = true;
    bool failed = false;
    const auto write = [&](std::FILE* stream) {
        DraftOutput output(def, options.output, options.output.hasHeader ? &header : nullptr,
                           stream);
        Builder builder(def, output, inputs.size() > 1);
        for (const std::string& name : inputs) {
            inputsRead = builder.BuildInput(name) && inputsRead;
            if (output.Failed()) break;
        }
        failed = builder.AnyFailed();
        return output.Finish();
    };
    const int status =
        DeliverOutput(options.output.toFile ? &options.output.path : nullptr, write, kExitOk);
    if (status != kExitOk || !inputsRead) return kExitUsage;
    return failed ? kExitFailed : kExitOk;
}

}  // namespace

void AddBuildCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<BuildOptions>();
    CLI::App* command = app.add_subcommand(
        "build",
        "Build messages from JSON Lines, one message a line: what `check --json --no-mask` "
        "prints, or the short form {\"mti\": \"0200\", \"fields\": {\"2\": \"4111111111111111\", "
        "\"48\": {\"01\": \"A\"}}}.");
    AddOutputOptions(*command, options->output);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs,
                        "JSON Lines files; standard input when none or -");
    command->footer(
        "Exit status: 0 when every message was built; 1 when some line could not be built (each "
        "said on standard error with its line number, nothing written for it); 2 for bad "
        "arguments, an unreadable definition or input, or output that cannot be written.");
    command->callback([options, &status] { status = RunBuild(*options); });
}
