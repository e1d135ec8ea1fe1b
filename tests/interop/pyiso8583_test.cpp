// pyiso8583 field dictionaries read into definitions and written from them, and messages packed
// the way pyiso8583 packs them, decoded under what was read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "decode/decoder.h"
#include "interop/interop.h"
#include "interop/pyiso8583_format.h"
#include "model/pro_file.h"
#include "model/pro_text_io.h"
#include "support/auto_buff.h"

namespace pyiso {

void PrintTo(const FieldReading& r, std::ostream* os) {
    const FieldSettings& s = r.own;
    *os << NameOf(r.type) << " " << r.size << " " << r.sizeLen;
    if (s.lenEnc) *os << " LEN " << NameOf(*s.lenEnc);
    if (s.numEnc) *os << " NUM " << NameOf(*s.numEnc);
    if (s.binEnc) *os << " BIN " << NameOf(*s.binEnc);
    if (s.charset) *os << " CHR " << NameOf(*s.charset);
    if (s.padSide) *os << (*s.padSide == PadSide::kLeft ? " PAD LEFT" : " PAD RIGHT");
    if (s.padNibble) *os << " PAD_NIBBLE " << int{*s.padNibble};
    if (s.prefixNibbles) *os << " LEN_NIBBLES";
    if (s.prefixLeftAligned) *os << " LEN_LEFT";
    if (s.prefixNumber) *os << " LEN_WHOLE";
    if (s.sixUnitPrefix) *os << " LEN_UNITS 6";
}

}  // namespace pyiso

namespace {

using pyiso::FieldReading;

// A field's settings, said one at a time.
struct Own {
    FieldSettings s;
    Own& lenEnc(Encoding e) {
        s.lenEnc = e;
        return *this;
    }
    Own& numEnc(Encoding e) {
        s.numEnc = e;
        return *this;
    }
    Own& binEnc(Encoding e) {
        s.binEnc = e;
        return *this;
    }
    Own& charset(Encoding e) {
        s.charset = e;
        return *this;
    }
    Own& padSide(PadSide side) {
        s.padSide = side;
        return *this;
    }
    Own& padNibble(int nibble) {
        s.padNibble = static_cast<std::uint8_t>(nibble);
        return *this;
    }
    Own& prefixNibbles(bool on) {
        s.prefixNibbles = on;
        return *this;
    }
    Own& prefixNumber(bool on) {
        s.prefixNumber = on;
        return *this;
    }
    Own& sixUnitPrefix(bool on) {
        s.sixUnitPrefix = on;
        return *this;
    }
    operator FieldSettings() const { return s; }
};

constexpr Encoding kAscii = Encoding::ASCII;
constexpr Encoding kEbcdic = Encoding::EBCDIC;

std::unique_ptr<ProtocolDef> NewDef() {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    return def;
}

std::string Joined(const InteropNotes& notes) {
    std::string out;
    for (const std::string& note : notes)
        out += note + "\n";
    return out;
}

bool HasNote(const InteropNotes& notes, const std::string& part) {
    return std::any_of(notes.begin(), notes.end(), [&part](const std::string& note) {
        return note.find(part) != std::string::npos;
    });
}

bool HasFieldNote(const InteropNotes& notes, int n) {
    const std::string lead = "field " + std::to_string(n) + ":";
    return std::any_of(notes.begin(), notes.end(),
                       [&lead](const std::string& note) { return note.starts_with(lead); });
}

// A field dictionary whose message type is ASCII and whose bitmap is binary, around the entries
// given.
std::string DictionaryWith(const std::string& entries) {
    std::string text =
        R"({"h": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 0},
            "t": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 4},
            "p": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 8})";
    return text + (entries.empty() ? "" : ",\n" + entries) + "}";
}

std::string Entry(int n, const std::string& entry) {
    return "\"" + std::to_string(n) + "\": " + entry;
}

std::unique_ptr<ProtocolDef> Imported(const std::string& text, InteropNotes& notes) {
    auto def = NewDef();
    std::string error;
    EXPECT_TRUE(ImportPyiso8583(text, *def, notes, error)) << error << "\n" << text;
    return def;
}

struct EntryCase {
    const char* entry;
    int number;
    FieldReading reading;
};

