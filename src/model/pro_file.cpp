#include "model/pro_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include "model/pro_lint.h"
#include "model/pro_settings.h"
#include "model/pro_subfields.h"
#include "model/pro_tokens.h"
#include "model/save_file.h"
#include "support/text.h"

namespace {

constexpr int kLineBuffer = 1024;

using pro_tokens::IsSpace;
using pro_tokens::NextToken;
using pro_tokens::ReadInt;

bool StartsWith(const char* text, const char* key) noexcept {
    return std::strncmp(text, key, std::strlen(key)) == 0;
}

// The file may carry any value; only its low 16 bits fit the record.
std::int16_t Low16(int value) noexcept {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

constexpr unsigned Bit(Encoding e) {
    return 1u << static_cast<int>(e);
}

struct EncodingKey {
    const char* key;
    Encoding ProtocolDef::*field;
    unsigned accepted;
    Encoding replacement;
};

constexpr EncodingKey kEncodingKeys[] = {
    {"MTI_Enc=", &ProtocolDef::mtiEnc, Bit(Encoding::PBCD) | Bit(Encoding::CHAR), Encoding::CHAR},
    {"BMP_Enc=", &ProtocolDef::bmpEnc,
     Bit(Encoding::NONE) | Bit(Encoding::HEX) | Bit(Encoding::CHAR), Encoding::NONE},
    {"LEN_Enc=", &ProtocolDef::lenEnc,
     Bit(Encoding::BIGEND) | Bit(Encoding::PBCD) | Bit(Encoding::HEX) | Bit(Encoding::CHAR),
     Encoding::PBCD},
    {"NUM_Enc=", &ProtocolDef::numEnc,
     Bit(Encoding::BIGEND) | Bit(Encoding::PBCD) | Bit(Encoding::HEX) | Bit(Encoding::CHAR),
     Encoding::PBCD},
    {"CHR_Enc=", &ProtocolDef::chrEnc, Bit(Encoding::ASCII) | Bit(Encoding::EBCDIC),
     Encoding::ASCII},
    {"BIN_Enc=", &ProtocolDef::binEnc,
     Bit(Encoding::NONE) | Bit(Encoding::HEX) | Bit(Encoding::CHAR), Encoding::NONE},
};

const char* const kRoleWords[] = {"an MTI encoding",      "a bitmap encoding",
                                  "a length encoding",    "a numeric encoding",
                                  "a character encoding", "a binary encoding"};

std::string Quoted(const char* text) {
    return std::string("'") + text + "'";
}

std::string FieldLead(int n) {
    return "field " + std::to_string(n) + ": ";
}

// The token up to its line end, which the reader keeps in the token it ends.
std::string Shown(const char* token) {
    std::string text(token);
    while (!text.empty() && IsSpace(text.back()))
        text.pop_back();
    return text;
}

bool LineEndIn(const char* token) noexcept {
    return std::strpbrk(token, "\r\n") != nullptr;
}

// Reads the lines of one file into a definition; with findings, it also says what it
// skipped, cut or replaced and what the lines contradict, with their numbers.
class ProReader {
  public:
    ProReader(ProtocolDef& definition, ProFindings* notes) : def(definition), findings(notes) {}

    // continuation: the rest of a line longer than the buffer.
    void Line(char* line, int number, bool continuation) {
        at = number;
        while (IsSpace(*line))
            ++line;
        if (StartsWith(line, "NAME=")) return Name(line + 5);
        if (StartsWith(line, "FIELD=")) return Field(line + 6);
        if (StartsWith(line, "MSG=")) return Message(line + 4);
        for (std::size_t r = 0; r < std::size(kEncodingKeys); ++r) {
            const EncodingKey& key = kEncodingKeys[r];
            if (StartsWith(line, key.key)) {
                return Encoding(static_cast<int>(r), line + std::strlen(key.key));
            }
        }
        if (StartsWith(line, kFieldOptionKey)) return Setting(line, true);
        if (StartsWith(line, kStructureKey)) return Subfield(line + std::strlen(kStructureKey), 0);
        if (StartsWith(line, kSubfieldOptionKey)) {
            return Subfield(line + std::strlen(kSubfieldOptionKey), 2);
        }
        if (StartsWith(line, kSubfieldKey)) return Subfield(line + std::strlen(kSubfieldKey), 1);
        if (StartsWith(line, kOptionKey)) return Setting(line, false);
        if (findings != nullptr && !continuation && *line != '\0' && !StartsWith(line, "//")) {
            Note("line not read: it begins with no key (" + Shown(line).substr(0, 40) + ")");
        }
    }

    void LongLine() { Note("line longer than 1023 characters: read as several lines"); }

    // What only the whole definition shows.
    void Finish() {
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (def.settings[n].sixUnitPrefix && def.fields[n].sizeLen > 0) {
                def.fields[n].sizeLen = kMaxPrefixUnits;
            }
        }
        SettleSubfields(def);
        if (findings == nullptr) return;
        for (SubfieldFinding& finding : SubfieldContradictions(def))
            NoteAt(FirstLineOf(finding.path), std::move(finding.text));
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            CheckPrefixRoom(n);
            if (!def.settings[n].Any()) continue;
            const std::string contradiction = SettingContradiction(def, n);
            if (!contradiction.empty()) NoteAt(settingLine[n], contradiction);
        }
        for (int i = 0; i < def.messages.SlotCount(); ++i) {
            if (def.messages.At(i)) CheckMasks(*def.messages.At(i), messageLine[i]);
        }
        std::stable_sort(findings->begin(), findings->end(),
                         [](const ProFinding& a, const ProFinding& b) { return a.line < b.line; });
    }

