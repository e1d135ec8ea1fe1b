#include "model/pro_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "model/save_file.h"
#include "pro_text_io.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoPath = ISO_EXAMPLES_DIR "/demo.pro";
const std::string kZeroMask(32, '0');
const std::string kMask = "70200000008000000000000000000000";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

void Load(const std::string& content, ProtocolDef& def) {
    LoadProText(content, def);
}

std::string Written(const ProtocolDef& def) {
    return WrittenProText(def);
}

int MessageCount(const ProtocolDef& def) {
    int count = 0;
    for (int i = 0; i < def.messages.SlotCount(); ++i)
        count += def.messages.At(i) ? 1 : 0;
    return count;
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pro_file_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename());
        return names;
    }
    fs::path dir;
};

TEST(ProFileDemoTest, ReadsTheExampleDefinition) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    EXPECT_STREQ(def.name, "Demo host protocol");
    EXPECT_EQ(def.mtiEnc, Encoding::CHAR);
    EXPECT_EQ(def.lenEnc, Encoding::BIGEND);
    EXPECT_EQ(def.fields[2].type, FieldType::N);
    EXPECT_EQ(def.fields[2].size, 19);
    EXPECT_EQ(def.fields[2].sizeLen, 1);
    EXPECT_STREQ(def.fields[4].description, "Amount, transaction");
    EXPECT_EQ(def.fields[41].type, FieldType::ANS);
    EXPECT_TRUE(def.fields[55].subfield);
    EXPECT_EQ(def.fields[0].type, FieldType::U);
    EXPECT_EQ(def.fields[1].type, FieldType::U);
    ASSERT_EQ(MessageCount(def), 2);
    EXPECT_STREQ(def.messages.At(0)->title, "Financial request");
    EXPECT_TRUE(TestBit(def.messages.At(0)->optional, 55));
    EXPECT_TRUE(TestBit(def.messages.At(1)->mandatory, 41));
    EXPECT_STREQ(def.messages.At(1)->title, "");
}

TEST(ProFileDemoTest, WritesTheExampleBackByteForByte) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    EXPECT_EQ(Written(def), ReadAll(kDemoPath));
}

TEST(ProFileDemoTest, CrLfLineEndsReadLikeLf) {
    std::string crlf;
    for (char c : ReadAll(kDemoPath))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ProtocolDef def;
    Load(crlf, def);
    EXPECT_EQ(Written(def), ReadAll(kDemoPath));
}

TEST(ProFileReadTest, UnopenableFileChangesNothing) {
    ProtocolDef def;
    std::strcpy(def.name, "kept");
    errno = 0;
    EXPECT_FALSE(ReadProtocolFile("/nonexistent/folder/x.pro", def));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(ReadProtocolFile(ISO_EXAMPLES_DIR, def));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(ReadProtocolFile(nullptr, def));
    EXPECT_STREQ(def.name, "kept");
    EXPECT_EQ(def.mtiEnc, Encoding::CHAR);
}

TEST(ProFileReadTest, EmptyFileLeavesTheResetDefinition) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    Load("// nothing here\n\nname= x\n", def);
    EXPECT_STREQ(def.name, "");
    EXPECT_EQ(def.mtiEnc, Encoding::PBCD);
    EXPECT_EQ(def.lenEnc, Encoding::NONE);
    EXPECT_EQ(def.fields[2].type, FieldType::U);
    EXPECT_EQ(MessageCount(def), 0);
    EXPECT_EQ(def.messages.SlotCount(), 99);
}

TEST(ProFileReadTest, NameStartsAtTheSeventhCharacter) {
    const struct {
        const char* content;
        const char* name;
    } cases[] = {
        {"NAME= Demo\n", "Demo"},
        {"NAME=Demo\n", "emo"},
        {"NAME=", ""},
        {"NAME=\n", ""},
        {"  NAME= x\n", "x"},
        {"\tNAME= a \t b \r\n", "a b"},
        {"name= x\nName= y\n", ""},
        {"NAME= first\nNAME= second\n", "second"},
    };
    for (const auto& c : cases) {
        ProtocolDef def;
        Load(c.content, def);
        EXPECT_STREQ(def.name, c.name) << c.content;
    }
}