TEST(Pyiso8583Import, ReadsEachEntryAsTheFieldItDescribes) {
    const EntryCase cases[] = {
        // Text of a field the standard makes numeric is N; any other text ANS.
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 6})",
         3,
         {FieldType::N, 6, 0, Own().numEnc(Encoding::CHAR).charset(kAscii)}},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 2, "max_len": 19})",
         2,
         {FieldType::N, 19, 2,
          Own().lenEnc(Encoding::CHAR).numEnc(Encoding::CHAR).charset(kAscii)}},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 8})",
         41,
         {FieldType::ANS, 8, 0, Own().charset(kAscii)}},
        {R"({"data_enc": "cp037", "len_enc": "cp037", "len_type": 3, "max_len": 999})",
         48,
         {FieldType::ANS, 999, 3, Own().lenEnc(Encoding::CHAR).charset(kEbcdic)}},
        {R"({"data_enc": "EBCDIC-CP-US", "len_enc": "ascii", "len_type": 0, "max_len": 40})",
         43,
         {FieldType::ANS, 40, 0, Own().charset(kEbcdic)}},
        // Binary data counted in bytes is B, whatever its length is written in.
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 8})",
         52,
         {FieldType::B, 8, 0, Own().binEnc(Encoding::NONE)}},
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 3, "max_len": 255})",
         55,
         {FieldType::B, 255, 3,
          Own().lenEnc(Encoding::CHAR).binEnc(Encoding::NONE).charset(kAscii)}},
        {R"({"data_enc": "b", "len_enc": "cp037", "len_type": 3, "max_len": 255})",
         55,
         {FieldType::B, 255, 3,
          Own().lenEnc(Encoding::CHAR).binEnc(Encoding::NONE).charset(kEbcdic)}},
        {R"({"data_enc": "b", "len_enc": "b", "len_type": 1, "max_len": 255})",
         55,
         {FieldType::B, 255, 1, Own().lenEnc(Encoding::BIGEND).binEnc(Encoding::NONE)}},
        // pyiso8583 reads a binary length of 3 or 4 bytes as one number.
        {R"({"data_enc": "b", "len_enc": "b", "len_type": 3, "max_len": 999})",
         55,
         {FieldType::B, 999, 3,
          Own().lenEnc(Encoding::BIGEND).binEnc(Encoding::NONE).prefixNumber(true)}},
        {R"({"data_enc": "b", "len_enc": "bcd", "len_type": 2, "max_len": 999})",
         55,
         {FieldType::B, 999, 2, Own().lenEnc(Encoding::PBCD).binEnc(Encoding::NONE)}},
        // Nibbles with a pad are packed digits, or packed track data for tracks 2 and 3.
        {R"({"data_enc": "b", "len_enc": "bcd", "len_type": 1, "max_len": 19,
             "len_count": "nibbles", "left_pad": "0"})",
         2,
         {FieldType::N, 19, 1,
          Own()
              .lenEnc(Encoding::PBCD)
              .numEnc(Encoding::PBCD)
              .padSide(PadSide::kLeft)
              .padNibble(0)}},
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 3,
             "len_count": "nibbles", "right_pad": "F"})",
         22,
         {FieldType::N, 3, 0,
          Own().numEnc(Encoding::PBCD).padSide(PadSide::kRight).padNibble(0xF)}},
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 3,
             "len_count": "nibbles", "left_pad": "f"})",
         22,
         {FieldType::N, 3, 0, Own().numEnc(Encoding::PBCD).padSide(PadSide::kLeft).padNibble(0xF)}},
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 2, "max_len": 37,
             "len_count": "nibbles", "right_pad": "F"})",
         35,
         {FieldType::Z, 37, 2,
          Own()
              .lenEnc(Encoding::CHAR)
              .binEnc(Encoding::PBCD)
              .charset(kAscii)
              .padSide(PadSide::kRight)
              .padNibble(0xF)}},
        // Nibbles without a pad come in whole bytes: binary data whose length counts nibbles.
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 2, "max_len": 98,
             "len_count": "nibbles"})",
         62,
         {FieldType::B, 49, 2,
          Own().lenEnc(Encoding::CHAR).binEnc(Encoding::NONE).charset(kAscii).prefixNibbles(true)}},
        {R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 16,
             "len_count": "nibbles"})",
         52,
         {FieldType::B, 8, 0, Own().binEnc(Encoding::NONE)}},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 6, "max_len": 999})",
         63,
         {FieldType::ANS, 999, 6,
          Own().lenEnc(Encoding::CHAR).charset(kAscii).sixUnitPrefix(true)}},
        // What pyiso8583 does not read is not read: pads of text, the length of a fixed field.
        {R"({"data_enc": "ascii", "len_enc": "klingon", "len_type": 0, "max_len": 8,
             "left_pad": "0", "len_count": "bytes", "desc": ["not", "a", "text"]})",
         41,
         {FieldType::ANS, 8, 0, Own().charset(kAscii)}},
    };
    for (const EntryCase& c : cases) {
        InteropNotes notes;
        auto def = Imported(DictionaryWith(Entry(c.number, c.entry)), notes);
        EXPECT_EQ(pyiso::ReadingOf(*def, c.number), c.reading) << c.entry;
        EXPECT_TRUE(notes.empty()) << c.entry << "\n" << Joined(notes);
    }
}

struct RefusedEntry {
    const char* entry;
    int number;
    const char* note;
};

TEST(Pyiso8583Import, LeavesUndefinedWithANoteAFieldItCannotRead) {
    const RefusedEntry cases[] = {
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 3, "max_len": 10000})", 48,
         "max_len 10000 is outside 1 to 9999"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 0})", 41,
         "max_len 0 is outside"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 2, "max_len": -5})", 2,
         "max_len -5 is outside"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
             "max_len": 18446744073709551615})",
         41, "is outside"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": "8"})", 41,
         "no max_len whole number"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 8.5})", 41,
         "no max_len whole number"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": true, "max_len": 8})", 41,
         "no len_type whole number"},
        {R"({"len_enc": "ascii", "len_type": 0, "max_len": 8})", 41, "no data_enc text"},
        {R"({"data_enc": "utf-16", "len_enc": "ascii", "len_type": 0, "max_len": 8})", 41,
         "data_enc \"utf-16\" is not a codec this program reads"},
        {R"({"data_enc": "ascii", "len_enc": "utf-32", "len_type": 2, "max_len": 19})", 2,
         "len_enc \"utf-32\" is not a codec this program reads"},
        {R"({"data_enc": "b", "len_enc": "b", "len_type": 5, "max_len": 999})", 55,
         "a binary length of 5 bytes"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 7, "max_len": 999})", 48,
         "len_type 7 is outside 0 to 6"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": -1, "max_len": 999})", 48,
         "len_type -1 is outside"},
        {R"({"data_enc": "ascii", "len_type": 2, "max_len": 19})", 2, "no len_enc text"},
        {R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 2, "max_len": 19,
             "len_count": "nibbles"})",
         2, "text counted in nibbles"},
        {R"("ascii")", 41, "not an object"},
    };
    for (const RefusedEntry& c : cases) {
        InteropNotes notes;
        auto def = Imported(DictionaryWith(Entry(c.number, c.entry)), notes);
        EXPECT_EQ(def->fields[c.number].type, FieldType::U) << c.entry;
        EXPECT_FALSE(def->settings[c.number].Any()) << c.entry;
        ASSERT_EQ(notes.size(), 1u) << c.entry << "\n" << Joined(notes);
        EXPECT_TRUE(notes[0].starts_with("field " + std::to_string(c.number) + ": ")) << notes[0];
        EXPECT_NE(notes[0].find(c.note), std::string::npos) << notes[0];
    }
}

struct NotedDictionary {
    std::string text;
    const char* note;
};

std::string Typed(const char* type, const char* bitmap, const std::string& rest) {
    return std::string(
               "{\"h\": {\"data_enc\": \"b\", \"len_enc\": \"ascii\", \"len_type\": 0, "
               "\"max_len\": 0}, \"t\": {\"data_enc\": \"") +
           type + "\", \"len_enc\": \"ascii\", \"len_type\": 0, \"max_len\": 4}, " +
           "\"p\": {\"data_enc\": \"" + bitmap +
           "\", \"len_enc\": \"ascii\", \"len_type\": 0, \"max_len\": 16}" +
           (rest.empty() ? "" : ", " + rest) + "}";
}

