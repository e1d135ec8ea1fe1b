// A protocol definition written as a jPOS generic packager that GenericPackager loads: valid
// against its DTD, each field the first class that reads exactly as the field's effective
// encodings say (jpos_classes.cpp), subfields through jPOS's subfield packagers. What no class
// holds is said in a note and left out, never written approximately.
#include <optional>
#include <string>
#include <vector>

#include "interop/interop.h"
#include "interop/jpos_classes.h"
#include "interop/jpos_xml.h"

namespace {

struct Choice {
    const JposClass* c = nullptr;
    bool pad = true;
    int length = 0;
};

bool IsTextType(FieldType t) {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

// The greatest length the class's prefix can count.
long MostLength(const JposClass& c) {
    if (c.prefix == JposPrefix::kNone) return 1L << 30;
    if (c.prefix == JposPrefix::kBinary) return c.digits == 1 ? 255 : 65535;
    long most = 1;
    for (int i = 0; i < c.digits; ++i)
        most *= 10;
    // A count of nibbles counts twice the bytes.
    return c.prefix == JposPrefix::kHexNibbles ? (most - 1) / 2 : most - 1;
}

std::string Units(int count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units");
}

std::string Attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + XmlAttributeText(value) + "\"";
}

class Exporter {
  public:
    Exporter(const ProtocolDef& definition, std::string& text, InteropNotes& out)
        : def(definition), xml(text), notes(out) {}

    void Run() {
        xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<!DOCTYPE isopackager "
            "SYSTEM \"genericpackager.dtd\">\n";
        WriteName();
        xml += "<isopackager";
        if (def.options.header >= 0)
            xml += Attribute("headerLength", std::to_string(def.options.header));
        xml += ">\n";
        WriteMti();
        WriteBitmap();
        for (int n = kFirstDataElement; n <= kLastField; ++n)
            WriteField(n);
        xml += "</isopackager>\n";
        NoteWhatIsLeft();
    }

  private:
    void Note(std::string text) { notes.push_back(std::move(text)); }

    // A packager has no name: the reader takes it back from this comment.
    void WriteName() {
        std::string name = def.name;
        if (name.empty()) return;
        // A comment holds no "--" and does not end in "-".
        bool changed = false;
        for (std::size_t at = name.find("--"); at != std::string::npos; at = name.find("--", at)) {
            name.insert(at + 1, " ");
            changed = true;
        }
        if (name.back() == '-') {
            name += " ";
            changed = true;
        }
        if (changed) {
            Note(
                "the name holds '--' or ends in '-', which an XML comment cannot; written with a "
                "blank between");
        }
        xml += "<!-- name: " + name + " -->\n";
    }

    void WriteMti() {
        std::string cls = "org.jpos.iso.IFA_NUMERIC";
        std::string pad;
        if (def.mtiEnc == Encoding::PBCD) {
            cls = "org.jpos.iso.IFB_NUMERIC";
            pad = Attribute("pad", "true");
        } else if (def.chrEnc == Encoding::EBCDIC) {
            cls = "org.jpos.iso.IFE_NUMERIC";
        }
        xml += "  <isofield" + Attribute("id", "0") + Attribute("length", "4") +
               Attribute("name", "Message type indicator") + Attribute("class", cls) + pad + "/>\n";
    }

    void WriteBitmap() {
        std::string cls = "org.jpos.iso.IFB_BITMAP";
        if (def.bmpEnc == Encoding::HEX) {
            cls = def.chrEnc == Encoding::EBCDIC ? "org.jpos.iso.IFE_BITMAP"
                                                 : "org.jpos.iso.IFA_BITMAP";
        } else if (def.bmpEnc == Encoding::CHAR) {
            Note(
                "field 1: a bitmap of '0' and '1' characters (BMP_Enc CHAR) has no jPOS class; "
                "written as IFB_BITMAP, 8 bytes a block");
        }
        if (def.options.fixedBitmap) {
            Note(
                "field 1: jPOS reads the second half of the bitmap only when bit 1 is set, never "
                "always (OPTION BITMAP FIXED128); left out");
        }
        xml += "  <isofield" + Attribute("id", "1") + Attribute("length", "16") +
               Attribute("name", "Bitmap") + Attribute("class", cls) + "/>\n";
    }

