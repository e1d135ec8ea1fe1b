#include "content/subfield_reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include "content/card_number.h"
#include "content/tag_names.h"
#include "content/tlv.h"
#include "content/track_data.h"
#include "decode/codecs.h"
#include "decode/decoder.h"
#include "decode/field_with_settings.h"
#include "support/text.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int Nibble(const std::uint8_t* bytes, int i) noexcept {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

std::string TagHex(const TlvObject& object) {
    std::string hex;
    for (int k = object.tagSize - 1; k >= 0; --k) {
        const int byte = static_cast<int>((object.tag >> (8 * k)) & 0xFF);
        hex.push_back(kHexDigits[byte >> 4]);
        hex.push_back(kHexDigits[byte & 0x0F]);
    }
    return hex;
}

// A child's elements placed in its parent's nibbles, then in the message's.
Placement Compose(const Placement& parent, const Placement& child) noexcept {
    if (parent.width == 0) return parent;
    const int base = parent.base + child.base * parent.width / 2;
    if (child.width == 0) return {base, 0, child.span * parent.width / 2};
    return {base, child.width * parent.width / 2, 0};
}

// Where the data of a value under rules lies in the enclosing bytes: first is its first byte,
// c its units, d its characters, digits or bytes.
Placement PlaceData(const ValueRules& rules, int first, int c, int d) noexcept {
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    switch (rules.dataEnc) {
        case Encoding::PBCD: {
            const bool right = rules.own != nullptr && rules.own->padSide == PadSide::kRight;
            const int pads = 2 * c - d;
            return {2 * first + (right || pads < 0 ? 0 : pads), 1, 0};
        }
        case Encoding::HEX:
            if (rules.type == FieldType::N) return {2 * first, 0, 2 * c};
            return {2 * first, 4, 0};
        case Encoding::BIGEND:
            return {2 * first, 0, 2 * c};
        case Encoding::CHAR:
            return {2 * first, binary ? 16 : 2, 0};
        default:
            return {2 * first, 2, 0};
    }
}

// The rules of a value that takes exactly c units: its size from them, no prefix.
ValueRules Exactly(ValueRules rules, int c) noexcept {
    rules.sizeLen = 0;
    int d = c;
    switch (rules.dataEnc) {
        case Encoding::PBCD:
            d = 2 * c;
            break;
        case Encoding::HEX:
        case Encoding::BIGEND:
            if (rules.dataEnc == Encoding::HEX && rules.type != FieldType::N) {
                d = c / 2;
                break;
            }
            d = 0;
            while (d < kMaxMessageUnits && ValueDataUnits(rules, d + 1) <= c)
                ++d;
            break;
        case Encoding::CHAR:
            if (rules.type == FieldType::B || rules.type == FieldType::Z) d = c / 8;
            break;
        default:
            break;
    }
    rules.size = d;
    return rules;
}

std::string Units(int count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units");
}