TEST(Pyiso8583Import, SaysWhatItReadsOtherwiseThanPyiso8583) {
    const auto tid = [](const std::string& codec) {
        return DictionaryWith(
            Entry(41, "{\"data_enc\": \"" + codec +
                          "\", \"len_enc\": \"ascii\", \"len_type\": 0, \"max_len\": 8}"));
    };
    const std::string packed =
        R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0, "len_count": "nibbles", )";
    const NotedDictionary cases[] = {
        {tid("latin-1"), "codec \"latin-1\" (41): read as ASCII"},
        {tid("cp500"), "codec \"cp500\" (41): read as code page 037"},
        {tid("cp1047"), "not a Python codec"},
        {DictionaryWith(Entry(22, packed + R"("max_len": 3, "left_pad": "5"})")),
         "field 22: left_pad \"5\" is kept as a pad of any decimal digit"},
        {DictionaryWith(Entry(22, packed + R"("max_len": 3, "left_pad": "C"})")),
         "field 22: left_pad \"C\" is neither a decimal digit nor F"},
        {DictionaryWith(Entry(22, packed + R"("max_len": 3, "left_pad": "0", "right_pad": "F"})")),
         "field 22: left_pad and right_pad are both given"},
        {DictionaryWith(Entry(22, packed + R"("max_len": 4, "left_pad": 0})")),
         "field 22: left_pad is not a text"},
        {DictionaryWith(Entry(52, R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0,
                                 "max_len": 15, "len_count": "nibbles"})")),
         "field 52: a fixed length of 15 nibbles without a pad"},
        {DictionaryWith(Entry(52, R"({"data_enc": "b", "len_enc": "ascii", "len_type": 0,
                                 "max_len": 8, "len_count": "words"})")),
         "field 52: len_count is neither \"bytes\" nor \"nibbles\""},
        {DictionaryWith(Entry(48, R"({"data_enc": "cp037", "len_enc": "ascii", "len_type": 3,
                                 "max_len": 999})")),
         "field 48: its length is in ASCII characters and its data in EBCDIC"},
        {DictionaryWith("\"129\": {}"), "key \"129\" is not an entry pyiso8583 reads"},
        {DictionaryWith("\"02\": {}"), "key \"02\" is not an entry pyiso8583 reads"},
        {DictionaryWith(Entry(70, R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
                                 "max_len": 3})")),
         "1: no entry, so pyiso8583 reads no field above 64"},
        {DictionaryWith(R"("1": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
                          "max_len": 16})"),
         "1: written otherwise than the primary bitmap"},
        {Typed("ascii", "cp037", ""), "p: the bitmap is in EBCDIC characters"},
        {Typed("utf-16", "b", ""), "t: data_enc \"utf-16\" is not a codec"},
        {R"({"t": {"data_enc": "ascii"}, "p": {"data_enc": "b"}})", "h: no entry"},
        {R"({"h": {"data_enc": "b", "len_enc": "b", "len_type": 1, "max_len": 20},
             "t": {"data_enc": "ascii"}, "p": {"data_enc": "b"}})",
         "h: a header of variable length"},
    };
    for (const NotedDictionary& c : cases) {
        InteropNotes notes;
        Imported(c.text, notes);
        ASSERT_EQ(notes.size(), 1u) << c.text << "\n" << Joined(notes);
        EXPECT_NE(notes[0].find(c.note), std::string::npos) << notes[0];
    }
}

struct Framing {
    std::string dictionary;
    Encoding mtiEnc;
    Encoding bmpEnc;
    Encoding chrEnc;
    int header;
};

TEST(Pyiso8583Import, ReadsTheMessageTypeTheBitmapAndTheHeader) {
    const std::string tpdu =
        R"({"h": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 5},)";
    const std::string nibbles =
        R"({"h": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 9,
                  "len_count": "nibbles"},)";
    const std::string text = R"({"h": {"data_enc": "ascii", "len_type": 0, "max_len": 12},)";
    const Framing cases[] = {
        {Typed("ascii", "b", ""), Encoding::CHAR, Encoding::NONE, kAscii, -1},
        {Typed("b", "b", ""), Encoding::PBCD, Encoding::NONE, kAscii, -1},
        {Typed("ascii", "ascii", ""), Encoding::CHAR, Encoding::HEX, kAscii, -1},
        {Typed("cp037", "cp037", ""), Encoding::CHAR, Encoding::HEX, kEbcdic, -1},
        {Typed("b", "cp500", ""), Encoding::PBCD, Encoding::HEX, kEbcdic, -1},
        {tpdu + R"("t": {"data_enc": "b"}, "p": {"data_enc": "b"}})", Encoding::PBCD,
         Encoding::NONE, kAscii, 5},
        {nibbles + R"("t": {"data_enc": "b"}, "p": {"data_enc": "b"}})", Encoding::PBCD,
         Encoding::NONE, kAscii, 5},
        {text + R"("t": {"data_enc": "ascii"}, "p": {"data_enc": "ascii"}})", Encoding::CHAR,
         Encoding::HEX, kAscii, 12},
    };
    for (const Framing& c : cases) {
        InteropNotes notes;
        auto def = Imported(c.dictionary, notes);
        EXPECT_EQ(def->mtiEnc, c.mtiEnc) << c.dictionary;
        EXPECT_EQ(def->bmpEnc, c.bmpEnc) << c.dictionary;
        EXPECT_EQ(def->chrEnc, c.chrEnc) << c.dictionary;
        EXPECT_EQ(def->options.header, c.header) << c.dictionary;
        // pyiso8583 reads a variable field of length 0 as an empty value.
        EXPECT_TRUE(def->options.emptyFields);
    }
}

struct Refused {
    std::string text;
    const char* error;
};

