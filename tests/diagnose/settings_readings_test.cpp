// The readings a diagnosis offers beyond the dialect's encodings: allowing empty fields, and
// one field's own encoding, each with the line that makes it so.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "diagnose/diagnoser.h"
#include "diagnose/reading_words.h"
#include "model/pro_file.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The example dialect without one of its lines.
std::unique_ptr<ProtocolDef> DialectWithout(const std::string& line) {
    std::string text = ReadAll(ISO_EXAMPLES_DIR "/dialect.pro");
    if (!line.empty()) {
        const std::size_t at = text.find(line + "\n");
        EXPECT_NE(at, std::string::npos) << line;
        if (at != std::string::npos) text.erase(at, line.size() + 1);
    }
    auto def = std::make_unique<ProtocolDef>();
    std::FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    std::fwrite(text.data(), 1, text.size(), stream);
    std::rewind(stream);
    ReadProtocolStream(stream, *def);
    std::fclose(stream);
    return def;
}

// The example messages, as units: a 0200 with an empty field 32 and a packed track 2, and a
// 0420.
std::vector<std::string> DialectMessages() {
    std::ifstream in(ISO_EXAMPLES_DIR "/dialect-messages.hex");
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);) {
        std::string units;
        for (std::size_t i = 0; i + 1 < line.size(); i += 2)
            units.push_back(static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16)));
        messages.push_back(units);
    }
    return messages;
}

void Put(AutoBuff& buffer, const std::string& units) {
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(units.size()) + 1, false));
    std::memcpy(buffer.Data(), units.data(), units.size());
    buffer.SetLength(static_cast<int>(units.size()));
    buffer.Terminate();
}

std::vector<std::string> Words(const Diagnosis& d) {
    std::vector<std::string> words;
    for (const Reading& r : d.readings)
        words.push_back(ReadingWords(r));
    return words;
}

struct ReadingCase {
    const char* name;
    const char* missing;  // the dialect's line the definition lacks
    int message;          // of the example messages
    std::string verdict;  // as the message is decoded without the line
    std::string best;     // the first reading's words
    EncodingChange change;
};

void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(SettingReading, TheMissingLineIsTheBestReading) {
    const ReadingCase& c = GetParam();
    const auto def = DialectWithout(c.missing);
    AutoBuff message;
    Put(message, DialectMessages().at(static_cast<std::size_t>(c.message)));
    const Diagnosis d = DiagnoseMessage(message, 0, *def);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.verdict, c.verdict);
    ASSERT_FALSE(d.readings.empty());
    const Reading& best = d.readings.front();
    EXPECT_EQ(ReadingWords(best), c.best) << testing::PrintToString(Words(d));
    EXPECT_TRUE(best.ok);
    EXPECT_FALSE(best.headerChanged);
    ASSERT_TRUE(best.change);
    EXPECT_EQ(best.change->emptyFields, c.change.emptyFields);
    EXPECT_EQ(best.change->field, c.change.field);
    if (!c.change.emptyFields) {
        EXPECT_EQ(best.change->role, c.change.role);
        EXPECT_EQ(best.change->value, c.change.value);
    }
}

EncodingChange Empty() {
    EncodingChange change;
    change.emptyFields = true;
    return change;
}

const ReadingCase kReadingCases[] = {
    {"EmptyFields", "OPTION= EMPTY_FIELDS; Y", 0, "Error reading or converting field n\u00b0 32",
     "allowing empty fields (OPTION= EMPTY_FIELDS; Y): passes as 0200", Empty()},
    {"EmptyFirstField", "OPTION= EMPTY_FIELDS; Y", 1, "Error reading or converting field n\u00b0 2",
     "allowing empty fields (OPTION= EMPTY_FIELDS; Y): passes as 0420", Empty()},
    {"PackedTrack",
     "FIELD_OPTION=  35; BIN_Enc; PBCD",
     0,
     "Error reading or converting field n\u00b0 35",
     "field 35 BIN_Enc=PBCD (FIELD_OPTION= 35; BIN_Enc; PBCD): passes as 0200",
     {EncodingRole::kBinary, Encoding::PBCD, 35, false}},
    {"BinaryPrefixOfOneField",
     "FIELD_OPTION=  55; LEN_Enc; BIGEND",
     0,
     "Error reading or converting field n\u00b0 55",
     "field 55 LEN_Enc=BIGEND (FIELD_OPTION= 55; LEN_Enc; BIGEND): passes as 0200",
     {EncodingRole::kLength, Encoding::BIGEND, 55, false}},
    {"PackedPrefixOfOneField",
     "FIELD_OPTION=  63; LEN_Enc; PBCD",
     0,
     "Error reading or converting field n\u00b0 63",
     "field 63 LEN_Enc=PBCD (FIELD_OPTION= 63; LEN_Enc; PBCD): passes as 0200",
     {EncodingRole::kLength, Encoding::PBCD, 63, false}},
    {"RawBytesOfOneField",
     "FIELD_OPTION=  62; BIN_Enc; NONE",
     0,
     "Error reading or converting field n\u00b0 62",
     "field 62 BIN_Enc=NONE (FIELD_OPTION= 62; BIN_Enc; NONE): passes as 0200",
     {EncodingRole::kBinary, Encoding::NONE, 62, false}},
};

