#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/checker.h"
#include "cli/commands.h"
#include "cli/message_input.h"
#include "cli/report_json.h"
#include "cli/report_rows.h"
#include "cli/report_summary.h"
#include "inspect/field_inspection.h"
#include "model/protocol.h"

namespace {

struct CheckOptions {
    FramingOptions framing;
    bool json = false;
    bool summary = false;
    bool noMask = false;
    std::vector<int> tlvFields;
    std::vector<int> maskFields;
    std::string definition;
    std::vector<std::string> inputs;
};

std::unique_ptr<ReportWriter> MakeReport(const CheckOptions& options, const ProtocolDef& def,
                                         ReportOutput& output) {
    if (options.json) return std::make_unique<JsonReport>(def, output);
    if (options.summary) return std::make_unique<SummaryReport>(output);
    return std::make_unique<RowsReport>(def, output);
}

InspectOptions InspectionOf(const CheckOptions& options) {
    InspectOptions inspect;
    inspect.mask = !options.noMask;
    for (int n : options.tlvFields)
        SetBit(inspect.tlvFields, n);
    for (int n : options.maskFields)
        SetBit(inspect.maskFields, n);
    return inspect;
}

int RunCheck(const CheckOptions& options) {
    // A reader that went away (`check ... | head`) ends the run quietly, as for any filter,
    // whatever the parent left the signal at.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    ReportOutput output(stdout);
    const std::unique_ptr<ReportWriter> report = MakeReport(options, def, output);
    Checker checker(def, *report, output);
    checker.SetHeader(options.framing.header);
    checker.SetInspection(InspectionOf(options));
    bool inputsRead = true;
    const std::vector<std::string> standardInput = {"-"};
    for (const std::string& name : options.inputs.empty() ? standardInput : options.inputs) {
        inputsRead = ReadInput(checker, name, options.framing) && inputsRead;
        if (output.Failed()) break;
    }
    if (!checker.Finish()) {
        std::fprintf(stderr, "iso8583 check: cannot write the report: %s\n",
                     ErrorText(output.Error()).c_str());
        return kExitUsage;
    }
    if (!inputsRead) return kExitUsage;
    return checker.Counts().failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Decode messages and check each against the protocol definition.");
    AddFramingOptions(*command, options->framing);
    CLI::Option* json =
        command->add_flag("--json", options->json, "One JSON object per message (JSON Lines)");
    CLI::Option* summary = command->add_flag(
        "--summary", options->summary, "Only the counts: messages, passed, failed, by verdict");
    json->excludes(summary);
    command->add_flag("--no-mask", options->noMask,
                      "Show card numbers, track data and PIN data as they are; masked by default");
    command
        ->add_option("--tlv-field", options->tlvFields,
                     "Also read field N as EMV BER-TLV data objects (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    command->add_option("--mask-field", options->maskFields, "Also mask field N whole (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(kExitStatusRule);
    command->callback([options, &status] { status = RunCheck(*options); });
}