TEST(Pyiso8583Import, RefusesWhatIsNoFieldDictionaryWithTheReason) {
    const Refused cases[] = {
        {"", "not well-formed JSON"},
        {R"({"t": {"data_enc": "ascii"})", "not well-formed JSON"},
        {R"({"t": {"data_enc": "ascii"}, "p": {"data_enc": "b"}} trailing)", "not well-formed"},
        {"\"\xFF\"", "not well-formed JSON"},
        {"[{\"t\": {}}]", "the JSON is not an object"},
        {R"({"p": {"data_enc": "b"}})", "no \"t\" entry (the message type)"},
        {R"({"t": {"data_enc": "ascii"}})", "no \"p\" entry (the primary bitmap)"},
        {R"({"t": "ascii", "p": {"data_enc": "b"}})", "no \"t\" entry"},
    };
    for (const Refused& c : cases) {
        auto def = NewDef();
        InteropNotes notes;
        std::string error;
        EXPECT_FALSE(ImportPyiso8583(c.text, *def, notes, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\n" << error;
    }
}

TEST(Pyiso8583Import, DropsValuesNestedDeeperThanAFieldDictionaryGoes) {
    std::string deep(100000, '[');
    deep += std::string(100000, ']');
    InteropNotes notes;
    auto def = Imported(DictionaryWith(Entry(41, R"({"data_enc": "ascii", "len_enc": "ascii",
        "len_type": 0, "max_len": 8, "desc": )" + deep +
                                                     "}")),
                        notes);
    EXPECT_EQ(def->fields[41].type, FieldType::ANS);
    EXPECT_TRUE(notes.empty()) << Joined(notes);
}

struct Chosen {
    std::string dictionary;
    Encoding lenEnc;
    Encoding numEnc;
    Encoding chrEnc;
    std::vector<int> ownSettings;  // the fields that differ from the dialect
};

TEST(Pyiso8583Import, TakesTheMostCommonEncodingsForTheDialectAndKeepsTheRestPerField) {
    const std::string ascii2 = R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 2,
                                   "max_len": 19})";
    const std::string ascii8 = R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
                                   "max_len": 8})";
    const std::string ebcdic8 = R"({"data_enc": "cp037", "len_enc": "ascii", "len_type": 0,
                                    "max_len": 8})";
    const std::string bcdLength = R"({"data_enc": "b", "len_enc": "bcd", "len_type": 2,
                                      "max_len": 255})";
    const std::string packed = R"({"data_enc": "b", "len_enc": "bcd", "len_type": 1,
        "max_len": 19, "len_count": "nibbles", "left_pad": "0"})";
    const Chosen cases[] = {
        {DictionaryWith(Entry(2, ascii2) + ", " + Entry(32, ascii2) + ", " + Entry(55, bcdLength) +
                        ", " + Entry(41, ascii8) + ", " + Entry(42, ebcdic8)),
         Encoding::CHAR,
         Encoding::CHAR,
         kAscii,
         {42, 55}},
        // The MTI's character set is the dialect's, however many fields use another.
        {Typed("ascii", "b",
               Entry(41, ebcdic8) + ", " + Entry(42, ebcdic8) + ", " + Entry(43, ascii8)),
         Encoding::CHAR,
         Encoding::CHAR,
         kAscii,
         {41, 42}},
        // A binary MTI and bitmap leave it to the fields.
        {Typed("b", "b",
               Entry(2, packed) + ", " + Entry(32, packed) + ", " + Entry(3, ascii8) + ", " +
                   Entry(41, ebcdic8) + ", " + Entry(42, ebcdic8)),
         Encoding::PBCD,
         Encoding::PBCD,
         kEbcdic,
         {3}},
    };
    for (const Chosen& c : cases) {
        InteropNotes notes;
        auto def = Imported(c.dictionary, notes);
        EXPECT_TRUE(notes.empty()) << Joined(notes);
        EXPECT_EQ(def->lenEnc, c.lenEnc) << c.dictionary;
        EXPECT_EQ(def->numEnc, c.numEnc) << c.dictionary;
        EXPECT_EQ(def->chrEnc, c.chrEnc) << c.dictionary;
        std::vector<int> own;
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (def->settings[n].Any()) own.push_back(n);
        }
        EXPECT_EQ(own, c.ownSettings) << c.dictionary << "\n" << WrittenProText(*def);
    }
}

TEST(Pyiso8583Import, KeepsTheDescriptionOnOneLineOfTheDefinitionFile) {
    InteropNotes notes;
    const std::string long_text(200, 'x');
    auto def = Imported(
        DictionaryWith(Entry(41, R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
                               "max_len": 8, "desc": "Terminal;\tid\n  here"})") +
                       ", " +
                       Entry(43, R"({"data_enc": "ascii", "len_enc": "ascii", "len_type": 0,
                               "max_len": 40, "desc": ")" +
                                     long_text + "\"}")),
        notes);
    EXPECT_STREQ(def->fields[41].description, "Terminal, id here");
    EXPECT_EQ(std::strlen(def->fields[43].description), static_cast<std::size_t>(kTextMax));
    auto again = NewDef();
    LoadProText(WrittenProText(*def), *again);
    EXPECT_STREQ(again->fields[41].description, "Terminal, id here");
}

// Definitions written as pyiso8583 field dictionaries.

const char* const kTextDialect =
    "MTI_Enc= CHAR\nBMP_Enc= NONE\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
    "BIN_Enc= NONE\nOPTION= EMPTY_FIELDS; Y\n";

std::string Exported(const std::string& proLines, InteropNotes& notes) {
    auto def = NewDef();
    LoadProText(kTextDialect + proLines, *def);
    std::string out;
    ExportPyiso8583(*def, out, notes);
    return out;
}

