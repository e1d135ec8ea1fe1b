#include "cli/message_learning.h"

#include <cstdio>

#include "cli/commands.h"
#include "cli/report_output.h"

namespace {

const char* Messages(long count) {
    return count == 1 ? "message" : "messages";
}

void SayCounts(const MessageLearner& learner) {
    std::fprintf(stderr, "%ld %s read\n", learner.Read(), Messages(learner.Read()));
    for (const LearnedMti& entry : learner.Learned()) {
        std::fprintf(stderr, "%s: %ld %s, %ld failed to decode\n", entry.mti, entry.read,
                     Messages(entry.read), entry.failed);
    }
    const long withoutMti = learner.FailedWithoutMti();
    if (withoutMti > 0) {
        std::fprintf(stderr, "no MTI: %ld %s, failed to decode\n", withoutMti,
                     Messages(withoutMti));
    }
}

}  // namespace

bool LearnFromInputs(MessageLearner& learner, const ProtocolDef& def,
                     const std::vector<std::string>& inputs, FramingOptions framing) {
    if (framing.header < 0) framing.header = def.options.header;
    learner.SetHeader(framing.header);
    // Nothing is written while learning: no output can fail and stop the reading.
    const ReportOutput none(nullptr);
    const bool inputsRead = ReadInputs(learner, inputs, framing, none);
    SayCounts(learner);
    return inputsRead;
}

int AddLearned(const MessageLearner& learner, ProtocolDef& def) {
    std::vector<std::string> notes;
    AddLearnedMessages(learner.Learned(), def, notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "%s\n", note.c_str());
    return learner.Failed() > 0 || !notes.empty() ? kExitFailed : kExitOk;
}