    // The first written class that reads a value as the layout says, or nullopt with a note.
    // track: the reader takes packed digits of this field for track data.
    std::optional<Choice> ChooseClass(ValueLayout v, const std::string& name, bool track = false) {
        if (IsTextType(v.type) && v.type != FieldType::ANS) {
            Note(name + ": type " + std::string(NameOf(v.type)) +
                 " has no jPOS class of its own; written as characters, which read back as ANS");
            v.type = FieldType::ANS;
        }
        if (v.type == FieldType::Z) {
            // Packed track data is BCD with '=' as the nibble D, which jPOS's BCD packs and
            // shows; other Z data is bytes.
            if (v.dataEnc == Encoding::PBCD) {
                if (!v.padSide) {
                    Note(name +
                         ": track data padded with F at either end; written padded with F on the "
                         "right");
                    v.padSide = PadSide::kRight;
                    v.padNibble = 0xF;
                }
                if (!track) {
                    Note(name + ": packed track data is read back as N digits, without '='");
                }
                v.type = FieldType::N;
                if (v.padSide == PadSide::kLeft) v.padSide.reset();
            } else {
                Note(name +
                     ": type Z has no jPOS class of its own; written as bytes, which read back as "
                     "B");
                v.type = FieldType::B;
            }
            Settle(v);
        } else if (track && v.type == FieldType::N && v.dataEnc == Encoding::PBCD) {
            Note(name +
                 ": packed digits in a track field are read back as packed track data (Z), "
                 "as jPOS's BCD shows the nibble D as '='");
        }
        for (const JposClass& c : JposClasses()) {
            if (!c.written || c.kind != JposKind::kValue) continue;
            for (const bool pad : {true, false}) {
                const std::optional<ValueLayout> candidate = LayoutOf(c, v.size, pad);
                if (candidate && *candidate == v) return Fit(c, pad, v.size, name);
            }
        }
        Note(name + ": no jPOS class holds " + Describe(v) + "; left out");
        return std::nullopt;
    }

    std::optional<Choice> Fit(const JposClass& c, bool pad, int size, const std::string& name) {
        const long most = MostLength(c);
        if (size > most) {
            Note(name + ": size " + std::to_string(size) + " is more than class " + FullName(c) +
                 " counts; written as " + std::to_string(most));
            size = static_cast<int>(most);
        }
        return Choice{&c, pad, size};
    }

    static bool Packed(const JposClass& c) {
        return c.data == JposData::kPacked || c.data == JposData::kPackedF;
    }

    // The attributes every field element starts with.
    static std::string Head(const std::string& id, const Choice& choice,
                            const std::string& description) {
        std::string head = Attribute("id", id) +
                           Attribute("length", std::to_string(choice.length)) +
                           Attribute("name", description) + Attribute("class", FullName(*choice.c));
        if (Packed(*choice.c)) head += Attribute("pad", choice.pad ? "true" : "false");
        return head;
    }

    void WriteField(int n) {
        const FldDef& f = def.fields[n];
        if (f.type == FieldType::U) return;
        const std::string name = "field " + std::to_string(n);
        const ValueLayout v = LayoutInDialect(def, f.type, f.size, f.sizeLen, def.settings[n]);
        const std::optional<Choice> choice = ChooseClass(v, name, n == 35 || n == 36);
        if (!choice) return;
        const std::string head = Head(std::to_string(n), *choice, f.description);
        std::string inner;
        std::string packager;
        if (f.subfield) {
            packager = Packager(def.subfields.Field(n), std::to_string(n), !ValueIsBinary(def, n),
                                inner, "    ");
        }
        if (packager.empty()) {
            xml += "  <isofield" + head + "/>\n";
            return;
        }
        xml += inner.empty() ? "  <isofieldpackager" + head + packager + "/>\n"
                             : "  <isofieldpackager" + head + packager + ">\n" + inner +
                                   "  </isofieldpackager>\n";
    }

