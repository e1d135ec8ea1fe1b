#include "content/emv_bits.h"

#include <cstddef>
#include <iterator>

namespace {

// Per byte, bit 8 first; null where the bit is reserved for future use.
constexpr const char* kTvr[5][8] = {
    {"Offline data authentication was not performed", "SDA failed", "ICC data missing",
     "Card appears on terminal exception file", "DDA failed", "CDA failed", "SDA selected",
     nullptr},
    {"ICC and terminal have different application versions", "Expired application",
     "Application not yet effective", "Requested service not allowed for card product", "New card",
     nullptr, nullptr, nullptr},
    {"Cardholder verification was not successful", "Unrecognised CVM", "PIN Try Limit exceeded",
     "PIN entry required and PIN pad not present or not working",
     "PIN entry required, PIN pad present, but PIN was not entered", "Online PIN entered", nullptr,
     nullptr},
    {"Transaction exceeds floor limit", "Lower consecutive offline limit exceeded",
     "Upper consecutive offline limit exceeded",
     "Transaction selected randomly for online processing", "Merchant forced transaction online",
     nullptr, nullptr, nullptr},
    {"Default TDOL used", "Issuer authentication failed",
     "Script processing failed before final GENERATE AC",
     "Script processing failed after final GENERATE AC", nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kTsi[2][8] = {
    {"Offline data authentication was performed", "Cardholder verification was performed",
     "Card risk management was performed", "Issuer authentication was performed",
     "Terminal risk management was performed", "Script processing was performed", nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// "byte 2 bit 1: RFU" for every byte and bit, so that a set reserved bit is still shown.
constexpr const char* kRfu[5][8] = {
    {"byte 1 bit 8: RFU", "byte 1 bit 7: RFU", "byte 1 bit 6: RFU", "byte 1 bit 5: RFU",
     "byte 1 bit 4: RFU", "byte 1 bit 3: RFU", "byte 1 bit 2: RFU", "byte 1 bit 1: RFU"},
    {"byte 2 bit 8: RFU", "byte 2 bit 7: RFU", "byte 2 bit 6: RFU", "byte 2 bit 5: RFU",
     "byte 2 bit 4: RFU", "byte 2 bit 3: RFU", "byte 2 bit 2: RFU", "byte 2 bit 1: RFU"},
    {"byte 3 bit 8: RFU", "byte 3 bit 7: RFU", "byte 3 bit 6: RFU", "byte 3 bit 5: RFU",
     "byte 3 bit 4: RFU", "byte 3 bit 3: RFU", "byte 3 bit 2: RFU", "byte 3 bit 1: RFU"},
    {"byte 4 bit 8: RFU", "byte 4 bit 7: RFU", "byte 4 bit 6: RFU", "byte 4 bit 5: RFU",
     "byte 4 bit 4: RFU", "byte 4 bit 3: RFU", "byte 4 bit 2: RFU", "byte 4 bit 1: RFU"},
    {"byte 5 bit 8: RFU", "byte 5 bit 7: RFU", "byte 5 bit 6: RFU", "byte 5 bit 5: RFU",
     "byte 5 bit 4: RFU", "byte 5 bit 3: RFU", "byte 5 bit 2: RFU", "byte 5 bit 1: RFU"},
};

struct CodeText {
    std::uint8_t code;
    const char* text;
};

constexpr CodeText kCvmMethods[] = {
    {0x00, "method: Fail CVM processing"},
    {0x01, "method: Plaintext PIN verification performed by ICC"},
    {0x02, "method: Enciphered PIN verified online"},
    {0x03, "method: Plaintext PIN verification performed by ICC and signature (paper)"},
    {0x04, "method: Enciphered PIN verification performed by ICC"},
    {0x05, "method: Enciphered PIN verification performed by ICC and signature (paper)"},
    {0x1E, "method: Signature (paper)"},
    {0x1F, "method: No CVM required"},
    {0x3F, "method: No CVM performed"},
};

constexpr const char* kCvmConditions[] = {
    "condition: Always",
    "condition: If unattended cash",
    "condition: If not unattended cash and not manual cash and not purchase with cashback",
    "condition: If terminal supports the CVM",
    "condition: If manual cash",
    "condition: If purchase with cashback",
    "condition: If transaction is in the application currency and is under X value",
    "condition: If transaction is in the application currency and is over X value",
    "condition: If transaction is in the application currency and is under Y value",
    "condition: If transaction is in the application currency and is over Y value",
};

constexpr const char* kCvmResults[] = {"result: Unknown", "result: Failed", "result: Successful"};

constexpr const char* kCryptogramTypes[] = {"AAC", "TC", "ARQC", "RFU"};

constexpr const char* kAdviceReasons[] = {
    nullptr,
    "Service not allowed",
    "PIN Try Limit exceeded",
    "Issuer authentication failed",
};

class TextList {
  public:
    TextList(const char** out, int room) noexcept : texts(out), room(out ? room : 0) {}
    void Add(const char* text) noexcept {
        if (count < room) texts[count++] = text;
    }
    int Count() const noexcept { return count; }

  private:
    const char** texts;
    int room;
    int count = 0;
};

template <std::size_t N>
void SetBits(const std::uint8_t* value, const char* const (&names)[N][8], TextList& list) noexcept {
    for (std::size_t byte = 0; byte < N; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            if ((value[byte] & (0x80 >> bit)) == 0) continue;
            const char* name = names[byte][bit];
            list.Add(name != nullptr ? name : kRfu[byte][bit]);
        }
    }
}

const char* CvmMethod(std::uint8_t code) noexcept {
    for (const CodeText& entry : kCvmMethods) {
        if (entry.code == code) return entry.text;
    }
    if (code >= 0x20 && code <= 0x2F)
        return "method: reserved for use by individual payment systems";
    if (code >= 0x30 && code <= 0x3E) return "method: reserved for use by the issuer";
    return "method: RFU";
}

const char* CvmCondition(std::uint8_t code) noexcept {
    if (code < std::size(kCvmConditions)) return kCvmConditions[code];
    if (code >= 0x80) return "condition: reserved for use by individual payment systems";
    return "condition: RFU";
}

void ExplainCvmResults(const std::uint8_t* value, TextList& list) noexcept {
    list.Add(CvmMethod(value[0] & 0x3F));
    if ((value[0] & 0x40) != 0) list.Add("Apply succeeding CV Rule if this CVM is unsuccessful");
    list.Add(CvmCondition(value[1]));
    list.Add(value[2] < std::size(kCvmResults) ? kCvmResults[value[2]] : "result: RFU");
}

void ExplainCryptogram(std::uint8_t value, TextList& list) noexcept {
    list.Add(kCryptogramTypes[value >> 6]);
    if ((value & 0x30) != 0) list.Add("Payment System-specific cryptogram");
    if ((value & 0x08) != 0) list.Add("Advice required");
    const int reason = value & 0x07;
    if (reason == 0) return;
    list.Add(reason < 4 ? kAdviceReasons[reason] : "reason: RFU");
}

int ExpectedLength(std::uint32_t tag) noexcept {
    switch (tag) {
        case 0x95:
            return 5;
        case 0x9B:
            return 2;
        case 0x9F27:
            return 1;
        case 0x9F34:
            return 3;
        default:
            return 0;
    }
}

}  // namespace

bool HasBitTexts(std::uint32_t tag) noexcept {
    return ExpectedLength(tag) != 0;
}

int ExplainBits(std::uint32_t tag, const std::uint8_t* value, int length, const char** texts,
                int room) noexcept {
    const int expected = ExpectedLength(tag);
    if (value == nullptr || expected == 0 || length != expected) return 0;
    TextList list(texts, room);
    if (tag == 0x95) SetBits(value, kTvr, list);
    if (tag == 0x9B) SetBits(value, kTsi, list);
    if (tag == 0x9F27) ExplainCryptogram(value[0], list);
    if (tag == 0x9F34) ExplainCvmResults(value, list);
    return list.Count();
}
