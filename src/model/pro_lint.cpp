#include "model/pro_lint.h"

#include <cctype>
#include <cstring>

#include "model/pro_tokens.h"
#include "support/text.h"

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// The largest length a prefix of s units counts under e (LEN_WHOLE, LEN_LEFT as said).
long PrefixMost(Encoding e, int s, bool whole, bool leftAligned) noexcept {
    long most = 1;
    switch (e) {
        case Encoding::CHAR:
            for (int i = 0; i < s; ++i)
                most *= 10;
            return most - 1;
        case Encoding::HEX:
            return s >= 4 ? 65535 : (1L << (4 * s)) - 1;
        case Encoding::PBCD:
            // Left-aligned, the last nibble is the pad: one digit fewer.
            for (int i = 0; i < 2 * s - (leftAligned ? 1 : 0); ++i)
                most *= 10;
            return most - 1;
        default:
            if (whole && s >= 1 && s <= 4) return (1L << (8 * s)) - 1;
            return s == 2 ? 65535 : 255;
    }
}

}  // namespace

std::string WhyMsgRefused(const char* value) {
    std::string copy(value);
    CollapseBlanks(copy.data());
    copy.resize(std::strlen(copy.c_str()));
    char* cursor = copy.data();
    char* token = pro_tokens::NextToken(cursor, ';');
    if (token == nullptr) return "MSG without an MTI";
    const std::string mti = TrimSpaces(token);
    if (mti.size() != 4) {
        return "MSG: MTI " + Quoted(mti) + " has " + std::to_string(mti.size()) +
               " characters, not 4";
    }
    for (const char* which : {"mandatory", "optional"}) {
        token = pro_tokens::NextToken(cursor, ';');
        if (token == nullptr) return "message " + mti + ": no " + which + " mask";
        const std::string mask = TrimSpaces(token);
        for (std::size_t i = 0; i < 32; ++i) {
            if (i >= mask.size()) {
                return "message " + mti + ": " + which + " mask has " +
                       std::to_string(mask.size()) + " digits, not 32";
            }
            if (!std::isxdigit(static_cast<unsigned char>(mask[i]))) {
                return "message " + mti + ": " + which + " mask is not hexadecimal";
            }
        }
    }
    token = pro_tokens::NextToken(cursor, ';');
    if (token != nullptr && std::strlen(TrimSpaces(token)) > static_cast<std::size_t>(kTextMax)) {
        return "title cut";
    }
    return {};
}

std::string PrefixRoomFinding(const ProtocolDef& def, int n) {
    const FldDef& field = def.fields[n];
    const int s = field.sizeLen;
    if (field.type == FieldType::U || s < 1 || s > kMaxPrefixUnits) return {};
    const Encoding e = LengthEncoding(def, n);
    const FieldSettings& own = def.settings[n];
    // A whole number of more than 4 bytes is refused outright, which the settings' check says.
    if (own.prefixNumber && s > 4) return {};
    long most = PrefixMost(e, s, own.prefixNumber, own.prefixLeftAligned);
    // Counting nibbles of binary data, a prefix reaches half as many bytes; packed digits are
    // nibbles already.
    if (own.prefixNibbles && def.DataEncoding(n) != Encoding::PBCD) most /= 2;
    if (field.size <= most) return {};
    return "field " + std::to_string(n) + ": a prefix of " + std::to_string(s) + " unit" +
           (s == 1 ? "" : "s") + " under " + NameOf(e) + " counts at most " + std::to_string(most) +
           ", below the size " + std::to_string(field.size);
}

std::vector<std::string> MaskFindings(const ProtocolDef& def, const MsgDef& msg) {
    std::vector<std::string> findings;
    const std::string lead = std::string("message ") + msg.mti + ": ";
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const bool mandatory = TestBit(msg.mandatory, n);
        const bool optional = TestBit(msg.optional, n);
        if ((mandatory || optional) && def.fields[n].type == FieldType::U) {
            findings.push_back(lead + (mandatory ? "mandatory" : "optional") + " field " +
                               std::to_string(n) + " is not defined");
        }
        if (mandatory && optional) {
            findings.push_back(lead + "field " + std::to_string(n) +
                               " is both mandatory and optional");
        }
    }
    return findings;
}