    // The packager attributes of the node's structure with its inner elements in inner, or ""
    // (with a note) when no jPOS packager reads it as the model does.
    std::string Packager(const SubfieldNode* node, const std::string& path, bool text,
                         std::string& inner, const std::string& indent) {
        const std::string name = "field " + path;
        const SubfieldLayout layout =
            node != nullptr ? node->structure.layout : SubfieldLayout::kNone;
        if (layout == SubfieldLayout::kNone || layout == SubfieldLayout::kBerTlv) {
            if (!text) {
                if (node != nullptr && !node->children.empty()) {
                    Note(name +
                         ": what its data objects are named has no place in a BER-TLV packager; "
                         "left out");
                }
                return Attribute("packager", "org.jpos.tlv.packager.bertlv.BERTLVBinaryPackager") +
                       Attribute("emitBitmap", "false");
            }
            Note(name + ": a subfield flag without a structure jPOS reads; written as one value");
            return {};
        }
        std::string plain;
        std::string nested;
        std::string attributes;
        bool ok = true;
        switch (layout) {
            case SubfieldLayout::kPositional:
                ok = Positional(*node, path, text, plain, nested, indent);
                attributes =
                    Attribute("packager", "org.jpos.iso.packager.GenericSubFieldPackager") +
                    Attribute("emitBitmap", "false");
                break;
            case SubfieldLayout::kBitmap:
                ok = Bitmapped(*node, path, text, plain, nested, indent, attributes);
                break;
            case SubfieldLayout::kTagged:
                ok = Tagged(*node, path, text, plain, nested, indent, attributes);
                break;
            default:
                ok = false;
                break;
        }
        // The DTD has every packager element begin with a plain field.
        if (ok && plain.empty()) {
            Note(name +
                 ": every subfield holds subfields of its own, and jPOS's DTD asks for a plain one "
                 "first; written as one value");
            ok = false;
        }
        if (!ok) return {};
        inner = plain + nested;
        return attributes;
    }

    bool Positional(const SubfieldNode& node, const std::string& path, bool text,
                    std::string& plain, std::string& nested, const std::string& indent) {
        for (const SubfieldNode& child : node.children) {
            if (child.def.rest) {
                Note("field " + path + "." + child.id +
                     ": takes the rest of the value, which no jPOS class does; field " + path +
                     " written as one value");
                return false;
            }
        }
        for (const SubfieldNode& child : node.children) {
            if (!Member(child, path, child.id, text, {}, {}, plain, nested, indent)) {
                Note("field " + path + ": without subfield " + path + "." + child.id +
                     " none after it can be placed; written as one value");
                return false;
            }
        }
        return true;
    }

    bool Bitmapped(const SubfieldNode& node, const std::string& path, bool text, std::string& plain,
                   std::string& nested, const std::string& indent, std::string& attributes) {
        const std::string name = "field " + path;
        const SubfieldStructure& s = node.structure;
        const SubfieldNode* first = node.Child("1");
        const bool base1 = first != nullptr && first->defined;
        if (s.bitmapHex && base1) {
            Note(name +
                 ": subfield 1 behind a hexadecimal bitmap, which jPOS reads as the flag of a "
                 "second bitmap; written as one value");
            return false;
        }
        std::string cls = "org.jpos.iso.IFB_BITMAP";
        if (s.bitmapHex) {
            const bool ebcdic = !text && def.chrEnc == Encoding::EBCDIC;
            cls = ebcdic ? "org.jpos.iso.IFE_BITMAP" : "org.jpos.iso.IFA_BITMAP";
        }
        if (s.bitmapBytes > 8) {
            Note(name + ": a bitmap of " + std::to_string(s.bitmapBytes) +
                 " bytes, of which jPOS reads the second 8 only when bit 1 is set");
        }
        plain += indent + "<isofield" + Attribute("id", base1 ? "0" : "1") +
                 Attribute("length", std::to_string(s.bitmapBytes)) + Attribute("name", "Bitmap") +
                 Attribute("class", cls) + "/>\n";
        // Base1SubFieldPackager reads its bitmap from subfield 0 and lets bit 1 flag subfield 1;
        // GenericSubFieldPackager keeps bit 1 for its bitmap.
        attributes = base1
                         ? Attribute("packager", "org.jpos.iso.packager.Base1SubFieldPackager")
                         : Attribute("packager", "org.jpos.iso.packager.GenericSubFieldPackager") +
                               Attribute("emitBitmap", "true");
        for (const SubfieldNode& child : node.children) {
            if (!child.defined) continue;
            if (!Member(child, path, child.id, text, {}, {}, plain, nested, indent)) {
                Note("field " + path + "." + child.id + ": left out of the bitmap's subfields");
            }
        }
        return true;
    }

