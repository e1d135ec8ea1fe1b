#include "model/pro_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "model/save_file.h"
#include "support/text.h"

namespace {

constexpr int kLineBuffer = 1024;

bool IsSpace(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool StartsWith(const char* text, const char* key) noexcept {
    return std::strncmp(text, key, std::strlen(key)) == 0;
}

// strtok's rules without its hidden state: separators in a row count as one, so an empty
// token is never returned.
char* NextToken(char*& cursor, char separator) noexcept {
    char* p = cursor;
    while (*p == separator)
        ++p;
    if (*p == '\0') {
        cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && *p != separator)
        ++p;
    if (*p != '\0') *p++ = '\0';
    cursor = p;
    return token;
}

// atoi's reading (white space, sign, digits up to the first other character, none giving 0),
// saturating at the int range instead of atoi's undefined overflow.
int ReadInt(const char* p) noexcept {
    while (IsSpace(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
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

void ReadName(char* rest, ProtocolDef& def) {
    // The value starts one character after the key, where the writer puts a blank.
    char* value = *rest != '\0' ? rest + 1 : rest;
    CollapseBlanks(value);
    CopyTextCut(def.name, sizeof def.name, value);
}

void ReadEncoding(const EncodingKey& key, char* value, ProtocolDef& def) {
    CollapseBlanks(value);
    const Encoding e = EncodingFromName(value);
    def.*key.field = (key.accepted & Bit(e)) != 0 ? e : key.replacement;
}

// Each value is stored before it is checked; the first bad one ends the line.
void ReadField(char* rest, ProtocolDef& def) {
    char* token = NextToken(rest, ';');
    if (token == nullptr) return;
    const int n = ReadInt(TrimSpaces(token));
    if (n < kFirstDataElement || n > kLastField) return;
    FldDef& field = def.fields[n];

    if ((token = NextToken(rest, ';')) == nullptr) return;
    field.type = FieldTypeFromName(TrimSpaces(token));
    if (field.type == FieldType::U) return;

    if ((token = NextToken(rest, ';')) == nullptr) return;
    field.size = Low16(ReadInt(TrimSpaces(token)));
    if (field.size < 1) return;

    if ((token = NextToken(rest, ';')) == nullptr) return;
    field.sizeLen = Low16(ReadInt(TrimSpaces(token)));
    if (field.sizeLen < 0 || field.sizeLen > 5) return;

    if ((token = NextToken(rest, ';')) == nullptr) return;
    if (TrimSpaces(token)[0] == 'Y') field.subfield = true;

    if ((token = NextToken(rest, ';')) == nullptr) return;
    CollapseBlanks(token);
    CopyTextCut(field.description, sizeof field.description, token);
}

void ReadMessage(char* rest, ProtocolDef& def) {
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    if (!ParseMsgValue(rest, *msg)) return;
    const int same = def.messages.FindByMti(msg->mti);
    if (same != MsgTable::kNone) {
        def.messages.At(same) = std::move(msg);
    } else {
        def.messages.PutIfEmpty(def.messages.FirstEmpty(), msg);
    }
}

void ReadLine(char* line, ProtocolDef& def) {
    while (IsSpace(*line))
        ++line;
    if (StartsWith(line, "NAME=")) return ReadName(line + 5, def);
    if (StartsWith(line, "FIELD=")) return ReadField(line + 6, def);
    if (StartsWith(line, "MSG=")) return ReadMessage(line + 4, def);
    for (const auto& key : kEncodingKeys) {
        if (StartsWith(line, key.key)) return ReadEncoding(key, line + std::strlen(key.key), def);
    }
}

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
        std::snprintf(line, sizeof line, "FIELD= %3d; %4s; %3d; %1d; %c; %.128s\n", n,
                      NameOf(f.type), f.size, f.sizeLen, f.subfield ? 'Y' : 'N', f.description);
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

bool LoadProtocolFile(const std::string& path, ProtocolDef& def, std::string& error) {
    const auto fail = [&](const char* what, int code) {
        error = path + ": " + what + ": " + std::strerror(code != 0 ? code : EIO);
        return false;
    };
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) return fail("cannot open", errno);
    struct stat st;
    if (::fstat(::fileno(stream), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(stream);
        return fail("cannot open", EISDIR);
    }
    // Devices and FIFOs report no size: read at most one byte past the limit and look.
    std::vector<char> text(static_cast<std::size_t>(kProtocolFileMax) + 1);
    errno = 0;
    const std::size_t got = std::fread(text.data(), 1, text.size(), stream);
    const bool readFailed = std::ferror(stream) != 0;
    const int readError = errno;
    std::fclose(stream);
    if (readFailed) return fail("cannot read", readError);
    if (got > static_cast<std::size_t>(kProtocolFileMax)) {
        error = path + ": too large for a protocol definition";
        return false;
    }
    // fmemopen refuses a size of 0; an empty text is one NUL byte, which holds no line.
    std::FILE* memory = ::fmemopen(text.data(), got > 0 ? got : 1, "r");
    if (memory == nullptr) return fail("cannot read", errno);
    ReadProtocolStream(memory, def);
    std::fclose(memory);
    return true;
}

void ReadProtocolStream(std::FILE* stream, ProtocolDef& def) {
    if (stream == nullptr) return;
    def.Reset();
    def.messages.ClearAll();
    // A line longer than the buffer is read as several lines.
    char line[kLineBuffer];
    while (std::fgets(line, sizeof line, stream) != nullptr)
        ReadLine(line, def);
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
           PutMessageLines(stream, def);
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
        CopyTextCut(def.title, sizeof def.title, TrimSpaces(token));
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
