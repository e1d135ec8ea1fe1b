// The field rules of one protocol definition worked out once, for a caller that decodes many
// messages while the definition stays unchanged (the checker over a file): the decoder then
// takes each field's prefix, data size and conversion from here instead of deriving them
// again from the definition for every field of every message. The desktop program edits its
// definition between parses and builds no plan; a plan whose definition changed must be
// built again before it is used.
#pragma once

#include <array>
#include <cstdint>

#include "model/protocol.h"

// How the value length d is read.
enum class PrefixRule : std::uint8_t {
    kFixed,     // no prefix: the definition's size
    kRefused,   // a prefix no encoding reads: d is 0
    kByte,      // one binary unit (also for 3 to 5 units, as the reference reads them)
    kTwoBytes,  // two binary units, high first
    kPacked,    // packed BCD
    kText10,    // decimal digits, through the plan's digit table
    kText16,    // hexadecimal digits, through the plan's digit table
};

// How the data units c follow from d.
enum class SizeRule : std::uint8_t {
    kSame,       // c = d
    kPacked,     // two digits a unit
    kHexBytes,   // two digits a byte
    kBits,       // eight bit characters a byte
    kReference,  // the rarer rules: FieldDataSize decides
};

// How the data becomes the value.
enum class ConvertRule : std::uint8_t {
    kCopy,        // binary as it is
    kPacked,      // packed BCD to digits
    kHex,         // hexadecimal text to bytes
    kHexEbcdic,   // the same in EBCDIC
    kBits,        // bit text to bytes
    kBitsEbcdic,  // the same in EBCDIC
    kText,        // characters as they are
    kTextEbcdic,  // EBCDIC characters to ASCII
};

inline constexpr int kPrefixRuleCount = static_cast<int>(PrefixRule::kText16) + 1;
inline constexpr int kConvertRuleCount = static_cast<int>(ConvertRule::kTextEbcdic) + 1;
// The route of a field read under settings of its own, after every pair of classic rules.
inline constexpr int kOwnSettingsRoute = 1 + kPrefixRuleCount * kConvertRuleCount;

struct FieldPlan {
    // 0 for an undefined field, kOwnSettingsRoute for one with settings of its own, else 1 +
    // prefix rule * kConvertRuleCount + conversion rule: the decoder's routine for the field,
    // found with one load.
    std::uint8_t route = 0;
    bool defined = false;
    PrefixRule prefix = PrefixRule::kFixed;
    SizeRule size = SizeRule::kSame;
    ConvertRule convert = ConvertRule::kCopy;
    bool zeroFirst = false;  // a numeric value that may convert to fewer than d bytes
    bool bitText = false;    // the conversion reads 8 units per byte, whatever c says
    std::int16_t prefixUnits = 0;
    std::int16_t fixedSize = 0;  // d of a field without prefix
};

class DecodePlan {
  public:
    DecodePlan() noexcept = default;
    explicit DecodePlan(const ProtocolDef& def) noexcept { Build(def); }

    void Build(const ProtocolDef& def) noexcept;

    // The definition the plan was built from; the decoder ignores a plan of another one.
    const ProtocolDef* Source() const noexcept { return source; }
    const FieldPlan& Field(int n) const noexcept { return fields[static_cast<std::size_t>(n)]; }
    // Digit value of a prefix unit under the character encoding, 0xFF for none.
    std::uint8_t DigitOf(std::uint8_t unit) const noexcept { return digits[unit]; }
    // EbcdicToAscii as this processor runs it best, picked once.
    void TranslateEbcdic(int count, const std::uint8_t* from, std::uint8_t* to) const noexcept {
        translate(count, from, to);
    }

  private:
    const ProtocolDef* source = nullptr;
    void (*translate)(int, const std::uint8_t*, std::uint8_t*) noexcept = nullptr;
    std::array<FieldPlan, kFieldCount> fields{};
    std::array<std::uint8_t, 256> digits{};
};