struct Written {
    std::string pro;
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

TEST(Pyiso8583Export, WritesEachEntryAsPyiso8583ReadsIt) {
    const Written cases[] = {
        // pyiso8583 looks up "h" in every message: it is there even without a header.
        {"FIELD= 41; ANS; 8; 0; N; Terminal\n",
         {R"("h": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 0, )",
          R"("t": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 4, )",
          R"("p": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 8, )",
          R"("41": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 8, )"
          R"("desc": "Terminal"})"},
         {"\"1\":", "len_count"}},
        {"FIELD= 70; N; 3; 0; N;\nOPTION= HEADER; 5\nMTI_Enc= PBCD\nBMP_Enc= HEX\n",
         {R"("h": {"data_enc": "b", "len_enc": "ascii", "len_type": 0, "max_len": 5, )",
          R"("t": {"data_enc": "b", )",
          R"("p": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 16, )",
          R"("1": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 0, "max_len": 16, )",
          R"("70": {"data_enc": "ascii", )"},
         {}},
        {"FIELD= 2; N; 19; 1; N;\nFIELD_OPTION= 2; NUM_Enc; PBCD\nFIELD_OPTION= 2; LEN_Enc; "
         "BIGEND\n",
         {R"("2": {"data_enc": "b", "len_enc": "b", "len_type": 1, "max_len": 19, )"
          R"("len_count": "nibbles", "left_pad": "0", )"},
         {}},
        {"FIELD= 22; N; 3; 0; N;\nFIELD_OPTION= 22; NUM_Enc; PBCD\nFIELD_OPTION= 22; PAD; "
         "RIGHT\nFIELD_OPTION= 22; PAD_NIBBLE; F\n",
         {R"("max_len": 3, "len_count": "nibbles", "right_pad": "F", )"},
         {"left_pad"}},
        {"FIELD= 35; Z; 37; 2; N;\nFIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; PAD; "
         "LEFT\nFIELD_OPTION= 35; PAD_NIBBLE; 0\n",
         {R"("35": {"data_enc": "b", "len_enc": "ascii", "len_type": 2, "max_len": 37, )"
          R"("len_count": "nibbles", "left_pad": "0", )"},
         {}},
        {"FIELD= 55; B; 999; 2; N;\nFIELD_OPTION= 55; LEN_Enc; PBCD\n",
         {R"("55": {"data_enc": "b", "len_enc": "bcd", "len_type": 2, "max_len": 999, )"},
         {}},
        {"FIELD= 55; B; 999; 3; N;\nFIELD_OPTION= 55; LEN_Enc; BIGEND\nFIELD_OPTION= 55; "
         "LEN_WHOLE; Y\n",
         {R"("55": {"data_enc": "b", "len_enc": "b", "len_type": 3, "max_len": 999, )"},
         {}},
        {"FIELD= 48; ANS; 999; 3; N;\nFIELD_OPTION= 48; CHR_Enc; EBCDIC\n",
         {R"("48": {"data_enc": "cp037", "len_enc": "cp037", "len_type": 3, )"},
         {}},
        {"FIELD= 127; ANS; 999; 5; N;\nFIELD_OPTION= 127; LEN_UNITS; 6\n",
         {R"("127": {"data_enc": "ascii", "len_enc": "ascii", "len_type": 6, )"},
         {}},
    };
    for (const Written& c : cases) {
        InteropNotes notes;
        const std::string out = Exported(c.pro, notes);
        EXPECT_TRUE(notes.empty()) << c.pro << "\n" << Joined(notes);
        for (const std::string& part : c.present)
            EXPECT_NE(out.find(part), std::string::npos) << part << "\n" << out;
        for (const std::string& part : c.absent)
            EXPECT_EQ(out.find(part), std::string::npos) << part << "\n" << out;
    }
}

struct Unheld {
    std::string pro;
    int field;  // the field whose reading comes back otherwise, 0 for none
    const char* note;
};

TEST(Pyiso8583Export, SaysWhatPyiso8583CannotHold) {
    const Unheld cases[] = {
        {"FIELD= 4; N; 12; 0; N;\nFIELD_OPTION= 4; NUM_Enc; HEX\n", 4,
         "field 4: N of 12 digits in hexadecimal characters has no pyiso8583 form"},
        {"FIELD= 4; N; 12; 0; N;\nFIELD_OPTION= 4; NUM_Enc; BIGEND\n", 4,
         "field 4: N of 12 digits as a binary number"},
        {"FIELD= 52; B; 8; 0; N;\nFIELD_OPTION= 52; BIN_Enc; HEX\n", 52,
         "field 52: B of 8 bytes in hexadecimal characters is text to pyiso8583"},
        {"FIELD= 52; B; 8; 0; N;\nFIELD_OPTION= 52; BIN_Enc; CHAR\n", 52,
         "field 52: B of 8 bytes in bit characters"},
        {"FIELD= 2; N; 19; 2; N;\nFIELD_OPTION= 2; LEN_Enc; HEX\n", 2,
         "field 2: a length in hexadecimal characters has no pyiso8583 form"},
        {"FIELD= 63; ANS; 999; 2; N;\nFIELD_OPTION= 63; LEN_Enc; PBCD\nFIELD_OPTION= 63; "
         "LEN_LEFT; Y\n",
         63, "field 63: a packed length aligned on the left"},
        {"FIELD= 55; B; 999; 3; N;\nFIELD_OPTION= 55; LEN_Enc; BIGEND\n", 55,
         "field 55: its binary length of 3 bytes is read here by its first byte alone"},
        {"FIELD= 62; B; 49; 2; N;\nFIELD_OPTION= 62; LEN_NIBBLES; Y\n", 0,
         "field 62: its length counts nibbles"},
        {"FIELD= 35; Z; 37; 2; N;\nFIELD_OPTION= 35; BIN_Enc; PBCD\n", 35,
         "field 35: packed track data is read here with a pad at either end"},
        {"FIELD= 45; Z; 76; 2; N;\n", 45,
         "field 45: type Z is not kept, as pyiso8583 has no types; read back as B"},
        {"FIELD= 41; AN; 8; 0; N;\n", 41, "field 41: type AN is not kept"},
        {"FIELD= 41; N; 8; 0; N;\n", 41, "field 41: type N is not kept"},
        {"FIELD= 3; ANS; 6; 0; N;\n", 3, "field 3: type ANS is not kept"},
        {"FIELD= 3; N; 6; 0; N;\nFIELD_OPTION= 3; PAD; RIGHT\nFIELD_OPTION= 3; NUM_Enc; "
         "PBCD\nFIELD= 35; N; 37; 2; N;\nFIELD_OPTION= 35; NUM_Enc; PBCD\n",
         35, "field 35: pyiso8583 cannot hold N 37"},
        {"FIELD= 48; ANS; 999; 3; Y;\n", 0, "field 48: its subfields are not carried"},
        {"FIELD= 52; B; 8; 0; N;\nBMP_Enc= CHAR\n", 0, "p: a bitmap in bit characters"},
        {"FIELD= 52; B; 8; 0; N;\nOPTION= HEADER; 0\n", 0, "h: a header of 0 units"},
        {"FIELD= 52; B; 8; 0; N;\nOPTION= EMPTY_FIELDS; N\n", 0,
         "reads a variable field of length 0 as an empty value"},
        {"FIELD= 52; B; 8; 0; N;\nNAME= Host\n", 0, "the name \"Host\" is not carried"},
        {"FIELD= 52; B; 8; 0; N;\nMSG=0200;00000000000010000000000000000000;"
         "00000000000000000000000000000000;Sale\n",
         0, "the 1 message definition is not carried"},
        {"FIELD= 41; ANS; 8; 0; N; Caf\xE9\n", 0, "field 41: its description is not UTF-8"},
    };
    for (const Unheld& c : cases) {
        InteropNotes notes;
        const std::string out = Exported(c.pro, notes);
        ASSERT_EQ(notes.size(), 1u) << c.pro << "\n" << Joined(notes);
        EXPECT_NE(notes[0].find(c.note), std::string::npos) << notes[0];
        // What the note is about is what reads back otherwise, and nothing else.
        auto original = NewDef();
        LoadProText(kTextDialect + c.pro, *original);
        InteropNotes again;
        auto back = Imported(out, again);
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (original->fields[n].type == FieldType::U) continue;
            EXPECT_EQ(pyiso::ReadingOf(*back, n) != pyiso::ReadingOf(*original, n), n == c.field)
                << c.pro << "field " << n;
        }
    }
}