TEST(ProFileReadTest, LongNameIsCutTo128WithoutSplittingUtf8) {
    ProtocolDef def;
    Load("NAME= " + std::string(127, 'n') + "\xC3\xA9 tail\n", def);
    EXPECT_EQ(std::string(def.name), std::string(127, 'n'));
}

TEST(ProFileReadTest, EncodingsOutsideTheirRoleGetTheReplacement) {
    const struct {
        const char* line;
        Encoding ProtocolDef::*field;
        Encoding expected;
    } cases[] = {
        {"MTI_Enc= char\n", &ProtocolDef::mtiEnc, Encoding::CHAR},
        {"MTI_Enc= PBCD\n", &ProtocolDef::mtiEnc, Encoding::PBCD},
        {"MTI_Enc= HEX\n", &ProtocolDef::mtiEnc, Encoding::CHAR},
        {"BMP_Enc= PBCD\n", &ProtocolDef::bmpEnc, Encoding::NONE},
        {"BMP_Enc= HEX\n", &ProtocolDef::bmpEnc, Encoding::HEX},
        {"LEN_Enc= ASCII\n", &ProtocolDef::lenEnc, Encoding::PBCD},
        {"LEN_Enc= NONE\n", &ProtocolDef::lenEnc, Encoding::PBCD},
        {"LEN_Enc=   BIGEND  \r\n", &ProtocolDef::lenEnc, Encoding::BIGEND},
        {"NUM_Enc= HEX\n", &ProtocolDef::numEnc, Encoding::HEX},
        {"NUM_Enc= EBCDIC\n", &ProtocolDef::numEnc, Encoding::PBCD},
        {"CHR_Enc=EBCDIC\n", &ProtocolDef::chrEnc, Encoding::EBCDIC},
        {"CHR_Enc= CHAR\n", &ProtocolDef::chrEnc, Encoding::ASCII},
        {"BIN_Enc= CHAR", &ProtocolDef::binEnc, Encoding::CHAR},
        {"BIN_Enc= BIGEND\n", &ProtocolDef::binEnc, Encoding::NONE},
        {"mti_enc= CHAR\n", &ProtocolDef::mtiEnc, Encoding::PBCD},
        {"// LEN_Enc= HEX\n", &ProtocolDef::lenEnc, Encoding::NONE},
    };
    for (const auto& c : cases) {
        ProtocolDef def;
        Load(c.line, def);
        EXPECT_EQ(def.*c.field, c.expected) << c.line;
    }
}

struct FieldCase {
    const char* name;
    std::string lines;
    FieldType type;
    int size;
    int sizeLen;
    bool subfield;
    const char* description;
};

