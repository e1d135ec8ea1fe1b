// The line-oriented .pro file that stores a protocol definition.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "model/protocol.h"

// What a reader of a definition skipped, cut or replaced, or found contradictory, with the
// number of the line it concerns (counted from 1): lint's findings.
struct ProFinding {
    int line = 0;
    std::string text;
};
using ProFindings = std::vector<ProFinding>;

// False when the file cannot be opened (def untouched, errno says why; a folder gives EISDIR);
// true otherwise, whatever it held.
bool ReadProtocolFile(const char* path, ProtocolDef& def);
// Reads the whole file first, at most kProtocolFileMax bytes, then parses it: on failure def is
// left as it was and error holds "path: cannot open: reason", "path: cannot read: reason" or
// "path: too large for a protocol definition".
inline constexpr long kProtocolFileMax = 16L << 20;
// With findings, every finding is added to it, in line order.
bool LoadProtocolFile(const std::string& path, ProtocolDef& def, std::string& error,
                      ProFindings* findings = nullptr);
// The same rules over an open stream, which the caller closes.
void ReadProtocolStream(std::FILE* stream, ProtocolDef& def, ProFindings* findings = nullptr);

// Writes the whole definition and closes the stream. False when a write or the close failed.
bool WriteProtocolFile(std::FILE* stream, const ProtocolDef& def);
// The same lines, leaving the stream open (and unflushed). False when a write failed.
bool WriteProtocolLines(std::FILE* stream, const ProtocolDef& def);

// Writes the definition to path by the rules of SaveFile (model/save_file.h), so that a failed
// save never leaves a half-written file in place of a good one where a rename can avoid it.
// On failure, error holds "path: cannot open: reason" or "path: cannot write: reason".
bool SaveProtocolFile(const std::string& path, const ProtocolDef& def, std::string& error);

// The value of a MSG line (text is normalised in place).
bool ParseMsgValue(char* text, MsgDef& def);
// "MTI;MANDATORY;OPTIONAL;title" into buffer; false when there is no buffer or no room.
inline constexpr std::size_t kMsgValueMax = 4 + 1 + 32 + 1 + 32 + 1 + kTextMax + 1;
bool FormatMsgValue(char* buffer, std::size_t size, const MsgDef& def);