// Definitions written and read back.

struct RoundTrip {
    const char* file;
    std::vector<const char*> notes;
    std::vector<int> otherwise;  // the fields that read back otherwise, each with its note
};

TEST(Pyiso8583RoundTrip, ExamplesReadBackAsTheyWereSaveWhatTheNotesSay) {
    const RoundTrip cases[] = {
        {"demo.pro",
         {"the name \"Demo host protocol\" is not carried", "the 2 message definitions",
          "reads a variable field of length 0 as an empty value",
          "field 55: its subfields are not carried"},
         {}},
        {"dialect.pro",
         {"the name \"Text dialect with fields of their own\"", "the 2 message definitions",
          "field 52: B of 8 bytes in hexadecimal characters", "field 55: its subfields",
          "field 62: its length counts nibbles", "field 63: a packed length aligned on the left"},
         {52, 63}},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.file);
        auto original = NewDef();
        std::string error;
        ASSERT_TRUE(LoadProtocolFile(std::string(ISO_EXAMPLES_DIR "/") + c.file, *original, error))
            << error;
        InteropNotes notes;
        std::string text;
        ExportPyiso8583(*original, text, notes);
        EXPECT_EQ(notes.size(), c.notes.size()) << Joined(notes);
        for (const char* part : c.notes)
            EXPECT_TRUE(HasNote(notes, part)) << part << "\n" << Joined(notes);

        InteropNotes readNotes;
        auto back = Imported(text, readNotes);
        EXPECT_TRUE(readNotes.empty()) << Joined(readNotes);
        EXPECT_EQ(back->mtiEnc, original->mtiEnc);
        EXPECT_EQ(back->bmpEnc, original->bmpEnc);
        EXPECT_EQ(back->chrEnc, original->chrEnc);
        EXPECT_EQ(back->options.header, original->options.header);
        if (!HasNote(notes, "length 0")) {
            EXPECT_EQ(back->options.emptyFields, original->options.emptyFields);
        }
        std::vector<int> otherwise;
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            EXPECT_STREQ(back->fields[n].description, original->fields[n].description) << n;
            if (back->fields[n].subfield != original->fields[n].subfield) {
                EXPECT_TRUE(HasNote(notes, "field " + std::to_string(n) + ": its subfields"));
            }
            if (pyiso::ReadingOf(*back, n) == pyiso::ReadingOf(*original, n)) continue;
            otherwise.push_back(n);
            EXPECT_TRUE(HasFieldNote(notes, n)) << n;
        }
        EXPECT_EQ(otherwise, c.otherwise);

        // Written again, the field dictionary is the same: nothing more is lost a second time.
        std::string twice;
        InteropNotes secondNotes;
        ExportPyiso8583(*back, twice, secondNotes);
        EXPECT_EQ(twice, text);
    }
}

// Messages packed as pyiso8583's encode packs them, for a field dictionary the test writes, decoded
// under the field dictionary read and under a definition written by hand for the same dialect.

struct PyField {
    int number;
    const char* dataEnc;  // "b", "ascii" or "cp037"
    const char* lenEnc;   // "b", "bcd", "ascii" or "cp037"
    int lenType;
    int maxLen;
    bool nibbles = false;
    char leftPad = 0;
    char rightPad = 0;
};

struct PyMessage {
    const char* type;
    std::map<int, std::string> values;  // as pyiso8583 decodes them: text, or hex for "b"
};

struct PyDialect {
    const char* name;
    const char* header;  // the header's bytes in hex
    const char* typeEnc;
    const char* bitmapEnc;
    std::vector<PyField> fields;
    const char* handWritten;
    std::vector<PyMessage> messages;
};

using Bytes = std::vector<std::uint8_t>;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string DictionaryOf(const PyDialect& d) {
    const auto framing = [](const std::string& dataEnc, std::size_t maxLen) {
        return "{\"data_enc\": " + Quoted(dataEnc) +
               ", \"len_enc\": \"ascii\", \"len_type\": 0, \"max_len\": " + std::to_string(maxLen) +
               "}";
    };
    const bool binaryBitmap = std::string(d.bitmapEnc) == "b";
    std::string out = "{\"h\": " + framing("b", std::strlen(d.header) / 2) +
                      ",\n \"t\": " + framing(d.typeEnc, 4) +
                      ",\n \"p\": " + framing(d.bitmapEnc, binaryBitmap ? 8 : 16) +
                      ",\n \"1\": " + framing(d.bitmapEnc, binaryBitmap ? 8 : 16);
    for (const PyField& f : d.fields) {
        out += ",\n " + Quoted(std::to_string(f.number)) + ": {\"data_enc\": " + Quoted(f.dataEnc) +
               ", \"len_enc\": " + Quoted(f.lenEnc) +
               ", \"len_type\": " + std::to_string(f.lenType) +
               ", \"max_len\": " + std::to_string(f.maxLen);
        if (f.nibbles) out += ", \"len_count\": \"nibbles\"";
        if (f.leftPad != 0) out += ", \"left_pad\": " + Quoted(std::string(1, f.leftPad));
        if (f.rightPad != 0) out += ", \"right_pad\": " + Quoted(std::string(1, f.rightPad));
        out += "}";
    }
    return out + "\n}";
}

// Code page 037 for the characters the messages use.
std::uint8_t ToCp037(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(0xF0 + (c - '0'));
    if (c >= 'A' && c <= 'I') return static_cast<std::uint8_t>(0xC1 + (c - 'A'));
    if (c >= 'J' && c <= 'R') return static_cast<std::uint8_t>(0xD1 + (c - 'J'));
    if (c >= 'S' && c <= 'Z') return static_cast<std::uint8_t>(0xE2 + (c - 'S'));
    if (c >= 'a' && c <= 'i') return static_cast<std::uint8_t>(0x81 + (c - 'a'));
    if (c >= 'j' && c <= 'r') return static_cast<std::uint8_t>(0x91 + (c - 'j'));
    if (c >= 's' && c <= 'z') return static_cast<std::uint8_t>(0xA2 + (c - 's'));
    const std::string punctuation = " .-/,=";
    const std::uint8_t codes[] = {0x40, 0x4B, 0x60, 0x61, 0x6B, 0x7E};
    const std::size_t at = punctuation.find(c);
    EXPECT_NE(at, std::string::npos) << "no code page 037 byte for '" << c << "' in this test";
    return at != std::string::npos ? codes[at] : 0x6F;
}