std::vector<FieldCase> FieldCases() {
    return {
        {"FullLine", "FIELD=   5;    N;   3; 1; Y; Amount\n", FieldType::N, 3, 1, true, "Amount"},
        {"SizeZeroStoredThenStops", "FIELD= 5; N; 0; 1; Y; d\n", FieldType::N, 0, 0, false, ""},
        {"UnknownTypeUndefines", "FIELD= 5; XX; 3; 0; Y; d\n", FieldType::U, 0, 0, false, ""},
        {"PrefixSizeSevenStoredThenStops", "FIELD= 5; N; 3; 7; Y; d\n", FieldType::N, 3, 7, false,
         ""},
        {"NegativePrefixSizeStops", "FIELD= 5; N; 3; -1; Y; d\n", FieldType::N, 3, -1, false, ""},
        {"EmptyTokenSkipped", "FIELD= 5;; N; 3; 1; Y; d\n", FieldType::N, 3, 1, true, "d"},
        {"EndsAfterPrefixSize", "FIELD= 5; N; 3; 1\n", FieldType::N, 3, 1, false, ""},
        {"LineEndStaysInTypeToken", "FIELD= 5; N\n", FieldType::U, 0, 0, false, ""},
        {"CarriageReturnStaysInTypeToken", "FIELD= 5; N\r\n", FieldType::U, 0, 0, false, ""},
        {"TypeAtEndOfFileWithoutLineEnd", "FIELD= 5; N", FieldType::N, 0, 0, false, ""},
        {"SecondLineOverridesButKeepsSubfield",
         "FIELD= 5; N; 3; 1; Y; first\nFIELD= 5; AN; 9; 0; N; second\n", FieldType::AN, 9, 0, true,
         "second"},
        {"NumbersReadLikeAtoi", "FIELD= +5x; N; 12abc; 2z; Yes; d\n", FieldType::N, 12, 2, true,
         "d"},
        {"SizeKeepsLow16Bits", "FIELD= 5; N; 70000; 2; N; d\n", FieldType::N, 4464, 2, false, "d"},
        {"SizeWrappingNegativeStops", "FIELD= 5; N; 40000; 2; N; d\n", FieldType::N, -25536, 0,
         false, ""},
        {"LowercaseYIsNotSubfield", "FIELD= 5; N; 3; 0; y; d\n", FieldType::N, 3, 0, false, "d"},
        {"DescriptionNormalisedAndCutAtSemicolon", "FIELD= 5; N; 3; 0; N;  a \t b ; more\n",
         FieldType::N, 3, 0, false, "a b"},
        {"EmptyDescription", "FIELD= 5; N; 3; 0; N; \n", FieldType::N, 3, 0, false, ""},
        {"TypeTrimmedOfSpacesOnly", "FIELD= 5;\tN; 3; 0; N; d\n", FieldType::U, 0, 0, false, ""},
        {"LowercaseKeyIgnored", "field= 5; N; 3; 0; N; d\n", FieldType::U, 0, 0, false, ""},
        {"IndentedLineRead", " \t FIELD= 5; B; 8; 0; N; d\n", FieldType::B, 8, 0, false, "d"},
    };
}

TEST(ProFileReadTest, FieldLinesStoreEachValueBeforeCheckingIt) {
    for (const auto& c : FieldCases()) {
        ProtocolDef def;
        Load(c.lines, def);
        const FldDef& f = def.fields[5];
        EXPECT_EQ(f.type, c.type) << c.name;
        EXPECT_EQ(f.size, c.size) << c.name;
        EXPECT_EQ(f.sizeLen, c.sizeLen) << c.name;
        EXPECT_EQ(f.subfield, c.subfield) << c.name;
        EXPECT_STREQ(f.description, c.description) << c.name;
    }
}

TEST(ProFileReadTest, FieldNumbersOutside2To128AreIgnored) {
    for (const char* line : {"FIELD=   1;    B;  16; 0; N;\n", "FIELD=   0;    B;  16; 0; N;\n",
                             "FIELD= 129; N; 3; 0; N; d\n", "FIELD= -5; N; 3; 0; N; d\n",
                             "FIELD= 99999999999; N; 3; 0; N; d\n", "FIELD= x; N; 3; 0; N; d\n"}) {
        ProtocolDef def;
        Load(line, def);
        for (int n = 0; n < kFieldCount; ++n)
            EXPECT_EQ(def.fields[n].type, FieldType::U) << line;
    }
    ProtocolDef def;
    Load("FIELD= 128; Z; 3; 0; N; last\n", def);
    EXPECT_EQ(def.fields[128].type, FieldType::Z);
}

TEST(ProFileReadTest, FieldDescriptionIsCutTo128) {
    ProtocolDef def;
    Load("FIELD= 5; N; 3; 0; N; " + std::string(300, 'd') + "\n", def);
    EXPECT_EQ(std::string(def.fields[5].description), std::string(128, 'd'));
}