// Decimal digits as a number, -1 when one is not a digit.
long DigitsValue(const std::uint8_t* text, int count) noexcept {
    long value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string Shown(const std::uint8_t* text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back(text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : '?');
    return out;
}

// Marks what masking hides of one value that holds no subfields: what its definition says it
// holds, then card numbers anywhere in it.
void MaskLeaf(const SubfieldNode* node, const std::uint8_t* data, int d, bool binary,
              ValueMask& mask) {
    const SubfieldHolds holds = node != nullptr ? node->def.holds : SubfieldHolds::kNothing;
    TrackData track;
    switch (holds) {
        case SubfieldHolds::kCardNumber:
            if (!binary && d > 0 &&
                std::all_of(data, data + d, [](std::uint8_t c) { return c >= '0' && c <= '9'; })) {
                MaskCardNumber(mask, 0, d, false);
            } else {
                mask.All();
            }
            break;
        case SubfieldHolds::kTrackData: {
            const bool fits = binary
                                  ? ParseTrack2Packed(data, d, track)
                                  : ParseTrack2Text(data, d, track) || ParseTrack1(data, d, track);
            if (fits) {
                MaskTrack(mask, track, 0);
            } else {
                mask.All();
            }
            break;
        }
        case SubfieldHolds::kSecret:
            mask.All();
            break;
        default:
            break;
    }
    MaskCardNumberRuns(data, d, binary ? ValueShown::kHex : ValueShown::kText, mask);
}

// Hands what the child's mask hides on to its parent's, through the child's placement in the
// parent's nibbles.
void CarryUp(const ValueMask& child, const Placement& rel, ValueMask& parent) noexcept {
    for (int k = 0; k < 2 * child.Bytes(); ++k) {
        if (!child.NibbleMasked(k)) continue;
        const bool whole = child.ByteMasked(k / 2);
        auto mark = [&](int i) { whole ? parent.Nibble(i) : parent.HexNibble(i); };
        if (rel.width == 0) {
            for (int i = rel.base; i < rel.base + rel.span; ++i)
                mark(i);
        } else if (rel.width == 1) {
            mark(rel.base + k / 2);
        } else {
            const int half = rel.width / 2;
            const int first = rel.base + (k / 2) * rel.width + (k % 2) * half;
            for (int i = first; i < first + half; ++i)
                mark(i);
        }
    }
}

// One value being read: its elements, where they lie, and what of them masking hides.
struct Level {
    const std::uint8_t* data = nullptr;
    int size = 0;
    bool binary = false;
    bool ebcdic = false;  // a binary value's characters (a tag, a length, a hex bitmap)
    Placement place;
    ValueMask* mask = nullptr;
    std::string path;
    int depth = 0;  // 0 for the field
};

// Where a child's data landed: its value in the level's buffer and its placement in the
// parent's nibbles.
struct ChildValue {
    int length = 0;
    bool binary = false;
    Placement rel;
};

class Walker {
  public:
    Walker(const ProtocolDef& definition, bool masking, SubfieldReading& reading)
        : def(definition), mask(masking), out(reading) {
        auto& values = out.scratch.values;
        while (values.size() < static_cast<std::size_t>(kMaxSubfieldDepth + 1))
            values.push_back(std::make_unique<AutoBuff>());
        out.scratch.masks.resize(static_cast<std::size_t>(kMaxSubfieldDepth + 1));
    }

    // False when reading stopped at a problem, which out.error then holds.
    bool Read(const SubfieldNode& node, const Level& level) {
        switch (node.structure.layout) {
            case SubfieldLayout::kPositional:
                return Positional(node, level);
            case SubfieldLayout::kTagged:
                return Tagged(node, level);
            case SubfieldLayout::kBitmap:
                return Bitmap(node, level);
            case SubfieldLayout::kBerTlv:
                return BerTlv(node, level);
            default:
                return true;
        }
    }

  private:
    bool Stop(const std::string& id, const Level& level, int at, std::string reason) {
        out.failed = true;
        out.error.id = id;
        out.error.offset = UnitOf(level, at);
        out.error.reason = std::move(reason);
        return false;
    }

    int Refuse(const std::string& id, const Level& level, int at, std::string reason) {
        Stop(id, level, at, std::move(reason));
        return -1;
    }

    // The message unit where element at of the level begins.
    static int UnitOf(const Level& level, int at) noexcept {
        if (level.place.width == 0) return level.place.base / 2;
        return (level.place.base + at * level.place.width) / 2;
    }

    bool Positional(const SubfieldNode& node, const Level& level) {
        int pos = 0;
        for (const SubfieldNode& child : node.children) {
            if (!child.defined) continue;
            const std::string id = level.path + "." + child.id;
            if (pos >= level.size && !child.def.rest) {
                return Stop(id, level, pos, "the value ends before this subfield");
            }
            const int taken = Member(child, id, level, pos);
            if (taken < 0) return false;
            pos += taken;
        }
        if (pos < level.size) {
            return Stop(level.path, level, pos,
                        Units(level.size - pos) + " after the last subfield");
        }
        return true;
    }

    bool Bitmap(const SubfieldNode& node, const Level& level) {
        const SubfieldStructure& s = node.structure;
        const int units = s.bitmapHex ? 2 * s.bitmapBytes : s.bitmapBytes;
        if (units > level.size) {
            return Stop(level.path, level, 0,
                        "a bitmap of " + Units(units) + " runs past the end: " + Units(level.size) +
                            " in the value");
        }
        std::uint8_t bits[kMaxInnerBitmapBytes] = {};
        if (!s.bitmapHex) {
            std::memcpy(bits, level.data, static_cast<std::size_t>(units));
        } else {
            std::uint8_t text[2 * kMaxInnerBitmapBytes];
            for (int i = 0; i < units; ++i) {
                text[i] = level.ebcdic ? EbcdicToAsciiTable[level.data[i]] : level.data[i];
            }
            if (DecodeHex(units, bits, reinterpret_cast<const char*>(text), s.bitmapBytes) !=
                s.bitmapBytes) {
                return Stop(level.path, level, 0,
                            "bitmap '" + Shown(text, units) + "' is not hexadecimal");
            }
        }
        int pos = units;
        for (int bit = 1; bit <= 8 * s.bitmapBytes; ++bit) {
            if ((bits[(bit - 1) / 8] & (0x80 >> ((bit - 1) % 8))) == 0) continue;
            char number[8];
            const auto end = std::to_chars(number, number + sizeof number, bit).ptr;
            const SubfieldNode* child = node.Child(std::string_view(number, end - number));
            const std::string id = level.path + "." + std::string(number, end);
            if (child == nullptr || !child->defined) {
                return Stop(id, level, pos,
                            "bit " + std::to_string(bit) +
                                " is set, and the definition declares no subfield " + id);
            }
            if (pos >= level.size)
                return Stop(id, level, pos, "the value ends before this subfield");
            const int taken = Member(*child, id, level, pos);
            if (taken < 0) return false;
            pos += taken;
        }
        if (pos < level.size) {
            return Stop(level.path, level, pos,
                        Units(level.size - pos) + " after the last flagged subfield");
        }
        return true;
    }

    bool Tagged(const SubfieldNode& node, const Level& level) {
        const SubfieldStructure& s = node.structure;
        if (s.head > level.size) {
            return Stop(level.path, level, 0,
                        "a head of " + Units(s.head) + " runs past the end: " + Units(level.size) +
                            " in the value");
        }
        const int header = s.tag.units + s.length.units;
        int pos = s.head;
        while (pos < level.size) {
            if (pos + header > level.size) {
                return Stop(level.path, level, pos,
                            "an element's tag and length take " + Units(header) + ", and " +
                                Units(level.size - pos) + " remain");
            }
            const int tagAt = pos + (s.lengthFirst ? s.length.units : 0);
            const int lengthAt = pos + (s.lengthFirst ? 0 : s.tag.units);
            std::string tag;
            if (!ReadTag(level, tagAt, s.tag, tag)) {
                return Stop(level.path, level, tagAt,
                            "tag '" + tag + "' is not " + NameOf(s.tag.encoding) + " digits");
            }
            const std::string id = level.path + "." + tag;
            const long length = ReadElementLength(level, lengthAt, s.length);
            if (length < 0) {
                return Stop(id, level, lengthAt,
                            "length '" + Shown(level.data + lengthAt, s.length.units) +
                                "' is not a number");
            }
            const int valueAt = pos + header;
            if (length > level.size - valueAt) {
                return Stop(id, level, pos,
                            "length " + std::to_string(length) +
                                " runs past the end: " + Units(level.size - valueAt) + " remain");
            }
            const SubfieldNode* child = node.Child(tag);
            if (child != nullptr && (child->id != tag || !child->defined)) child = nullptr;
            ChildValue value;
            if (!Exact(child, id, level, valueAt, static_cast<int>(length), value)) return false;
            if (!Emit(child, id, tag, level, pos, valueAt + static_cast<int>(length), value)) {
                return false;
            }
            pos = valueAt + static_cast<int>(length);
        }
        return true;
    }

    bool ReadTag(const Level& level, int at, const ElementPart& part, std::string& tag) {
        const std::uint8_t* p = level.data + at;
        const Encoding e = level.binary ? part.encoding : Encoding::CHAR;
        tag.clear();
        for (int i = 0; i < part.units; ++i) {
            if (e == Encoding::CHAR) {
                tag.push_back(static_cast<char>(level.ebcdic ? EbcdicToAsciiTable[p[i]] : p[i]));
            } else {
                tag.push_back(kHexDigits[p[i] >> 4]);
                tag.push_back(kHexDigits[p[i] & 0x0F]);
            }
        }
        if (e != Encoding::PBCD) return true;
        return tag.find_first_not_of("0123456789") == std::string::npos;
    }

    long ReadElementLength(const Level& level, int at, const ElementPart& part) {
        const std::uint8_t* p = level.data + at;
        const Encoding e = level.binary ? part.encoding : Encoding::CHAR;
        long value = 0;
        for (int i = 0; i < part.units; ++i) {
            if (e == Encoding::BIGEND) {
                value = value * 256 + p[i];
            } else if (e == Encoding::PBCD) {
                if (Nibble(p, 2 * i) > 9 || Nibble(p, 2 * i + 1) > 9) return -1;
                value = value * 100 + Nibble(p, 2 * i) * 10 + Nibble(p, 2 * i + 1);
            } else {
                const std::uint8_t c = level.ebcdic ? EbcdicToAsciiTable[p[i]] : p[i];
                if (c < '0' || c > '9') return -1;
                value = value * 10 + (c - '0');
            }
        }
        return value;
    }

    // A positional or flagged subfield at pos: the units it takes, or -1 when reading stopped.
    int Member(const SubfieldNode& child, const std::string& id, const Level& level, int pos) {
        const SubfieldDef& d = child.def;
        const int remaining = level.size - pos;
        ChildValue value;
        int taken = 0;
        if (d.rest) {
            if (!Exact(&child, id, level, pos, remaining, value)) return -1;
            taken = remaining;
        } else if (!level.binary) {
            const int s = d.sizeLen;
            long length = d.size;
            if (s > remaining) {
                return Refuse(id, level, pos,
                              "its length prefix of " + Units(s) +
                                  " runs past the end: " + Units(remaining) + " remain");
            }
            if (s > 0) {
                length = DigitsValue(level.data + pos, s);
                if (length < 0) {
                    return Refuse(
                        id, level, pos,
                        "length prefix '" + Shown(level.data + pos, s) + "' is not a number");
                }
            }
            if (length > remaining - s) {
                return Refuse(id, level, pos,
                              "takes " + Units(static_cast<int>(s + length)) + ", and " +
                                  Units(remaining) + " remain");
            }
            if (!Exact(&child, id, level, pos + s, static_cast<int>(length), value)) return -1;
            taken = s + static_cast<int>(length);
        } else {
            ValueRules rules = RulesOf(def, d.type, d.size, d.sizeLen, d.settings);
            rules.sixUnitPrefix = true;
            AutoBuff& buffer = *out.scratch.values[static_cast<std::size_t>(level.depth + 1)];
            taken = DecodeValue(rules, level.data + pos, remaining, buffer);
            if (taken < 0) return Refuse(id, level, pos, DecodeProblem(taken, rules, remaining));
            value.length = buffer.Length();
            value.binary = SubfieldValueIsBinary(d);
            value.rel = PlaceData(rules, pos + d.sizeLen, taken - d.sizeLen, value.length);
        }
        if (!Emit(&child, id, "", level, pos, pos + taken, value)) return -1;
        return taken;
    }

    static std::string DecodeProblem(int code, const ValueRules& rules, int remaining) {
        switch (code) {
            case kBadLengthPrefix:
                return std::string("its length prefix is not a length under ") +
                       NameOf(rules.lenEnc);
            case kMessageTooShort:
                return "takes more than the " + Units(remaining) + " that remain";
            case kConversionFailed:
                return std::string("its data does not convert under ") + NameOf(rules.dataEnc);
            default:
                return "cannot be read";
        }
    }

    // The value of count units of the level from at, into the next level's buffer: a slice of
    // a text value, or converted by the child's rules from a binary one (bytes for a tag the
    // definition does not know).
    bool Exact(const SubfieldNode* child, const std::string& id, const Level& level, int at,
               int count, ChildValue& value) {
        AutoBuff& buffer = *out.scratch.values[static_cast<std::size_t>(level.depth + 1)];
        // Reserve sets the room to its size exactly: only a room too small is made anew.
        if (buffer.Capacity() < count + 1 && !buffer.Reserve(count + 1, false)) {
            return Stop(id, level, at, "out of memory");
        }
        if (!level.binary || child == nullptr || count == 0) {
            std::memcpy(buffer.Data(), level.data + at, static_cast<std::size_t>(count));
            buffer.SetLength(count);
            buffer.Terminate();
            value = {count, level.binary, {2 * at, 2, 0}};
            return true;
        }
        const SubfieldDef& d = child->def;
        const ValueRules rules = Exactly(RulesOf(def, d.type, d.size, 0, d.settings), count);
        const int taken = rules.size > 0 ? DecodeValue(rules, level.data + at, count, buffer) : -1;
        if (taken < 0) return Stop(id, level, at, DecodeProblem(taken, rules, count));
        value = {buffer.Length(), SubfieldValueIsBinary(d),
                 PlaceData(rules, at, taken, buffer.Length())};
        return true;
    }

    // The row of a subfield that takes the level's elements [start, end), whose value lies in
    // the next level's buffer; then what is inside it.
    bool Emit(const SubfieldNode* child, const std::string& id, const std::string& tag,
              const Level& level, int start, int end, const ChildValue& value) {
        const int depth = level.depth + 1;
        AutoBuff& buffer = *out.scratch.values[static_cast<std::size_t>(depth)];
        ValueMask& childMask = out.scratch.masks[static_cast<std::size_t>(depth)];
        childMask.Reset(value.length);
        const std::size_t index = out.rows.size();
        SubfieldRow& row = NewRow();
        row.id = id;
        row.tag = tag;
        row.depth = depth;
        row.node = child;
        row.description = child != nullptr ? child->def.description.c_str() : "";
        row.unknown = child == nullptr;
        row.length = value.length;
        row.binary = value.binary;
        PlaceRow(level, start, end, row);
        PlaceValue(Compose(level.place, value.rel), value.length, row);
        const bool inner = child != nullptr && child->structure.layout != SubfieldLayout::kNone;
        bool read = true;
        if (inner) {
            // The value stays in this level's buffer while its children take the next one.
            Level next;
            next.data = buffer.Data();
            next.size = value.length;
            next.binary = value.binary;
            next.ebcdic = value.binary &&
                          child->def.settings.charset.value_or(def.chrEnc) == Encoding::EBCDIC;
            next.place = Compose(level.place, value.rel);
            next.mask = &childMask;
            next.path = id;
            next.depth = depth;
            read = Read(*child, next);
            // What could not be read in subfields is still searched for card numbers.
            if (mask && !read)
                MaskLeaf(nullptr, buffer.Data(), value.length, value.binary, childMask);
            Show(buffer.Data(), value, childMask, out.rows[index]);
        } else {
            if (mask) MaskLeaf(child, buffer.Data(), value.length, value.binary, childMask);
            Show(buffer.Data(), value, childMask, row);
        }
        out.rows[index].end = static_cast<int>(out.rows.size());
        CarryUp(childMask, value.rel, *level.mask);
        return read;
    }

    void Show(const std::uint8_t* data, const ChildValue& value, const ValueMask& shown,
              SubfieldRow& row) {
        MaskedHex(data, value.length, shown, row.hex);
        if (value.binary) {
            row.value = row.hex;
        } else {
            MaskedText(reinterpret_cast<const char*>(data), value.length, shown, row.value);
        }
        row.masked = shown.Any();
    }

    static void PlaceRow(const Level& level, int start, int end, SubfieldRow& row) noexcept {
        const Placement& p = level.place;
        const int first = p.width == 0 ? p.base : p.base + start * p.width;
        const int last = p.width == 0 ? p.base + p.span : p.base + end * p.width;
        row.offset = first / 2;
        row.consumed = (last + 1) / 2 - row.offset;
        if (first % 2 != 0 || last % 2 != 0) {
            row.nibbleOffset = first;
            row.nibbles = last - first;
        }
    }

    static void PlaceValue(const Placement& p, int length, SubfieldRow& row) noexcept {
        const int last = p.width == 0 ? p.base + p.span : p.base + length * p.width;
        row.valueOffset = p.base / 2;
        row.valueUnits = (last + 1) / 2 - row.valueOffset;
    }

    bool BerTlv(const SubfieldNode& node, const Level& level) {
        std::vector<std::uint8_t>& data = out.scratch.tlvBytes;
        int unitsPerByte = 1;
        if (level.binary) {
            data.assign(level.data, level.data + level.size);
        } else {
            unitsPerByte = 2;
            data.resize(static_cast<std::size_t>(level.size / 2));
            if (level.size % 2 != 0 ||
                DecodeHex(level.size, data.data(), reinterpret_cast<const char*>(level.data),
                          level.size / 2) != level.size / 2) {
                return Stop(level.path, level, 0, "not hexadecimal text");
            }
        }
        const int count = static_cast<int>(data.size());
        std::vector<TlvObject> objects(static_cast<std::size_t>(TlvRoom(count)));
        TlvFailure failure;
        const int found =
            ParseTlv(data.data(), count, objects.data(), static_cast<int>(objects.size()), failure);
        if (found < 0) {
            char reason[96];
            FormatTlvFailure(failure, reason, sizeof reason);
            return Stop(level.path, level, failure.offset * unitsPerByte,
                        std::string("not BER-TLV: ") + reason);
        }
        ValueMask& dataMask = out.scratch.tlvMask;
        dataMask.Reset(count);
        const std::size_t first = out.rows.size();
        for (int i = 0; i < found; ++i) {
            const TlvObject& object = objects[static_cast<std::size_t>(i)];
            const std::string tag = TagHex(object);
            // A data object inside a constructed one is named by the tags above it.
            std::string id = level.path;
            for (int p = i; p >= 0; p = objects[static_cast<std::size_t>(p)].parent)
                id.insert(level.path.size(), "." + TagHex(objects[static_cast<std::size_t>(p)]));
            const SubfieldNode* child = DeclaredDataObject(node, objects.data(), i);
            if (mask && !object.constructed) {
                ValueMask& own = out.scratch.objectMask;
                own.Reset(object.length);
                MaskLeaf(child, data.data() + object.valueOffset, object.length, true, own);
                CarryUp(own, {2 * object.valueOffset, 2, 0}, dataMask);
            }
            SubfieldRow& row = NewRow();
            row.id = std::move(id);
            row.tag = tag;
            row.depth = level.depth + object.depth;
            row.end = static_cast<int>(first) + object.end;
            row.node = child;
            row.description = child != nullptr && child->defined ? child->def.description.c_str()
                                                                 : TagName(object.tag);
            row.length = object.length;
            row.binary = true;
            PlaceRow(level, object.offset * unitsPerByte,
                     (object.valueOffset + object.length) * unitsPerByte, row);
            PlaceValue(Compose(level.place, {2 * object.valueOffset * unitsPerByte, 2, 0}),
                       object.length * unitsPerByte, row);
        }
        for (int i = 0; i < found; ++i) {
            const TlvObject& object = objects[static_cast<std::size_t>(i)];
            SubfieldRow& row = out.rows[first + static_cast<std::size_t>(i)];
            row.hex.clear();
            for (int k = 2 * object.valueOffset; k < 2 * (object.valueOffset + object.length);
                 ++k) {
                row.hex.push_back(dataMask.NibbleMasked(k) ? '*'
                                                           : kHexDigits[Nibble(data.data(), k)]);
                if (dataMask.NibbleMasked(k)) row.masked = true;
            }
            row.value = row.hex;
        }
        CarryUp(dataMask, {0, 2 * unitsPerByte, 0}, *level.mask);
        return true;
    }

    // A row at the end of out.rows, as a new one is, on the storage of a spare one if any.
    SubfieldRow& NewRow() {
        std::vector<SubfieldRow>& spare = out.scratch.spare;
        if (spare.empty()) return out.rows.emplace_back();
        SubfieldRow& row = out.rows.emplace_back();
        SubfieldRow& old = spare.back();
        for (auto part :
             {&SubfieldRow::id, &SubfieldRow::tag, &SubfieldRow::value, &SubfieldRow::hex}) {
            (row.*part).swap(old.*part);
            (row.*part).clear();
        }
        spare.pop_back();
        return row;
    }

    const ProtocolDef& def;
    bool mask;
    SubfieldReading& out;
};

}  // namespace

