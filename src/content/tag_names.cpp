#include "content/tag_names.h"

#include <array>
#include <cstddef>
#include <iterator>

namespace {

struct TagEntry {
    std::uint32_t tag;
    const char* name;
};

// Sorted by tag value: one-byte tags first, then the two-byte ones.
constexpr TagEntry kTags[] = {
    {0x42, "Issuer Identification Number (IIN)"},
    {0x4F, "Application Identifier (AID) \u2013 card"},
    {0x50, "Application Label"},
    {0x56, "Track 1 Data"},
    {0x57, "Track 2 Equivalent Data"},
    {0x5A, "Application Primary Account Number (PAN)"},
    {0x61, "Application Template"},
    {0x6F, "File Control Information (FCI) Template"},
    {0x70, "READ RECORD Response Message Template"},
    {0x71, "Issuer Script Template 1"},
    {0x72, "Issuer Script Template 2"},
    {0x73, "Directory Discretionary Template"},
    {0x77, "Response Message Template Format 2"},
    {0x80, "Response Message Template Format 1"},
    {0x81, "Amount, Authorised (Binary)"},
    {0x82, "Application Interchange Profile"},
    {0x83, "Command Template"},
    {0x84, "Dedicated File (DF) Name"},
    {0x86, "Issuer Script Command"},
    {0x87, "Application Priority Indicator"},
    {0x88, "Short File Identifier (SFI)"},
    {0x89, "Authorisation Code"},
    {0x8A, "Authorisation Response Code"},
    {0x8C, "Card Risk Management Data Object List 1 (CDOL1)"},
    {0x8D, "Card Risk Management Data Object List 2 (CDOL2)"},
    {0x8E, "Cardholder Verification Method (CVM) List"},
    {0x8F, "Certification Authority Public Key Index \u2013 card"},
    {0x90, "Issuer Public Key Certificate"},
    {0x91, "Issuer Authentication Data"},
    {0x92, "Issuer Public Key Remainder"},
    {0x93, "Signed Static Application Data"},
    {0x94, "Application File Locator (AFL)"},
    {0x95, "Terminal Verification Results"},
    {0x97, "Transaction Certificate Data Object List (TDOL)"},
    {0x98, "Transaction Certificate (TC) Hash Value"},
    {0x99, "Transaction Personal Identification Number (PIN) Data"},
    {0x9A, "Transaction Date"},
    {0x9B, "Transaction Status Information"},
    {0x9C, "Transaction Type"},
    {0x9D, "Directory Definition File (DDF) Name"},
    {0xA5, "File Control Information (FCI) Proprietary Template"},
    {0x5F20, "Cardholder Name"},
    {0x5F24, "Application Expiration Date"},
    {0x5F25, "Application Effective Date"},
    {0x5F28, "Issuer Country Code"},
    {0x5F2A, "Transaction Currency Code"},
    {0x5F2D, "Language Preference"},
    {0x5F30, "Service Code"},
    {0x5F34, "Application Primary Account Number (PAN) Sequence Number"},
    {0x5F36, "Transaction Currency Exponent"},
    {0x5F50, "Issuer URL"},
    {0x5F53, "International Bank Account Number (IBAN)"},
    {0x5F54, "Bank Identifier Code (BIC)"},
    {0x5F55, "Issuer Country Code (alpha2 format)"},
    {0x5F56, "Issuer Country Code (alpha3 format)"},
    {0x5F57, "Account Type"},
    {0x9F01, "Acquirer Identifier"},
    {0x9F02, "Amount, Authorised (Numeric)"},
    {0x9F03, "Amount, Other (Numeric)"},
    {0x9F04, "Amount, Other (Binary)"},
    {0x9F05, "Application Discretionary Data"},
    {0x9F06, "Application Identifier (AID) \u2013 terminal"},
    {0x9F07, "Application Usage Control"},
    {0x9F08, "Application Version Number \u2013 card"},
    {0x9F09, "Application Version Number \u2013 terminal"},
    {0x9F0A, "Application Selection Registered Proprietary Data"},
    {0x9F0B, "Cardholder Name Extended"},
    {0x9F0D, "Issuer Action Code \u2013 Default"},
    {0x9F0E, "Issuer Action Code \u2013 Denial"},
    {0x9F0F, "Issuer Action Code \u2013 Online"},
    {0x9F10, "Issuer Application Data"},
    {0x9F11, "Issuer Code Table Index"},
    {0x9F12, "Application Preferred Name"},
    {0x9F13, "Last Online Application Transaction Counter (ATC) Register"},
    {0x9F14, "Lower Consecutive Offline Limit"},
    {0x9F15, "Merchant Category Code"},
    {0x9F16, "Merchant Identifier"},
    {0x9F17, "Personal Identification Number (PIN) Try Counter"},
    {0x9F18, "Issuer Script Identifier"},
    {0x9F1A, "Terminal Country Code"},
    {0x9F1B, "Terminal Floor Limit"},
    {0x9F1C, "Terminal Identification"},
    {0x9F1D, "Terminal Risk Management Data"},
    {0x9F1E, "Interface Device (IFD) Serial Number"},
    {0x9F1F, "Track 1 Discretionary Data"},
    {0x9F20, "Track 2 Discretionary Data"},
    {0x9F21, "Transaction Time"},
    {0x9F22, "Certification Authority Public Key Index \u2013 terminal"},
    {0x9F23, "Upper Consecutive Offline Limit"},
    {0x9F24, "Payment Account Reference (PAR)"},
    {0x9F26, "Application Cryptogram"},
    {0x9F27, "Cryptogram Information Data"},
    {0x9F2D, "Integrated Circuit Card (ICC) PIN Encipherment Public Key Certificate"},
    {0x9F2E, "Integrated Circuit Card (ICC) PIN Encipherment Public Key Exponent"},
    {0x9F2F, "Integrated Circuit Card (ICC) PIN Encipherment Public Key Remainder"},
    {0x9F32, "Issuer Public Key Exponent"},
    {0x9F33, "Terminal Capabilities"},
    {0x9F34, "Cardholder Verification Method (CVM) Results"},
    {0x9F35, "Terminal Type"},
    {0x9F36, "Application Transaction Counter (ATC)"},
    {0x9F37, "Unpredictable Number"},
    {0x9F38, "Processing Options Data Object List (PDOL)"},
    {0x9F39, "Point-of-Service (POS) Entry Mode"},
    {0x9F3A, "Amount, Reference Currency"},
    {0x9F3B, "Application Reference Currency"},
    {0x9F3C, "Transaction Reference Currency Code"},
    {0x9F3D, "Transaction Reference Currency Exponent"},
    {0x9F40, "Additional Terminal Capabilities"},
    {0x9F41, "Transaction Sequence Counter"},
    {0x9F42, "Application Currency Code"},
    {0x9F43, "Application Reference Currency Exponent"},
    {0x9F44, "Application Currency Exponent"},
    {0x9F45, "Data Authentication Code"},
    {0x9F46, "Integrated Circuit Card (ICC) Public Key Certificate"},
    {0x9F47, "Integrated Circuit Card (ICC) Public Key Exponent"},
    {0x9F48, "Integrated Circuit Card (ICC) Public Key Remainder"},
    {0x9F49, "Dynamic Data Authentication Data Object List (DDOL)"},
    {0x9F4A, "Static Data Authentication Tag List"},
    {0x9F4B, "Signed Dynamic Application Data"},
    {0x9F4C, "ICC Dynamic Number"},
    {0x9F4D, "Log Entry"},
    {0x9F4E, "Merchant Name and Location"},
    {0x9F4F, "Log Format"},
    {0x9F6B, "Track 2 Data"},
    {0xBF0C, "File Control Information (FCI) Issuer Discretionary Data"},
};

constexpr bool StrictlyAscending() {
    for (std::size_t i = 1; i < std::size(kTags); ++i) {
        if (kTags[i - 1].tag >= kTags[i].tag) return false;
    }
    return true;
}
static_assert(StrictlyAscending(), "each tag is named once, in ascending order");
static_assert(std::size(kTags) < 256, "an index of the table fits a byte");
static_assert(kTags[std::size(kTags) - 1].tag <= 0xFFFF, "the names are of one- and two-byte tags");

// The table indexed by the tag's bytes, since a field of chip data names some twenty tags:
// row 0 for the one-byte tags, one row for each first byte of the two-byte ones. An entry is
// 1 more than the tag's index in kTags, 0 where no tag is named.
constexpr std::size_t kRows = [] {
    std::array<bool, 256> lead{};
    std::size_t rows = 1;
    for (const TagEntry& entry : kTags) {
        if (entry.tag <= 0xFF || lead[entry.tag >> 8]) continue;
        lead[entry.tag >> 8] = true;
        ++rows;
    }
    return rows;
}();

struct TagIndex {
    std::array<std::uint8_t, 256> rowOf{};  // of a first byte; 0 where no two-byte tag has it
    std::array<std::array<std::uint8_t, 256>, kRows> entry{};
};

constexpr TagIndex kIndex = [] {
    TagIndex index{};
    std::uint8_t rows = 1;
    for (std::size_t i = 0; i < std::size(kTags); ++i) {
        const std::uint32_t tag = kTags[i].tag;
        std::uint8_t row = 0;
        if (tag > 0xFF) {
            if (index.rowOf[tag >> 8] == 0) index.rowOf[tag >> 8] = rows++;
            row = index.rowOf[tag >> 8];
        }
        index.entry[row][tag & 0xFF] = static_cast<std::uint8_t>(i + 1);
    }
    return index;
}();

}  // namespace

const char* TagName(std::uint32_t tag) noexcept {
    constexpr const char* kUnknown = "unknown tag";
    if (tag > 0xFFFF) return kUnknown;
    std::size_t row = 0;
    if (tag > 0xFF) {
        row = kIndex.rowOf[tag >> 8];
        if (row == 0) return kUnknown;
    }
    const int at = kIndex.entry[row][tag & 0xFF];
    return at == 0 ? kUnknown : kTags[at - 1].name;
}