    bool Tagged(const SubfieldNode& node, const std::string& path, bool text, std::string& plain,
                std::string& nested, const std::string& indent, std::string& attributes) {
        const std::string name = "field " + path;
        const SubfieldStructure& s = node.structure;
        std::string why;
        if (s.head > 0) {
            why = "a head of " + Units(s.head) + " before its elements";
        } else if (s.lengthFirst) {
            why = "the length before the tag";
        } else if (!text &&
                   (s.tag.encoding != Encoding::CHAR || s.length.encoding != Encoding::CHAR)) {
            why = "a tag or length not written as characters";
        } else if (!text && def.chrEnc != Encoding::ASCII) {
            why = "tags and lengths in EBCDIC";
        } else if (s.tag.units != 2 && !(s.tag.units == 3 && s.length.units == 3)) {
            why = "tags of " + std::to_string(s.tag.units) + " characters with lengths of " +
                  std::to_string(s.length.units);
        } else if (s.length.units > 4) {
            why = "lengths of " + std::to_string(s.length.units) + " digits";
        }
        for (const SubfieldNode& child : node.children) {
            if (!why.empty()) break;
            const bool digits = child.id.size() == s.tag.units &&
                                child.id.find_first_not_of("0123456789") == std::string::npos;
            if (!digits)
                why = "tag " + child.id + ", which is not " + std::to_string(s.tag.units) +
                      " decimal digits";
        }
        if (!why.empty()) {
            Note(name + ": " + why + ", which no jPOS tagged packager reads; written as one value");
            return false;
        }
        const std::string mapper = s.tag.units == 2 ? "org.jpos.iso.packager.TTDecimalTagMapper"
                                                    : "org.jpos.iso.packager.TTTDecimalTagMapper";
        attributes = Attribute("packager", "org.jpos.iso.packager.GenericTaggedFieldsPackager") +
                     Attribute("tagMapper", mapper);
        // jPOS starts at subfield 1 unless told: tag 00 needs firstField.
        if (node.Child("0") != nullptr) attributes += Attribute("firstField", "0");
        for (const SubfieldNode& child : node.children) {
            if (!child.defined) continue;
            const std::string id = std::to_string(IdNumber(child.id));
            if (!Member(child, path, id, text, s.tag, s.length, plain, nested, indent)) {
                Note("field " + path + "." + child.id + ": left out of the tagged elements");
            }
        }
        return true;
    }

