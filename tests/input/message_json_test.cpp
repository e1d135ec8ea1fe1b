// The JSON Lines reader of `build`: both shapes into the draft, with the form each value is
// given in, and every line it refuses with the reason a person reads.
#include "input/message_json.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../model/pro_text_io.h"
#include "support/text.h"

namespace {

const char kPro[] =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
    "FIELD=  48;  ANS; 999; 3; Y; Additional data\n"
    "FIELD=  52;    B;   8; 0; N; PIN data\n"
    "FIELD=  55;    B; 255; 3; Y; Chip data\n"
    "FIELD=  70;    N;   3; 0; N; Network code\n"
    "STRUCTURE= 48; TAGGED; HEAD 1; TAG 2; LEN 2\n"
    "SUBFIELD= 48.01;  ANS;  20; 0; N; Invoice\n"
    "SUBFIELD= 48.10;    N;  19; 0; N; Card number\n"
    "SUBFIELD= 48.42;  ANS;  99; 0; Y; Indicators\n"
    "STRUCTURE= 48.42; TAGGED; TAG 2; LEN 2\n"
    "STRUCTURE= 55; BER_TLV\n";

// The draft in one line: each value as u'...' (the decoded value's units) or s'...' (as shown),
// subfields in braces in the order given.
std::string Describe(const MessageDraft& draft, std::int32_t i) {
    const DraftNode& node = draft.Node(i);
    if (!node.structured) {
        return std::string(node.form == ValueForm::kUnits ? "u'" : "s'") +
               std::string(draft.ValueOf(node)) + "'";
    }
    std::string text = "{";
    for (std::int32_t c = node.firstChild; c != MessageDraft::kNoNode;
         c = draft.Node(c).nextSibling) {
        if (text.size() > 1) text += ",";
        text += std::string(draft.IdOf(draft.Node(c))) + ":" + Describe(draft, c);
    }
    return text + "}";
}

std::string Describe(const MessageDraft& draft) {
    std::string text = "mti=" + std::string(draft.Mti());
    if (!draft.Header().empty()) {
        std::string hex;
        AssignHex(hex, draft.Header().data(), static_cast<int>(draft.Header().size()));
        text += " header=" + hex;
    }
    if (draft.SecondaryAnnounced()) text += " secondary";
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (draft.FieldNode(n) != MessageDraft::kNoNode)
            text += " " + std::to_string(n) + "=" + Describe(draft, draft.FieldNode(n));
    }
    return text;
}

class MessageJson : public testing::Test {
  protected:
    void SetUp() override {
        def = std::make_unique<ProtocolDef>();
        def->Reset();
        LoadProText(kPro, *def);
        reader = std::make_unique<MessageJsonReader>(*def);
    }

    // The draft described, or "error: " and the reason.
    std::string Read(const std::string& line) {
        std::string reason;
        if (!reader->Read(line, draft, reason)) return "error: " + reason;
        return Describe(draft);
    }

    std::unique_ptr<ProtocolDef> def;
    std::unique_ptr<MessageJsonReader> reader;
    MessageDraft draft;
};

struct ReadCase {
    const char* name;
    const char* line;
    const char* expected;
};

const ReadCase kAccepted[] = {
    {"CheckShapeTakesTheHexAsUnitsOverTheValue",
     R"({"message":1,"mti":"0200","bitmap":"6000000000000000","fields":[)"
     R"({"number":2,"offset":20,"type":"N","value":"4111","hex":"34313131","luhn":false},)"
     R"({"number":3,"value":"000000","hex":"303030303030"}],"verdict":"x","ok":true})",
     "mti=0200 2=u'4111' 3=u'000000'"},
    {"CheckShapeWithoutHexTakesTheValueAsShown",
     R"({"mti":"0200","fields":[{"number":52,"value":"0A1B"}]})", "mti=0200 52=s'0A1B'"},
    {"CheckShapeBitmapWithBitOneAnnouncesTheSecondaryBitmap",
     R"({"mti":"0200","bitmap":"C0000000000000000000000000000000",)"
     R"("fields":[{"number":2,"hex":"31"}]})",
     "mti=0200 secondary 2=u'1'"},
    {"CheckShapeHeaderIsHexUnits", R"({"header":"6000030000","mti":"0200","fields":[]})",
     "mti=0200 header=6000030000"},
    {"CheckShapeEmptyHexIsAnEmptyValue", R"({"mti":"0200","fields":[{"number":41,"hex":""}]})",
     "mti=0200 41=u''"},
    {"ShortFormStringsAreShownValues",
     R"({"mti":"0100","fields":{"2":"4111111111111111","52":"0102030405060708","70":"301"}})",
     "mti=0100 2=s'4111111111111111' 52=s'0102030405060708' 70=s'301'"},
    {"ShortFormObjectsAreSubfieldsNestedInTheOrderGiven",
     R"({"mti":"0200","fields":{"48":{"head":"R","01":"A","42":{"01":"x","02":"yz"}},)"
     R"("55":{"9F02":"000000001000","70":{"9A":"250101"}}}})",
     "mti=0200 48={head:s'R',01:s'A',42:{01:s'x',02:s'yz'}} "
     "55={9F02:s'000000001000',70:{9A:s'250101'}}"},
    {"ShortFormStarInATextValueIsACharacter",
     R"({"mti":"0200","fields":{"41":"AMZN*MKT","48":{"01":"A*B"}}})",
     "mti=0200 41=s'AMZN*MKT' 48={01:s'A*B'}"},
    {"EscapedKeysAndValuesAreUnescaped", R"({"m\u0074i":"0200","fields":{"41":"A\"B\\C\u00e9"}})",
     "mti=0200 41=s'A\"B\\C\xC3\xA9'"},
    {"KeysCheckPrintsBesideTheUnitsAreIgnored",
     R"({"message":7,"mti":"0200","fields":{},"verdict":"... Parsing OK ...","ok":true,)"
     R"("extra":[1,{"a":null}]})",
     "mti=0200"},
};