namespace {

// The child of that tag exactly: Child compares numeric ids by value, and "82" is no "082".
const SubfieldNode* ExactChild(const SubfieldNode& node, const std::string& tag) {
    const SubfieldNode* child = node.Child(tag);
    return child != nullptr && child->id == tag ? child : nullptr;
}

}  // namespace

const SubfieldNode* DeclaredDataObject(const SubfieldNode& node, const TlvObject* objects, int i) {
    const TlvObject& object = objects[i];
    const std::string tag = TagHex(object);
    if (object.parent >= 0) {
        const SubfieldNode* parent = DeclaredDataObject(node, objects, object.parent);
        if (parent != nullptr) {
            if (const SubfieldNode* child = ExactChild(*parent, tag)) return child;
        }
    }
    return ExactChild(node, tag);
}

void ForgetSubfields(SubfieldReading& out) {
    out.tried = false;
    for (SubfieldRow& row : out.rows)
        out.scratch.spare.push_back(std::move(row));
    out.rows.clear();
    out.failed = false;
}

const SubfieldNode* ReadableStructure(const ProtocolDef& def, int n) noexcept {
    const SubfieldNode* node = def.subfields.Field(n);
    if (node == nullptr) return nullptr;
    const SubfieldLayout layout = node->structure.layout;
    if (layout == SubfieldLayout::kNone || layout == SubfieldLayout::kBerTlv) return nullptr;
    return node;
}

void ReadSubfields(const ProtocolDef& def, int n, const std::uint8_t* value, int size, bool binary,
                   const Placement& place, bool mask, ValueMask& fieldMask, SubfieldReading& out) {
    ForgetSubfields(out);
    out.error.id.clear();
    out.error.offset = 0;
    out.error.reason.clear();
    const SubfieldNode* node = ReadableStructure(def, n);
    if (node == nullptr) return;
    out.tried = true;
    Level level;
    level.data = value;
    level.size = size;
    level.binary = binary;
    level.ebcdic = binary && FieldCharset(def, n) == Encoding::EBCDIC;
    level.place = place;
    level.mask = &fieldMask;
    level.path = node->id;
    Walker(def, mask, out).Read(*node, level);
}

Placement PlaceFieldValue(const ProtocolDef& def, int n, int dataStart, int dataUnits,
                          int valueLength) noexcept {
    return PlaceData(FieldRules(def, n), dataStart, dataUnits, valueLength);
}
