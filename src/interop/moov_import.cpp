// Reading a moov-io/iso8583 JSON field list: each field's type, encoding and prefix become a field
// of the definition, the commonest encodings the dialect's and the others settings of their fields;
// composites become subfield structures. What the definition cannot hold exactly is said in a note
// and left out, never approximated.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/interop.h"
#include "interop/moov_element.h"
#include "interop/stored_text.h"

namespace {

using moov::IntegerAt;
using moov::Json;
using moov::Member;
using moov::Quoted;
using moov::StringAt;
using moov::TrueAt;
using moov::Value;

constexpr int kMostNesting = 64;

// The deepest nesting of objects and arrays, counted outside strings; stops counting past most.
int Nesting(std::string_view text, int most) noexcept {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
            if (deepest > most) return deepest;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// The commonest of the encodings counted, the first of order on a tie; fallback when none.
Encoding Commonest(const std::map<Encoding, int>& counts, std::initializer_list<Encoding> order,
                   Encoding fallback) {
    Encoding best = fallback;
    int most = 0;
    for (Encoding e : order) {
        const auto it = counts.find(e);
        if (it != counts.end() && it->second > most) {
            best = e;
            most = it->second;
        }
    }
    return best;
}

class Reader {
  public:
    Reader(ProtocolDef& definition, InteropNotes& out) : def(definition), said(out) {}

    void Run(const Json& list, const Json& fields) {
        StoreText(def.name, sizeof def.name, StringAt(list, "name"), false);
        std::map<int, const Json*> numbered;
        for (const auto& [key, node] : fields.items()) {
            const int n = moov::IsDigits(key) && key.size() <= 3 ? std::stoi(key) : -1;
            if (n < 0 || n > kLastField) {
                notes.General("fields: key " + Quoted(key) +
                              " is not a field number from 0 to 128; left out");
            } else if (!numbered.emplace(n, &node).second) {
                Note(n, "given again as " + Quoted(key) + "; the first is kept");
            }
        }
        const auto mti = numbered.find(0);
        const auto bitmap = numbered.find(1);
        ReadMti(mti != numbered.end() ? mti->second : nullptr);
        ReadBitmap(bitmap != numbered.end() ? bitmap->second : nullptr);
        std::map<int, Value> values;
        for (const auto& [n, node] : numbered) {
            if (n < kFirstDataElement) continue;
            std::optional<Value> v =
                moov::ReadElement(*node, n, std::to_string(n), 0, false, notes);
            if (!v) {
                Note(n, "left undefined");
                continue;
            }
            if (n == 65 && autoExpanding) {
                Note(n,
                     "moov reads bit 65 as announcing a third bitmap, not this field, and the "
                     "definition reads no third bitmap");
            }
            values.emplace(n, std::move(*v));
        }
        ChooseDialect(values);
        for (auto& [n, v] : values)
            Define(n, v);
        notes.MoveTo(said);
    }

  private:
    void Note(int field, std::string text) { notes.Add(field, std::move(text)); }

    // The MTI: four characters or four packed digits.
    void ReadMti(const Json* node) {
        def.mtiEnc = Encoding::CHAR;
        if (node == nullptr || !node->is_object()) {
            Note(0, "the MTI is not described; read as 4 characters");
            return;
        }
        MoovEncoding e{};
        MoovPrefix prefix;
        const std::string enc = StringAt(*node, "enc");
        const bool known = ReadMoovEncoding(enc, e);
        if (known && e == MoovEncoding::kBcd) {
            def.mtiEnc = Encoding::PBCD;
        } else if (known && (e == MoovEncoding::kAscii || e == MoovEncoding::kEbcdic)) {
            mtiCharset = e == MoovEncoding::kAscii ? Encoding::ASCII : Encoding::EBCDIC;
        } else {
            Note(0, "encoding " + Quoted(enc) + " is not one an MTI is read in; read as 4 " +
                        "characters");
        }
        if (IntegerAt(*node, "length", moov::kMostSize).value_or(0) != 4) {
            Note(0, "an MTI that is not 4 long; the definition reads 4");
        }
        if (!ReadMoovPrefix(StringAt(*node, "prefix"), prefix) ||
            prefix.kind != MoovPrefixKind::kFixed) {
            Note(0, "an MTI of no Fixed prefix; the definition reads it behind none");
        }
    }

    // The bitmap: 8 bytes, or 16 hexadecimal characters, a second block when bit 1 is set;
    // or, fixed at 16 bytes, always both blocks.
    void ReadBitmap(const Json* node) {
        def.bmpEnc = Encoding::NONE;
        if (node == nullptr || !node->is_object()) {
            Note(1, "the bitmap is not described; read as 8 bytes");
            return;
        }
        MoovEncoding e{};
        const std::string enc = StringAt(*node, "enc");
        const bool known = ReadMoovEncoding(enc, e);
        if (known && e == MoovEncoding::kHexToAscii) {
            def.bmpEnc = Encoding::HEX;
            hexBitmap = true;
        } else if (!known || (e != MoovEncoding::kBinary && e != MoovEncoding::kAscii)) {
            Note(1, "encoding " + Quoted(enc) + " is not one a bitmap is read in; read as bytes");
        }
        const long length = IntegerAt(*node, "length", moov::kMostSize).value_or(0);
        const bool fixed = TrueAt(*node, "disableautoexpand");
        autoExpanding = !fixed;
        if (length == 16 && fixed) {
            def.options.fixedBitmap = true;
        } else if (length != 8) {
            Note(1, (length < 0 ? std::string("a bitmap of no known length")
                                : "a bitmap of " + std::to_string(length) + " bytes") +
                        "; the definition reads blocks of 8, a second when bit 1 is set");
        }
    }

    void ChooseDialect(const std::map<int, Value>& values) {
        std::map<Encoding, int> lengths, numbers, binaries, charsets;
        for (const auto& [n, v] : values) {
            if (v.prefix.units > 0) ++lengths[v.prefix.lenEnc];
            if (v.type == FieldType::N) ++numbers[v.data];
            if (v.type == FieldType::B) ++binaries[v.data];
            if (v.charset) ++charsets[*v.charset];
            if (!v.charset && v.prefix.charset) ++charsets[*v.prefix.charset];
            if (v.dialectCharset) ++charsets[*v.dialectCharset];
        }
        const bool chars = def.mtiEnc == Encoding::CHAR;
        def.lenEnc =
            Commonest(lengths, {Encoding::CHAR, Encoding::PBCD, Encoding::BIGEND, Encoding::HEX},
                      chars ? Encoding::CHAR : Encoding::PBCD);
        def.numEnc = Commonest(numbers, {Encoding::CHAR, Encoding::PBCD},
                               chars ? Encoding::CHAR : Encoding::PBCD);
        def.binEnc = Commonest(binaries, {Encoding::NONE, Encoding::HEX}, Encoding::NONE);
        if (mtiCharset) {
            def.chrEnc = *mtiCharset;
        } else if (hexBitmap) {
            def.chrEnc = Encoding::ASCII;
        } else {
            def.chrEnc = Commonest(charsets, {Encoding::ASCII, Encoding::EBCDIC}, Encoding::ASCII);
        }
        if (hexBitmap && def.chrEnc != Encoding::ASCII) {
            Note(1,
                 "moov writes the bitmap's hexadecimal digits in ASCII and the MTI in EBCDIC; "
                 "the definition writes both in EBCDIC");
        }
    }

    // The settings of a value that differ from the dialect; a prefix's only where it has one.
    FieldSettings Own(const Value& v, bool field) const {
        FieldSettings s;
        const ModelPrefix& p = v.prefix;
        if (p.units > 0) {
            if (p.lenEnc != def.lenEnc) s.lenEnc = p.lenEnc;
            s.prefixNumber = p.whole;
            s.sixUnitPrefix = field && p.units == kMaxPrefixUnits;
        }
        if (v.type == FieldType::N && v.data != def.numEnc) s.numEnc = v.data;
        if (v.type == FieldType::B && v.data != def.binEnc) s.binEnc = v.data;
        const std::optional<Encoding> set =
            v.charset ? v.charset : (p.units > 0 ? p.charset : std::nullopt);
        if (set && *set != def.chrEnc) s.charset = *set;
        if (v.padRight) s.padSide = PadSide::kRight;
        return s;
    }

    // The characters of a binary value's structure (tags, lengths, a hexadecimal bitmap) are
    // read in the value's character set, its own or the dialect's: where moov writes them in
    // another set than the dialect's, the value takes that set as its own, unless its length
    // prefix needs the dialect's; then the value is read as bytes.
    void Fit(int field, const std::string& path, Value& v) {
        if (v.structure.layout == SubfieldLayout::kNone) return;
        if (!v.text && v.dialectCharset && *v.dialectCharset != def.chrEnc) {
            const Encoding set = *v.dialectCharset;
            v.dialectCharset.reset();
            if (v.prefix.units > 0 && v.prefix.charset && *v.prefix.charset != set) {
                Note(field, (path.find('.') == std::string::npos ? "" : "subfield " + path + ": ") +
                                "its length prefix is in " + NameOf(*v.prefix.charset) +
                                " and its tags, lengths or bitmap in " + NameOf(set) +
                                "; its subfields are left out");
                v.structure = SubfieldStructure{};
                v.members.clear();
                return;
            }
            v.charset = set;
        }
        for (Member& m : v.members)
            Fit(field, path + "." + m.id, m.value);
    }

    SubfieldNode Node(const Member& m, bool binaryParent, bool elementLength) const {
        SubfieldNode node;
        node.id = m.id;
        node.defined = true;
        const Value& v = m.value;
        node.def.type = v.type;
        node.def.size = static_cast<std::int16_t>(v.size);
        node.def.sizeLen = static_cast<std::int16_t>(elementLength ? 0 : v.prefix.units);
        node.def.subfield = v.structure.layout != SubfieldLayout::kNone;
        node.def.description = v.description;
        if (binaryParent) {
            Value own = v;
            if (elementLength) own.prefix = ModelPrefix{};
            node.def.settings = Own(own, false);
        }
        Children(v, node);
        return node;
    }

    void Children(const Value& v, SubfieldNode& node) const {
        node.structure = v.structure;
        const SubfieldLayout layout = v.structure.layout;
        const bool own = layout == SubfieldLayout::kTagged || layout == SubfieldLayout::kBerTlv;
        for (const Member& m : v.members)
            node.children.push_back(Node(m, !v.text, own));
    }

    void Define(int n, Value& v) {
        Fit(n, std::to_string(n), v);
        const bool structured = v.structure.layout != SubfieldLayout::kNone;
        DefineField(def.fields[n], v.type, static_cast<std::int16_t>(v.size),
                    static_cast<std::int16_t>(v.prefix.units), structured, v.description.c_str());
        def.settings[n] = Own(v, true);
        if (!structured) return;
        SubfieldNode top;
        top.id = std::to_string(n);
        top.defined = true;
        Children(v, top);
        def.subfields.Fields().push_back(std::move(top));
    }

    ProtocolDef& def;
    InteropNotes& said;
    moov::Notes notes;
    std::optional<Encoding> mtiCharset;
    bool hexBitmap = false;
    bool autoExpanding = true;
};

}  // namespace

bool ImportMoov(std::string_view text, ProtocolDef& def, InteropNotes& notes, std::string& error) {
    if (Nesting(text, kMostNesting) > kMostNesting) {
        error = "nested deeper than " + std::to_string(kMostNesting) + " levels";
        return false;
    }
    Json list;
    try {
        list = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& e) {
        error = "not well-formed JSON at byte " + std::to_string(e.byte);
        return false;
    } catch (const Json::out_of_range&) {
        error = "a number too large for JSON to hold";
        return false;
    }
    const auto fields = list.find("fields");
    if (!list.is_object() || fields == list.end() || !fields->is_object()) {
        error = "not a moov field list: no \"fields\" object";
        return false;
    }
    if (fields->empty()) {
        error = "not a moov field list: its \"fields\" object is empty";
        return false;
    }
    Reader(def, notes).Run(list, *fields);
    return true;
}