Bytes Encoded(const std::string& text, const std::string& codec) {
    Bytes out;
    for (const char c : text)
        out.push_back(codec == "cp037" ? ToCp037(c) : static_cast<std::uint8_t>(c));
    return out;
}

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string Zeroed(long long value, int digits) {
    std::string text = std::to_string(value);
    return std::string(
               static_cast<std::size_t>(std::max(0, digits - static_cast<int>(text.size()))), '0') +
           text;
}

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

const PyField& FieldOf(const PyDialect& d, int n) {
    for (const PyField& f : d.fields) {
        if (f.number == n) return f;
    }
    ADD_FAILURE() << "field " << n << " is not in the dialect " << d.name;
    return d.fields.front();
}

Bytes PackedField(const PyField& f, const std::string& value) {
    Bytes data;
    std::size_t count = 0;
    if (std::string(f.dataEnc) == "b") {
        std::string hex = value;
        if (f.nibbles && hex.size() % 2 != 0) {
            hex = f.leftPad != 0 ? std::string(1, f.leftPad) + hex : hex + f.rightPad;
        }
        data = FromHex(hex);
        count = f.nibbles ? value.size() : data.size();
    } else {
        data = Encoded(value, f.dataEnc);
        count = data.size();
    }
    Bytes out;
    const std::string lenEnc = f.lenEnc;
    if (f.lenType == 0) {
        EXPECT_EQ(count, static_cast<std::size_t>(f.maxLen)) << "field " << f.number;
    } else if (lenEnc == "b") {
        for (int i = f.lenType - 1; i >= 0; --i)
            out.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    } else if (lenEnc == "bcd") {
        out = FromHex(Zeroed(static_cast<long long>(count), 2 * f.lenType));
    } else {
        out = Encoded(Zeroed(static_cast<long long>(count), f.lenType), lenEnc);
    }
    Append(out, data);
    return out;
}

// As pyiso8583's encode packs the message: header, type, bitmaps, then each field.
Bytes Pack(const PyDialect& d, const PyMessage& m) {
    Bytes out = FromHex(d.header);
    const std::string typeEnc = d.typeEnc;
    Append(out, typeEnc == "b" ? FromHex(m.type) : Encoded(m.type, typeEnc));
    std::string bitmap(16, '\0');
    const bool second = m.values.rbegin()->first > 64;
    if (second) bitmap[0] = static_cast<char>(bitmap[0] | 0x80);
    for (const auto& [n, value] : m.values)
        bitmap[static_cast<std::size_t>((n - 1) / 8)] |= static_cast<char>(0x80 >> ((n - 1) % 8));
    for (int block = 0; block < (second ? 2 : 1); ++block) {
        const std::string bytes = bitmap.substr(static_cast<std::size_t>(8 * block), 8);
        Append(out, std::string(d.bitmapEnc) == "b" ? Bytes(bytes.begin(), bytes.end())
                                                    : Encoded(Hex(bytes), d.bitmapEnc));
    }
    for (const auto& [n, value] : m.values)
        Append(out, PackedField(FieldOf(d, n), value));
    return out;
}

struct Decoded {
    std::string mti;
    std::string verdict;
    std::vector<std::tuple<int, std::string, int>> fields;  // number, value, units consumed
};

Decoded DecodeUnder(const ProtocolDef& def, const Bytes& packed) {
    const std::size_t skip = static_cast<std::size_t>(std::max(def.options.header, 0));
    AutoBuff message;
    Decoded out;
    if (packed.size() <= skip || !message.Reserve(static_cast<int>(packed.size() - skip), false)) {
        ADD_FAILURE() << "no message after the header";
        return out;
    }
    std::memcpy(message.Data(), packed.data() + skip, packed.size() - skip);
    message.SetLength(static_cast<int>(packed.size() - skip));
    AutoBuff verdict;
    MessageHeader header;
    DecodeMessage(
        message, def,
        [&out](const DecodedField& f) {
            out.fields.emplace_back(f.number,
                                    std::string(reinterpret_cast<const char*>(f.value->Data()),
                                                static_cast<std::size_t>(f.value->Length())),
                                    f.consumed);
            return true;
        },
        verdict, &header);
    out.mti = header.mti;
    out.verdict = verdict.Text();
    return out;
}

// A decoded value as pyiso8583 gives it: bytes as hex, packed track data with its separator as
// the nibble D it is.
std::string AsPyiso8583(const ProtocolDef& def, int n, const std::string& value) {
    if (ValueIsBinary(def, n)) return Hex(value);
    std::string text = value;
    if (def.settings[n].binEnc == Encoding::PBCD) std::replace(text.begin(), text.end(), '=', 'D');
    return text;
}

