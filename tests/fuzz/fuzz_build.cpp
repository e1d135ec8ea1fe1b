// The JSON Lines reader of `build` on arbitrary lines, under a text dialect with subfields and
// a binary one. A refused line says why; a line is read the same way twice with the same
// reader; what was read, written back as JSON in the shape it came in, reads into the same
// draft; and what the encoder builds from it the decoder reads whole, every flagged field and
// no unit left over.
//
// Input layout: a byte choosing the definition, then the line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "decode/decoder.h"
#include "encode/encoder.h"
#include "encode/message_draft.h"
#include "fuzz_input.h"
#include "input/message_json.h"
#include "model/pro_file.h"
#include "support/text.h"

namespace {

// Characters on the wire, a tagged field with a head and nested elements, chip data, a
// positional field, a bitmapped one behind a 6-digit length.
constexpr char kTextDefinition[] = R"(NAME= Text dialect with subfields
MTI_Enc= CHAR
BMP_Enc= HEX
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= ASCII
BIN_Enc= NONE
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount, transaction
FIELD=  35;    Z;  37; 2; N; Track 2 data
FIELD=  41;  ANS;   8; 0; N; Card acceptor terminal id
FIELD=  43;  ANS;  40; 0; Y; Card acceptor name and location
FIELD=  48;  ANS; 999; 3; Y; Additional data, private
FIELD=  52;    B;   8; 0; N; PIN data
FIELD=  55;    B; 255; 3; Y; Chip data
FIELD=  70;    N;   3; 0; N; Network management code
FIELD= 127;    B; 999; 5; Y; Private data
FIELD_OPTION= 127; LEN_UNITS; 6
STRUCTURE= 43; POSITIONAL
SUBFIELD= 43.1;  ANS;  25; 0; N; Name
SUBFIELD= 43.2;  ANS;  13; 0; N; City
SUBFIELD= 43.3;  ANS;   2; 0; N; Country code
STRUCTURE= 48; TAGGED; HEAD 1; TAG 2; LEN 2
SUBFIELD= 48.01;  ANS;  20; 0; N; Invoice number
SUBFIELD= 48.10;    N;  19; 0; N; Card number, funding
SUBFIELD= 48.42;  ANS;  99; 0; Y; Electronic commerce indicators
STRUCTURE= 48.42; TAGGED; TAG 2; LEN 2
SUBFIELD= 48.42.01;    N;   3; 0; N; Security level indicator
STRUCTURE= 55; BER_TLV
STRUCTURE= 127; BITMAP; 8
SUBFIELD= 127.2;  ANS;  32; 2; N; Switch key
SUBFIELD= 127.3;  ANS;  48; 0; N; Routing information
)";

// Packed MTI, numbers and lengths, a binary bitmap, EBCDIC text.
constexpr char kBinaryDefinition[] = R"(NAME= Binary dialect
MTI_Enc= PBCD
BMP_Enc= NONE
LEN_Enc= PBCD
NUM_Enc= PBCD
CHR_Enc= EBCDIC
BIN_Enc= NONE
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount, transaction
FIELD=  22;    N;   3; 0; N; Entry mode
FIELD=  41;  ANS;   8; 0; N; Card acceptor terminal id
FIELD=  48;  ANS; 999; 3; N; Additional data, private
FIELD=  52;    B;   8; 0; N; PIN data
FIELD=  55;    B; 255; 3; N; Chip data
FIELD= 102;  ANS;  28; 2; N; Account identification 1
)";

const ProtocolDef& Definition(int which) {
    static ProtocolDef definitions[2];
    static const bool loaded = [] {
        const char* const texts[] = {kTextDefinition, kBinaryDefinition};
        for (int i = 0; i < 2; ++i) {
            TextStream text(texts[i]);
            ProFindings findings;
            ReadProtocolStream(text.get(), definitions[i], &findings);
            FUZZ_CHECK(findings.empty());
        }
        return true;
    }();
    (void)loaded;
    return definitions[which];
}

