// What lint says of a definition beyond what its reader skipped: the checks that need a whole
// line's value or the whole definition.
#pragma once

#include <string>
#include <vector>

#include "model/protocol.h"

// Why the value of a MSG line is refused ("message 0200: mandatory mask has 31 digits, not
// 32"), "title cut" when only its title is too long, "" when it is read whole.
std::string WhyMsgRefused(const char* value);

// A variable field whose length prefix cannot count up to the field's size: the finding, or "".
std::string PrefixRoomFinding(const ProtocolDef& def, int n);

// Fields the message's masks name that are not defined, or both mandatory and optional.
std::vector<std::string> MaskFindings(const ProtocolDef& def, const MsgDef& msg);