// A text cut at 128 bytes just after a blank: stored without it, so that the file written reads
// back to the same text and a second format writes the same bytes as the first.
TEST(ProFileReadTest, TextCutAfterABlankKeepsNoBlankAndFormatsTheSameTwice) {
    struct Case {
        const char* name;
        std::string lines;
        std::string (*stored)(const ProtocolDef&);
    };
    const std::string cutAfterBlank = std::string(127, 'x') + " tail";
    const std::string cutInsideUtf8 = std::string(127, 'x') + "\xC3\xA9 tail";
    const std::string subfieldHead = "FIELD= 48; ANS; 999; 3; Y; Data\nSTRUCTURE= 48; POSITIONAL\n";
    auto name = [](const ProtocolDef& d) { return std::string(d.name); };
    auto description = [](const ProtocolDef& d) { return std::string(d.fields[5].description); };
    auto title = [](const ProtocolDef& d) { return std::string(d.messages.At(0)->title); };
    auto subfield = [](const ProtocolDef& d) {
        return d.subfields.Field(48)->children.front().def.description;
    };
    const Case cases[] = {
        {"NAME", "NAME= " + cutAfterBlank + "\n", name},
        {"FIELD", "FIELD= 5; N; 3; 0; N; " + cutAfterBlank + "\n", description},
        {"MSG", "MSG=0200;" + kMask + ";" + kZeroMask + ";" + cutAfterBlank + "\n", title},
        {"SUBFIELD", subfieldHead + "SUBFIELD= 48.1; ANS; 9; 0; N; " + cutAfterBlank + "\n",
         subfield},
        {"SUBFIELD in UTF-8",
         subfieldHead + "SUBFIELD= 48.1; ANS; 9; 0; N; " + cutInsideUtf8 + "\n", subfield},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto first = std::make_unique<ProtocolDef>();
        Load("LEN_Enc= CHAR\n" + c.lines, *first);
        EXPECT_EQ(c.stored(*first), std::string(127, 'x'));
        const std::string once = Written(*first);
        auto second = std::make_unique<ProtocolDef>();
        Load(once, *second);
        EXPECT_EQ(c.stored(*second), c.stored(*first));
        EXPECT_EQ(Written(*second), once);
    }
}

TEST(ProFileReadTest, MessageLinesWithABadItemAddNothing) {
    const std::string z31(31, '0');
    const std::string z33 = kZeroMask + "9";
    const struct {
        const char* name;
        std::string line;
        const char* mti;  // null: nothing added
        const char* title;
    } cases[] = {
        {"Valid", "MSG=0200;" + kMask + ";" + kZeroMask + ";Financial request\n", "0200",
         "Financial request"},
        {"MasksOf31Digits", "MSG=0200;" + z31 + ";" + z31 + ";t\n", nullptr, ""},
        {"MasksOf33DigitsAccepted", "MSG=0200;" + z33 + ";" + z33 + ";t\n", "0200", "t"},
        {"LowercaseDigitsAccepted", "MSG=0200;" + std::string(32, 'a') + ";" + kZeroMask + "\n",
         "0200", ""},
        {"NonHexDigit", "MSG=0200;7G" + std::string(30, '0') + ";" + kZeroMask + "\n", nullptr, ""},
        {"KeyOnly", "MSG=", nullptr, ""},
        {"KeyAndLineEnd", "MSG=\n", nullptr, ""},
        {"ThreeCharacterMti", "MSG=020;" + kMask + ";" + kZeroMask + "\n", nullptr, ""},
        {"FiveCharacterMti", "MSG=02000;" + kMask + ";" + kZeroMask + "\n", nullptr, ""},
        {"MissingOptionalMask", "MSG=0200;" + kMask + "\n", nullptr, ""},
        {"LettersAsMti", "MSG=ABCD;" + kMask + ";" + kZeroMask + ";\n", "ABCD", ""},
        {"BlanksAroundItems", "MSG= 0200 ; " + kMask + " ;" + kZeroMask + "; Title  x ;y\n", "0200",
         "Title x"},
        {"EmptyTokensSkipped", "MSG=0200;;" + kMask + ";;" + kZeroMask + ";;t\n", "0200", "t"},
        {"LowercaseKeyIgnored", "msg=0200;" + kMask + ";" + kZeroMask + "\n", nullptr, ""},
    };
    for (const auto& c : cases) {
        ProtocolDef def;
        Load(c.line, def);
        if (c.mti == nullptr) {
            EXPECT_EQ(MessageCount(def), 0) << c.name;
            continue;
        }
        ASSERT_EQ(MessageCount(def), 1) << c.name;
        EXPECT_STREQ(def.messages.At(0)->mti, c.mti) << c.name;
        EXPECT_STREQ(def.messages.At(0)->title, c.title) << c.name;
        EXPECT_EQ(def.messages.At(0)->owner, &def) << c.name;
    }
}

