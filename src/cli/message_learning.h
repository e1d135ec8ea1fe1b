// Learning message definitions from message files, as `learn` and `import --messages` do.
#pragma once

#include <string>
#include <vector>

#include "cli/message_input.h"
#include "interop/learn_messages.h"
#include "model/protocol.h"

// Reads each input in turn (standard input when there is none) through the framing into the
// learner of def, the definition's header standing unless the framing gives one, then says on
// standard error what was read: the count of messages, then for each MTI how many and how many
// failed to decode. False when an input could not be opened or read (already reported).
bool LearnFromInputs(MessageLearner& learner, const ProtocolDef& def,
                     const std::vector<std::string>& inputs, FramingOptions framing);

// Puts what the learner learned into def, saying on standard error what could not be added.
// The learner is of no further use. The exit status of the learning: kExitOk when every
// message decoded and every MTI learned was added, kExitFailed otherwise.
int AddLearned(const MessageLearner& learner, ProtocolDef& def);