INSTANTIATE_TEST_SUITE_P(Diagnose, SettingReading, testing::ValuesIn(kReadingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Best first: passing before not, a known MTI before an unknown one, fewer changes before more.
TEST(SettingReadings, RankPassingThenKnownThenFewerChanges) {
    const std::string tpdu("\x60\x00\x03\x00\x00", 5);
    for (const char* missing : {"OPTION= EMPTY_FIELDS; Y", "FIELD_OPTION=  35; BIN_Enc; PBCD"}) {
        const auto def = DialectWithout(missing);
        for (const std::string& units : DialectMessages()) {
            for (const std::string& header : {std::string(), tpdu}) {
                AutoBuff message;
                Put(message, header + units);
                const Diagnosis d = DiagnoseMessage(message, 0, *def);
                for (std::size_t i = 1; i < d.readings.size(); ++i) {
                    const Reading& a = d.readings[i - 1];
                    const Reading& b = d.readings[i];
                    const auto rank = [](const Reading& r) {
                        return std::make_tuple(!r.ok, !r.knownMti, r.Changes(), r.warnings);
                    };
                    EXPECT_LE(rank(a), rank(b))
                        << missing << ": " << ReadingWords(a) << " | " << ReadingWords(b);
                }
            }
        }
    }
}

// The option and a field's own encoding are tried on the diagnoser's copy and taken back: the
// next message is diagnosed under the definition as given, and the user's is never touched.
TEST(SettingReadings, TriedChangesAreTakenBack) {
    for (const char* missing : {"OPTION= EMPTY_FIELDS; Y", "FIELD_OPTION=  35; BIN_Enc; PBCD",
                                "FIELD_OPTION=  55; LEN_Enc; BIGEND"}) {
        const auto def = DialectWithout(missing);
        const FieldSettings before35 = def->settings[35];
        const FieldSettings before55 = def->settings[55];
        const DialectOptions options = def->options;
        Diagnoser diagnoser(*def);
        ASSERT_TRUE(diagnoser.Ready());
        AutoBuff message;
        Put(message, DialectMessages().at(0));
        Diagnosis first;
        diagnoser.Diagnose(message, 0, first);
        Diagnosis second;
        diagnoser.Diagnose(message, 0, second);
        EXPECT_FALSE(second.ok) << missing;
        EXPECT_EQ(second.verdict, first.verdict) << missing;
        EXPECT_EQ(Words(second), Words(first)) << missing;
        EXPECT_FALSE(first.readings.empty()) << missing;
        EXPECT_TRUE(def->options == options);
        EXPECT_TRUE(def->settings[35] == before35);
        EXPECT_TRUE(def->settings[55] == before55);
    }
}

// A dialect that allows empty fields already is not offered them again.
TEST(SettingReadings, EmptyFieldsAreNotOfferedTwice) {
    const auto def = DialectWithout("");
    AutoBuff message;
    Put(message, std::string("\x60\x00\x03\x00\x00", 5) + DialectMessages().at(0));
    const Diagnosis d = DiagnoseMessage(message, 0, *def);
    ASSERT_FALSE(d.readings.empty());
    EXPECT_EQ(ReadingWords(d.readings.front()),
              "a header of 5 units (6000030000), then passes as 0200");
    for (const Reading& r : d.readings)
        EXPECT_FALSE(r.change && r.change->emptyFields) << ReadingWords(r);
}

TEST(SettingReadings, WordsNameTheLineToAdd) {
    Reading r;
    std::strcpy(r.mti, "0200");
    r.ok = true;
    r.verdict = "... Parsing OK ...";
    r.change = EncodingChange{EncodingRole::kCharacter, Encoding::EBCDIC, 41, false};
    EXPECT_EQ(ReadingWords(r),
              "field 41 CHR_Enc=EBCDIC (FIELD_OPTION= 41; CHR_Enc; EBCDIC): passes as 0200");
    r.change = Empty();
    r.header = 2;
    r.headerChanged = true;
    r.headerHex = "6000";
    EXPECT_EQ(ReadingWords(r),
              "a header of 2 units (6000) and allowing empty fields (OPTION= EMPTY_FIELDS; Y), "
              "then passes as 0200");
}

// A field read by its own settings stops for the reason those settings give, not the dialect's.
TEST(SettingReadings, StopOfAFieldWithSettingsNamesItsOwnPrefixRules) {
    auto def = DialectWithout("");
    std::string message = DialectMessages().at(0);
    // Field 63's left-aligned packed prefix 00 80, made 00 A0.
    const std::size_t at = message.rfind(std::string("\x00\x80", 2));
    ASSERT_NE(at, std::string::npos);
    message[at + 1] = '\xA0';
    AutoBuff buffer;
    Put(buffer, message);
    const Diagnosis d = DiagnoseMessage(buffer, 0, *def);
    ASSERT_TRUE(d.stopped);
    EXPECT_EQ(d.stopped->text, "field 63: length prefix 00A0 (2 units at offset " +
                                   std::to_string(at) + ") is not a length under the field's PBCD");
}

}  // namespace