  private:
    void Note(std::string text) { NoteAt(at, std::move(text)); }
    void NoteAt(int line, std::string text) {
        if (findings != nullptr) findings->push_back({line, std::move(text)});
    }
    // A later line for an item read before: the later one stands.
    void Again(int& line, const std::string& what) {
        if (line != 0) Note(what + " given again; line " + std::to_string(line) + " is overridden");
        line = at;
    }

    void Name(char* rest) {
        Again(nameLine, "NAME");
        // The value starts one character after the key, where the writer puts a blank.
        char* value = *rest != '\0' ? rest + 1 : rest;
        if (findings != nullptr && *rest != '\0' && *rest != ' ' && !IsSpace(*rest)) {
            Note(std::string("NAME: the character after the key is not read ('") + *rest + "')");
        }
        CollapseBlanks(value);
        if (std::strlen(value) > static_cast<std::size_t>(kTextMax)) {
            Note("NAME cut to " + std::to_string(kTextMax) + " characters");
        }
        StoreDefinitionText(def.name, sizeof def.name, value);
    }

    void Encoding(int role, char* value) {
        const EncodingKey& key = kEncodingKeys[role];
        const std::string name(key.key, std::strlen(key.key) - 1);
        Again(encodingLine[role], name);
        CollapseBlanks(value);
        const ::Encoding e = EncodingFromName(value);
        const bool accepted = (key.accepted & Bit(e)) != 0;
        def.*key.field = accepted ? e : key.replacement;
        if (!accepted) {
            Note(name + "=" + value + " is not " + kRoleWords[role] + "; read as " +
                 NameOf(key.replacement));
        }
    }

    // Each value is stored before it is checked; the first bad one ends the line.
    void Field(char* rest) {
        char* token = NextToken(rest, ';');
        if (token == nullptr) return Note("FIELD line without a field number: nothing read");
        const int n = ReadInt(TrimSpaces(token));
        if (n < kFirstDataElement || n > kLastField) {
            // The writer always writes the lines of fields 0 and 1; they are read as nothing.
            if (n != 0 && n != 1) {
                Note("FIELD: field number " + Quoted(Shown(token).c_str()) +
                     " is outside 2 to 128; line not read");
            }
            return;
        }
        FldDef& field = def.fields[n];
        const std::string lead = FieldLead(n);
        Again(fieldLine[n], "field " + std::to_string(n));

        if ((token = NextToken(rest, ';')) == nullptr) {
            return Note(lead + "the line ends after the field number; nothing read");
        }
        field.type = FieldTypeFromName(TrimSpaces(token));
        if (field.type == FieldType::U) {
            const std::string shown = Shown(token);
            if (LineEndIn(token) && FieldTypeFromName(shown.c_str()) != FieldType::U) {
                return Note(lead +
                            "the line ends at the type, which then holds the line end; "
                            "field left undefined");
            }
            return Note(lead + "type " + Quoted(shown.c_str()) + " unknown; field left undefined");
        }

        if ((token = NextToken(rest, ';')) == nullptr) {
            return Note(lead +
                        "the line ends after the type; size, prefix size, subfield flag "
                        "and description not read");
        }
        field.size = Low16(ReadInt(TrimSpaces(token)));
        if (field.size < 1) {
            return Note(lead + "size " + Quoted(Shown(token).c_str()) +
                        " is not a size of at least 1; the rest of the line is not read");
        }

        if ((token = NextToken(rest, ';')) == nullptr) {
            return Note(lead +
                        "the line ends after the size; prefix size, subfield flag and "
                        "description not read");
        }
        field.sizeLen = Low16(ReadInt(TrimSpaces(token)));
        if (field.sizeLen < 0 || field.sizeLen > 5) {
            return Note(lead + "prefix size " + Quoted(Shown(token).c_str()) +
                        " is outside 0 to 5; the rest of the line is not read");
        }

        if ((token = NextToken(rest, ';')) == nullptr) {
            return Note(lead +
                        "the line ends after the prefix size; subfield flag and "
                        "description not read");
        }
        const char flag = TrimSpaces(token)[0];
        if (flag == 'Y') field.subfield = true;
        if (flag != 'Y' && flag != 'N') {
            Note(lead + "subfield flag " + Quoted(Shown(token).c_str()) +
                 " is neither Y nor N; the flag is left as it was");
        }

        if ((token = NextToken(rest, ';')) == nullptr) {
            return Note(lead + "the line ends after the subfield flag; description not read");
        }
        CollapseBlanks(token);
        if (std::strlen(token) > static_cast<std::size_t>(kTextMax)) {
            Note(lead + "description cut to " + std::to_string(kTextMax) + " characters");
        }
        StoreDefinitionText(field.description, sizeof field.description, token);
        if (findings != nullptr && NextToken(rest, ';') != nullptr) {
            Note(lead + "the description ends at its ';'; the rest of the line is not read");
        }
    }

