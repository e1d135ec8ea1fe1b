// What one entry of a pyiso8583 field dictionary says, and how a definition reads the field it
// describes: shared by the reader and the writer, so that what one writes the other reads back
// the same, and the writer can tell what would not.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interop/interop.h"

namespace pyiso {

// The greatest max_len read: pyiso8583's default field dictionaries stop at 999, and a field of
// more than 9999 units is a mistake or an attack, not a dialect.
inline constexpr int kMaxLen = 9999;

// A Python codec name, as pyiso8583 hands it to bytes.decode, matched to a character set.
struct Codec {
    bool known = false;
    Encoding charset = Encoding::ASCII;
    // Why the character set is not the codec exactly; null when it is.
    const char* inexact = nullptr;
};
Codec MatchCodec(std::string_view name);
// The codec written for a character set: "ascii" or "cp037".
const char* CodecOf(Encoding charset) noexcept;

// A text of the input in a note: quoted, cut to 40 bytes, each byte that is not printable ASCII
// a '?', so that a note stays one line of plain text.
std::string Quoted(std::string_view text);

// One entry of the dictionary as json.load gives it, reduced to what decode and encode read.
struct FieldEntry {
    std::string dataEnc;    // "b", or a codec
    std::string lenEnc;     // "b", "bcd" or a codec; read for variable fields only
    long long lenType = 0;  // units of the length prefix (bytes, or characters); 0 fixed
    long long maxLen = 0;   // bytes, characters, or nibbles when counted so
    bool nibbles = false;
    char leftPad = 0;  // the first character of left_pad, 0 when absent
    char rightPad = 0;
    std::string desc;
};

// How a definition reads one field: its line and every setting that bears on it, the
// dialect's encodings included, each in the one form that reads the same (an N field's left
// pad 0 is written out even though it is the dialect's rule). Two fields that decode alike have
// equal readings.
struct FieldReading {
    FieldType type = FieldType::U;
    int size = 0;
    int sizeLen = 0;
    FieldSettings own;

    bool operator==(const FieldReading&) const noexcept = default;
};

// Codecs that are not read exactly, each with the keys that use it, for one note a codec.
using InexactCodecs = std::map<std::string, std::vector<std::string>>;

// The reading of the entry of field number; false, with a note, when there is none (the field
// is then left undefined).
bool ReadField(int number, const FieldEntry& fieldEntry, FieldReading& reading, InteropNotes& notes,
               InexactCodecs& inexact);
// The reading of field n of def (defined, 2 to 128).
FieldReading ReadingOf(const ProtocolDef& def, int n);

}  // namespace pyiso