void AppendJsonString(std::string& out, std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (u < 0x20) {
            out += "\\u00";
            out.push_back(digits[u >> 4]);
            out.push_back(digits[u & 15]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

std::string Hex(std::string_view bytes) {
    std::string hex;
    AssignHex(hex, reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<int>(bytes.size()));
    return hex;
}

// The draft in one line, each value with its form, subfields in the order given.
std::string Describe(const MessageDraft& draft, std::int32_t i) {
    const DraftNode& node = draft.Node(i);
    if (!node.structured) {
        return (node.form == ValueForm::kUnits ? "u" : "s") + Hex(draft.ValueOf(node));
    }
    std::string text = "{";
    for (std::int32_t c = node.firstChild; c != MessageDraft::kNoNode;
         c = draft.Node(c).nextSibling) {
        text += Hex(draft.IdOf(draft.Node(c))) + ":" + Describe(draft, c) + ",";
    }
    return text + "}";
}

std::string Describe(const MessageDraft& draft) {
    const auto header = draft.Header();
    std::string text = Hex(draft.Mti()) + "|" +
                       Hex({reinterpret_cast<const char*>(header.data()), header.size()}) + "|" +
                       (draft.SecondaryAnnounced() ? "2" : "1");
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (draft.FieldNode(n) != MessageDraft::kNoNode)
            text += " " + std::to_string(n) + "=" + Describe(draft, draft.FieldNode(n));
    }
    return text;
}

bool AnyUnits(const MessageDraft& draft) {
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const std::int32_t i = draft.FieldNode(n);
        if (i != MessageDraft::kNoNode && draft.Node(i).form == ValueForm::kUnits &&
            !draft.Node(i).structured) {
            return true;
        }
    }
    return false;
}

void AppendShort(std::string& out, const MessageDraft& draft, std::int32_t i) {
    const DraftNode& node = draft.Node(i);
    if (!node.structured) {
        AppendJsonString(out, draft.ValueOf(node));
        return;
    }
    out.push_back('{');
    for (std::int32_t c = node.firstChild; c != MessageDraft::kNoNode;
         c = draft.Node(c).nextSibling) {
        if (c != node.firstChild) out.push_back(',');
        AppendJsonString(out, draft.IdOf(draft.Node(c)));
        out.push_back(':');
        AppendShort(out, draft, c);
    }
    out.push_back('}');
}

// The draft as JSON: check's shape when it holds units (which the short form cannot give),
// the short form otherwise (which alone gives subfields).
std::string Written(const MessageDraft& draft) {
    std::string out = "{\"mti\":";
    AppendJsonString(out, draft.Mti());
    const auto header = draft.Header();
    if (!header.empty())
        out += ",\"header\":\"" +
               Hex({reinterpret_cast<const char*>(header.data()), header.size()}) + "\"";
    if (draft.SecondaryAnnounced()) out += ",\"bitmap\":\"80000000000000000000000000000000\"";
    const bool listed = AnyUnits(draft);
    out += listed ? ",\"fields\":[" : ",\"fields\":{";
    bool first = true;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const std::int32_t i = draft.FieldNode(n);
        if (i == MessageDraft::kNoNode) continue;
        if (!first) out.push_back(',');
        first = false;
        const DraftNode& node = draft.Node(i);
        if (listed) {
            out += "{\"number\":" + std::to_string(n);
            out += node.form == ValueForm::kUnits ? ",\"hex\":\"" + Hex(draft.ValueOf(node)) + "\"}"
                                                  : ",\"value\":";
            if (node.form == ValueForm::kShown) {
                AppendJsonString(out, draft.ValueOf(node));
                out.push_back('}');
            }
        } else {
            out += "\"" + std::to_string(n) + "\":";
            AppendShort(out, draft, i);
        }
    }
    out += listed ? "]}" : "}}";
    return out;
}

// Decodes what the encoder wrote: every flagged field, up to the last unit.
void CheckDecodesWhole(const std::vector<std::uint8_t>& units, const ProtocolDef& def) {
    if (units.size() > static_cast<std::size_t>(kMaxMessageUnits)) return;
    AutoBuff message;
    FUZZ_CHECK(LoadMessage(message, reinterpret_cast<const char*>(units.data()), units.size()));
    int fields = 0;
    int end = 0;
    AutoBuff verdict;
    MessageHeader header;
    DecodeMessage(
        message, def,
        [&](const DecodedField& field) {
            ++fields;
            end = field.offset + field.consumed;
            return true;
        },
        verdict, &header);
    int flagged = 0;
    for (int n = kFirstDataElement; n <= kLastField; ++n)
        flagged += TestBit(header.bitmap, n) ? 1 : 0;
    FUZZ_CHECK(fields == flagged);
    if (fields > 0) FUZZ_CHECK(end == static_cast<int>(units.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 16)) return 0;
    const int which = data[0] % 2;
    const ProtocolDef& def = Definition(which);
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    // Kept from run to run, as `build` keeps its reader from line to line.
    static MessageJsonReader text(Definition(0));
    static MessageJsonReader binary(Definition(1));
    MessageJsonReader* reader = which == 0 ? &text : &binary;
    MessageDraft draft;
    std::string reason;
    const bool read = reader->Read(line, draft, reason);
    FUZZ_CHECK(read || !reason.empty());
    const std::string described = read ? Describe(draft) : reason;

    std::string again;
    FUZZ_CHECK(reader->Read(line, draft, again) == read);
    FUZZ_CHECK((read ? Describe(draft) : again) == described);
    if (!read) return 0;

    const std::string written = Written(draft);
    MessageDraft reread;
    const bool rereadOk = reader->Read(written, reread, again);
    if (!rereadOk) std::fprintf(stderr, "%s\n%s\n", written.c_str(), again.c_str());
    FUZZ_CHECK(rereadOk);
    FUZZ_CHECK(Describe(reread) == described);

    draft.SetHeader({});
    std::vector<std::uint8_t> units;
    EncodeScratch scratch;
    if (EncodeMessage(draft, def, EncodeOptions{}, units, reason, scratch))
        CheckDecodesWhole(units, def);
    return 0;
}
