#include "encode/subfield_writer.h"

#include <array>
#include <charconv>
#include <span>
#include <string_view>

#include "decode/decoder.h"
#include "decode/field_with_settings.h"
#include "encode/codecs.h"
#include "encode/element_parts.h"
#include "encode/field_with_settings.h"
#include "encode/subfield_units.h"
#include "encode/tlv_parts.h"
#include "encode/value_reasons.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
const FieldSettings kNoSettings{};

// The field, the levels a definition nests, and data objects nested inside the deepest.
constexpr int kMaxPathIds = 2 + kMaxSubfieldDepth + kTlvMaxDepth;

// Buffers of each level below the field: a structured subfield's value as written, a value
// converted from the form it was given in, and a text value's data objects before they are
// written as hex.
enum BufferRole { kWritten, kConverted, kDataObjects, kRoles };
constexpr int kLevels = kMaxSubfieldDepth + 2;

using Bytes = std::span<const std::uint8_t>;

// One value being written: its units are characters, or bytes when binary.
struct Level {
    bool binary = false;
    bool ebcdic = false;  // a binary value's characters (tags, lengths, a hex bitmap)
    int depth = 0;        // 0 for the field
};

// Where the length of a positional or flagged subfield, or of an element's value, comes from.
// It settles how many digits a number held in binary has when it is given as its digits.
enum class Sizing { kFixed, kPrefixed, kExact };

// A text value's subfields are characters whatever their type: checked as the characters of
// that type, with lengths in decimal characters.
ValueRules TextRules(FieldType type, int size, int sizeLen) noexcept {
    ValueRules rules;
    rules.type = type == FieldType::B || type == FieldType::Z ? FieldType::ANS : type;
    rules.size = size;
    rules.sizeLen = sizeLen;
    rules.own = &kNoSettings;
    rules.lenEnc = Encoding::CHAR;
    rules.dataEnc = rules.type == FieldType::N ? Encoding::CHAR : Encoding::ASCII;
    rules.charset = Encoding::ASCII;
    rules.emptyAllowed = true;
    rules.sixUnitPrefix = true;
    return rules;
}