TEST(ProFileReadTest, MaskDigitsOfEitherCaseGiveTheSameBytes) {
    ProtocolDef def;
    Load("MSG=0200;0123456789abcdefABCDEF0000000000;" + kZeroMask + "\n", def);
    ASSERT_EQ(MessageCount(def), 1);
    const FieldMask expected = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                0xAB, 0xCD, 0xEF, 0,    0,    0,    0,    0};
    EXPECT_EQ(def.messages.At(0)->mandatory, expected);
}

TEST(ProFileReadTest, RepeatedMtiReplacesInItsSlot) {
    ProtocolDef def;
    Load("MSG=0200;" + kMask + ";" + kZeroMask + ";First\n" +          //
             "MSG=0210;" + kZeroMask + ";" + kZeroMask + ";Reply\n" +  //
             "MSG=0200;" + kZeroMask + ";" + kMask + ";\n",
         def);
    ASSERT_EQ(MessageCount(def), 2);
    EXPECT_STREQ(def.messages.At(0)->mti, "0200");
    EXPECT_STREQ(def.messages.At(0)->title, "");
    EXPECT_TRUE(TestBit(def.messages.At(0)->optional, 2));
    EXPECT_STREQ(def.messages.At(1)->mti, "0210");
}

TEST(ProFileReadTest, KeepsTheFirst99DistinctMessages) {
    std::string content;
    char mti[8];
    for (int i = 0; i < 100; ++i) {
        std::snprintf(mti, sizeof mti, "%04d", i);
        content += std::string("MSG=") + mti + ";" + kZeroMask + ";" + kZeroMask + ";\n";
    }
    content += "MSG=0005;" + kMask + ";" + kZeroMask + ";replaced\n";
    ProtocolDef def;
    Load(content, def);
    EXPECT_EQ(MessageCount(def), 99);
    EXPECT_EQ(def.messages.FindByMti("0098"), 98);
    EXPECT_EQ(def.messages.FindByMti("0099"), MsgTable::kNone);
    EXPECT_STREQ(def.messages.At(5)->title, "replaced");
}

TEST(ProFileReadTest, LongLineIsReadAs1023CharactersAndTheRest) {
    // The second piece starts with a key, so it only counts if the line was split there.
    std::string first = "NAME= " + std::string(1017, 'n');
    std::string second = "MSG=0200;" + kMask + ";" + kZeroMask + ";";
    second += std::string(477 - second.size(), 't');
    ASSERT_EQ(first.size() + second.size(), 1500u);
    ProtocolDef def;
    Load(first + second + "\n", def);
    EXPECT_EQ(std::string(def.name), std::string(128, 'n'));
    ASSERT_EQ(MessageCount(def), 1);
    EXPECT_EQ(std::string(def.messages.At(0)->title), std::string(128, 't'));
}

