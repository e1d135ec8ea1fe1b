// The shipped dialects and subfield examples written in each other tool's format and read back:
// field by field the definition they were, save exactly what the export said the format cannot
// hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "interop/field_reading.h"
#include "interop/interop.h"
#include "model/pro_file.h"

namespace {

using Notes = std::vector<std::string>;

// "field n: text" for each n.
Notes Each(std::initializer_list<int> fields, const std::string& text) {
    Notes notes;
    for (int n : fields)
        notes.push_back("field " + std::to_string(n) + ": " + text);
    return notes;
}

Notes All(std::initializer_list<Notes> parts) {
    Notes all;
    for (const Notes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The notes said but not expected and those expected but not said, one a line; "" when the two
// hold the same notes, in whatever order.
std::string Unlike(Notes said, Notes expected) {
    std::sort(said.begin(), said.end());
    std::sort(expected.begin(), expected.end());
    Notes extra, missing;
    std::set_difference(said.begin(), said.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    std::set_difference(expected.begin(), expected.end(), said.begin(), said.end(),
                        std::back_inserter(missing));
    std::string text;
    for (const std::string& n : extra)
        text += "said, not expected: " + n + "\n";
    for (const std::string& n : missing)
        text += "expected, not said: " + n + "\n";
    return text;
}

std::string Joined(const Notes& notes) {
    std::string all;
    for (const std::string& n : notes)
        all += n + "\n";
    return all;
}

bool Says(const Notes& notes, const std::string& part) {
    return std::any_of(notes.begin(), notes.end(),
                       [&](const std::string& n) { return n.find(part) != std::string::npos; });
}

// A note about field n or one of its subfields.
bool SaysOfField(const Notes& notes, int n) {
    const std::string lead = "field " + std::to_string(n);
    return std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
        return note.starts_with(lead + ":") || note.starts_with(lead + ".");
    });
}

constexpr std::initializer_list<int> k87Text = {28, 29, 30, 31, 37, 38, 39, 40, 44, 46, 47,
                                                48, 49, 50, 51, 54, 91, 92, 93, 94, 95, 97};
constexpr std::initializer_list<int> k93Text = {22, 37, 38, 49, 50, 51, 97, 99};

const std::string kJposAn =
    "type AN has no jPOS class of its own; written as characters, which read back as ANS";
const std::string kJposEmpty =
    "OPTION EMPTY_FIELDS: jPOS reads a variable field of length 0 as an empty value, which this "
    "definition refuses";
const std::string kJposTrack =
    "track data padded with F at either end; written padded with F on the right";

const std::string kJposTrackDigits =
    "packed digits in a track field are read back as packed track data (Z), as jPOS's BCD shows "
    "the nibble D as '='";

const std::string kMoovAn = "moov's String does not tell AN from other text; read back as ANS";
const std::string kMoovLong =
    "moov holds a Numeric value as an integer: one of more than 18 digits does not fit";
const std::string kMoovLongVariable = kMoovLong + ", and a variable one loses its leading zeros";
const std::string kMoovVariable =
    "moov holds a Numeric value as an integer: a variable one loses its leading zeros";
const std::string kMoovBit65 =
    "moov reads bit 65 as announcing a third bitmap, never as this field";
const std::string kMoovBit65Back =
    "moov reads bit 65 as announcing a third bitmap, not this field, and the definition reads no "
    "third bitmap";
const std::string kMoovTextOrBytes =
    "its subfields are not written: moov reads subfields of bytes or of characters only";
const std::string kMoovNoObjects =
    "its subfields are not written: moov reads a composite by the subfields it is given, and none "
    "are";
const std::string kMoovTrack = "moov has no packed track data in its JSON field list; not written";

const std::string kPyAnAsAns = "type AN is not kept, as pyiso8583 has no types; read back as ANS";
const std::string kPyAnAsN = "type AN is not kept, as pyiso8583 has no types; read back as N";
const std::string kPyNAsAns = "type N is not kept, as pyiso8583 has no types; read back as ANS";
const std::string kPyAnsAsN = "type ANS is not kept, as pyiso8583 has no types; read back as N";
const std::string kPyNoSubfields = "its subfields are not carried: pyiso8583 has none";
const std::string kPyHex8 =
    "B of 8 bytes in hexadecimal characters is text to pyiso8583; written as 16 characters of text";
const std::string kPyHex255 =
    "B of 255 bytes in hexadecimal characters is text to pyiso8583; written as 510 characters of "
    "text";
const std::string kPyTrack =
    "packed track data is read here with a pad at either end; written with right_pad F, as track "
    "data is padded";
const std::string kPyEmpty =
    "pyiso8583 reads a variable field of length 0 as an empty value, which this definition refuses";

Notes JposMessages(int count) {
    return {"messages: " + std::to_string(count) +
            (count == 1 ? " message definition has" : " message definitions have") +
            " no place in a jPOS packager; left out"};
}

Notes MoovMessages(int count) {
    return {"a moov field list holds no message definitions; " + std::to_string(count) +
            " not written"};
}

Notes PyName(const std::string& name, int messages) {
    return {"the name \"" + name + "\" is not carried: a pyiso8583 field dictionary has none",
            "the " + std::to_string(messages) + " message definition" +
                (messages > 1 ? "s are" : " is") +
                " not carried: a pyiso8583 field dictionary has none",
            kPyEmpty};
}

void FixedBitmap(ProtocolDef& def) {
    def.options.fixedBitmap = true;
}

struct Trip {
    const char* file;  // under examples/
    ForeignFormat format;
    Notes notes;     // what the export says, exactly, in any order
    Notes readBack;  // what reading the export back says
    void (*change)(ProtocolDef&) = nullptr;
};

std::vector<Trip> Trips() {
    using enum ForeignFormat;
    const char* a87 = "dialects/iso8583-1987-ascii.pro";
    const char* b87 = "dialects/iso8583-1987-binary.pro";
    const char* a93 = "dialects/iso8583-1993-ascii.pro";
    const char* b93 = "dialects/iso8583-1993-binary.pro";
    return {
        {a87, kJpos, All({Each(k87Text, kJposAn), JposMessages(12), {kJposEmpty}}), {}},
        {a87, kMoov,
         All({Each({2, 36}, kMoovLongVariable), Each(k87Text, kMoovAn),
              Each({32, 33, 99, 100}, kMoovVariable), Each({55}, kMoovTextOrBytes),
              Each({65}, kMoovBit65), MoovMessages(12)}),
         Each({65}, kMoovBit65Back)},
        {a87,
         kPyiso8583,
         All({Each(k87Text, kPyAnAsAns), Each({36}, kPyNAsAns), Each({43, 55, 90}, kPyNoSubfields),
              Each({52, 64, 65, 96, 128}, kPyHex8), Each({55}, kPyHex255),
              PyName("ISO 8583:1987, ASCII", 12)}),
         {}},
        {b87,
         kJpos,
         All({Each(k87Text, kJposAn),
              Each({35}, kJposTrack),
              Each({36}, kJposTrackDigits),
              JposMessages(12),
              {kJposEmpty}}),
         {}},
        {b87, kMoov,
         All({Each({2, 36}, kMoovLongVariable), Each(k87Text, kMoovAn),
              Each({32, 33, 99, 100}, kMoovVariable), Each({35}, kMoovTrack),
              Each({55}, kMoovNoObjects), Each({65}, kMoovBit65),
              Each({90}, kMoovTextOrBytes + "; " + kMoovLong), MoovMessages(12)}),
         Each({65}, kMoovBit65Back)},
        {b87,
         kPyiso8583,
         All({Each(k87Text, kPyAnAsAns), Each({35}, kPyTrack),
              Each({36},
                   "pyiso8583 cannot hold N 104 (NUM_Enc PBCD, LEN_Enc PBCD of 2, PAD LEFT, "
                   "PAD_NIBBLE 0); read back as Z 104 (BIN_Enc PBCD, LEN_Enc PBCD of 2, PAD "
                   "LEFT, PAD_NIBBLE 0)"),
              Each({43, 55, 90}, kPyNoSubfields), PyName("ISO 8583:1987, binary", 12)}),
         {}},
        {a93, kJpos, All({Each(k93Text, kJposAn), JposMessages(12), {kJposEmpty}}), {}},
        {a93, kMoov,
         All({Each({2}, kMoovLongVariable), Each(k93Text, kMoovAn), Each({30}, kMoovLong),
              Each({32, 33, 58, 93, 94, 100}, kMoovVariable), Each({55}, kMoovTextOrBytes),
              Each({56}, "subfield 56.4: " + kMoovVariable), Each({65}, kMoovBit65),
              MoovMessages(12)}),
         All({Each({56},
                   "moov reads its subfields only as far as its length goes; the definition "
                   "expects each one"),
              Each({65}, kMoovBit65Back)})},
        {a93,
         kPyiso8583,
         All({Each({22, 99}, kPyAnAsN),
              Each({28, 29, 30, 39, 40, 56, 57, 58, 91, 92, 93, 94, 105, 106, 107, 108}, kPyNAsAns),
              Each({37, 38, 49, 50, 51, 97}, kPyAnAsAns), Each({52, 64, 65, 128}, kPyHex8),
              Each({53},
                   "B of 48 bytes in hexadecimal characters is text to pyiso8583; written as 96 "
                   "characters of text"),
              Each({55}, kPyHex255), Each({55, 56}, kPyNoSubfields), Each({66, 72}, kPyAnsAsN),
              Each({96},
                   "B of 999 bytes in hexadecimal characters is text to pyiso8583; written as "
                   "1998 characters of text"),
              PyName("ISO 8583:1993, ASCII", 12)}),
         {}},
        {b93,
         kJpos,
         All({Each(k93Text, kJposAn), Each({35, 36}, kJposTrack), JposMessages(12), {kJposEmpty}}),
         {}},
        {b93, kMoov,
         All({Each({2}, kMoovLongVariable), Each(k93Text, kMoovAn), Each({30}, kMoovLong),
              Each({32, 33, 58, 93, 94, 100}, kMoovVariable), Each({35, 36}, kMoovTrack),
              Each({55}, kMoovNoObjects), Each({56}, kMoovTextOrBytes + "; " + kMoovLongVariable),
              Each({65}, kMoovBit65), MoovMessages(12)}),
         Each({65}, kMoovBit65Back)},
        {b93,
         kPyiso8583,
         All({Each({22, 99}, kPyAnAsN), Each({35, 36}, kPyTrack),
              Each({37, 38, 49, 50, 51, 97}, kPyAnAsAns), Each({55, 56}, kPyNoSubfields),
              Each({66, 72}, kPyAnsAsN), PyName("ISO 8583:1993, binary", 12)}),
         {}},
        {"subfields.pro",
         kJpos,
         All({Each({48},
                   "a head of 1 unit before its elements, which no jPOS tagged packager reads; "
                   "written as one value"),
              JposMessages(1),
              {kJposEmpty}}),
         {}},
        {"subfields.pro",
         kMoov,
         All({Each({2}, kMoovLongVariable),
              Each({48}, "its subfields are not written: moov has no head before tagged elements"),
              Each({55}, kMoovNoObjects),
              Each({127}, "moov has no length prefix of 6 units under CHAR; not written"),
              MoovMessages(1)}),
         {}},
        {"subfields.pro",
         kPyiso8583,
         All({Each({43, 48, 55, 90, 127}, kPyNoSubfields),
              PyName("Text dialect with subfields", 1)}),
         {}},
        {"subfields-binary.pro",
         kJpos,
         All({{"field 62.1: " + kJposAn, "field 62.3: " + kJposAn}, JposMessages(1), {kJposEmpty}}),
         {}},
        {"subfields-binary.pro",
         kMoov,
         All({Each({2}, kMoovLongVariable),
              Each({62}, "subfield 62.1: " + kMoovAn + "; subfield 62.3: " + kMoovAn),
              MoovMessages(1)}),
         {}},
        {"subfields-binary.pro",
         kPyiso8583,
         All({Each({62}, kPyNoSubfields), PyName("Binary dialect with a bitmapped field", 1)}),
         {}},
        // A bitmap of both halves always: moov's own, which the others cannot hold.
        {a87,
         kJpos,
         All({Each(k87Text, kJposAn),
              JposMessages(12),
              {kJposEmpty},
              {"field 1: jPOS reads the second half of the bitmap only when bit 1 is set, never "
               "always (OPTION BITMAP FIXED128); left out"}}),
         {},
         FixedBitmap},
        {a87,
         kMoov,
         All({Each({2, 36}, kMoovLongVariable), Each(k87Text, kMoovAn),
              Each({32, 33, 99, 100}, kMoovVariable), Each({55}, kMoovTextOrBytes),
              MoovMessages(12)}),
         {},
         FixedBitmap},
        {a87,
         kPyiso8583,
         All({Each(k87Text, kPyAnAsAns),
              Each({36}, kPyNAsAns),
              Each({43, 55, 90}, kPyNoSubfields),
              Each({52, 64, 65, 96, 128}, kPyHex8),
              Each({55}, kPyHex255),
              PyName("ISO 8583:1987, ASCII", 12),
              {"1: pyiso8583 reads the secondary bitmap only when bit 1 is set, never always "
               "(OPTION BITMAP FIXED128); not carried"}}),
         {},
         FixedBitmap},
    };
}

int MessageCount(const ProtocolDef& def) {
    int count = 0;
    for (int i = 0; i < def.messages.SlotCount(); ++i)
        count += def.messages.At(i) ? 1 : 0;
    return count;
}

TEST(RoundTrip, ExamplesComeBackFieldByFieldSaveExactlyWhatTheExportSays) {
    for (const Trip& trip : Trips()) {
        SCOPED_TRACE(std::string(trip.file) + " through " + NameOf(trip.format) +
                     (trip.change != nullptr ? ", changed" : ""));
        auto original = std::make_unique<ProtocolDef>();
        std::string error;
        ASSERT_TRUE(
            LoadProtocolFile(std::string(ISO_EXAMPLES_DIR "/") + trip.file, *original, error))
            << error;
        if (trip.change != nullptr) trip.change(*original);
        std::string text;
        Notes notes;
        ExportDefinition(trip.format, *original, text, notes);
        EXPECT_EQ(Unlike(notes, trip.notes), "");

        auto back = std::make_unique<ProtocolDef>();
        back->Reset();
        Notes readNotes;
        ASSERT_TRUE(ImportDefinition(trip.format, text, *back, readNotes, error)) << error;
        EXPECT_EQ(Unlike(readNotes, trip.readBack), "");

        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            const std::vector<std::string> before = FieldReading(*original, n);
            const std::vector<std::string> after = FieldReading(*back, n);
            if (before == after) continue;
            EXPECT_TRUE(SaysOfField(notes, n))
                << "field " << n << " reads back otherwise, and no note says so:\n"
                << Joined(before) << "-- back --\n"
                << Joined(after);
        }
        // The dialect: the MTI and bitmap as read, their characters where they have any.
        EXPECT_EQ(back->mtiEnc, original->mtiEnc);
        EXPECT_EQ(back->bmpEnc, original->bmpEnc);
        if (original->mtiEnc == Encoding::CHAR || original->bmpEnc != Encoding::NONE) {
            EXPECT_EQ(back->chrEnc, original->chrEnc);
        }
        if (back->options.emptyFields != original->options.emptyFields) {
            EXPECT_TRUE(Says(notes, "length 0")) << Joined(notes);
        }
        if (back->options.fixedBitmap != original->options.fixedBitmap) {
            EXPECT_TRUE(Says(notes, "FIXED128")) << Joined(notes);
        }
        EXPECT_EQ(back->options.header, original->options.header);
        if (std::string(back->name) != original->name) {
            EXPECT_TRUE(Says(notes, std::string("the name \"") + original->name)) << Joined(notes);
        }
        // None of the formats holds message definitions, and each export says so.
        EXPECT_EQ(MessageCount(*back), 0);
        EXPECT_EQ(Says(notes, "message definition"), MessageCount(*original) > 0);
    }
}

}  // namespace
