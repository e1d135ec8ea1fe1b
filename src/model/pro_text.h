// The text a Save would write, kept in memory: the main window compares it to tell whether the
// user's definition differs from its file.
#pragma once

#include <string>

#include "model/protocol.h"

// The writer's lines for def into text (replaced); false when they could not be made.
bool FormatProtocolText(const ProtocolDef& def, std::string& text);
