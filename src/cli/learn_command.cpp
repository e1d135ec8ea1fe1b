#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "cli/message_input.h"
#include "cli/message_learning.h"
#include "interop/learn_messages.h"
#include "model/pro_file.h"

namespace {

struct LearnOptions {
    FramingOptions framing;
    std::string definition;
    std::vector<std::string> inputs;
    std::string output;
    bool toFile = false;
};

// The MSG line of each MTI of which a message decoded, as the definition's writer writes it.
bool WriteProposals(const MessageLearner& learner, const ProtocolDef& def) {
    char value[kMsgValueMax];
    for (const LearnedMti& entry : learner.Learned()) {
        if (entry.fields.Messages() == 0) continue;
        const MsgDef proposed = ProposedMessage(entry, def);
        if (FormatMsgValue(value, sizeof value, proposed) &&
            std::fprintf(stdout, "MSG=%s\n", value) < 0) {
            return false;
        }
    }
    return std::fflush(stdout) == 0;
}

int RunLearn(const LearnOptions& options) {
    std::signal(SIGPIPE, SIG_DFL);
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    if (!ReadDefinition(options.definition, *def)) return kExitUsage;
    MessageLearner learner(*def);
    if (!LearnFromInputs(learner, *def, options.inputs, options.framing)) return kExitUsage;
    if (options.toFile) {
        return DeliverDefinition(&options.output, *def, AddLearned(learner, *def));
    }
    errno = 0;
    if (!WriteProposals(learner, *def)) {
        std::fprintf(stderr, "standard output: cannot write: %s\n", ErrorText(errno).c_str());
        return kExitUsage;
    }
    return learner.Failed() > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void AddLearnCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<LearnOptions>();
    CLI::App* command = app.add_subcommand(
        "learn",
        "Decode messages under the protocol definition and propose, for each MTI seen, a "
        "message definition (MSG line) under which every one of them that decoded passes: "
        "mandatory the fields present in all, optional those present in some.");
    AddFramingOptions(*command, options->framing);
    CLI::Option* output = command->add_option(
        "-o,--output", options->output,
        "Write the definition with the learned MSG lines added, or in place of those of the "
        "same MTI, to this file instead of the lines to standard output");
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(
        "Exit status: 0 when every message decoded; 1 when some failed to decode (what the "
        "others teach is still given); 2 for bad arguments, an unreadable definition or input, "
        "or output that cannot be written.");
    command->callback([options, output, &status] {
        options->toFile = output->count() > 0;
        status = RunLearn(*options);
    });
}
