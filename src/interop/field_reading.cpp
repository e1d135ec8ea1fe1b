#include "interop/field_reading.h"

#include "model/pro_subfields.h"

namespace {

bool IsText(FieldType t) noexcept {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

// A value's columns and, where its units are its own, the encodings it is read with.
std::string Reading(const ProtocolDef& def, FieldType type, int size, int sizeLen, bool subfield,
                    const std::string& description, const FieldSettings* own) {
    std::string line = std::string(NameOf(type)) + " " + std::to_string(size);
    if (own == nullptr) {
        line += sizeLen > 0 ? " LEN " + std::to_string(sizeLen) : "";
    } else {
        const FieldSettings& s = *own;
        const Encoding data = DataEncodingOf(def, type, s);
        Encoding length = s.lenEnc.value_or(def.lenEnc);
        if (length == Encoding::NONE) length = Encoding::BIGEND;
        bool chars = IsText(type) || data == Encoding::CHAR || data == Encoding::HEX;
        if (sizeLen > 0) {
            line += " LEN " + std::to_string(sizeLen) + " " + NameOf(length);
            if (length == Encoding::BIGEND && sizeLen > 2 && s.prefixNumber) line += " WHOLE";
            if (s.prefixNibbles) line += " NIBBLES";
            if (length == Encoding::PBCD && s.prefixLeftAligned) line += " LEFT";
            chars = chars || length == Encoding::CHAR || length == Encoding::HEX;
        }
        if (!IsText(type)) line += std::string(" ") + NameOf(data);
        if (chars) line += std::string(" ") + NameOf(s.charset.value_or(def.chrEnc));
        if (data == Encoding::PBCD) {
            line += s.padSide == PadSide::kRight ? " PAD RIGHT" : "";
            line += s.padNibble.value_or(0) == 0xF ? " PAD F" : "";
        }
    }
    line += subfield ? " Y" : " N";
    return line + " '" + description + "'";
}

void Subfields(const ProtocolDef& def, const std::string& path, const SubfieldNode& node,
               bool binary, std::vector<std::string>& lines) {
    if (node.structure.layout != SubfieldLayout::kNone) {
        const char* kinds[] = {"", "POSITIONAL", "TAGGED", "BITMAP", "BER_TLV"};
        lines.back() += std::string(" ") + kinds[static_cast<int>(node.structure.layout)] + " " +
                        StructureItems(node.structure);
    }
    for (const SubfieldNode& child : node.children) {
        const std::string childPath = path + "." + child.id;
        if (!child.defined) {
            lines.push_back(childPath + " undefined");
            continue;
        }
        const SubfieldDef& d = child.def;
        std::string line = childPath + " " +
                           Reading(def, d.type, d.size, d.sizeLen, d.subfield, d.description,
                                   binary ? &d.settings : nullptr);
        if (d.rest) line += " REST";
        if (d.holds != SubfieldHolds::kNothing)
            line += " HOLDS " + std::to_string(static_cast<int>(d.holds));
        lines.push_back(std::move(line));
        Subfields(def, childPath, child, SubfieldValueIsBinary(d), lines);
    }
}

}  // namespace

std::vector<std::string> FieldReading(const ProtocolDef& def, int n) {
    std::vector<std::string> lines;
    if (n < kFirstDataElement || n > kLastField || def.fields[n].type == FieldType::U) return lines;
    const FldDef& f = def.fields[n];
    lines.push_back(
        std::to_string(n) + " " +
        Reading(def, f.type, f.size, f.sizeLen, f.subfield, f.description, &def.settings[n]));
    const SubfieldNode* node = def.subfields.Field(n);
    if (node != nullptr) Subfields(def, std::to_string(n), *node, ValueIsBinary(def, n), lines);
    // Without a structure of its own, chip data and a flagged binary field are read as data
    // objects all the same, as an explicit BER_TLV structure says.
    const bool declared = node != nullptr && node->structure.layout != SubfieldLayout::kNone;
    if (!declared && (n == 55 || (f.subfield && ValueIsBinary(def, n)))) {
        lines.front() += " BER_TLV ";
    }
    return lines;
}
