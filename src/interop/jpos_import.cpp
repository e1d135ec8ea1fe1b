// A jPOS generic packager read into a protocol definition. Each class is taken for what its
// source does (jpos_classes.cpp); the dialect's encodings are those most fields use, and a field
// that differs keeps settings of its own. What the model cannot hold is said, never guessed.
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "interop/interop.h"
#include "interop/jpos_classes.h"
#include "interop/jpos_xml.h"
#include "support/text.h"

namespace {

constexpr std::string_view kSubfieldPackager = "org.jpos.iso.packager.GenericSubFieldPackager";
constexpr std::string_view kBase1Packager = "org.jpos.iso.packager.Base1SubFieldPackager";
constexpr std::string_view kTaggedPackager = "org.jpos.iso.packager.GenericTaggedFieldsPackager";
constexpr std::string_view kBerTlvPackager = "org.jpos.tlv.packager.bertlv.BERTLVBinaryPackager";
constexpr int kMaxSize = 32767;  // FldDef::size is 16 bits

// A decimal number as Integer.parseInt reads it, or nullopt.
std::optional<int> Number(const std::string* text) {
    if (text == nullptr || text->empty()) return std::nullopt;
    const char* first = text->data();
    const char* last = first + text->size();
    if (*first == '+') ++first;
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

bool IsTrue(const std::string* text) {
    return text != nullptr && *text == "true";
}

// A text as the model keeps it: one blank for each run of white space and control characters,
// none at the ends, no semicolon (a .pro line ends its column there), at most kTextMax bytes.
std::string Text(std::string_view raw) {
    std::string buffer(raw);
    std::replace(buffer.begin(), buffer.end(), ';', ',');
    buffer.resize(static_cast<std::size_t>(CollapseBlanks(buffer.data())));
    char cut[kTextMax + 1];
    CopyTextCut(cut, sizeof cut, buffer.c_str());
    // A cut may end on a blank.
    CollapseBlanks(cut);
    return cut;
}

std::string Text(const std::string* raw) {
    return raw != nullptr ? Text(*raw) : std::string();
}

bool IsTextType(FieldType t) {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

// The value is characters: the model reads subfields from them one character a unit.
bool IsTextValue(const ValueLayout& v) {
    return IsTextType(v.type) || v.type == FieldType::N ||
           (v.type == FieldType::Z && v.dataEnc == Encoding::PBCD);
}

// jPOS hands a subfield packager the bytes of its field's value: of a string field, its text in
// ISO-8859-1. A value whose units are those bytes can be read as bytes instead of as text.
bool UnitsAreBytes(const ValueLayout& v) {
    const bool text = IsTextType(v.type) && v.dataEnc == Encoding::ASCII;
    const bool digits =
        v.type == FieldType::N && v.dataEnc == Encoding::CHAR && v.charset == Encoding::ASCII;
    return text || digits;
}

// An inner class a text value reads as its characters: ASCII characters behind a prefix of
// ASCII digits.
bool FitsText(const ValueLayout& v) {
    if (v.sizeLen > 0 && (v.lenEnc != Encoding::CHAR || v.charset != Encoding::ASCII)) return false;
    if (IsTextType(v.type)) return v.dataEnc == Encoding::ASCII;
    if (v.type == FieldType::N) return v.dataEnc == Encoding::CHAR;
    return v.type == FieldType::B && v.dataEnc == Encoding::NONE;
}

// Bytes as they are, of a fixed size.
ValueLayout Bytes(int size) {
    ValueLayout v;
    v.type = FieldType::B;
    v.size = size;
    v.dataEnc = Encoding::NONE;
    return v;
}

struct Counter {
    std::vector<std::pair<Encoding, int>> counts;  // in the order first seen

    void Add(Encoding e) {
        for (auto& [value, count] : counts) {
            if (value == e) {
                ++count;
                return;
            }
        }
        counts.emplace_back(e, 1);
    }
    // The most used, the first seen of a tie; fallback when none is.
    Encoding Most(Encoding fallback) const {
        Encoding best = fallback;
        int most = 0;
        for (const auto& [value, count] : counts) {
            if (count > most) {
                best = value;
                most = count;
            }
        }
        return best;
    }
};

// What a field element says, before the dialect is known.
struct FieldPlan {
    const XmlElement* element = nullptr;
    ValueLayout layout;
    bool subfields = false;  // its packager is one the model can read
};

class Importer {
  public:
    Importer(ProtocolDef& definition, InteropNotes& out) : def(definition), notes(out) {}

    bool Run(const XmlDocument& doc, std::string& error) {
        if (doc.root.name != "isopackager") {
            error = "not a jPOS packager: the root element is <" + doc.root.name +
                    ">, not <isopackager>";
            return false;
        }
        ReadName(doc);
        ReadPackagerAttributes(doc.root);
        CollectFields(doc.root);
        ReadMti();
        ReadBitmap();
        for (int n = kFirstDataElement; n <= kLastField; ++n)
            Plan(n);
        ChooseDialect();
        for (int n = kFirstDataElement; n <= kLastField; ++n)
            Define(n);
        // jPOS packs an empty value of a variable field as a length of 0, and its field
        // packagers (ISOStringFieldPackager, ISOBinaryFieldPackager and the classes built on
        // them) unpack that length as an empty value without looking further.
        def.options.emptyFields = HasVariableField(def);
        return true;
    }

  private:
    void Note(std::string text) { notes.push_back(std::move(text)); }

    // The writer keeps the protocol's name in a comment before the root: "<!-- name: ... -->".
    void ReadName(const XmlDocument& doc) {
        for (const std::string& comment : doc.comments) {
            const std::size_t start = comment.find_first_not_of(" \t\r\n");
            if (start == std::string::npos || comment.compare(start, 5, "name:") != 0) continue;
            CopyTextCut(def.name, sizeof def.name, Text(comment.substr(start + 5)).c_str());
            return;
        }
    }

    void ReadPackagerAttributes(const XmlElement& root) {
        if (const std::string* header = root.Attribute("headerLength")) {
            const std::optional<int> units = Number(header);
            if (units && *units >= 0 && *units <= kMaxHeaderUnits) {
                def.options.header = *units;
            } else {
                Note("headerLength '" + *header + "' is not a number of units from 0 to " +
                     std::to_string(kMaxHeaderUnits) + "; no header is read");
            }
        }
        if (const std::string* emit = root.Attribute("emitBitmap"); emit && *emit == "false") {
            Note(
                "emitBitmap=\"false\": messages without a bitmap; the model reads a bitmap after "
                "the MTI");
        }
        if (const std::string* field = root.Attribute("bitmapField"); field && *field != "1") {
            Note("bitmapField " + *field + ": the model reads the bitmap of field 1");
        }
        if (const std::string* field = root.Attribute("thirdBitmapField")) {
            Note("thirdBitmapField " + *field +
                 ": a third bitmap is not read; fields 129 to 192 are not in the model");
        }
        if (const std::string* first = root.Attribute("firstField")) {
            Note("firstField " + *first +
                 ": the model reads the MTI, the bitmap, then fields from 2");
        }
        if (const std::string* most = root.Attribute("maxValidField")) {
            const std::optional<int> value = Number(most);
            if (!value || *value < kLastField) {
                Note("maxValidField " + *most +
                     ": jPOS reads no field above it; the model reads every field up to 128");
            }
        }
    }

    // The field elements by number; a later one of a number replaces an earlier, as jPOS's map
    // does.
    static std::map<int, const XmlElement*> Numbered(const XmlElement& parent,
                                                     const std::string& path, InteropNotes& notes,
                                                     int most) {
        std::map<int, const XmlElement*> found;
        for (const XmlElement& child : parent.children) {
            if (child.name != "isofield" && child.name != "isofieldpackager") {
                notes.push_back("element <" + child.name + "> at line " +
                                std::to_string(child.line) +
                                " is not part of a jPOS packager; ignored");
                continue;
            }
            const std::string* id = child.Attribute("id");
            const std::optional<int> number = Number(id);
            if (!number || *number < 0) {
                notes.push_back("<" + child.name + "> at line " + std::to_string(child.line) +
                                ": id '" + (id != nullptr ? *id : std::string()) +
                                "' is not a field number; ignored");
                continue;
            }
            const std::string name = path.empty() ? "field " + std::to_string(*number)
                                                  : "field " + path + "." + std::to_string(*number);
            if (*number > most) {
                notes.push_back(name + ": above " + std::to_string(most) +
                                ", which the model holds; left out");
                continue;
            }
            if (found.contains(*number)) {
                notes.push_back(name + ": defined again at line " + std::to_string(child.line) +
                                "; the later definition counts");
            }
            found[*number] = &child;
        }
        return found;
    }

    void CollectFields(const XmlElement& root) {
        for (const auto& [n, element] : Numbered(root, "", notes, kLastField))
            elements[n] = element;
    }

    // The class of an element, or null with a note that names it.
    const JposClass* ClassOf(const XmlElement& e, const std::string& name) {
        const std::string* type = e.Attribute("class");
        if (type == nullptr) {
            Note(name + ": no class; left undefined");
            return nullptr;
        }
        const JposClass* c = FindJposClass(*type);
        if (c == nullptr)
            Note(name + ": class " + *type + " is not a known packager; left undefined");
        return c;
    }

    // The length attribute, or nullopt with a note.
    std::optional<int> LengthOf(const XmlElement& e, const std::string& name) {
        const std::string* text = e.Attribute("length");
        const std::optional<int> length = Number(text);
        if (!length || *length < 1) {
            Note(name + ": length '" + (text != nullptr ? *text : std::string()) +
                 "' is not a number from 1; left undefined");
            return std::nullopt;
        }
        return length;
    }

    void ReadMti() {
        def.mtiEnc = Encoding::CHAR;
        const XmlElement* e = elements[0];
        if (e == nullptr) {
            Note("field 0: no MTI; read as 4 characters");
            return;
        }
        const JposClass* c = ClassOf(*e, "field 0");
        if (c == nullptr) return;
        const std::optional<int> length = Number(e->Attribute("length"));
        if (length != 4) {
            Note("field 0: an MTI of " + (length ? std::to_string(*length) : std::string("no")) +
                 " digits; the model reads 4");
        }
        switch (c->data) {
            case JposData::kPacked:
            case JposData::kPackedF:
                if (c->prefix == JposPrefix::kNone) def.mtiEnc = Encoding::PBCD;
                break;
            case JposData::kAsciiDigits:
            case JposData::kAsciiText:
                mtiCharset = Encoding::ASCII;
                break;
            case JposData::kEbcdicDigits:
            case JposData::kEbcdicText:
                mtiCharset = Encoding::EBCDIC;
                break;
            default:
                break;
        }
        if (c->kind != JposKind::kValue || c->prefix != JposPrefix::kNone ||
            (def.mtiEnc != Encoding::PBCD && !mtiCharset)) {
            Note("field 0: class " + FullName(*c) +
                 " is no MTI the model reads; read as 4 characters");
            mtiCharset.reset();
        }
    }

    void ReadBitmap() {
        def.bmpEnc = Encoding::NONE;
        const XmlElement* e = elements[1];
        const JposClass* c = e != nullptr ? FindJposClass(Text(e->Attribute("class"))) : nullptr;
        if (c == nullptr || c->kind != JposKind::kBitmap) {
            Note(
                "field 1: no bitmap class; the model reads a bitmap of 8 bytes, and 8 more when "
                "bit 1 is set");
            return;
        }
        if (c->data != JposData::kRaw) {
            def.bmpEnc = Encoding::HEX;
            bitmapCharset = c->data == JposData::kEbcdicHex ? Encoding::EBCDIC : Encoding::ASCII;
        }
        const std::optional<int> length = Number(e->Attribute("length"));
        if (length && *length < 16) {
            Note("field 1: a bitmap of " + std::to_string(*length) +
                 " bytes, which jPOS never follows with a second; the model reads one when bit 1 "
                 "is set");
        } else if (length && *length > 16) {
            Note("field 1: a bitmap of " + std::to_string(*length) +
                 " bytes may hold a third; the model reads two at most");
        }
    }

    // The layout of a value element, or nullopt with a note: the field is then left undefined.
    std::optional<ValueLayout> ValueOf(const XmlElement& e, const std::string& name, int n) {
        const JposClass* c = ClassOf(e, name);
        if (c == nullptr) return std::nullopt;
        std::optional<int> length = LengthOf(e, name);
        if (!length) return std::nullopt;
        const bool pad = IsTrue(e.Attribute("pad"));
        std::optional<ValueLayout> v;
        switch (c->kind) {
            case JposKind::kValue:
                v = LayoutOf(*c, *length, pad);
                if (!v) {
                    Note(name + ": class " + FullName(*c) +
                         " writes its length prefix and its text in different character sets; left "
                         "undefined");
                    return std::nullopt;
                }
                break;
            case JposKind::kSignedAmount:
                return SignedAmount(n, *length, pad);
            case JposKind::kFixedRoom:
                Note(name + ": class " + FullName(*c) + " writes a length byte, then always " +
                     std::to_string(*length) + " bytes; read as B of " +
                     std::to_string(*length + 1) + " bytes");
                v = Bytes(*length + 1);
                break;
            case JposKind::kPackedBytes:
                Note(name + ": class " + FullName(*c) +
                     " counts bytes of packed digits in its prefix; read as B, its value shown as "
                     "bytes");
                v = Bytes((*length + 1) / 2);
                v->sizeLen = c->digits;
                v->lenEnc = Encoding::CHAR;
                v->charset = Encoding::EBCDIC;
                break;
            default:
                Note(name + ": class " + FullName(*c) + " is no field of its own; left undefined");
                return std::nullopt;
        }
        if (v->size > kMaxSize) {
            if (v->sizeLen == 0) {
                Note(name + ": a fixed length of " + std::to_string(v->size) +
                     " is more than the model holds; left undefined");
                return std::nullopt;
            }
            Note(name + ": length " + std::to_string(v->size) +
                 " is more than the model holds; read as at most " + std::to_string(kMaxSize));
            v->size = kMaxSize;
        }
        // Track data: jPOS's BCD shows the nibble D as '=', which the model reads only in packed
        // track data, and ISO 8583 gives fields 35 and 36 to tracks 2 and 3.
        if ((n == 35 || n == 36) && v->type == FieldType::N && v->dataEnc == Encoding::PBCD) {
            v->type = FieldType::Z;
            v->padSide = pad ? PadSide::kLeft : PadSide::kRight;
            if (!pad && c->data == JposData::kPackedF) v->padNibble = 0xF;
            Settle(*v);
        }
        Settle(*v);
        return v;
    }

    // IFB_AMOUNT: a sign character, then packed digits. Its bytes hold two subfields.
    std::optional<ValueLayout> SignedAmount(int n, int length, bool pad) {
        const std::string name = "field " + std::to_string(n);
        Note(name +
             ": class org.jpos.iso.IFB_AMOUNT (a sign character, then packed digits) is read as B "
             "of " +
             std::to_string(1 + length / 2) +
             " bytes holding the sign and the amount as subfields .1 and .2");
        amounts[n] = {length, pad};
        return Bytes(1 + length / 2);
    }

    void Plan(int n) {
        const XmlElement* e = elements[n];
        if (e == nullptr) return;
        const std::string name = "field " + std::to_string(n);
        std::optional<ValueLayout> v = ValueOf(*e, name, n);
        if (!v) return;
        FieldPlan& plan = plans[n];
        plan.element = e;
        plan.layout = *v;
        if (e->name == "isofieldpackager") plan.subfields = PlanPackager(*e, name, plan.layout);
    }

    // Whether the subfield packager of e is one the model reads in a value of layout v, which
    // turns to bytes where its subfields need them.
    bool PlanPackager(const XmlElement& e, const std::string& name, ValueLayout& v) {
        const std::string packager = Text(e.Attribute("packager"));
        const bool known = packager == kSubfieldPackager || packager == kBase1Packager ||
                           packager == kTaggedPackager || packager == kBerTlvPackager;
        if (!known) {
            Note(name + ": packager " + (packager.empty() ? std::string("(none)") : packager) +
                 " is not a subfield packager the model reads; its subfields are left out");
            return false;
        }
        bool bytes = packager == kBerTlvPackager;
        for (const XmlElement& inner : e.children) {
            const JposClass* c = FindJposClass(Text(inner.Attribute("class")));
            if (c == nullptr) continue;
            const std::optional<int> length = Number(inner.Attribute("length"));
            std::optional<ValueLayout> layout;
            if (c->kind == JposKind::kValue || c->kind == JposKind::kTagged) {
                layout = LayoutOf(*c, length.value_or(1), IsTrue(inner.Attribute("pad")));
            }
            if (c->kind == JposKind::kBitmap) {
                bytes = bytes || c->data == JposData::kEbcdicHex;
            } else if (layout) {
                bytes = bytes || !FitsText(*layout);
            }
        }
        if (!bytes || !IsTextValue(v)) return true;
        if (!UnitsAreBytes(v)) {
            Note(name +
                 ": its subfields are not ASCII characters, and jPOS gives them the text of the "
                 "field; its subfields are left out");
            return false;
        }
        Note(name + ": its subfields are not all ASCII characters; the field is read as bytes (B)");
        v.type = FieldType::B;
        v.dataEnc = Encoding::NONE;
        Settle(v);
        return true;
    }

    void ChooseDialect() {
        Counter charsets, lengths, numbers, binaries;
        for (const FieldPlan& plan : plans) {
            if (plan.element == nullptr) continue;
            const ValueLayout& v = plan.layout;
            if (v.charset) charsets.Add(*v.charset);
            if (v.sizeLen > 0) lengths.Add(v.lenEnc);
            if (v.type == FieldType::N) numbers.Add(v.dataEnc);
            // Packed track data is a setting of its own: the dialect has no such BIN_Enc.
            if ((v.type == FieldType::B || v.type == FieldType::Z) && v.dataEnc != Encoding::PBCD) {
                binaries.Add(v.dataEnc);
            }
        }
        const bool text = def.mtiEnc == Encoding::CHAR;
        if (mtiCharset && bitmapCharset && *mtiCharset != *bitmapCharset) {
            Note(std::string("field 1: a hexadecimal bitmap in ") + NameOf(*bitmapCharset) +
                 " after an MTI in " + NameOf(*mtiCharset) + "; the model reads both in " +
                 NameOf(*mtiCharset));
        }
        def.chrEnc = mtiCharset      ? *mtiCharset
                     : bitmapCharset ? *bitmapCharset
                                     : charsets.Most(Encoding::ASCII);
        def.lenEnc = lengths.Most(text ? Encoding::CHAR : Encoding::PBCD);
        def.numEnc = numbers.Most(text ? Encoding::CHAR : Encoding::PBCD);
        def.binEnc = binaries.Most(Encoding::NONE);
    }

    void Define(int n) {
        const FieldPlan& plan = plans[n];
        if (plan.element == nullptr) return;
        const ValueLayout& v = plan.layout;
        const std::string description = Text(plan.element->Attribute("name"));
        DefineField(def.fields[n], v.type, static_cast<std::int16_t>(v.size),
                    static_cast<std::int16_t>(v.sizeLen), false, description.c_str());
        def.settings[n] = SettingsFor(def, v);
        def.settings[n].sixUnitPrefix = v.sizeLen == kMaxPrefixUnits;
        if (const auto amount = amounts.find(n); amount != amounts.end()) {
            DefineAmount(n, amount->second.first, amount->second.second);
        } else if (plan.subfields) {
            SubfieldPath path;
            path.field = n;
            SubfieldNode node;
            if (Structure(*plan.element, std::to_string(n), 1, !IsTextValue(v), node)) {
                SubfieldNode& top = def.subfields.Make(path);
                top.structure = node.structure;
                top.children = std::move(node.children);
                def.fields[n].subfield = true;
            } else if (node.structure.layout == SubfieldLayout::kBerTlv) {
                // A binary field flagged Y is read as BER-TLV data objects without a structure.
                def.fields[n].subfield = true;
            }
        }
    }

    void DefineAmount(int n, int length, bool pad) {
        SubfieldPath path;
        path.field = n;
        SubfieldNode& top = def.subfields.Make(path);
        top.structure.layout = SubfieldLayout::kPositional;
        SubfieldNode sign;
        sign.id = "1";
        sign.defined = true;
        sign.def.type = FieldType::AN;
        sign.def.size = 1;
        sign.def.description = "Sign";
        sign.def.settings =
            SettingsFor(def, *LayoutOf(*FindJposClass("org.jpos.iso.IFA_CHAR"), 1, false));
        SubfieldNode amount;
        amount.id = "2";
        amount.defined = true;
        amount.def.type = FieldType::N;
        amount.def.size = static_cast<std::int16_t>(length - 1);
        amount.def.description = "Amount";
        amount.def.settings = SettingsFor(
            def, *LayoutOf(*FindJposClass("org.jpos.iso.IFB_NUMERIC"), length - 1, pad));
        top.children = {std::move(sign), std::move(amount)};
        def.fields[n].subfield = true;
    }

    // The structure and children of node from the packager element e; binary: the value the
    // subfields lie in is bytes, not characters. False, with a note, when the model cannot hold it;
    // a BER-TLV packager leaves its layout in node.structure and returns false when the field
    // itself says as much.
    bool Structure(const XmlElement& e, const std::string& path, int depth, bool binary,
                   SubfieldNode& node) {
        const std::string name = "field " + path;
        const std::string packager = Text(e.Attribute("packager"));
        if (packager == kBerTlvPackager) {
            if (!e.children.empty()) {
                Note(name +
                     ": the fields inside a BER-TLV packager are not read; its data objects are "
                     "named by their tags");
            }
            node.structure.layout = SubfieldLayout::kBerTlv;
            // At the top a binary field flagged Y says it all; below, the structure says it.
            return depth > 1;
        }
        const std::map<int, const XmlElement*> inner = Numbered(e, path, notes, 9999);
        if (packager == kTaggedPackager) return Tagged(e, inner, path, depth, binary, node);
        const bool base1 = packager == kBase1Packager;
        const int bitmapAt = base1 ? 0 : Number(e.Attribute("bitmapField")).value_or(1);
        const XmlElement* bitmap = inner.contains(bitmapAt) ? inner.at(bitmapAt) : nullptr;
        const JposClass* bitmapClass =
            bitmap != nullptr ? FindJposClass(Text(bitmap->Attribute("class"))) : nullptr;
        const bool hasBitmap = bitmapClass != nullptr && bitmapClass->kind == JposKind::kBitmap;
        const std::string* emit = e.Attribute("emitBitmap");
        bool bitmapped = hasBitmap;
        if (!base1 && emit != nullptr && *emit == "false") bitmapped = false;
        if (!base1 && emit != nullptr && *emit == "true" && !hasBitmap) {
            Note(name + ": emitBitmap=\"true\", and subfield " + std::to_string(bitmapAt) +
                 " is no bitmap class; its subfields are left out");
            return false;
        }
        if (!base1 && emit == nullptr && !hasBitmap) {
            Note(name + ": without emitBitmap=\"false\" jPOS expects a bitmap in subfield " +
                 std::to_string(bitmapAt) + "; read as positional subfields");
        }
        const int first = FirstSubfield(e, inner, base1);
        if (bitmapped) {
            return Bitmapped(*bitmap, *bitmapClass, inner, bitmapAt, first, path, depth, binary,
                             node);
        }
        return Positional(inner, first, path, depth, binary, node);
    }

    // The first subfield jPOS reads: firstField, else 2 after a bitmap in subfield 1, else 1,
    // else 0 when subfield 0 is all there is or a packager of its own (ISOBasePackager).
    int FirstSubfield(const XmlElement& e, const std::map<int, const XmlElement*>& inner,
                      bool base1) {
        if (const std::optional<int> first = Number(e.Attribute("firstField"))) return *first;
        auto isBitmap = [&](int id) {
            if (!inner.contains(id)) return false;
            const JposClass* c = FindJposClass(Text(inner.at(id)->Attribute("class")));
            return c != nullptr && c->kind == JposKind::kBitmap;
        };
        if (base1) return isBitmap(0) ? 1 : 0;
        const bool zeroIsPackager = inner.contains(0) && inner.at(0)->name == "isofieldpackager";
        const int most = inner.empty() ? 0 : inner.rbegin()->first;
        if (zeroIsPackager || most < 1) return 0;
        return isBitmap(1) ? 2 : 1;
    }

    bool Positional(const std::map<int, const XmlElement*>& inner, int first,
                    const std::string& path, int depth, bool binary, SubfieldNode& node) {
        node.structure.layout = SubfieldLayout::kPositional;
        std::vector<int> ids;
        for (const auto& [id, element] : inner) {
            if (id >= first) {
                ids.push_back(id);
            } else {
                Note("field " + path + "." + std::to_string(id) +
                     ": before the first subfield jPOS reads (" + std::to_string(first) +
                     "); left out");
            }
        }
        if (ids.empty()) {
            Note("field " + path + ": no subfields; left as one value");
            return false;
        }
        bool renumbered = false;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const int id = static_cast<int>(i) + 1;
            renumbered = renumbered || ids[i] != id;
            std::optional<SubfieldNode> child =
                Child(*inner.at(ids[i]), path, std::to_string(id), depth, binary, false);
            if (!child) {
                // Where one subfield ends is where the next begins.
                Note("field " + path + ": without subfield " + std::to_string(ids[i]) +
                     " none after it can be placed; its subfields are left out");
                node.children.clear();
                return false;
            }
            node.children.push_back(std::move(*child));
        }
        if (renumbered) {
            Note("field " + path + ": positional subfields " + std::to_string(ids.front()) +
                 " to " + std::to_string(ids.back()) + " are numbered 1 to " +
                 std::to_string(ids.size()) + " with no gap, in their order");
        }
        return true;
    }

    bool Bitmapped(const XmlElement& bitmap, const JposClass& bitmapClass,
                   const std::map<int, const XmlElement*>& inner, int bitmapAt, int first,
                   const std::string& path, int depth, bool binary, SubfieldNode& node) {
        const std::string name = "field " + path;
        const std::optional<int> bytes = Number(bitmap.Attribute("length"));
        if (!bytes || *bytes < 1 || *bytes > kMaxInnerBitmapBytes) {
            Note(name + ": a bitmap of '" + Text(bitmap.Attribute("length")) +
                 "' bytes; the model reads 1 to 16; its subfields are left out");
            return false;
        }
        const bool hex = bitmapClass.data != JposData::kRaw;
        const Encoding hexSet =
            bitmapClass.data == JposData::kEbcdicHex ? Encoding::EBCDIC : Encoding::ASCII;
        // In a binary value hexadecimal bitmap characters are read in the dialect's character
        // set; in a text value they are the field's characters, which jPOS gives in ASCII.
        const Encoding readSet = binary ? def.chrEnc : Encoding::ASCII;
        if (hex && hexSet != readSet) {
            Note(name + ": a bitmap of " + NameOf(hexSet) +
                 " hexadecimal characters where the model reads them in " + NameOf(readSet) +
                 "; its subfields are left out");
            return false;
        }
        if (*bytes > 8) {
            Note(name + ": a bitmap of " + std::to_string(*bytes) +
                 " bytes, of which jPOS reads the second 8 only when bit 1 is set; the model reads "
                 "all " +
                 std::to_string(*bytes));
        }
        node.structure.layout = SubfieldLayout::kBitmap;
        node.structure.bitmapBytes = static_cast<std::uint8_t>(*bytes);
        node.structure.bitmapHex = hex;
        for (const auto& [id, element] : inner) {
            if (id == bitmapAt) continue;
            const std::string childName = name + "." + std::to_string(id);
            if (id < first) {
                Note(childName + ": before the first subfield jPOS reads (" +
                     std::to_string(first) + "); left out");
            } else if (id > 8 * *bytes) {
                Note(childName + ": no bit of a " + std::to_string(8 * *bytes) +
                     "-bit bitmap flags it; left out");
            } else if (auto child =
                           Child(*element, path, std::to_string(id), depth, binary, false)) {
                node.children.push_back(std::move(*child));
            }
        }
        if (hex && bitmapAt == 0 && node.Child("1") != nullptr) {
            Note(name +
                 ": jPOS takes 32 characters of this bitmap when bit 1 is set; the model takes " +
                 std::to_string(2 * *bytes));
        }
        return true;
    }

    bool Tagged(const XmlElement& e, const std::map<int, const XmlElement*>& inner,
                const std::string& path, int depth, bool binary, SubfieldNode& node) {
        const std::string name = "field " + path;
        const std::string mapper = Text(e.Attribute("tagMapper"));
        int mapperDigits = 0;
        if (mapper == "org.jpos.iso.packager.TTDecimalTagMapper") mapperDigits = 2;
        if (mapper == "org.jpos.iso.packager.TTTDecimalTagMapper") mapperDigits = 3;
        int tagChars = 0;
        int lengthDigits = 0;
        for (const auto& [id, element] : inner) {
            const JposClass* c = FindJposClass(Text(element->Attribute("class")));
            if (c == nullptr || c->kind != JposKind::kTagged) continue;
            if (tagChars == 0) {
                tagChars = c->tagChars;
                lengthDigits = c->digits;
            } else if (tagChars != c->tagChars || lengthDigits != c->digits) {
                Note(name +
                     ": elements of different tag or length sizes; the model reads one size of "
                     "each; its subfields are left out");
                return false;
            }
        }
        if (tagChars == 0) {
            Note(name + ": no tagged element classes (IFA_TT...); its subfields are left out");
            return false;
        }
        if (mapperDigits != tagChars) {
            Note(name + ": tag mapper '" + mapper + "' is not the decimal mapper of " +
                 std::to_string(tagChars) +
                 "-character tags; tags read as the subfield numbers in " +
                 std::to_string(tagChars) + " digits");
        }
        if (binary && def.chrEnc != Encoding::ASCII) {
            Note(name +
                 ": jPOS writes tags and lengths in ASCII, and the model reads them in the "
                 "dialect's " +
                 NameOf(def.chrEnc) + "; its subfields are left out");
            return false;
        }
        node.structure.layout = SubfieldLayout::kTagged;
        node.structure.tag = {static_cast<std::uint8_t>(tagChars), Encoding::CHAR};
        node.structure.length = {static_cast<std::uint8_t>(lengthDigits), Encoding::CHAR};
        const int first = FirstSubfield(e, inner, false);
        int most = 1;
        for (int i = 0; i < tagChars; ++i)
            most *= 10;
        for (const auto& [id, element] : inner) {
            const std::string childName = name + "." + std::to_string(id);
            if (id < first) {
                Note(childName + ": before the first subfield jPOS reads (" +
                     std::to_string(first) + "); left out");
                continue;
            }
            if (id >= most) {
                Note(childName + ": no tag of " + std::to_string(tagChars) +
                     " digits names it; left out");
                continue;
            }
            std::string tag = std::to_string(id);
            tag.insert(0, static_cast<std::size_t>(tagChars) - tag.size(), '0');
            if (auto child = Child(*element, path, tag, depth, binary, true)) {
                node.children.push_back(std::move(*child));
            }
        }
        return true;
    }

    // One subfield from its element: a value, or a packager of its own one level down; nullopt,
    // with a note, when the model cannot hold it.
    std::optional<SubfieldNode> Child(const XmlElement& e, const std::string& parent,
                                      const std::string& id, int depth, bool binary, bool tagged) {
        SubfieldNode node;
        node.id = id;
        const std::string path = parent + "." + id;
        const std::string name = "field " + path;
        const JposClass* c = ClassOf(e, name);
        if (c == nullptr) return std::nullopt;
        const std::optional<int> length = LengthOf(e, name);
        if (!length) return std::nullopt;
        const bool isTagged = c->kind == JposKind::kTagged;
        if (isTagged != tagged || (c->kind != JposKind::kValue && !isTagged)) {
            Note(name + ": class " + FullName(*c) +
                 (tagged ? " is no tagged element" : " is not read as a subfield here") +
                 "; left out");
            return std::nullopt;
        }
        std::optional<ValueLayout> v = LayoutOf(*c, *length, IsTrue(e.Attribute("pad")));
        if (!v) {
            Note(name + ": class " + FullName(*c) +
                 " writes its length prefix and its text in different character sets; left out");
            return std::nullopt;
        }
        if (!binary && !FitsText(*v)) {
            Note(name + ": class " + FullName(*c) +
                 " is not ASCII characters, which its field's text gives it; left out");
            return std::nullopt;
        }
        if (v->size > kMaxSize) {
            Note(name + ": length " + std::to_string(v->size) +
                 " is more than the model holds; read as at most " + std::to_string(kMaxSize));
            v->size = kMaxSize;
        }
        if (e.name == "isofieldpackager") PlanPackager(e, name, *v);
        node.defined = true;
        node.def.type = v->type;
        node.def.size = static_cast<std::int16_t>(v->size);
        // A tagged element's length is the element's own.
        node.def.sizeLen = tagged ? 0 : static_cast<std::int16_t>(v->sizeLen);
        node.def.description = Text(e.Attribute("name"));
        if (binary) {
            ValueLayout own = *v;
            if (tagged) own.sizeLen = 0;
            Settle(own);
            node.def.settings = SettingsFor(def, own);
        }
        if (e.name != "isofieldpackager") return node;
        if (depth >= kMaxSubfieldDepth) {
            Note(name + ": deeper than the " + std::to_string(kMaxSubfieldDepth) +
                 " levels of subfields the model holds; its subfields are left out");
            return node;
        }
        const std::string packager = Text(e.Attribute("packager"));
        const bool known = packager == kSubfieldPackager || packager == kBase1Packager ||
                           packager == kTaggedPackager || packager == kBerTlvPackager;
        if (known && Structure(e, path, depth + 1, !IsTextValue(*v), node)) {
            node.def.subfield = true;
        } else {
            // What a refused structure had begun is not kept.
            node.structure = SubfieldStructure{};
            node.children.clear();
        }
        return node;
    }

    ProtocolDef& def;
    InteropNotes& notes;
    const XmlElement* elements[kFieldCount] = {};
    FieldPlan plans[kFieldCount];
    std::optional<Encoding> mtiCharset;
    std::optional<Encoding> bitmapCharset;
    std::map<int, std::pair<int, bool>> amounts;  // IFB_AMOUNT fields: length, pad
};

}  // namespace

bool ImportJpos(std::string_view text, ProtocolDef& def, InteropNotes& notes, std::string& error) {
    XmlDocument doc;
    if (!ReadXml(text, doc, error)) return false;
    return Importer(def, notes).Run(doc, error);
}