TEST(ProFileMsgValueTest, ParseAndFormatAgree) {
    MsgDef msg;
    char text[] = "0100;80000000000000000000000000000001;00000000000000000000000000000000;Auth";
    ASSERT_TRUE(ParseMsgValue(text, msg));
    EXPECT_TRUE(TestBit(msg.mandatory, 1));
    EXPECT_TRUE(TestBit(msg.mandatory, 128));
    char out[kMsgValueMax];
    ASSERT_TRUE(FormatMsgValue(out, sizeof out, msg));
    EXPECT_STREQ(out,
                 "0100;80000000000000000000000000000001;00000000000000000000000000000000;Auth");
    EXPECT_FALSE(FormatMsgValue(nullptr, 10, msg));
    EXPECT_FALSE(FormatMsgValue(out, 20, msg));
    EXPECT_FALSE(ParseMsgValue(nullptr, msg));
}

TEST(ProFileWriteTest, WritesFieldLinesWithPrintfWidths) {
    ProtocolDef def;
    std::strcpy(def.name, "Wide");
    DefineField(def.fields[128], FieldType::ANS, 9999, 4, false, "");
    DefineField(def.fields[7], FieldType::Z, 5, 0, true, "Seven");
    const std::string text = Written(def);
    EXPECT_NE(text.find("\nNAME= Wide\n"), std::string::npos);
    EXPECT_NE(text.find("\nFIELD=   7;    Z;   5; 0; Y; Seven\nFIELD= 128;  ANS; 9999; 4; N; \n"),
              std::string::npos);
    const std::string tail = "// MTI, mandatory et optional masks, description\n\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(ProFileWriteTest, ReadingWhatWasWrittenGivesItBack) {
    ProtocolDef def;
    def.Reset();
    std::strcpy(def.name, "Round trip");
    DefineField(def.fields[2], FieldType::N, 19, 2, true, "has; semicolon");
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::strcpy(msg->mti, "0800");
    std::strcpy(msg->title, "Network");
    SetBit(msg->optional, 70);
    def.messages.PutIfEmpty(7, msg);

    ProtocolDef back;
    Load(Written(def), back);
    EXPECT_STREQ(back.name, "Round trip");
    EXPECT_EQ(back.lenEnc, Encoding::PBCD);  // NONE is not accepted from a file
    EXPECT_STREQ(back.fields[2].description, "has");
    EXPECT_TRUE(back.fields[2].subfield);
    ASSERT_EQ(MessageCount(back), 1);
    EXPECT_STREQ(back.messages.At(0)->title, "Network");  // slots are compacted
    EXPECT_TRUE(TestBit(back.messages.At(0)->optional, 70));
}

TEST(ProFileWriteTest, ReportsAFailedWriteOrClose) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    EXPECT_FALSE(WriteProtocolFile(std::fopen("/dev/full", "w"), def));
    EXPECT_FALSE(WriteProtocolFile(nullptr, def));
}

using ProFileSaveTest = TempDir;

TEST_F(ProFileSaveTest, SavesTheExampleAndLeavesNoTemporaryFile) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    const std::string target = (dir / "out.pro").string();
    WriteAll(target, "old");
    ::chmod(target.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(SaveProtocolFile(target, def, error)) << error;
    EXPECT_EQ(ReadAll(target), ReadAll(kDemoPath));
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.pro"});
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ProFileSaveTest, SavingThroughALinkReplacesTheFileItPointsTo) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    WriteAll((dir / "real.pro").string(), "old");
    fs::create_symlink("real.pro", dir / "link.pro");
    std::string error;
    ASSERT_TRUE(SaveProtocolFile((dir / "link.pro").string(), def, error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "link.pro"));
    EXPECT_EQ(ReadAll((dir / "real.pro").string()), ReadAll(kDemoPath));
}

TEST_F(ProFileSaveTest, MissingFolderIsReportedAsCannotOpen) {
    ProtocolDef def;
    const std::string target = (dir / "missing" / "out.pro").string();
    std::string error;
    EXPECT_FALSE(SaveProtocolFile(target, def, error));
    EXPECT_EQ(error, target + ": cannot open: No such file or directory");
}