class MessageJsonAccepts : public MessageJson, public testing::WithParamInterface<ReadCase> {};

TEST_P(MessageJsonAccepts, IntoTheDraft) {
    EXPECT_EQ(Read(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, MessageJsonAccepts, testing::ValuesIn(kAccepted),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                             return std::string(info.param.name);
                         });

const ReadCase kRefused[] = {
    {"CutShortIsNotJson", R"({"mti":"0200","fields":{"2":"41)", "error: not JSON: "},
    {"TrailingContentIsNotJson", R"({"mti":"0200","fields":{}} {})",
     "error: not JSON: more after the message's object"},
    {"AListIsNotAMessage", R"([{"mti":"0200"}])", "error: not a JSON object"},
    {"NoMti", R"({"fields":{}})", "error: no \"mti\""},
    {"FieldsTwice", R"({"mti":"0200","fields":[{"number":3,"hex":"31"}],"fields":{"2":"4"}})",
     "error: \"fields\" given twice"},
    {"ShortFormNumberValue", R"({"mti":"0200","fields":{"2":4111}})",
     "error: field \"2\" is not a string or an object"},
    {"ShortFormSubfieldListValue", R"({"mti":"0200","fields":{"48":{"42":{"01":[]}}}})",
     "error: subfield \"48.42.01\" is not a string or an object"},
    {"ShortFormFieldOne", R"({"mti":"0200","fields":{"1":"x"}})",
     "error: \"1\" is not a field number from 2 to 128"},
    {"ShortFormMaskedCardNumber", R"({"mti":"0200","fields":{"2":"411111******1111"}})",
     "error: field 2: the value is masked"},
    {"ShortFormMaskedNumericSubfield",
     R"({"mti":"0200","fields":{"48":{"10":"555555******4444"}}})",
     "error: field 48.10: the value is masked"},
    {"ShortFormMaskedDataObject", R"({"mti":"0200","fields":{"55":{"5A":"41111111****1111"}}})",
     "error: field 55.5A: the value is masked"},
    {"CheckShapeFlaggedMasked",
     R"({"mti":"0200","fields":[{"number":2,"value":"411111******1111",)"
     R"("hex":"343131313131********31313131","masked":true}]})",
     "error: field 2: the value is masked"},
    {"CheckShapeMaskedHexUnflagged", R"({"mti":"0200","fields":[{"number":35,"hex":"34**"}]})",
     "error: field 35: the value is masked"},
    {"CheckShapeOddHex", R"({"mti":"0200","fields":[{"number":2,"hex":"343"}]})",
     "error: field 2: \"hex\" is not hexadecimal digits"},
    {"CheckShapeNoNumber", R"({"mti":"0200","fields":[{"hex":"34"}]})",
     "error: the field at position 1 of \"fields\" has no \"number\" from 2 to 128"},
    {"CheckShapeMessageThatStoppedAtAField",
     R"({"mti":"0200","bitmap":"7000000000000000","fields":[{"number":2,"hex":"31"}],)"
     R"("verdict":"Error reading or converting field n° 3","ok":false})",
     "error: field 3 is in \"bitmap\" but not in \"fields\": the message did not decode whole"},
    {"CheckShapeMessageThatCouldNotBeRead",
     R"({"message":14,"mti":"","bitmap":"00000000000000000000000000000000","fields":[],)"
     R"("verdict":"","ok":false,"error":"odd number of hexadecimal digits"})",
     "error: the message could not be read: odd number of hexadecimal digits"},
    {"SubfieldsNestedTooDeep",
     R"({"mti":"0200","fields":{"48":{"a":{"a":{"a":{"a":{"a":{"a":{"a":{"a":{"a":"x"}}}}}}}}}}})",
     "error: field 48.a.a.a.a.a.a.a.a: subfields nested deeper than 8 levels"},
};

class MessageJsonRefuses : public MessageJson, public testing::WithParamInterface<ReadCase> {};

TEST_P(MessageJsonRefuses, WithTheReason) {
    const std::string got = Read(GetParam().line);
    const std::string expected = GetParam().expected;
    if (expected == "error: not JSON: ") {
        EXPECT_EQ(got.rfind(expected, 0), 0u) << got;
    } else {
        EXPECT_EQ(got, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, MessageJsonRefuses, testing::ValuesIn(kRefused),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MessageJson, ALineReadAfterARefusedOneStartsFromAnEmptyDraft) {
    EXPECT_EQ(Read(R"({"mti":"0200","fields":{"2":"41","3":"00000x"}})"),
              "mti=0200 2=s'41' 3=s'00000x'");
    EXPECT_EQ(Read(R"({"mti":"0200","fields":{"41":"T","2":1}})").rfind("error:", 0), 0u);
    EXPECT_EQ(Read(R"({"mti":"0210","fields":{"41":"T"}})"), "mti=0210 41=s'T'");
}

}  // namespace