    void Message(char* rest) {
        std::string why;
        if (findings != nullptr) why = WhyMsgRefused(rest);
        auto msg = std::make_unique<MsgDef>();
        InitMsgDef(*msg, def);
        if (!ParseMsgValue(rest, *msg)) return Note(why + "; line not read");
        const int same = def.messages.FindByMti(msg->mti);
        const std::string lead = std::string("message ") + msg->mti;
        if (same != MsgTable::kNone) {
            Note(lead + " given again; line " + std::to_string(messageLine[same]) +
                 " is overridden");
            def.messages.At(same) = std::move(msg);
            messageLine[same] = at;
            return;
        }
        const int slot = def.messages.FirstEmpty();
        if (!def.messages.PutIfEmpty(slot, msg)) {
            return Note(lead + ": the table holds 99 messages already; line not read");
        }
        messageLine[slot] = at;
        if (why.find("cut") != std::string::npos) Note(lead + ": title cut to 128 characters");
    }

    void Setting(char* line, bool field) {
        char* value = line + std::strlen(field ? kFieldOptionKey : kOptionKey);
        const SettingRead read =
            field ? ReadFieldOptionLine(value, def) : ReadOptionLine(value, def);
        if (!read.problem.empty()) {
            const std::string lead = read.field != 0 ? FieldLead(read.field) : std::string();
            return Note(lead + read.problem + "; line not read");
        }
        if (findings == nullptr) return;
        const std::string what = read.field != 0
                                     ? "field " + std::to_string(read.field) + " " + read.name
                                     : "OPTION " + read.name;
        Again(settingLines[what], what);
        if (read.field != 0 && settingLine[read.field] == 0) settingLine[read.field] = at;
    }

    // kind: 0 STRUCTURE, 1 SUBFIELD, 2 SUBFIELD_OPTION.
    void Subfield(char* value, int kind) {
        static const char* const kKeys[] = {"STRUCTURE", "SUBFIELD", "SUBFIELD_OPTION"};
        const SubfieldRead read = kind == 0   ? ReadStructureLine(value, def)
                                  : kind == 1 ? ReadSubfieldLine(value, def)
                                              : ReadSubfieldOptionLine(value, def);
        if (!read.problem.empty()) {
            const std::string lead = read.path.empty() ? std::string(kKeys[kind]) + ": "
                                                       : "subfield " + read.path + ": ";
            return Note(lead + read.problem + "; line not read");
        }
        if (findings == nullptr) return;
        const std::string what =
            std::string(kKeys[kind]) + " " + read.path + (read.name.empty() ? "" : " " + read.name);
        Again(settingLines[what], what);
        subfieldLines.emplace(read.path, at);
    }

    // The first line that named the path, else the first that named a path below it, else
    // the closest path above it.
    int FirstLineOf(std::string path) const {
        for (;;) {
            const auto found = subfieldLines.find(path);
            if (found != subfieldLines.end()) return found->second;
            int first = 0;
            const std::string below = path + ".";
            for (auto at = subfieldLines.lower_bound(below);
                 at != subfieldLines.end() && at->first.starts_with(below); ++at) {
                if (first == 0 || at->second < first) first = at->second;
            }
            if (first != 0) return first;
            const std::size_t dot = path.rfind('.');
            if (dot == std::string::npos) return 0;
            path.resize(dot);
        }
    }

