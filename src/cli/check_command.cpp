#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/checker.h"
#include "cli/commands.h"
#include "cli/message_input.h"
#include "cli/parallel_sink.h"
#include "cli/report_json.h"
#include "cli/report_rows.h"
#include "cli/report_summary.h"
#include "content/field_content.h"
#include "model/protocol.h"

namespace {

struct CheckOptions {
    FramingOptions framing;
    bool json = false;
    bool summary = false;
    bool noMask = false;
    bool strict = false;
    bool allowTrailing = false;
    int jobs = 1;
    std::vector<int> tlvFields;
    std::vector<int> maskFields;
    std::string definition;
    std::vector<std::string> inputs;
};

// maxTallies: how many distinct verdicts a summary tells apart.
std::unique_ptr<ReportWriter> MakeReport(const CheckOptions& options, const ProtocolDef& def,
                                         ReportOutput& output,
                                         std::size_t maxTallies = SummaryReport::kMaxTallies) {
    if (options.json) return std::make_unique<JsonReport>(def, output);
    if (options.summary) return std::make_unique<SummaryReport>(output, maxTallies);
    return std::make_unique<RowsReport>(def, output);
}

InspectOptions InspectionOf(const CheckOptions& options) {
    InspectOptions inspect;
    inspect.mask = !options.noMask;
    // Only --json shows the hex of text values.
    inspect.hexShown = options.json;
    for (int n : options.tlvFields)
        SetBit(inspect.tlvFields, n);
    for (int n : options.maskFields)
        SetBit(inspect.maskFields, n);
    return inspect;
}

// A checker of its own for one worker thread, its report kept in memory for the block. Its
// summary tells every verdict of a block apart: the block bounds them, and the run's summary
// applies the limit when it adds them up.
class CheckWorker : public BlockChecker {
  public:
    CheckWorker(const CheckOptions& options, const ProtocolDef& def)
        : report(MakeReport(options, def, output, SIZE_MAX)), checker(def, *report, output) {
        checker.SetHeader(options.framing.header);
        checker.SetInspection(InspectionOf(options));
        ready = !options.strict || checker.SetStrict(options.allowTrailing);
        summary = dynamic_cast<SummaryReport*>(report.get());
    }

    bool Ready() const { return ready; }
    void Check(MessageBlock& block) override {
        CheckBlock(checker, output, block);
        if (summary != nullptr) summary->TakeTallies(block.tallies);
    }

  private:
    ReportOutput output{nullptr};
    std::unique_ptr<ReportWriter> report;
    Checker checker;
    SummaryReport* summary = nullptr;
    bool ready = true;
};

int NoMemory(const CheckOptions& options) {
    std::fprintf(stderr, "%s: cannot check strictly: %s\n", options.definition.c_str(),
                 ErrorText(ENOMEM).c_str());
    return kExitUsage;
}

int CheckInParallel(const CheckOptions& options, const ProtocolDef& def, ReportWriter& report,
                    ReportOutput& output, int threads) {
    std::vector<std::unique_ptr<BlockChecker>> workers;
    for (int i = 0; i < threads; ++i) {
        auto worker = std::make_unique<CheckWorker>(options, def);
        if (!worker->Ready()) return NoMemory(options);
        workers.push_back(std::move(worker));
    }
    ParallelSink::Merge merge;
    if (auto* summary = dynamic_cast<SummaryReport*>(&report)) {
        merge = [summary](const MessageBlock& block) { summary->AddTallies(block.tallies); };
    }
    const std::size_t blockMessages =
        options.summary ? MessageBlock::kMessages : MessageBlock::kReportMessages;
    ParallelSink sink(std::move(workers), output, merge, blockMessages);
    const bool inputsRead = ReadInputs(sink, options.inputs, options.framing, output);
    const bool drained = sink.Drain();
    report.Finish(sink.Counts());
    const bool written = output.Flush() && drained;
    return RunStatus("check", written, inputsRead, sink.Counts(), output);
}

int RunCheck(const CheckOptions& given) {
    CheckOptions options = given;
    // A reader that went away (`check ... | head`) ends the run quietly, as for any filter,
    // whatever the parent left the signal at.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    // The definition's own header stands unless --header says otherwise.
    if (options.framing.header < 0) options.framing.header = def.options.header;
    ReportOutput output(stdout);
    const std::unique_ptr<ReportWriter> report = MakeReport(options, def, output);
    const int threads = ThreadsFor(options.jobs);
    if (threads > 1) return CheckInParallel(options, def, *report, output, threads);
    Checker checker(def, *report, output);
    checker.SetHeader(options.framing.header);
    checker.SetInspection(InspectionOf(options));
    if (options.strict && !checker.SetStrict(options.allowTrailing)) return NoMemory(options);
    const bool inputsRead = ReadInputs(checker, options.inputs, options.framing, output);
    const bool written = checker.Finish();
    return RunStatus("check", written, inputsRead, checker.Counts(), output);
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
    CLI::Option* strict = command->add_flag(
        "--strict", options->strict,
        "Also fail a message that passes for a bitmap cut short or not converting, a value "
        "outside its type, a length above the maximum, a subfield structure that does not fit, "
        "or units after the last field; each reason on a line of its own");
    command
        ->add_flag("--allow-trailing", options->allowTrailing,
                   "Under --strict, units after the last field fail no message")
        ->needs(strict);
    command
        ->add_option("--tlv-field", options->tlvFields,
                     "Also read field N as EMV BER-TLV data objects (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    command->add_option("--mask-field", options->maskFields, "Also mask field N whole (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    AddJobsOption(*command, options->jobs);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(kExitStatusRule);
    command->callback([options, &status] { status = RunCheck(*options); });
}
