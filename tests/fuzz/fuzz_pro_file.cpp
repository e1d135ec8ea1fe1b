// The .pro reader on arbitrary bytes, then the writer; reading and writing must settle.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "model/pro_file.h"

namespace {

void ReadBytes(const void* bytes, std::size_t size, ProtocolDef& def) {
    // fmemopen refuses an empty buffer on some C libraries; an empty file reads as one NUL.
    static const char kEmpty[1] = {};
    if (size == 0) {
        bytes = kEmpty;
        size = 1;
    }
    std::FILE* stream = fmemopen(const_cast<void*>(bytes), size, "r");
    FUZZ_CHECK(stream != nullptr);
    ReadProtocolStream(stream, def);
    std::fclose(stream);
}

std::string Write(const ProtocolDef& def) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    FUZZ_CHECK(stream != nullptr);
    FUZZ_CHECK(WriteProtocolFile(stream, def));  // closes the stream
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

bool OneOf(Encoding e, std::initializer_list<Encoding> accepted) {
    for (Encoding a : accepted) {
        if (a == e) return true;
    }
    return false;
}

// What any file at all may leave in the definition.
void CheckDefinition(const ProtocolDef& def) {
    using E = Encoding;
    FUZZ_CHECK(std::strlen(def.name) <= static_cast<std::size_t>(kTextMax));
    FUZZ_CHECK(OneOf(def.mtiEnc, {E::PBCD, E::CHAR}));
    FUZZ_CHECK(OneOf(def.bmpEnc, {E::NONE, E::HEX, E::CHAR}));
    FUZZ_CHECK(OneOf(def.lenEnc, {E::NONE, E::BIGEND, E::PBCD, E::HEX, E::CHAR}));
    FUZZ_CHECK(OneOf(def.numEnc, {E::BIGEND, E::PBCD, E::HEX, E::CHAR}));
    FUZZ_CHECK(OneOf(def.chrEnc, {E::ASCII, E::EBCDIC}));
    FUZZ_CHECK(OneOf(def.binEnc, {E::NONE, E::HEX, E::CHAR}));
    for (int n = 0; n < kFieldCount; ++n) {
        const FldDef& f = def.fields[n];
        FUZZ_CHECK(n >= kFirstDataElement || f.type == FieldType::U);
        FUZZ_CHECK(static_cast<int>(f.type) >= 0 && static_cast<int>(f.type) < kFieldTypeCount);
        FUZZ_CHECK(std::strlen(f.description) <= static_cast<std::size_t>(kTextMax));
    }
    const MsgTable& table = def.messages;
    FUZZ_CHECK(table.SlotCount() == MsgTable::kSlots);
    for (int i = 0; i < table.SlotCount(); ++i) {
        const auto& msg = table.At(i);
        if (!msg) continue;
        FUZZ_CHECK(std::strlen(msg->mti) == 4);
        FUZZ_CHECK(std::strlen(msg->title) <= static_cast<std::size_t>(kTextMax));
        FUZZ_CHECK(msg->owner == &def);
        FUZZ_CHECK(table.FindByMti(msg->mti) == i);  // one slot per MTI
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProtocolDef def;
    ReadBytes(data, size, def);
    CheckDefinition(def);
    const std::string first = Write(def);

    ReadBytes(first.data(), first.size(), def);
    CheckDefinition(def);
    const std::string second = Write(def);

    ReadBytes(second.data(), second.size(), def);
    CheckDefinition(def);
    const std::string third = Write(def);
    if (second != third) {
        std::fprintf(stderr, "second write:\n%s\nthird write:\n%s\n", second.c_str(),
                     third.c_str());
    }
    FUZZ_CHECK(second == third);
    return 0;
}