Bytes BytesOf(std::string_view text) noexcept {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The child of that id that the reader takes for it: same id exactly, and defined.
const SubfieldNode* KnownChild(const SubfieldNode* node, std::string_view id) noexcept {
    if (node == nullptr) return nullptr;
    const SubfieldNode* child = node->Child(id);
    return child != nullptr && child->defined && child->id == id ? child : nullptr;
}

class Writer {
  public:
    Writer(const ProtocolDef& definition, const MessageDraft& message,
           const EncodeOptions& encodeOptions, std::string& failure, EncodeScratch& scratch, int n)
        : def(definition),
          draft(message),
          options(encodeOptions),
          error(failure),
          levels(scratch.levels) {
        if (levels.size() < static_cast<std::size_t>(kLevels * kRoles))
            levels.resize(static_cast<std::size_t>(kLevels * kRoles));
        const auto end = std::to_chars(fieldId, fieldId + sizeof fieldId, n).ptr;
        ids[0] = std::string_view(fieldId, static_cast<std::size_t>(end - fieldId));
    }

    bool Field(int n, std::int32_t at, std::vector<std::uint8_t>& value) {
        const SubfieldNode* top = def.subfields.Field(n);
        SubfieldLayout layout = top != nullptr ? top->structure.layout : SubfieldLayout::kNone;
        // As the checker reads them without a structure line: field 55, and binary fields that
        // carry the subfield flag.
        if (layout == SubfieldLayout::kNone &&
            (n == 55 || (def.fields[n].subfield && ValueIsBinary(def, n)))) {
            layout = SubfieldLayout::kBerTlv;
        }
        if (layout == SubfieldLayout::kNone) {
            return Fail("given as subfields, and the definition declares no structure for it");
        }
        if (at < 0 || !draft.Node(at).structured) return Fail("not given as subfields");
        Level level;
        level.binary = ValueIsBinary(def, n);
        level.ebcdic = level.binary && FieldCharset(def, n) == Encoding::EBCDIC;
        return Write(top, layout, at, level, value) && Bounded(value);
    }

  private:
    // Names one more level of the path while it is written.
    class Step {
      public:
        Step(Writer& writer, std::string_view id) noexcept : w(writer) {
            if (w.depth < kMaxPathIds) w.ids[static_cast<std::size_t>(w.depth)] = id;
            ++w.depth;
        }
        ~Step() { --w.depth; }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        void Rename(std::string_view id) noexcept {
            if (w.depth <= kMaxPathIds) w.ids[static_cast<std::size_t>(w.depth - 1)] = id;
        }

      private:
        Writer& w;
    };

    bool Fail(const std::string& reason) {
        error = "field ";
        for (int i = 0; i < depth && i < kMaxPathIds; ++i) {
            if (i > 0) error += '.';
            error += ids[static_cast<std::size_t>(i)];
        }
        error += ": " + reason;
        return false;
    }

    std::vector<std::uint8_t>& Buffer(int levelDepth, BufferRole role) {
        return levels[static_cast<std::size_t>(levelDepth * kRoles + role)];
    }

    bool Bounded(const std::vector<std::uint8_t>& written) {
        if (written.size() <= static_cast<std::size_t>(kMaxMessageUnits)) return true;
        return Fail(std::to_string(written.size()) + " units, more than a message holds (" +
                    std::to_string(kMaxMessageUnits) + ")");
    }

    bool Write(const SubfieldNode* node, SubfieldLayout layout, std::int32_t at, const Level& level,
               std::vector<std::uint8_t>& out) {
        switch (layout) {
            case SubfieldLayout::kPositional:
                return Positional(*node, at, level, out);
            case SubfieldLayout::kTagged:
                return Tagged(*node, at, level, out);
            case SubfieldLayout::kBitmap:
                return Bitmap(*node, at, level, out);
            case SubfieldLayout::kBerTlv:
                return BerTlv(node, at, level, out);
            default:
                return Fail("the definition declares no structure for it");
        }
    }

    // Positional and bitmapped values: every subfield given is one the definition declares,
    // given once (and, in a bitmap of bits, one of its bits).
    bool EachGivenIsDeclared(const SubfieldNode& node, std::int32_t at, int bits) {
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            const std::string_view id = draft.IdOf(draft.Node(c));
            Step step(*this, id);
            const SubfieldNode* child = node.Child(id);
            if (child == nullptr || !child->defined) {
                return Fail("the definition declares no such subfield");
            }
            step.Rename(child->id);
            const int number = IdNumber(child->id);
            if (bits > 0 && (number < 1 || number > bits)) {
                return Fail("is not a bit of the " + std::to_string(bits) + "-bit bitmap");
            }
            for (std::int32_t e = draft.Node(at).firstChild; e != c;
                 e = draft.Node(e).nextSibling) {
                if (node.Child(draft.IdOf(draft.Node(e))) == child) return Fail("given twice");
            }
        }
        return true;
    }

    std::int32_t Given(const SubfieldNode& node, const SubfieldNode& child, std::int32_t at) {
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            if (node.Child(draft.IdOf(draft.Node(c))) == &child) return c;
        }
        return MessageDraft::kNoNode;
    }

    bool Positional(const SubfieldNode& node, std::int32_t at, const Level& level,
                    std::vector<std::uint8_t>& out) {
        if (!EachGivenIsDeclared(node, at, 0)) return false;
        const SubfieldNode* rest = nullptr;
        for (const SubfieldNode& child : node.children) {
            if (!child.defined) continue;
            Step step(*this, child.id);
            // The reader gives the rest of the value to that subfield, and finds none for this.
            if (rest != nullptr) {
                return Fail("follows subfield " + rest->id + ", which takes the rest of the value");
            }
            const std::int32_t given = Given(node, child, at);
            if (given < 0 && !child.def.rest) {
                return Fail(
                    "not given, and only one that takes the rest of the value may be left out");
            }
            if (!Member(child, given, level, out)) return false;
            if (child.def.rest) rest = &child;
        }
        return true;
    }

    bool Bitmap(const SubfieldNode& node, std::int32_t at, const Level& level,
                std::vector<std::uint8_t>& out) {
        const SubfieldStructure& s = node.structure;
        const int bits = 8 * s.bitmapBytes;
        if (!EachGivenIsDeclared(node, at, bits)) return false;
        std::uint8_t map[kMaxInnerBitmapBytes] = {};
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            const int bit = IdNumber(node.Child(draft.IdOf(draft.Node(c)))->id);
            map[(bit - 1) / 8] |= static_cast<std::uint8_t>(0x80 >> ((bit - 1) % 8));
        }
        for (int i = 0; i < s.bitmapBytes; ++i) {
            if (!s.bitmapHex) {
                out.push_back(map[i]);
                continue;
            }
            for (const int nibble : {map[i] >> 4, map[i] & 0x0F}) {
                const auto digit = static_cast<std::uint8_t>(kHexDigits[nibble]);
                out.push_back(level.binary && level.ebcdic ? AsciiToEbcdicTable[digit] : digit);
            }
        }
        const SubfieldNode* rest = nullptr;
        for (const SubfieldNode& child : node.children) {
            const int bit = IdNumber(child.id);
            if (!child.defined || bit < 1 || bit > bits) continue;
            if ((map[(bit - 1) / 8] & (0x80 >> ((bit - 1) % 8))) == 0) continue;
            Step step(*this, child.id);
            if (rest != nullptr) {
                return Fail("follows subfield " + rest->id + ", which takes the rest of the value");
            }
            const std::size_t before = out.size();
            if (!Member(child, Given(node, child, at), level, out)) return false;
            if (!child.def.rest) continue;
            // The reader stops at a flagged subfield where the value has ended.
            if (out.size() == before) {
                return Fail(
                    "empty, and a flagged subfield that takes the rest of the value "
                    "needs at least one unit");
            }
            rest = &child;
        }
        return true;
    }

    // A positional or flagged subfield: fixed, behind its length prefix, or the rest.
    bool Member(const SubfieldNode& child, std::int32_t given, const Level& level,
                std::vector<std::uint8_t>& out) {
        const SubfieldDef& d = child.def;
        Bytes value;
        if (d.rest) {
            ValueRules rules = RulesOf(def, d.type, d.size, 0, d.settings);
            return ChildValue(&child, given, level, Sizing::kExact, &rules, value) &&
                   Exact(&child, value, level, out);
        }
        const Sizing sizing = d.sizeLen > 0 ? Sizing::kPrefixed : Sizing::kFixed;
        if (!level.binary) {
            return ChildValue(&child, given, level, sizing, nullptr, value) &&
                   Encode(TextRules(d.type, d.size, d.sizeLen), value, options.padNumbers, out);
        }
        ValueRules rules = RulesOf(def, d.type, d.size, d.sizeLen, d.settings);
        rules.sixUnitPrefix = true;
        return ChildValue(&child, given, level, sizing, &rules, value) &&
               Encode(rules, value, options.padNumbers, out);
    }

    bool Encode(const ValueRules& rules, Bytes value, bool padNumbers,
                std::vector<std::uint8_t>& out) {
        std::string reason;
        if (EncodeValue(rules, value, padNumbers, out, reason)) return true;
        return Fail(reason);
    }

    // A value that takes exactly the units it is written in, as an element's value and the
    // rest of a positional value do: the reader works its length out from those units.
    bool Exact(const SubfieldNode* child, Bytes value, const Level& level,
               std::vector<std::uint8_t>& out) {
        if (value.empty()) return true;
        const int length = static_cast<int>(value.size());
        if (child == nullptr) {
            out.insert(out.end(), value.begin(), value.end());
            return true;
        }
        const SubfieldDef& d = child->def;
        if (!level.binary) return Encode(TextRules(d.type, length, 0), value, false, out);
        ValueRules rules = RulesOf(def, d.type, length, 0, d.settings);
        const std::size_t before = out.size();
        if (!Encode(rules, value, false, out)) return false;
        const int units = static_cast<int>(out.size() - before);
        const int back = ExactValueLength(rules, units);
        if (back == length) return true;
        out.resize(before);
        const bool binary = SubfieldValueIsBinary(d);
        return Fail(CountOf(length, d.type, binary) + " take " + std::to_string(units) +
                    (units == 1 ? " unit" : " units") + " under " + NameOf(rules.dataEnc) +
                    ", which read back as " + CountOf(back, d.type, binary));
    }

    // The decoded value of a subfield (empty when not given): written from its own subfields,
    // taken as given, or converted from the form it is shown in. held: the subfield's rules
    // inside a binary value, which say whether it is a number held in binary.
    bool ChildValue(const SubfieldNode* child, std::int32_t given, const Level& level,
                    Sizing sizing, const ValueRules* held, Bytes& value) {
        value = {};
        if (given < 0) return true;
        const DraftNode& node = draft.Node(given);
        if (node.structured) {
            if (child == nullptr || child->structure.layout == SubfieldLayout::kNone) {
                return Fail("given as subfields, and the definition declares no structure for it");
            }
            Level inner;
            inner.depth = level.depth + 1;
            if (inner.depth > kMaxSubfieldDepth) {
                return Fail("nested deeper than " + std::to_string(kMaxSubfieldDepth) + " levels");
            }
            inner.binary = level.binary && SubfieldValueIsBinary(child->def);
            inner.ebcdic = inner.binary &&
                           child->def.settings.charset.value_or(def.chrEnc) == Encoding::EBCDIC;
            std::vector<std::uint8_t>& written = Buffer(inner.depth, kWritten);
            written.clear();
            if (!Write(child, child->structure.layout, given, inner, written) ||
                !Bounded(written)) {
                return false;
            }
            value = written;
            return true;
        }
        const std::string_view text = draft.ValueOf(node);
        value = BytesOf(text);
        if (node.form == ValueForm::kUnits) return true;
        std::vector<std::uint8_t>& converted = Buffer(level.depth + 1, kConverted);
        std::string reason;
        const bool binary = level.binary && (child == nullptr || SubfieldValueIsBinary(child->def));
        const FieldType type = child != nullptr ? child->def.type : FieldType::ANS;
        const SubfieldHolds holds = child != nullptr ? child->def.holds : SubfieldHolds::kNothing;
        if (ShownMasked(text, binary, type, holds)) {
            return Fail("the value is masked (" + std::string(text) + ")");
        }
        if (binary) {
            if (!BytesOfHex(text, converted, reason)) return Fail(reason);
            value = converted;
            return true;
        }
        if (!level.binary || held == nullptr || !HeldInBinary(*held)) return true;
        const int digits = static_cast<int>(text.size());
        const int d = sizing == Sizing::kFixed ? held->size
                      : sizing == Sizing::kPrefixed
                          ? digits
                          : ExactValueLength(*held, ValueDataUnits(*held, digits));
        if (!HeldNumberOfDigits(text, *held, d, converted, reason)) return Fail(reason);
        value = converted;
        return true;
    }

    bool Tagged(const SubfieldNode& node, std::int32_t at, const Level& level,
                std::vector<std::uint8_t>& out) {
        const SubfieldStructure& s = node.structure;
        if (s.head > 0 && !Head(s.head, at, level, out)) return false;
        const ElementValue parts{level.binary, level.ebcdic};
        const std::size_t header = s.tag.units + s.length.units;
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            const std::string_view id = draft.IdOf(draft.Node(c));
            if (s.head > 0 && id == kHead) continue;
            Step step(*this, id);
            std::uint8_t tag[kMaxTagUnits];
            ReadTag read;
            std::string reason;
            if (!WriteElementTag(id, s.tag, parts, tag, read, reason)) return Fail(reason);
            step.Rename(read.View());
            const SubfieldNode* child = KnownChild(&node, read.View());
            ValueRules rules;
            if (child != nullptr)
                rules = RulesOf(def, child->def.type, child->def.size, 0, child->def.settings);
            Bytes value;
            if (!ChildValue(child, c, level, Sizing::kExact,
                            child != nullptr && level.binary ? &rules : nullptr, value) ||
                !WithinSize(child, rules, value, level)) {
                return false;
            }
            const std::size_t start = out.size();
            out.resize(start + header);
            if (!Exact(child, value, level, out)) return false;
            std::uint8_t length[kMaxElementLengthUnits];
            if (!WriteElementLength(static_cast<long long>(out.size() - start - header), s.length,
                                    parts, length, reason)) {
                return Fail(reason);
            }
            std::uint8_t* first = out.data() + start;
            std::copy_n(s.lengthFirst ? length : tag, s.lengthFirst ? s.length.units : s.tag.units,
                        first);
            std::copy_n(s.lengthFirst ? tag : length, s.lengthFirst ? s.tag.units : s.length.units,
                        first + (s.lengthFirst ? s.length.units : s.tag.units));
        }
        return true;
    }

    // An element's value against the size its definition gives: the reader takes any length
    // from the element, and the definition bounds it.
    bool WithinSize(const SubfieldNode* child, const ValueRules& rules, Bytes value,
                    const Level& level) {
        if (child == nullptr) return true;
        const SubfieldDef& d = child->def;
        const int length = static_cast<int>(value.size());
        if (level.binary && HeldInBinary(rules)) {
            const int units = ValueDataUnits(rules, length);
            const int most = ValueDataUnits(rules, d.size);
            if (units <= most) return true;
            return Fail("a number of " + std::to_string(units) + " units under " +
                        NameOf(rules.dataEnc) + ", at most " + std::to_string(most) + " for " +
                        CountOf(d.size, d.type, false));
        }
        if (length <= d.size) return true;
        return Fail(CountOf(length, d.type, level.binary && SubfieldValueIsBinary(d)) +
                    ", at most " + std::to_string(d.size));
    }

    // The fixed head before the first element, given under the id "head".
    bool Head(int units, std::int32_t at, const Level& level, std::vector<std::uint8_t>& out) {
        Step step(*this, kHead);
        std::int32_t given = MessageDraft::kNoNode;
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            if (draft.IdOf(draft.Node(c)) != kHead) continue;
            if (given >= 0) return Fail("given twice");
            given = c;
        }
        if (given < 0) {
            return Fail("not given: the structure begins with a head of " + std::to_string(units) +
                        (units == 1 ? " unit" : " units"));
        }
        const DraftNode& node = draft.Node(given);
        if (node.structured) return Fail("a head is one value, not subfields");
        Bytes value = BytesOf(draft.ValueOf(node));
        if (node.form == ValueForm::kShown && level.binary) {
            std::vector<std::uint8_t>& converted = Buffer(level.depth + 1, kConverted);
            std::string reason;
            if (!BytesOfHex(draft.ValueOf(node), converted, reason)) return Fail(reason);
            value = converted;
        }
        if (static_cast<int>(value.size()) != units) {
            return Fail(CountOf(static_cast<int>(value.size()), FieldType::ANS, level.binary) +
                        ", fixed at " + std::to_string(units));
        }
        out.insert(out.end(), value.begin(), value.end());
        return true;
    }

    bool BerTlv(const SubfieldNode* node, std::int32_t at, const Level& level,
                std::vector<std::uint8_t>& out) {
        if (draft.Node(at).firstChild < 0) {
            return Fail("no data object given, and BER-TLV data holds at least one");
        }
        std::vector<std::uint8_t>& bytes = level.binary ? out : Buffer(level.depth, kDataObjects);
        if (!level.binary) bytes.clear();
        if (!DataObjects(node, node, at, 1, level, bytes)) return false;
        if (level.binary) return true;
        // A text value holds them as hex text.
        for (const std::uint8_t byte : bytes) {
            out.push_back(static_cast<std::uint8_t>(kHexDigits[byte >> 4]));
            out.push_back(static_cast<std::uint8_t>(kHexDigits[byte & 0x0F]));
        }
        return true;
    }

    // The data objects under at, at BER-TLV depth tlvDepth (1 at the top). A data object's
    // definition is looked for under its constructed parent's, then under the top's, where the
    // reader looks.
    bool DataObjects(const SubfieldNode* top, const SubfieldNode* parent, std::int32_t at,
                     int tlvDepth, const Level& level, std::vector<std::uint8_t>& bytes) {
        for (std::int32_t c = draft.Node(at).firstChild; c >= 0; c = draft.Node(c).nextSibling) {
            const DraftNode& node = draft.Node(c);
            Step step(*this, draft.IdOf(node));
            TlvTag tag;
            std::string reason;
            if (!TlvTagOf(draft.IdOf(node), tag, reason)) return Fail(reason);
            step.Rename(tag.Hex());
            const SubfieldNode* known = KnownChild(parent, tag.Hex());
            if (known == nullptr && parent != top) known = KnownChild(top, tag.Hex());
            const bool constructed = IsConstructedTag(tag.value, tag.size);
            bytes.insert(bytes.end(), tag.bytes, tag.bytes + tag.size);
            const std::size_t valueAt = bytes.size();
            if (node.structured) {
                if (!constructed) return Fail("a primitive data object holds no data objects");
                if (node.firstChild >= 0 && tlvDepth == kTlvMaxDepth) {
                    return Fail("data objects nested deeper than " + std::to_string(kTlvMaxDepth) +
                                " levels");
                }
                if (!DataObjects(top, known, c, tlvDepth + 1, level, bytes)) return false;
            } else {
                Bytes value = BytesOf(draft.ValueOf(node));
                if (node.form == ValueForm::kShown &&
                    ShownMasked(draft.ValueOf(node), true, FieldType::B, SubfieldHolds::kNothing)) {
                    return Fail("the value is masked (" + std::string(draft.ValueOf(node)) + ")");
                }
                if (node.form == ValueForm::kShown) {
                    std::vector<std::uint8_t>& converted = Buffer(level.depth + 1, kConverted);
                    if (!BytesOfHex(draft.ValueOf(node), converted, reason)) return Fail(reason);
                    value = converted;
                }
                if (constructed && !value.empty() &&
                    !ReadsAsDataObjects(value.data(), static_cast<int>(value.size()), tlvDepth + 1,
                                        reason)) {
                    return Fail("a constructed data object, and its value is no data objects: " +
                                reason);
                }
                bytes.insert(bytes.end(), value.begin(), value.end());
            }
            const std::size_t length = bytes.size() - valueAt;
            if (known != nullptr && !FitsDataObject(known->def, length)) return false;
            if (length > static_cast<std::size_t>(kMaxMessageUnits)) {
                return Fail(std::to_string(length) + " bytes, more than a message holds");
            }
            std::uint8_t form[kTlvMaxLengthForm];
            const int formSize = WriteTlvLength(static_cast<std::uint32_t>(length), form);
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(valueAt), form,
                         form + formSize);
        }
        return true;
    }

    // A data object the definition declares holds at most the bytes its size takes under its
    // own encodings (an amount of N 12 in packed digits: 6).
    bool FitsDataObject(const SubfieldDef& d, std::size_t length) {
        const ValueRules rules = RulesOf(def, d.type, d.size, 0, d.settings);
        const int most = ValueDataUnits(rules, d.size);
        if (length <= static_cast<std::size_t>(most)) return true;
        return Fail(CountOf(static_cast<int>(length), FieldType::B, true) + ", at most " +
                    std::to_string(most) + (most < 0x80 ? " in one short length" : ""));
    }

    static constexpr std::string_view kHead = "head";

    const ProtocolDef& def;
    const MessageDraft& draft;
    const EncodeOptions& options;
    std::string& error;
    std::vector<std::vector<std::uint8_t>>& levels;
    char fieldId[4] = {};
    std::array<std::string_view, kMaxPathIds> ids{};
    int depth = 1;  // ids in the path, the field's first
};

}  // namespace

bool WriteSubfields(const ProtocolDef& def, int n, const MessageDraft& draft, std::int32_t node,
                    const EncodeOptions& options, std::vector<std::uint8_t>& value,
                    std::string& error, EncodeScratch& scratch) {
    value.clear();
    if (n < kFirstDataElement || n > kLastField || def.fields[n].type == FieldType::U) {
        error = "field " + std::to_string(n) + " is not defined";
        return false;
    }
    return Writer(def, draft, options, error, scratch, n).Field(n, node, value);
}