    // One subfield's element into plain, or nested when it holds subfields of its own. False
    // when no class holds it (a note says why).
    bool Member(const SubfieldNode& child, const std::string& parent, const std::string& id,
                bool text, const ElementPart& tag, const ElementPart& length, std::string& plain,
                std::string& nested, const std::string& indent) {
        const std::string path = parent + "." + child.id;
        const std::string name = "field " + path;
        if (!child.defined) {
            Note(name + ": not defined");
            return false;
        }
        const SubfieldDef& d = child.def;
        const ValueLayout v = text ? LayoutInText(d.type, d.size, d.sizeLen)
                                   : LayoutInDialect(def, d.type, d.size, d.sizeLen, d.settings);
        const std::optional<Choice> choice =
            tag.units > 0 ? ChooseTagged(v, name, tag.units, length.units) : ChooseClass(v, name);
        if (!choice) return false;
        if (d.holds != SubfieldHolds::kNothing) {
            Note(name +
                 ": what it holds (HOLDS) is for masking, which a jPOS packager does not say; left "
                 "out");
        }
        const std::string head = Head(id, *choice, d.description);
        if (!d.subfield) {
            plain += indent + "<isofield" + head + "/>\n";
            return true;
        }
        std::string inner;
        const std::string packager =
            Packager(&child, path, !SubfieldValueIsBinary(d), inner, indent + "  ");
        if (packager.empty()) {
            plain += indent + "<isofield" + head + "/>\n";
            return true;
        }
        nested += inner.empty() ? indent + "<isofieldpackager" + head + packager + "/>\n"
                                : indent + "<isofieldpackager" + head + packager + ">\n" + inner +
                                      indent + "</isofieldpackager>\n";
        return true;
    }

    std::optional<Choice> ChooseTagged(ValueLayout v, const std::string& name, int tagChars,
                                       int lengthDigits);

    void NoteWhatIsLeft() {
        int messages = 0;
        for (int i = 0; i < MsgTable::kSlots; ++i)
            messages += def.messages.At(i) != nullptr ? 1 : 0;
        if (messages > 0) {
            Note("messages: " + std::to_string(messages) +
                 (messages == 1 ? " message definition has" : " message definitions have") +
                 " no place in a jPOS packager; left out");
        }
        const bool variable = HasVariableField(def);
        if (variable && !def.options.emptyFields) {
            Note(
                "OPTION EMPTY_FIELDS: jPOS reads a variable field of length 0 as an empty value, "
                "which this definition refuses");
        } else if (!variable && def.options.emptyFields) {
            Note(
                "OPTION EMPTY_FIELDS: no field is variable, and jPOS is told nothing of it; left "
                "out");
        }
    }

    const ProtocolDef& def;
    std::string& xml;
    InteropNotes& notes;
};

// A tagged element's value is its delegate's: the element's length is the delegate's prefix.
std::optional<Choice> Exporter::ChooseTagged(ValueLayout v, const std::string& name, int tagChars,
                                             int lengthDigits) {
    if (IsTextType(v.type) && v.type != FieldType::ANS) {
        Note(name + ": type " + std::string(NameOf(v.type)) +
             " has no tagged jPOS class of its own; written as characters, which read back as ANS");
        v.type = FieldType::ANS;
    }
    if (v.type == FieldType::N && v.dataEnc == Encoding::CHAR) {
        Note(name +
             ": numbers have no tagged jPOS class; written as characters, which read back as ANS");
        v.type = FieldType::ANS;
        v.dataEnc = Encoding::ASCII;
    }
    for (const JposClass& c : JposClasses()) {
        if (c.kind != JposKind::kTagged || c.tagChars != tagChars || c.digits != lengthDigits) {
            continue;
        }
        // The element's length is the delegate's prefix: ASCII digits, as jPOS writes the tag.
        ValueLayout delegate = v;
        delegate.sizeLen = c.digits;
        delegate.lenEnc = Encoding::CHAR;
        if (!delegate.charset) delegate.charset = Encoding::ASCII;
        Settle(delegate);
        const std::optional<ValueLayout> candidate = LayoutOf(c, v.size, true);
        if (candidate && *candidate == delegate) return Choice{&c, true, v.size};
    }
    Note(name + ": no jPOS tagged class holds " + Describe(v) + "; left out");
    return std::nullopt;
}

}  // namespace

void ExportJpos(const ProtocolDef& def, std::string& out, InteropNotes& notes) {
    out.clear();
    Exporter(def, out, notes).Run();
}