    void CheckPrefixRoom(int n) {
        const std::string finding = PrefixRoomFinding(def, n);
        if (!finding.empty()) NoteAt(fieldLine[n], finding);
    }

    void CheckMasks(const MsgDef& msg, int line) {
        for (std::string& finding : MaskFindings(def, msg))
            NoteAt(line, std::move(finding));
    }

    ProtocolDef& def;
    ProFindings* findings;
    int at = 0;
    // Where items were last read, to tell a later line overriding an earlier one.
    int nameLine = 0;
    int encodingLine[std::size(kEncodingKeys)] = {};
    int fieldLine[kFieldCount] = {};
    int settingLine[kFieldCount] = {};
    int messageLine[MsgTable::kSlots] = {};
    std::map<std::string, int> settingLines;
    std::map<std::string, int> subfieldLines;
};

// Reads 16 bytes from the first 32 characters; false at the first pair that is not hex.
bool ReadMask(char* token, FieldMask& mask) noexcept {
    if (token == nullptr) return false;
    const char* digits = TrimSpaces(token);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const int value = HexPairValue(digits + 2 * i);
        if (value < 0) return false;
        mask[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool Put(std::FILE* stream, const char* text) noexcept {
    return std::fputs(text, stream) >= 0;
}

bool PutFieldLines(std::FILE* stream, const ProtocolDef& def) noexcept {
    char line[kLineBuffer];
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const FldDef& f = def.fields[n];
        if (f.type == FieldType::U) continue;
        // A prefix of 6 units is the setting's: a classic reader takes the largest it reads.
        const int sizeLen = def.settings[n].sixUnitPrefix && f.sizeLen > 5 ? 5 : f.sizeLen;
        std::snprintf(line, sizeof line, "FIELD= %3d; %4s; %3d; %1d; %c; %.128s\n", n,
                      NameOf(f.type), f.size, sizeLen, f.subfield ? 'Y' : 'N', f.description);
        if (!Put(stream, line)) return false;
    }
    return true;
}

bool PutMessageLines(std::FILE* stream, const ProtocolDef& def) noexcept {
    char value[kMsgValueMax];
    char line[kLineBuffer];
    for (int i = 0; i < def.messages.SlotCount(); ++i) {
        const auto& msg = def.messages.At(i);
        if (!msg || !FormatMsgValue(value, sizeof value, *msg)) continue;
        std::snprintf(line, sizeof line, "MSG=%s\n", value);
        if (!Put(stream, line)) return false;
    }
    return true;
}

// Reads the stream into text, at most limit bytes: the bytes read. A file is read into room of
// its size (one byte more, to see that it ended); a device or a FIFO, which tells no size, and
// a file that grew, into room that doubles as they go on, so that the limit stays a bound on
// what is read and never a size set aside.
std::size_t ReadAtMost(std::FILE* stream, std::size_t size, long limit, std::vector<char>& text) {
    constexpr std::size_t kFirstRoom = 1 << 16;
    const auto most = static_cast<std::size_t>(limit);
    std::size_t room = std::min(size > 0 ? size + 1 : kFirstRoom, most);
    std::size_t got = 0;
    for (;;) {
        text.resize(room);
        got += std::fread(text.data() + got, 1, room - got, stream);
        if (got < room || room == most) break;
        room = std::min(2 * room, most);
    }
    text.resize(got);
    return got;
}

}  // namespace

