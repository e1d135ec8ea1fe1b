#include "model/protocol.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "support/text.h"

const char* const EncodingNames[kEncodingCount] = {"NONE", "BIGEND", "PBCD",  "HEX",
                                                   "CHAR", "ASCII",  "EBCDIC"};
const char* const FieldTypeNames[kFieldTypeCount] = {"U", "N", "A", "AN", "ANS", "AS", "B", "Z"};

namespace {

int IndexOfName(const char* const* names, int count, const char* text) noexcept {
    if (text == nullptr) return 0;
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(names[i], text) == 0) return i;
    }
    return 0;
}

bool IsFieldNumber(int n) noexcept {
    return n >= 1 && n <= kLastField;
}

// Smallest count of base-`base` digits that holds value: value < base^count.
int DigitCount(long value, long base) noexcept {
    int count = 0;
    for (; value > 0; value /= base)
        ++count;
    return count;
}

}  // namespace

FieldType FieldTypeFromName(const char* text) noexcept {
    return static_cast<FieldType>(IndexOfName(FieldTypeNames, kFieldTypeCount, text));
}

Encoding EncodingFromName(const char* text) noexcept {
    return static_cast<Encoding>(IndexOfName(EncodingNames, kEncodingCount, text));
}

const char* NameOf(Encoding e) noexcept {
    const auto i = static_cast<int>(e);
    return i >= 0 && i < kEncodingCount ? EncodingNames[i] : EncodingNames[0];
}

const char* NameOf(FieldType t) noexcept {
    const auto i = static_cast<int>(t);
    return i >= 0 && i < kFieldTypeCount ? FieldTypeNames[i] : FieldTypeNames[0];
}

bool TestBit(const FieldMask& mask, int n) noexcept {
    if (!IsFieldNumber(n)) return false;
    return (mask[(n - 1) / 8] & (0x80 >> ((n - 1) % 8))) != 0;
}

bool SetBit(FieldMask& mask, int n) noexcept {
    if (!IsFieldNumber(n)) return false;
    mask[(n - 1) / 8] |= static_cast<std::uint8_t>(0x80 >> ((n - 1) % 8));
    return true;
}

bool ClearBit(FieldMask& mask, int n) noexcept {
    if (!IsFieldNumber(n)) return false;
    mask[(n - 1) / 8] &= static_cast<std::uint8_t>(~(0x80 >> ((n - 1) % 8)));
    return true;
}

void FldDef::Clear() noexcept {
    type = FieldType::U;
    size = 0;
    sizeLen = 0;
    subfield = false;
    description[0] = '\0';
}

bool HasVariableField(const ProtocolDef& def) noexcept {
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (def.fields[n].type != FieldType::U && def.fields[n].sizeLen > 0) return true;
    }
    return false;
}

void StoreDefinitionText(char* dst, std::size_t size, const char* src) noexcept {
    CopyTextCut(dst, size, src);
    if (dst == nullptr) return;
    std::size_t length = std::strlen(dst);
    while (length > 0 && dst[length - 1] == ' ')
        dst[--length] = '\0';
}

std::string DefinitionText(const char* src) {
    char stored[kTextMax + 1];
    StoreDefinitionText(stored, sizeof stored, src);
    return stored;
}

bool DefineField(FldDef& entry, FieldType type, std::int16_t size, std::int16_t sizeLen,
                 bool subfield, const char* description) noexcept {
    if (size < 1 || sizeLen < 0) {
        entry.Clear();
        return false;
    }
    entry.type = type;
    entry.size = size;
    entry.sizeLen = sizeLen;
    entry.subfield = subfield;
    StoreDefinitionText(entry.description, sizeof entry.description, description);
    return true;
}

void InitMsgDef(MsgDef& def, ProtocolDef& owner) noexcept {
    def.owner = &owner;
    def.mandatory.fill(0);
    def.optional.fill(0);
}

MsgTable::MsgTable() noexcept : slots(new (std::nothrow) std::unique_ptr<MsgDef>[kSlots]()) {
    // Without the slot array every offered definition finds no room; the rest still works.
    if (slots) slotCount = kSlots;
}

std::unique_ptr<MsgDef>& MsgTable::At(int i) {
    if (i < 0 || i >= slotCount) throw std::out_of_range("MsgTable slot index out of range");
    return slots[i];
}

const std::unique_ptr<MsgDef>& MsgTable::At(int i) const {
    if (i < 0 || i >= slotCount) throw std::out_of_range("MsgTable slot index out of range");
    return slots[i];
}

bool MsgTable::PutIfEmpty(int i, std::unique_ptr<MsgDef>& def) noexcept {
    if (i < 0 || i >= slotCount || slots[i]) return false;
    slots[i] = std::move(def);
    return true;
}

int MsgTable::FindByMti(const char* mti) const noexcept {
    if (mti == nullptr) return kNone;
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i] && std::strcmp(slots[i]->mti, mti) == 0) return i;
    }
    return kNone;
}

