#include "model/pro_subfields.h"

#include <cstring>

#include "model/pro_settings.h"
#include "model/pro_tokens.h"
#include "support/text.h"

namespace {

using pro_tokens::NextToken;
using pro_tokens::ReadCount;

struct Kind {
    const char* name;
    SubfieldLayout layout;
};
constexpr Kind kKinds[] = {{"POSITIONAL", SubfieldLayout::kPositional},
                           {"TAGGED", SubfieldLayout::kTagged},
                           {"BITMAP", SubfieldLayout::kBitmap},
                           {"BER_TLV", SubfieldLayout::kBerTlv}};

struct Holding {
    const char* name;
    SubfieldHolds holds;
};
constexpr Holding kHoldings[] = {{"NOTHING", SubfieldHolds::kNothing},
                                 {"PAN", SubfieldHolds::kCardNumber},
                                 {"TRACK", SubfieldHolds::kTrackData},
                                 {"SECRET", SubfieldHolds::kSecret}};

const char* KindName(SubfieldLayout layout) noexcept {
    for (const Kind& kind : kKinds) {
        if (kind.layout == layout) return kind.name;
    }
    return "";
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The line's items, trimmed, separated by semicolons (empty ones skipped).
std::vector<char*> Items(char* value) {
    CollapseBlanks(value);
    std::vector<char*> items;
    char* cursor = value;
    while (char* item = NextToken(cursor, ';')) {
        item = TrimSpaces(item);
        if (*item != '\0') items.push_back(item);
    }
    return items;
}

// The path of a subfield (at least one id below the field) or of any node.
std::string ReadPath(const char* text, bool subfieldOnly, SubfieldPath& path) {
    if (!SplitPath(text, path)) {
        return "path " + Quoted(text) +
               " is not a field number from 2 to 128 followed by ids separated by dots";
    }
    if (subfieldOnly && path.ids.empty()) {
        return "path " + Quoted(text) + " names a field, not a subfield: 48.1, say";
    }
    return {};
}

// "TAG 2 BIGEND", "LEN 3": the units and the encoding in a binary value.
std::string ReadElementPart(char* words, int most, ElementPart& part) {
    char* cursor = words;
    const char* what = NextToken(cursor, ' ');
    const char* units = NextToken(cursor, ' ');
    const char* encoding = NextToken(cursor, ' ');
    const int count = units != nullptr ? ReadCount(units, most) : -1;
    if (count < 1) {
        return std::string(what) + " takes a number of units from 1 to " + std::to_string(most);
    }
    part.units = static_cast<std::uint8_t>(count);
    part.encoding = Encoding::CHAR;
    if (encoding != nullptr) {
        const Encoding e = EncodingFromName(encoding);
        if (e != Encoding::CHAR && e != Encoding::PBCD && e != Encoding::BIGEND) {
            return std::string(what) + " " + Quoted(encoding) + " is not CHAR, PBCD or BIGEND";
        }
        part.encoding = e;
    }
    if (NextToken(cursor, ' ') != nullptr)
        return std::string(what) + " takes a number and an encoding";
    return {};
}

std::string ReadTagged(const std::vector<char*>& items, SubfieldStructure& s) {
    bool tag = false;
    bool length = false;
    for (std::size_t i = 2; i < items.size(); ++i) {
        char* item = items[i];
        if (std::strncmp(item, "TAG ", 4) == 0) {
            if (std::string problem = ReadElementPart(item, kMaxTagUnits, s.tag); !problem.empty())
                return problem;
            s.lengthFirst = length && !tag;
            tag = true;
        } else if (std::strncmp(item, "LEN ", 4) == 0) {
            std::string problem = ReadElementPart(item, kMaxElementLengthUnits, s.length);
            if (!problem.empty()) return problem;
            s.lengthFirst = !tag;
            length = true;
        } else if (std::strncmp(item, "HEAD ", 5) == 0) {
            const int units = ReadCount(item + 5, kMaxHeadUnits);
            if (units < 0)
                return "HEAD takes a number of units from 0 to " + std::to_string(kMaxHeadUnits);
            s.head = static_cast<std::int16_t>(units);
        } else {
            return Quoted(item) + " is none of TAG, LEN and HEAD";
        }
    }
    if (!tag || !length) return "TAGGED takes TAG and LEN: TAGGED; TAG 2; LEN 2";
    return {};
}

std::string ReadBitmap(const std::vector<char*>& items, SubfieldStructure& s) {
    const int bytes = items.size() > 2 ? ReadCount(items[2], kMaxInnerBitmapBytes) : -1;
    if (bytes < 1) {
        return "BITMAP takes its size in bytes, 1 to " + std::to_string(kMaxInnerBitmapBytes) +
               ": BITMAP; 8";
    }
    s.bitmapBytes = static_cast<std::uint8_t>(bytes);
    if (items.size() > 3) {
        if (std::strcmp(items[3], "HEX") != 0 || items.size() > 4) {
            return "BITMAP takes its size and, written as hexadecimal characters, HEX";
        }
        s.bitmapHex = true;
    }
    return {};
}

bool Put(std::FILE* stream, const char* text) noexcept {
    return std::fputs(text, stream) >= 0;
}

bool WriteNode(std::FILE* stream, const std::string& path, const SubfieldNode& node, bool top) {
    if (!top && node.defined) {
        const SubfieldDef& d = node.def;
        if (std::fprintf(stream, "SUBFIELD= %s; %4s; %3d; %1d; %c; %s\n", path.c_str(),
                         NameOf(d.type), d.size, d.sizeLen, d.subfield ? 'Y' : 'N',
                         d.description.c_str()) < 0) {
            return false;
        }
    }
    if (!top) {
        const std::string lead = "SUBFIELD_OPTION= " + path;
        if (!WriteFieldSettings(stream, lead.c_str(), node.def.settings)) return false;
        if (node.def.rest && std::fprintf(stream, "%s; REST; Y\n", lead.c_str()) < 0) return false;
        for (const Holding& h : kHoldings) {
            if (node.def.holds != SubfieldHolds::kNothing && h.holds == node.def.holds &&
                std::fprintf(stream, "%s; HOLDS; %s\n", lead.c_str(), h.name) < 0) {
                return false;
            }
        }
    }
    const SubfieldStructure& s = node.structure;
    if (s.layout != SubfieldLayout::kNone) {
        const std::string items = StructureItems(s);
        if (std::fprintf(stream, "STRUCTURE= %s; %s%s%s\n", path.c_str(), KindName(s.layout),
                         items.empty() ? "" : "; ", items.c_str()) < 0) {
            return false;
        }
    }
    for (const SubfieldNode& child : node.children) {
        if (!WriteNode(stream, path + "." + child.id, child, false)) return false;
    }
    return true;
}

void Settle(SubfieldNode& node) noexcept {
    for (SubfieldNode& child : node.children) {
        // On a fixed subfield the setting stays, for lint to find and the writer to keep.
        if (child.def.settings.sixUnitPrefix && child.def.sizeLen > 0) {
            child.def.sizeLen = kMaxPrefixUnits;
            child.def.settings.sixUnitPrefix = false;
        }
        Settle(child);
    }
}

std::string PartText(const char* what, const ElementPart& part) {
    std::string text = std::string(what) + " " + std::to_string(part.units);
    if (part.encoding != Encoding::CHAR) text += std::string(" ") + NameOf(part.encoding);
    return text;
}

bool IsUpperHex(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Why a tagged element's id cannot be a tag of that structure, or "".
std::string TagIdProblem(const std::string& id, const ElementPart& tag, bool binaryParent) {
    const Encoding e = binaryParent ? tag.encoding : Encoding::CHAR;
    const std::size_t units = tag.units;
    if (e == Encoding::CHAR) {
        if (id.size() == units) return {};
        return "tag " + Quoted(id) + " is not " + std::to_string(units) + " character" +
               (units == 1 ? "" : "s") + ", as TAG says";
    }
    const bool digits = e == Encoding::PBCD;
    bool fits = id.size() == 2 * units;
    for (char c : id)
        fits = fits && (digits ? c >= '0' && c <= '9' : IsUpperHex(c));
    if (fits) return {};
    return "tag " + Quoted(id) + " is not " + std::to_string(2 * units) +
           (digits ? " decimal digits" : " upper-case hexadecimal digits") + ", as TAG " +
           NameOf(e) + " says";
}

class Contradictions {
  public:
    explicit Contradictions(const ProtocolDef& definition) : def(definition) {}

    std::vector<SubfieldFinding> Run() {
        for (const SubfieldNode& top : def.subfields.Fields()) {
            const int n = IdNumber(top.id);
            const FldDef& field = def.fields[n];
            const std::string name = "field " + top.id;
            if (field.type == FieldType::U) {
                Note(top.id, name + ": subfields for a field that is not defined");
                continue;
            }
            if (top.structure.layout != SubfieldLayout::kNone && !field.subfield) {
                Note(top.id, name + ": a STRUCTURE, but the field's subfield flag is N");
            }
            Node(top.id, name, top, !ValueIsBinary(def, n), field.size);
        }
        return std::move(found);
    }

  private:
    void Note(const std::string& path, std::string text) {
        found.push_back({path, std::move(text)});
    }

    // The node's structure against its children; text: the node's value is characters.
    void Node(const std::string& path, const std::string& name, const SubfieldNode& node, bool text,
              int size) {
        const SubfieldStructure& s = node.structure;
        if (s.layout == SubfieldLayout::kNone && !node.children.empty()) {
            Note(path, name + ": subfields, but no STRUCTURE line says how they are laid out");
        }
        if (s.layout == SubfieldLayout::kTagged && text &&
            (s.tag.encoding != Encoding::CHAR || s.length.encoding != Encoding::CHAR)) {
            Note(path,
                 name + ": a text value writes tags and lengths as characters, not " +
                     NameOf(s.tag.encoding != Encoding::CHAR ? s.tag.encoding : s.length.encoding));
        }
        int fixedUnits = 0;
        bool allFixed = s.layout == SubfieldLayout::kPositional;
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            const SubfieldNode& child = node.children[i];
            const std::string childPath = path + "." + child.id;
            const std::string childName = "subfield " + childPath;
            Child(childPath, childName, node, i, text);
            allFixed = allFixed && child.def.sizeLen == 0 && !child.def.rest;
            fixedUnits += child.def.size;
            if (child.defined) {
                Node(childPath, childName, child, !SubfieldValueIsBinary(child.def),
                     child.def.size);
            }
        }
        if (allFixed && text && fixedUnits > size) {
            Note(path, name + ": its positional subfields take " + std::to_string(fixedUnits) +
                           " characters, more than its size " + std::to_string(size));
        }
    }

    void Child(const std::string& path, const std::string& name, const SubfieldNode& parent,
               std::size_t index, bool textParent) {
        const SubfieldNode& child = parent.children[index];
        const SubfieldDef& d = child.def;
        if (!child.defined) return Note(path, name + ": no SUBFIELD line defines it");
        const SubfieldStructure& s = parent.structure;
        const int number = IdNumber(child.id);
        switch (s.layout) {
            case SubfieldLayout::kPositional:
                if (number != static_cast<int>(index) + 1) {
                    Note(path, name +
                                   ": positional subfields are numbered from 1 with no gap, "
                                   "and this is number " +
                                   std::to_string(index + 1));
                }
                if (d.rest && (index + 1 != parent.children.size() || d.sizeLen != 0)) {
                    Note(path, name +
                                   ": REST applies to the last positional subfield, "
                                   "of no length prefix");
                }
                break;
            case SubfieldLayout::kBitmap:
                if (number < 1 || number > 8 * s.bitmapBytes) {
                    Note(path, name + ": " + Quoted(child.id) + " is not a bit of the " +
                                   std::to_string(8 * s.bitmapBytes) + "-bit bitmap");
                }
                break;
            case SubfieldLayout::kTagged: {
                if (d.sizeLen != 0) {
                    Note(path, name + ": a tagged element's length is its own; size len must be 0");
                }
                std::string problem = TagIdProblem(child.id, s.tag, !textParent);
                if (!problem.empty()) Note(path, name + ": " + problem);
                break;
            }
            default:
                break;
        }
        if (d.rest && s.layout != SubfieldLayout::kPositional) {
            Note(path, name + ": REST applies to the last positional subfield");
        }
        if (child.structure.layout != SubfieldLayout::kNone && !d.subfield) {
            Note(path, name + ": a STRUCTURE, but its subfield flag is N");
        }
        if (textParent && d.settings.Any()) {
            Note(path, name + ": encoding settings apply inside a binary value, and " +
                           "its parent's value is text");
            return;
        }
        std::string contradiction = SettingsContradiction(def, name, d.type, d.sizeLen, d.settings);
        if (!contradiction.empty()) Note(path, std::move(contradiction));
    }

    const ProtocolDef& def;
    std::vector<SubfieldFinding> found;
};

}  // namespace

SubfieldRead ReadStructureLine(char* value, ProtocolDef& def) {
    SubfieldRead read;
    const std::vector<char*> items = Items(value);
    if (items.size() < 2) {
        read.problem = "STRUCTURE= takes a path and a kind: STRUCTURE= 48; TAGGED; TAG 2; LEN 2";
        return read;
    }
    read.path = items[0];
    SubfieldPath path;
    read.problem = ReadPath(items[0], false, path);
    if (!read.problem.empty()) return read;
    SubfieldStructure s;
    for (const Kind& kind : kKinds) {
        if (std::strcmp(items[1], kind.name) == 0) s.layout = kind.layout;
    }
    switch (s.layout) {
        case SubfieldLayout::kTagged:
            read.problem = ReadTagged(items, s);
            break;
        case SubfieldLayout::kBitmap:
            read.problem = ReadBitmap(items, s);
            break;
        case SubfieldLayout::kNone:
            read.problem =
                "kind " + Quoted(items[1]) + " is none of POSITIONAL, TAGGED, BITMAP and BER_TLV";
            break;
        default:
            if (items.size() > 2) {
                read.problem = std::string(items[1]) + " takes no items after it";
            }
            break;
    }
    if (read.problem.empty()) def.subfields.Make(path).structure = s;
    return read;
}

SubfieldRead ReadSubfieldLine(char* value, ProtocolDef& def) {
    SubfieldRead read;
    const std::vector<char*> items = Items(value);
    if (items.size() < 5 || items.size() > 6) {
        read.problem =
            "SUBFIELD= takes a path, type, size, size len, subfield flag and description: "
            "SUBFIELD= 48.1; ANS; 20; 0; N; Name";
        return read;
    }
    read.path = items[0];
    SubfieldPath path;
    read.problem = ReadPath(items[0], true, path);
    if (!read.problem.empty()) return read;
    SubfieldDef d;
    d.type = FieldTypeFromName(items[1]);
    const int size = ReadCount(items[2], 32767);
    const int sizeLen = ReadCount(items[3], kMaxPrefixUnits);
    const char* flag = items[4];
    if (d.type == FieldType::U) {
        read.problem = "type " + Quoted(items[1]) + " is none of N, A, AN, ANS, AS, B and Z";
    } else if (size < 1) {
        read.problem = "size " + Quoted(items[2]) + " is not a number from 1 to 32767";
    } else if (sizeLen < 0) {
        read.problem = "size len " + Quoted(items[3]) +
                       " is not a number of prefix units from 0 to " +
                       std::to_string(kMaxPrefixUnits);
    } else if (std::strcmp(flag, "Y") != 0 && std::strcmp(flag, "N") != 0) {
        read.problem = "subfield flag " + Quoted(flag) + " is neither Y nor N";
    }
    if (!read.problem.empty()) return read;
    SubfieldNode& node = def.subfields.Make(path);
    node.defined = true;
    node.def.type = d.type;
    node.def.size = static_cast<std::int16_t>(size);
    node.def.sizeLen = static_cast<std::int16_t>(sizeLen);
    node.def.subfield = flag[0] == 'Y';
    node.def.description = items.size() > 5 ? DefinitionText(items[5]) : "";
    return read;
}

SubfieldRead ReadSubfieldOptionLine(char* value, ProtocolDef& def) {
    SubfieldRead read;
    const std::vector<char*> items = Items(value);
    if (items.size() != 3) {
        read.problem =
            "SUBFIELD_OPTION= takes a path, a name and a value: SUBFIELD_OPTION= 48.1; NAME; VALUE";
        return read;
    }
    read.path = items[0];
    read.name = items[1];
    SubfieldPath path;
    read.problem = ReadPath(items[0], true, path);
    if (!read.problem.empty()) return read;
    // Read into a copy: a value that cannot be read changes nothing.
    SubfieldDef d =
        def.subfields.Find(items[0]) != nullptr ? def.subfields.Find(items[0])->def : SubfieldDef{};
    if (read.name == "REST") {
        if (std::strcmp(items[2], "Y") == 0 || std::strcmp(items[2], "N") == 0) {
            d.rest = items[2][0] == 'Y';
        } else {
            read.problem = Quoted(items[2]) + " is neither Y nor N";
        }
    } else if (read.name == "HOLDS") {
        read.problem = Quoted(items[2]) + " is none of PAN, TRACK, SECRET and NOTHING";
        for (const Holding& h : kHoldings) {
            if (std::strcmp(items[2], h.name) == 0) {
                d.holds = h.holds;
                read.problem.clear();
            }
        }
    } else {
        read.problem = ReadFieldSetting(items[1], items[2], d.settings);
    }
    if (read.problem.empty()) {
        SubfieldDef& target = def.subfields.Make(path).def;
        target.settings = d.settings;
        target.rest = d.rest;
        target.holds = d.holds;
    }
    return read;
}

void SettleSubfields(ProtocolDef& def) noexcept {
    for (SubfieldNode& top : def.subfields.Fields())
        Settle(top);
}

std::string StructureItems(const SubfieldStructure& s) {
    switch (s.layout) {
        case SubfieldLayout::kTagged: {
            std::string items;
            if (s.head > 0) items = "HEAD " + std::to_string(s.head) + "; ";
            const std::string tag = PartText("TAG", s.tag);
            const std::string length = PartText("LEN", s.length);
            return items + (s.lengthFirst ? length + "; " + tag : tag + "; " + length);
        }
        case SubfieldLayout::kBitmap:
            return std::to_string(s.bitmapBytes) + (s.bitmapHex ? "; HEX" : "");
        default:
            return {};
    }
}

bool WriteSubfieldLines(std::FILE* stream, const ProtocolDef& def) {
    if (def.subfields.Empty()) return true;
    if (!Put(stream,
             "\n// subfield structures and subfields\n"
             "// STRUCTURE= path; kind; items, SUBFIELD= path; type; size; size len; subfield; "
             "description\n"
             "// SUBFIELD_OPTION= path; name; value\n\n")) {
        return false;
    }
    for (const SubfieldNode& top : def.subfields.Fields()) {
        if (!WriteNode(stream, top.id, top, true)) return false;
    }
    return true;
}

std::vector<SubfieldFinding> SubfieldContradictions(const ProtocolDef& def) {
    return Contradictions(def).Run();
}