std::vector<PyDialect> Dialects() {
    return {
        {"text with a binary bitmap, as pyiso8583's default",
         "",
         "ascii",
         "b",
         {{2, "ascii", "ascii", 2, 19},
          {3, "ascii", "ascii", 0, 6},
          {4, "ascii", "ascii", 0, 12},
          {7, "ascii", "ascii", 0, 10},
          {11, "ascii", "ascii", 0, 6},
          {35, "ascii", "ascii", 2, 37},
          {39, "ascii", "ascii", 0, 2},
          {41, "ascii", "ascii", 0, 8},
          {52, "b", "ascii", 0, 8},
          {55, "b", "ascii", 3, 255},
          {70, "ascii", "ascii", 0, 3},
          {128, "b", "ascii", 0, 8}},
         "MTI_Enc= CHAR\nBMP_Enc= NONE\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
         "BIN_Enc= NONE\n"
         "FIELD= 2; N; 19; 2; N;\nFIELD= 3; N; 6; 0; N;\nFIELD= 4; N; 12; 0; N;\n"
         "FIELD= 7; N; 10; 0; N;\nFIELD= 11; N; 6; 0; N;\nFIELD= 35; ANS; 37; 2; N;\n"
         "FIELD= 39; AN; 2; 0; N;\nFIELD= 41; ANS; 8; 0; N;\nFIELD= 52; B; 8; 0; N;\n"
         "FIELD= 55; B; 255; 3; N;\nFIELD= 70; N; 3; 0; N;\nFIELD= 128; B; 8; 0; N;\n"
         "OPTION= EMPTY_FIELDS; Y\n",
         {{"0200",
           {{2, "4761739001010010"},
            {3, "000000"},
            {4, "000000001000"},
            {7, "1231235959"},
            {11, "123456"},
            {35, "4761739001010010=22122011143804400000"},
            {41, "TERM0001"},
            {52, "0123456789ABCDEF"},
            {55, "9F2608C2C12B098F3DA6E3"}}},
          {"0800", {{7, "0101000000"}, {11, "000001"}, {70, "301"}, {128, "1122334455667788"}}},
          {"0400", {{2, ""}, {3, "200000"}, {11, "000002"}, {39, "00"}}}}},
        {"packed numbers behind a TPDU",
         "6000010000",
         "b",
         "b",
         {{2, "b", "bcd", 1, 19, true, '0'},
          {3, "b", "ascii", 0, 3},
          {4, "b", "ascii", 0, 6},
          {11, "b", "ascii", 0, 3},
          {22, "b", "ascii", 0, 3, true, 0, 'F'},
          {35, "b", "bcd", 1, 37, true, 0, 'F'},
          {41, "ascii", "ascii", 0, 8},
          {48, "ascii", "b", 2, 999},
          {55, "b", "b", 2, 255},
          {62, "b", "bcd", 2, 98, true},
          {63, "cp037", "bcd", 2, 999},
          {90, "b", "ascii", 0, 42, true, '0'}},
         "MTI_Enc= PBCD\nBMP_Enc= NONE\nLEN_Enc= PBCD\nNUM_Enc= PBCD\nCHR_Enc= ASCII\n"
         "BIN_Enc= NONE\n"
         "FIELD= 2; N; 19; 1; N;\nFIELD= 3; B; 3; 0; N;\nFIELD= 4; B; 6; 0; N;\n"
         "FIELD= 11; B; 3; 0; N;\nFIELD= 22; N; 3; 0; N;\nFIELD= 35; Z; 37; 1; N;\n"
         "FIELD= 41; ANS; 8; 0; N;\nFIELD= 48; ANS; 999; 2; N;\nFIELD= 55; B; 255; 2; N;\n"
         "FIELD= 62; B; 49; 2; N;\nFIELD= 63; ANS; 999; 2; N;\nFIELD= 90; N; 42; 0; N;\n"
         "OPTION= EMPTY_FIELDS; Y\nOPTION= HEADER; 5\n"
         "FIELD_OPTION= 22; PAD; RIGHT\nFIELD_OPTION= 22; PAD_NIBBLE; F\n"
         "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; PAD; RIGHT\n"
         "FIELD_OPTION= 35; PAD_NIBBLE; F\nFIELD_OPTION= 48; LEN_Enc; BIGEND\n"
         "FIELD_OPTION= 55; LEN_Enc; BIGEND\nFIELD_OPTION= 62; LEN_NIBBLES; Y\n"
         "FIELD_OPTION= 63; CHR_Enc; EBCDIC\n",
         {{"0200",
           {{2, "4761739001010010"},
            {3, "003000"},
            {4, "000000001500"},
            {11, "000042"},
            {22, "051"},
            {35, "4761739001010010D22122011"},
            {41, "TERM0002"},
            {55, "9F02060000000015009F1A020978"},
            {62, "A1B2C3D4"},
            {63, "REF 1"}}},
          {"0210", {{2, "476173900101001"}, {11, "000042"}, {48, "ADDITIONAL DATA"}, {62, ""}}},
          {"0420", {{11, "000043"}, {90, "020000004200000000000000000000000000000000"}}}}},
        {"EBCDIC text with a bitmap in hexadecimal characters",
         "",
         "cp037",
         "cp037",
         {{2, "cp037", "cp037", 2, 19},
          {3, "cp037", "cp037", 0, 6},
          {4, "cp037", "cp037", 0, 12},
          {11, "cp037", "cp037", 0, 6},
          {43, "cp037", "cp037", 0, 40},
          {48, "cp037", "cp037", 3, 999},
          {90, "cp037", "cp037", 0, 42},
          {102, "cp037", "cp037", 2, 28}},
         "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= EBCDIC\n"
         "BIN_Enc= NONE\n"
         "FIELD= 2; N; 19; 2; N;\nFIELD= 3; N; 6; 0; N;\nFIELD= 4; N; 12; 0; N;\n"
         "FIELD= 11; N; 6; 0; N;\nFIELD= 43; ANS; 40; 0; N;\nFIELD= 48; ANS; 999; 3; N;\n"
         "FIELD= 90; N; 42; 0; N;\nFIELD= 102; ANS; 28; 2; N;\nOPTION= EMPTY_FIELDS; Y\n",
         {{"0200",
           {{2, "5413330089020011"},
            {3, "000000"},
            {4, "000000002500"},
            {11, "000777"},
            {43, "ACME STORE 12 MAIN ST     SPRINGFIELD US"},
            {48, "abc xyz 123"}}},
          {"0420",
           {{11, "000778"},
            {90, "020000077712310000000000000000000000000000"},
            {102, "ACCT-0001/SAV"}}}}},
    };
}

TEST(Pyiso8583Dialects,
     MessagesPackedAsPyiso8583PacksThemDecodeAsAHandWrittenDefinitionDecodesThem) {
    for (const PyDialect& d : Dialects()) {
        SCOPED_TRACE(d.name);
        InteropNotes notes;
        auto imported = Imported(DictionaryOf(d), notes);
        EXPECT_TRUE(notes.empty()) << Joined(notes);
        auto written = NewDef();
        LoadProText(d.handWritten, *written);
        EXPECT_EQ(imported->options.header, written->options.header);
        for (const PyMessage& m : d.messages) {
            SCOPED_TRACE(m.type);
            const Bytes packed = Pack(d, m);
            const Decoded underImported = DecodeUnder(*imported, packed);
            const Decoded underWritten = DecodeUnder(*written, packed);
            EXPECT_EQ(underImported.mti, m.type);
            EXPECT_EQ(underImported.mti, underWritten.mti);
            EXPECT_EQ(underImported.verdict, underWritten.verdict);
            EXPECT_EQ(underImported.verdict.find("Error"), std::string::npos)
                << underImported.verdict;
            EXPECT_EQ(underImported.fields, underWritten.fields);
            std::map<int, std::string> shown;
            for (const auto& [n, value, consumed] : underImported.fields)
                shown[n] = AsPyiso8583(*imported, n, value);
            EXPECT_EQ(shown, m.values);
        }
    }
}

}  // namespace
