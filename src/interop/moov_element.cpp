#include "interop/moov_element.h"

#include <algorithm>

#include "interop/stored_text.h"

namespace moov {

namespace {

constexpr int kBitmapBits = 8;  // bits of a byte of a bitmap

// A field writes its data's characters and its prefix's in one set.
bool CharsetsDisagree(const Value& v) noexcept {
    return v.charset && v.prefix.charset && *v.charset != *v.prefix.charset;
}

bool IsTextType(FieldType t) noexcept {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

// Whether the value's units count as moov counts the value: a tagged element's length counts
// bytes, and moov's counts the digits of packed numbers and the bytes of hexadecimal text.
bool LengthCountsUnits(const Value& v) noexcept {
    if (v.type == FieldType::N) return v.data == Encoding::CHAR;
    if (v.type == FieldType::B) return v.data == Encoding::NONE;
    return true;
}

bool IsPathId(const std::string& id) noexcept {
    if (id.empty()) return false;
    return std::all_of(id.begin(), id.end(),
                       [](char c) { return c > ' ' && c < 0x7F && c != '.' && c != ';'; });
}

bool IsHex(const std::string& text) noexcept {
    return !text.empty() && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

bool IsUpperHex(const std::string& text) noexcept {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
}

// A name from the file as a note shows it: on one line, and not at any length.
std::string Shown(const std::string& text) {
    constexpr std::size_t kShown = 40;
    std::string shown = text.substr(0, kShown);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = '?';
    }
    return text.size() > kShown ? shown + "..." : shown;
}

class ElementReader {
  public:
    explicit ElementReader(Notes& out) : notes(out) {}

    // One element of the moov field list: a field (depth 0) or a member of a composite.
    std::optional<Value> Element(const Json& node, int field, const std::string& path, int depth,
                                 bool dataObject) {
        const std::string where = depth == 0 ? "" : "subfield " + path + ": ";
        if (!node.is_object()) return Fail(field, where + "not an object");
        const std::string type = StringAt(node, "type");
        const std::optional<long> length = IntegerAt(node, "length", kMostSize);
        if (length && *length < 0) {
            return Fail(field, where + "its length is not a whole number from 1 to " +
                                   std::to_string(kMostSize));
        }
        if (!dataObject && length.value_or(0) < 1) {
            return Fail(field, where + "it has no length from 1 to " + std::to_string(kMostSize));
        }
        Value v;
        v.size = static_cast<int>(length.value_or(0));
        v.description = StoredDescription(StringAt(node, "description"));
        const std::string prefixName = StringAt(node, "prefix");
        MoovPrefix prefix;
        if (!ReadMoovPrefix(prefixName, prefix)) {
            return Fail(field, where + "prefix " + Quoted(prefixName) + " is not a moov prefix");
        }
        if (dataObject != (prefix.kind == MoovPrefixKind::kBerTlv)) {
            return Fail(field, where + (dataObject ? "a data object's length is BerTLV, not " +
                                                         Quoted(prefixName)
                                                   : std::string("BerTLV is the length of a data "
                                                                 "object, not of this value")));
        }
        if (!ModelPrefixOf(prefix, v.prefix) && !dataObject) {
            return Fail(field,
                        where + "prefix " + Quoted(prefixName) +
                            " is longer than the 6 hexadecimal digits a length prefix holds");
        }
        if (type == "Composite") return Composite(node, field, path, depth, std::move(v));
        return Primitive(node, field, where, type, std::move(v));
    }

  private:
    std::nullopt_t Fail(int field, std::string text) {
        notes.Add(field, std::move(text));
        return std::nullopt;
    }

    std::optional<Value> Primitive(const Json& node, int field, const std::string& where,
                                   const std::string& type, Value v) {
        const bool text =
            type == "String" || type == "Track1" || type == "Track2" || type == "Track3";
        const bool numeric = type == "Numeric";
        const bool binary = type == "Binary" || type == "Hex";
        if (type == "Bitmap") {
            return Fail(field, where + "a Bitmap is the bitmap of the message or of a composite");
        }
        if (!text && !numeric && !binary) {
            return Fail(field, where + "type " + Quoted(type) + " is not a moov field type");
        }
        const std::string enc = StringAt(node, "enc");
        MoovEncoding e{};
        if (!ReadMoovEncoding(enc, e)) {
            return Fail(field, where + "encoding " + Quoted(enc) + " is not a moov encoding");
        }
        const std::string refused =
            where + "a " + type + " value in " + enc + " is not one a definition reads";
        switch (e) {
            case MoovEncoding::kAscii:
            case MoovEncoding::kEbcdic:
                if (binary) {
                    if (e == MoovEncoding::kEbcdic) return Fail(field, refused);
                    // The ASCII encoder copies bytes as they are.
                    v.type = FieldType::B;
                    v.data = Encoding::NONE;
                    break;
                }
                v.type = numeric ? FieldType::N : FieldType::ANS;
                v.data = Encoding::CHAR;
                v.charset = e == MoovEncoding::kAscii ? Encoding::ASCII : Encoding::EBCDIC;
                break;
            case MoovEncoding::kBcd:
            case MoovEncoding::kLbcd:
                if (binary) return Fail(field, refused);
                v.type = FieldType::N;
                v.data = Encoding::PBCD;
                v.padRight = e == MoovEncoding::kLbcd;
                break;
            case MoovEncoding::kBinary:
                // Digits sent as bytes are their ASCII characters.
                v.type = numeric ? FieldType::N : FieldType::B;
                v.data = numeric ? Encoding::CHAR : Encoding::NONE;
                if (numeric) v.charset = Encoding::ASCII;
                break;
            case MoovEncoding::kHexToAscii:
                if (numeric) return Fail(field, refused);
                v.type = FieldType::B;
                v.data = Encoding::HEX;
                v.charset = Encoding::ASCII;
                break;
            case MoovEncoding::kAsciiToHex:
                if (binary) return Fail(field, refused);
                v.type = FieldType::B;
                v.data = Encoding::NONE;
                notes.Add(field,
                          where +
                              "moov reads ASCIIToHex data as bytes, its length counting bytes, "
                              "but writes the length in hexadecimal characters; read as bytes");
                break;
            default:
                return Fail(field, refused);
        }
        if (CharsetsDisagree(v)) {
            return Fail(field, where + "its length prefix is in " + NameOf(*v.prefix.charset) +
                                   " and its data in " + NameOf(*v.charset) +
                                   "; a definition writes both in one character set");
        }
        return v;
    }

    std::optional<Value> Composite(const Json& node, int field, const std::string& path, int depth,
                                   Value v) {
        const std::string where = depth == 0 ? "" : "subfield " + path + ": ";
        const auto subfields = node.find("subfields");
        if (subfields == node.end() || !subfields->is_object() || subfields->empty()) {
            return Fail(field, where + "a composite without subfields");
        }
        if (depth >= kMaxSubfieldDepth) {
            return Fail(field, where + "its subfields lie deeper than the " +
                                   std::to_string(kMaxSubfieldDepth) +
                                   " levels a definition holds");
        }
        const Json empty = Json::object();
        const auto tagIt = node.find("tag");
        const Json& tag = tagIt != node.end() && tagIt->is_object() ? *tagIt : empty;
        const auto bitmapIt = node.find("bitmap");
        const std::string tagEnc = StringAt(tag, "enc");
        Layout layout;
        layout.field = field;
        layout.path = path;
        layout.where = where;
        if (bitmapIt != node.end() && bitmapIt->is_object()) {
            v.structure.layout = SubfieldLayout::kBitmap;
        } else if (tagEnc == "BerTLVTag") {
            v.structure.layout = SubfieldLayout::kBerTlv;
        } else if (!tagEnc.empty()) {
            v.structure.layout = SubfieldLayout::kTagged;
        } else if (IntegerAt(tag, "length", kMostSize).value_or(0) != 0) {
            return Fail(field, where + "its tags have a length but no encoding");
        } else {
            v.structure.layout = SubfieldLayout::kPositional;
        }
        const bool dataObjects = v.structure.layout == SubfieldLayout::kBerTlv;
        std::vector<std::pair<std::string, std::optional<Value>>> members;
        for (const auto& [key, member] : subfields->items()) {
            members.emplace_back(
                key, Element(member, field, path + "." + Shown(key), depth + 1, dataObjects));
        }
        bool kept = true;
        switch (v.structure.layout) {
            case SubfieldLayout::kPositional:
                kept = Positional(layout, StringAt(tag, "sort"), members, v);
                break;
            case SubfieldLayout::kTagged:
                kept = Tagged(layout, tag, members, v);
                break;
            case SubfieldLayout::kBitmap:
                kept = Bitmap(layout, *bitmapIt, members, v);
                break;
            default:
                kept = DataObjects(layout, members, v);
                break;
        }
        if (kept && v.members.empty()) {
            notes.Add(field, where + "none of its subfields can be read");
            kept = false;
        }
        if (!kept) {
            // The value is still read whole, as the bytes it is.
            notes.Add(field, where + "its subfields are left out");
            v.structure = SubfieldStructure{};
            v.members.clear();
            v.dialectCharset.reset();
            v.type = FieldType::B;
            v.data = Encoding::NONE;
            v.text = false;
            return v;
        }
        Settle(v);
        return v;
    }

    struct Layout {
        int field = 0;
        std::string path;
        std::string where;
    };
    using Members = std::vector<std::pair<std::string, std::optional<Value>>>;

    bool Positional(const Layout& at, const std::string& sort, Members& members, Value& v) {
        const bool byHex = sort == "StringsByHex";
        std::vector<std::pair<long, std::size_t>> order;
        for (std::size_t i = 0; i < members.size(); ++i) {
            const std::string& key = members[i].first;
            const bool fits = byHex ? IsHex(key) : IsDigits(key);
            if (!fits || key.size() > 6) {
                notes.Add(at.field, at.where + "key " + Quoted(key) + " does not sort " +
                                        (byHex ? "as a hexadecimal number" : "as a number"));
                return false;
            }
            order.emplace_back(std::stol(key, nullptr, byHex ? 16 : 10), i);
            if (!members[i].second) return false;
        }
        std::sort(order.begin(), order.end());
        for (std::size_t k = 1; k < order.size(); ++k) {
            if (order[k].first == order[k - 1].first) {
                notes.Add(at.field, at.where + "keys " +
                                        Quoted(members[order[k - 1].second].first) + " and " +
                                        Quoted(members[order[k].second].first) +
                                        " are the same number, in no order");
                return false;
            }
        }
        bool renamed = false;
        for (std::size_t k = 0; k < order.size(); ++k) {
            auto& [key, value] = members[order[k].second];
            std::string id = key;
            if (IdNumber(key) != static_cast<int>(k) + 1) {
                id = std::to_string(k + 1);
                renamed = true;
            }
            v.members.push_back({id, std::move(*value)});
        }
        if (renamed) {
            notes.Add(at.field, at.where + "its subfields are numbered 1 to " +
                                    std::to_string(order.size()) + " in the order of their keys");
        }
        if (v.prefix.units > 0 && v.members.size() > 1) {
            notes.Add(at.field, at.where +
                                    "moov reads its subfields only as far as its length goes; "
                                    "the definition expects each one");
        }
        return true;
    }

    // moov sorts the keys of a composite of two or more as its sort function says, and refuses
    // a moov field list whose keys that function cannot sort.
    bool KeysSort(const Layout& at, const std::string& sort, const Members& members) {
        if (members.size() < 2) return true;
        const bool byHex = sort == "StringsByHex";
        for (const auto& [key, value] : members) {
            const bool hex = key.size() % 2 == 0 && IsHex(key);
            if (byHex ? !hex : !IsDigits(key)) {
                notes.Add(at.field, at.where + "key " + Quoted(key) + " does not sort " +
                                        (byHex ? "as a hexadecimal number" : "as a number"));
                return false;
            }
        }
        return true;
    }

    // The tag of a tagged composite: its units and encoding, and its characters' set.
    bool TagPart(const Layout& at, const Json& tag, ElementPart& part,
                 std::optional<Encoding>& charset, long& digits) {
        const std::string enc = StringAt(tag, "enc");
        const long length = IntegerAt(tag, "length", kMaxTagUnits * 2).value_or(0);
        digits = length;
        MoovEncoding e{};
        if (length < 1) {
            notes.Add(at.field, at.where + "its tag length is not a number from 1 to " +
                                    std::to_string(kMaxTagUnits));
            return false;
        }
        if (!ReadMoovEncoding(enc, e)) {
            notes.Add(at.field,
                      at.where + "tag encoding " + Quoted(enc) + " is not a moov encoding");
            return false;
        }
        switch (e) {
            case MoovEncoding::kAscii:
            case MoovEncoding::kBinary:
            case MoovEncoding::kEbcdic:
                part = {static_cast<std::uint8_t>(length), Encoding::CHAR};
                charset = e == MoovEncoding::kEbcdic ? Encoding::EBCDIC : Encoding::ASCII;
                break;
            case MoovEncoding::kBcd:
                part = {static_cast<std::uint8_t>((length + 1) / 2), Encoding::PBCD};
                break;
            case MoovEncoding::kAsciiToHex:
                part = {static_cast<std::uint8_t>(length), Encoding::BIGEND};
                break;
            default:
                notes.Add(at.field,
                          at.where + "tags in " + enc + " are not ones a definition reads");
                return false;
        }
        if (part.units > kMaxTagUnits) {
            notes.Add(at.field,
                      at.where + "tags of more than " + std::to_string(kMaxTagUnits) + " units");
            return false;
        }
        return true;
    }

    // The element's tag as the data holds it, from moov's key; empty when it cannot be one.
    static std::string TagId(std::string key, const ElementPart& part, long digits,
                             const Json& tag) {
        const Json empty = Json::object();
        const auto padIt = tag.find("padding");
        const Json& padding = padIt != tag.end() && padIt->is_object() ? *padIt : empty;
        const std::string side = StringAt(padding, "type");
        const std::string pad = StringAt(padding, "pad");
        if (pad.size() == 1 && key.size() < static_cast<std::size_t>(digits)) {
            const std::string fill(static_cast<std::size_t>(digits) - key.size(), pad[0]);
            if (side == "Left") key = fill + key;
            if (side == "Right") key += fill;
        }
        switch (part.encoding) {
            case Encoding::PBCD:
                // An odd count of digits takes a 0 before the first.
                if (!IsDigits(key) || key.size() != static_cast<std::size_t>(digits)) return {};
                return std::string(2 * part.units - key.size(), '0') + key;
            case Encoding::BIGEND:
                return IsUpperHex(key) && key.size() == 2u * part.units ? key : std::string();
            default:
                return IsPathId(key) && key.size() == part.units ? key : std::string();
        }
    }

    bool Tagged(const Layout& at, const Json& tag, Members& members, Value& v) {
        SubfieldStructure& s = v.structure;
        std::optional<Encoding> tagCharset;
        long digits = 0;
        if (!TagPart(at, tag, s.tag, tagCharset, digits)) return false;
        if (!KeysSort(at, StringAt(tag, "sort"), members)) return false;
        std::optional<ModelPrefix> length;
        for (auto& [key, value] : members) {
            const std::string where = "subfield " + at.path + "." + Shown(key) + ": ";
            if (!value) return false;
            if (value->prefix.units == 0) {
                notes.Add(at.field, where + "an element behind no length");
                return false;
            }
            if (length && !(*length == value->prefix)) {
                notes.Add(at.field, where + "its length differs from the other elements'");
                return false;
            }
            if (value->prefix.lenEnc == Encoding::HEX) {
                notes.Add(at.field, where + "an element's length in hexadecimal digits");
                return false;
            }
            if (!LengthCountsUnits(*value)) {
                notes.Add(at.field, where +
                                        "moov counts its length in digits or in bytes of its "
                                        "hexadecimal text, the definition in units of the value");
                return false;
            }
            length = value->prefix;
        }
        s.length = {static_cast<std::uint8_t>(length->units), length->lenEnc};
        for (auto& [key, value] : members) {
            const std::string id = TagId(key, s.tag, digits, tag);
            if (id.empty()) {
                notes.Add(at.field, "subfield " + at.path + "." + Shown(key) +
                                        ": its key is not a tag of " + std::to_string(s.tag.units) +
                                        " " + NameOf(s.tag.encoding) + " units; left out");
                continue;
            }
            value->prefix = ModelPrefix{};
            v.members.push_back({id, std::move(*value)});
        }
        // Tags and lengths of characters: in a binary value the dialect's, in a text one the
        // value's own.
        if (length->charset && tagCharset && *length->charset != *tagCharset) {
            notes.Add(at.field, at.where + "its tags and lengths are in different character sets");
            return false;
        }
        v.dialectCharset = tagCharset ? tagCharset : length->charset;
        return Unique(at, v);
    }

    bool Bitmap(const Layout& at, const Json& bitmap, Members& members, Value& v) {
        SubfieldStructure& s = v.structure;
        const long bytes = IntegerAt(bitmap, "length", kMaxInnerBitmapBytes).value_or(0);
        MoovEncoding e{};
        const std::string enc = StringAt(bitmap, "enc");
        if (StringAt(bitmap, "type") != "Bitmap" || bytes < 1) {
            notes.Add(at.field, at.where + "its bitmap is not a Bitmap of 1 to " +
                                    std::to_string(kMaxInnerBitmapBytes) + " bytes");
            return false;
        }
        if (!ReadMoovEncoding(enc, e) || (e != MoovEncoding::kBinary && e != MoovEncoding::kAscii &&
                                          e != MoovEncoding::kHexToAscii)) {
            notes.Add(at.field,
                      at.where + "its bitmap in " + Quoted(enc) + " is not one a definition reads");
            return false;
        }
        s.bitmapBytes = static_cast<std::uint8_t>(bytes);
        s.bitmapHex = e == MoovEncoding::kHexToAscii;
        if (s.bitmapHex) v.dialectCharset = Encoding::ASCII;
        if (!TrueAt(bitmap, "disableautoexpand")) {
            notes.Add(at.field, at.where +
                                    "moov reads a further bitmap when bit 1 of its bitmap is "
                                    "set; the definition reads one");
        }
        for (auto& [key, value] : members) {
            const int bit = IdNumber(key);
            if (bit < 1 || bit > kBitmapBits * s.bitmapBytes) {
                notes.Add(at.field, "subfield " + at.path + "." + Shown(key) +
                                        ": not a bit of its " +
                                        std::to_string(kBitmapBits * s.bitmapBytes) +
                                        "-bit bitmap; left out");
                continue;
            }
            if (!value) continue;
            v.members.push_back({key, std::move(*value)});
        }
        return Unique(at, v);
    }

    bool DataObjects(const Layout& at, Members& members, Value& v) {
        for (auto& [key, value] : members) {
            if (!IsUpperHex(key) || key.size() % 2 != 0 || key.size() > 8) {
                notes.Add(at.field,
                          "subfield " + at.path + "." + Shown(key) +
                              ": its key is not the upper-case hexadecimal of a tag; left out");
                continue;
            }
            if (!value) continue;
            TakeSize(*value, v.size);
            v.members.push_back({key, std::move(*value)});
        }
        return Unique(at, v);
    }

    // A data object's length is in the data; the most it can be is its parent's.
    static void TakeSize(Value& v, int parent) {
        if (v.size == 0) v.size = parent;
        for (Member& m : v.members)
            TakeSize(m.value, v.size);
    }

    // Ids a definition tells apart: "1" and "01" name one subfield.
    bool Unique(const Layout& at, Value& v) {
        std::sort(v.members.begin(), v.members.end(),
                  [](const Member& a, const Member& b) { return IdLess(a.id, b.id); });
        for (std::size_t k = 1; k < v.members.size(); ++k) {
            if (!IdLess(v.members[k - 1].id, v.members[k].id)) {
                notes.Add(at.field, at.where + "subfields " + Quoted(v.members[k - 1].id) +
                                        " and " + Quoted(v.members[k].id) +
                                        " are one subfield to a definition");
                return false;
            }
        }
        return true;
    }

    // Whether a composite's value is text of one character set, its members runs of it, or
    // bytes, its members read with encodings of their own.
    static void Settle(Value& v) {
        const SubfieldStructure& s = v.structure;
        std::vector<Encoding> sets;
        if (v.prefix.charset) sets.push_back(*v.prefix.charset);
        bool text = true;
        switch (s.layout) {
            case SubfieldLayout::kBerTlv:
                text = false;
                break;
            case SubfieldLayout::kBitmap:
                // The digits of a hexadecimal bitmap stay as they are in a text value.
                text = s.bitmapHex;
                sets.push_back(Encoding::ASCII);
                break;
            case SubfieldLayout::kTagged:
                text = s.tag.encoding == Encoding::CHAR && s.length.encoding == Encoding::CHAR;
                if (v.dialectCharset) sets.push_back(*v.dialectCharset);
                break;
            default:
                break;
        }
        bool digits = s.layout == SubfieldLayout::kPositional;
        for (const Member& m : v.members) {
            const Value& c = m.value;
            const bool chars =
                c.text ||
                (c.structure.layout == SubfieldLayout::kNone &&
                 (IsTextType(c.type) || (c.type == FieldType::N && c.data == Encoding::CHAR)));
            text = text && chars && (c.prefix.units == 0 || c.prefix.lenEnc == Encoding::CHAR);
            if (c.charset) sets.push_back(*c.charset);
            if (c.prefix.charset) sets.push_back(*c.prefix.charset);
            digits = digits && c.type == FieldType::N;
        }
        const Encoding set = sets.empty() ? Encoding::ASCII : sets.front();
        text =
            text && std::all_of(sets.begin(), sets.end(), [set](Encoding e) { return e == set; });
        v.text = text;
        if (text) {
            v.type = digits ? FieldType::N : FieldType::ANS;
            v.data = Encoding::CHAR;
            v.charset = set;
            v.dialectCharset.reset();
        } else {
            v.type = FieldType::B;
            v.data = Encoding::NONE;
            v.charset.reset();
        }
    }

    Notes& notes;
};

}  // namespace

void Notes::MoveTo(InteropNotes& out) {
    for (std::string& text : general)
        out.push_back(std::move(text));
    for (auto& [n, texts] : byField) {
        std::string line = "field " + std::to_string(n) + ": ";
        for (std::size_t i = 0; i < texts.size(); ++i)
            line += (i > 0 ? "; " : "") + texts[i];
        out.push_back(std::move(line));
    }
    general.clear();
    byField.clear();
}

std::optional<Value> ReadElement(const Json& node, int field, const std::string& path, int depth,
                                 bool dataObject, Notes& notes) {
    return ElementReader(notes).Element(node, field, path, depth, dataObject);
}

bool IsDigits(const std::string& text) noexcept {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string StringAt(const Json& node, const char* key) {
    const auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// An integer member: nullopt when absent, -1 when it is not a whole number in range.
std::optional<long> IntegerAt(const Json& node, const char* key, long most) {
    const auto it = node.find(key);
    if (it == node.end() || it->is_null()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        return v <= static_cast<std::uint64_t>(most) ? static_cast<long>(v) : -1;
    }
    if (it->is_number_integer()) {
        const auto v = it->get<std::int64_t>();
        return v >= 0 && v <= most ? static_cast<long>(v) : -1;
    }
    return -1;
}

bool TrueAt(const Json& node, const char* key) {
    const auto it = node.find(key);
    return it != node.end() && it->is_boolean() && it->get<bool>();
}

std::string Quoted(const std::string& text) {
    return "'" + Shown(text) + "'";
}

}  // namespace moov
