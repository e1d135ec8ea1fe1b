// Definitions other ISO 8583 tools hold, read into a protocol definition and written from one:
// jPOS generic packager XML, moov-io/iso8583 JSON field lists and pyiso8583 field dictionaries
// written as JSON. What a format cannot carry over exactly is said, one line each, never guessed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/protocol.h"

enum class ForeignFormat { kUnknown, kJpos, kMoov, kPyiso8583 };

// "jpos", "moov", "pyiso8583"; kUnknown for any other name.
ForeignFormat ForeignFormatFromName(std::string_view name) noexcept;
const char* NameOf(ForeignFormat format) noexcept;
// The format the text is written in, told from its content alone.
ForeignFormat RecogniseFormat(std::string_view text) noexcept;

// One line per thing not carried over exactly: "field 52: class org.example.MyPinPackager is not
// a known packager; left undefined".
using InteropNotes = std::vector<std::string>;

// Reads text into def, which the caller has reset. False, with error saying why, when the text
// is not a definition of that format at all (not well-formed, no known root); true otherwise,
// with notes for what could not be carried over.
bool ImportDefinition(ForeignFormat format, std::string_view text, ProtocolDef& def,
                      InteropNotes& notes, std::string& error);
// Writes def in the format into out, with notes for what the format cannot hold.
void ExportDefinition(ForeignFormat format, const ProtocolDef& def, std::string& out,
                      InteropNotes& notes);

// Each format's reader and writer, in a file of its own.
bool ImportJpos(std::string_view text, ProtocolDef& def, InteropNotes& notes, std::string& error);
void ExportJpos(const ProtocolDef& def, std::string& out, InteropNotes& notes);
bool ImportMoov(std::string_view text, ProtocolDef& def, InteropNotes& notes, std::string& error);
void ExportMoov(const ProtocolDef& def, std::string& out, InteropNotes& notes);
bool ImportPyiso8583(std::string_view text, ProtocolDef& def, InteropNotes& notes,
                     std::string& error);
void ExportPyiso8583(const ProtocolDef& def, std::string& out, InteropNotes& notes);