bool ReadProtocolFile(const char* path, ProtocolDef& def) {
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    std::FILE* stream = std::fopen(path, "r");
    if (stream == nullptr) return false;
    // A folder opens for reading here; it must not wipe the definition as an empty file would.
    struct stat st;
    if (::fstat(::fileno(stream), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(stream);
        errno = EISDIR;
        return false;
    }
    ReadProtocolStream(stream, def);
    std::fclose(stream);
    return true;
}

bool LoadProtocolFile(const std::string& path, ProtocolDef& def, std::string& error,
                      ProFindings* findings) {
    const auto fail = [&](const char* what, int code) {
        error = path + ": " + what + ": " + std::strerror(code != 0 ? code : EIO);
        return false;
    };
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) return fail("cannot open", errno);
    struct stat st {};
    if (::fstat(::fileno(stream), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(stream);
        return fail("cannot open", EISDIR);
    }
    const std::size_t size = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    std::vector<char> text;
    errno = 0;
    const std::size_t got = ReadAtMost(stream, size, kProtocolFileMax + 1, text);
    const bool readFailed = std::ferror(stream) != 0;
    const int readError = errno;
    std::fclose(stream);
    if (readFailed) return fail("cannot read", readError);
    if (got > static_cast<std::size_t>(kProtocolFileMax)) {
        error = path + ": too large for a protocol definition";
        return false;
    }
    // fmemopen refuses a size of 0; an empty text is one NUL byte, which holds no line.
    if (got == 0) text.assign(1, '\0');
    std::FILE* memory = ::fmemopen(text.data(), text.size(), "r");
    if (memory == nullptr) return fail("cannot read", errno);
    ReadProtocolStream(memory, def, findings);
    std::fclose(memory);
    return true;
}

void ReadProtocolStream(std::FILE* stream, ProtocolDef& def, ProFindings* findings) {
    if (stream == nullptr) return;
    def.Reset();
    def.messages.ClearAll();
    ProReader reader(def, findings);
    // A line longer than the buffer is read as several lines.
    char line[kLineBuffer];
    int number = 1;
    bool continued = false;
    while (std::fgets(line, sizeof line, stream) != nullptr) {
        const bool ends = std::strchr(line, '\n') != nullptr;
        if (!ends && !continued && findings != nullptr && std::strlen(line) == kLineBuffer - 1) {
            reader.LongLine();
        }
        reader.Line(line, number, continued);
        continued = !ends;
        if (ends) ++number;
    }
    reader.Finish();
}

bool WriteProtocolLines(std::FILE* stream, const ProtocolDef& def) {
    if (stream == nullptr) return false;
    char line[kLineBuffer];
    std::snprintf(line, sizeof line, "\n// protocole name\n\nNAME= %.128s\n", def.name);
    if (!Put(stream, line) || !Put(stream, "\n// protocol encoding definition\n\n")) return false;
    for (const auto& key : kEncodingKeys) {
        std::snprintf(line, sizeof line, "%s %s\n", key.key, NameOf(def.*key.field));
        if (!Put(stream, line)) return false;
    }
    return Put(stream,
               "\n// data elements definition\n"
               "// field number, type, size, size len, subfield, description\n\n"
               "FIELD=   0;    B;  16; 0; N;\n"
               "FIELD=   1;    B;  16; 0; N;\n") &&
           PutFieldLines(stream, def) &&
           Put(stream,
               "\n// message definition\n"
               "// MTI, mandatory et optional masks, description\n\n") &&
           PutMessageLines(stream, def) && WriteSettingLines(stream, def) &&
           WriteSubfieldLines(stream, def);
}

bool WriteProtocolFile(std::FILE* stream, const ProtocolDef& def) {
    if (stream == nullptr) return false;
    const bool written = WriteProtocolLines(stream, def);
    const bool closed = std::fclose(stream) == 0;
    return written && closed;
}

bool SaveProtocolFile(const std::string& path, const ProtocolDef& def, std::string& error) {
    return SaveFile(
        path, [&def](std::FILE* stream) { return WriteProtocolLines(stream, def); }, error);
}

bool ParseMsgValue(char* text, MsgDef& def) {
    if (text == nullptr) return false;
    CollapseBlanks(text);
    char* cursor = text;
    char* token = NextToken(cursor, ';');
    if (token == nullptr || std::strlen(TrimSpaces(token)) != 4) return false;
    std::memcpy(def.mti, token, 5);
    def.mandatory.fill(0);
    def.optional.fill(0);
    def.title[0] = '\0';
    if (!ReadMask(NextToken(cursor, ';'), def.mandatory)) return false;
    if (!ReadMask(NextToken(cursor, ';'), def.optional)) return false;
    if ((token = NextToken(cursor, ';')) != nullptr) {
        StoreDefinitionText(def.title, sizeof def.title, TrimSpaces(token));
    }
    return true;
}

bool FormatMsgValue(char* buffer, std::size_t size, const MsgDef& def) {
    if (buffer == nullptr || size == 0) return false;
    char mandatory[33];
    char optional[33];
    EncodeHex(16, sizeof mandatory, mandatory, def.mandatory.data());
    EncodeHex(16, sizeof optional, optional, def.optional.data());
    const int length =
        std::snprintf(buffer, size, "%.4s;%s;%s;%.128s", def.mti, mandatory, optional, def.title);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}