int MsgTable::FirstEmpty() const noexcept {
    for (int i = 0; i < slotCount; ++i) {
        if (!slots[i]) return i;
    }
    return kNone;
}

bool MsgTable::ClearAll() noexcept {
    if (!slots) return false;
    for (int i = 0; i < slotCount; ++i)
        slots[i].reset();
    return true;
}

bool MsgTable::ReleaseAll() noexcept {
    if (!slots) return false;
    slots.reset();
    slotCount = 0;
    return true;
}

void ProtocolDef::Reset() noexcept {
    name[0] = '\0';
    mtiEnc = Encoding::PBCD;
    bmpEnc = Encoding::NONE;
    lenEnc = Encoding::NONE;
    numEnc = Encoding::PBCD;
    chrEnc = Encoding::ASCII;
    binEnc = Encoding::NONE;
    for (auto& f : fields)
        f.Clear();
    for (auto& s : settings)
        s = FieldSettings{};
    options = DialectOptions{};
    subfields.Clear();
}

bool ProtocolDef::IsBinaryField(int n) const noexcept {
    if (n < 0 || n >= kFieldCount) return false;
    return fields[n].type == FieldType::B || fields[n].type == FieldType::Z;
}

Encoding ProtocolDef::DataEncoding(int n) const noexcept {
    if (n < 0 || n >= kFieldCount) return Encoding::NONE;
    return DataEncodingOf(*this, fields[n].type, settings[n]);
}

std::int16_t ProtocolDef::LengthPrefixSize(std::int16_t maxLen, int n) const noexcept {
    long length = maxLen;
    if (length < 0) length = (n >= 0 && n < kFieldCount) ? fields[n].size : 0;
    if (length <= 0) return 0;
    int count = 0;
    switch (lenEnc) {
        case Encoding::BIGEND:
            count = (DigitCount(length, 2) + 7) / 8;
            break;
        case Encoding::PBCD:
            count = (DigitCount(length, 10) + 1) / 2;
            break;
        case Encoding::HEX:
            count = DigitCount(length, 16);
            break;
        default:
            count = DigitCount(length, 10);
            break;
    }
    return static_cast<std::int16_t>(count);
}

bool ProtocolDef::RecomputeLengthPrefixSizes() noexcept {
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (settings[n].lenEnc || settings[n].sixUnitPrefix) continue;
        if (fields[n].sizeLen > 0) fields[n].sizeLen = LengthPrefixSize(fields[n].size, n);
    }
    return true;
}

namespace {

constexpr Encoding kMtiOffered[] = {Encoding::CHAR, Encoding::PBCD};
constexpr Encoding kBmpOffered[] = {Encoding::NONE, Encoding::HEX, Encoding::CHAR};
constexpr Encoding kLenOffered[] = {Encoding::BIGEND, Encoding::PBCD, Encoding::HEX,
                                    Encoding::CHAR};
constexpr Encoding kNumOffered[] = {Encoding::PBCD, Encoding::CHAR};
constexpr Encoding kChrOffered[] = {Encoding::ASCII, Encoding::EBCDIC};
constexpr Encoding kBinOffered[] = {Encoding::NONE, Encoding::HEX, Encoding::CHAR};

struct RoleInfo {
    Encoding ProtocolDef::*field;
    const char* key;
    std::span<const Encoding> offered;
};

constexpr RoleInfo kRoles[kEncodingRoleCount] = {
    {&ProtocolDef::mtiEnc, "MTI_Enc", kMtiOffered}, {&ProtocolDef::bmpEnc, "BMP_Enc", kBmpOffered},
    {&ProtocolDef::lenEnc, "LEN_Enc", kLenOffered}, {&ProtocolDef::numEnc, "NUM_Enc", kNumOffered},
    {&ProtocolDef::chrEnc, "CHR_Enc", kChrOffered}, {&ProtocolDef::binEnc, "BIN_Enc", kBinOffered},
};

const RoleInfo& InfoOf(EncodingRole role) noexcept {
    const auto i = static_cast<int>(role);
    return kRoles[i >= 0 && i < kEncodingRoleCount ? i : 0];
}

}  // namespace

Encoding ProtocolDef::*EncodingField(EncodingRole role) noexcept {
    return InfoOf(role).field;
}

const char* KeyOf(EncodingRole role) noexcept {
    return InfoOf(role).key;
}

std::span<const Encoding> OfferedEncodings(EncodingRole role) noexcept {
    return InfoOf(role).offered;
}

void PickEncoding(ProtocolDef& def, EncodingRole role, Encoding e) noexcept {
    def.*EncodingField(role) = e;
    if (role == EncodingRole::kLength) def.RecomputeLengthPrefixSizes();
}

ProtocolDef& TheProtocol() noexcept {
    // Destroyed at exit, which releases every message definition and the slot array.
    static ProtocolDef protocol;
    return protocol;
}