TEST_F(ProFileSaveTest, FailedRenameRemovesTheTemporaryFile) {
    ProtocolDef def;
    const fs::path target = dir / "busy.pro";
    WriteAll(target.string(), "old");
    // A folder that takes the file's place while the save writes makes the rename fail.
    const auto write = [&](std::FILE* stream) {
        fs::remove(target);
        fs::create_directories(target / "inside");
        return WriteProtocolLines(stream, def);
    };
    std::string error;
    EXPECT_FALSE(SaveFile(target.string(), write, error));
    EXPECT_EQ(error.rfind(target.string() + ": cannot write: ", 0), 0u) << error;
    EXPECT_EQ(Entries(), std::vector<std::string>{"busy.pro"});
}

TEST_F(ProFileSaveTest, FailedWriteLeavesTheOldFileIntact) {
    ProtocolDef def;
    ASSERT_TRUE(ReadProtocolFile(kDemoPath.c_str(), def));
    const std::string target = (dir / "keep.pro").string();
    WriteAll(target, "the user's work\n");
    // A file-size limit in a child process makes the temporary file's writes fail part-way.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool saved = SaveProtocolFile(target, def, error);
        const bool reported = error.rfind(target + ": cannot write: File too large", 0) == 0;
        ::_exit(!saved && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(target), "the user's work\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.pro"});
}

using ProFileLoadTest = TempDir;

// A definition of size bytes whose last line names it: comment lines, then "NAME= last".
std::string DefinitionOfSize(std::size_t size) {
    const std::string last = "NAME= last\n";
    std::string text;
    while (text.size() + last.size() < size) {
        const std::size_t room = size - last.size() - text.size();
        text += room > 80 ? "//" + std::string(77, '.') + "\n" : std::string(room - 1, '/') + "\n";
    }
    return text + last;
}

// The file is read into room of its size and a FIFO, which tells none, into room that grows:
// either way the whole definition is read, its last line too, at the sizes where the room
// runs out, and the bound refuses one byte more than it allows.
TEST_F(ProFileLoadTest, ReadsTheWholeDefinitionWhetherItsSizeIsKnownOrNot) {
    const std::size_t sizes[] = {12, 65535, 65536, 65537, 131073, 300000};
    const std::string file = (dir / "def.pro").string();
    const std::string fifo = (dir / "def.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (std::size_t size : sizes) {
        const std::string text = DefinitionOfSize(size);
        ASSERT_EQ(text.size(), size);
        WriteAll(file, text);
        for (const std::string& path : {file, fifo}) {
            std::thread writer;
            if (path == fifo) writer = std::thread([&] { WriteAll(fifo, text); });
            ProtocolDef def;
            std::string error;
            EXPECT_TRUE(LoadProtocolFile(path, def, error)) << path << " " << size << error;
            EXPECT_STREQ(def.name, "last") << path << " " << size;
            if (writer.joinable()) writer.join();
        }
    }
    const std::string tooLarge(static_cast<std::size_t>(kProtocolFileMax) + 1, '\n');
    std::thread writer([&] { WriteAll(fifo, tooLarge); });
    ProtocolDef def;
    std::string error;
    EXPECT_FALSE(LoadProtocolFile(fifo, def, error));
    writer.join();
    EXPECT_EQ(error, fifo + ": too large for a protocol definition");
}

TEST_F(ProFileSaveTest, ReadOnlyFileIsNotReplaced) {
    ProtocolDef def;
    const std::string target = (dir / "ro.pro").string();
    WriteAll(target, "old");
    ::chmod(target.c_str(), 0444);
    // Root may write any file: the save runs as an ordinary user who owns the folder and file.
    ASSERT_EQ(::chown(dir.c_str(), TestUid(), TestGid()), 0);
    ASSERT_EQ(::chown(target.c_str(), TestUid(), TestGid()), 0);
    const ChildOutcome outcome = InChild(true, [&] {
        std::string error;
        return SaveProtocolFile(target, def, error) ? std::string("saved") : error;
    });
    EXPECT_EQ(outcome.text, target + ": cannot open: Permission denied");
    EXPECT_EQ(ReadAll(target), "old");
}

}  // namespace
