#include "interop/moov_names.h"

namespace {

struct Family {
    const char* name;
    MoovPrefixKind kind;
    Encoding charset;
};
constexpr Family kFamilies[] = {
    {"ASCII", MoovPrefixKind::kChars, Encoding::ASCII},
    {"EBCDIC", MoovPrefixKind::kChars, Encoding::EBCDIC},
    {"BCD", MoovPrefixKind::kPacked, Encoding::ASCII},
    {"Binary", MoovPrefixKind::kBinary, Encoding::ASCII},
    {"Hex", MoovPrefixKind::kHex, Encoding::ASCII},
};

struct Named {
    const char* name;
    MoovEncoding encoding;
};
constexpr Named kEncodings[] = {
    {"ASCII", MoovEncoding::kAscii},
    {"BCD", MoovEncoding::kBcd},
    {"EBCDIC", MoovEncoding::kEbcdic},
    {"Binary", MoovEncoding::kBinary},
    {"HexToASCII", MoovEncoding::kHexToAscii},
    {"ASCIIToHex", MoovEncoding::kAsciiToHex},
    {"LBCD", MoovEncoding::kLbcd},
    {"BerTLVTag", MoovEncoding::kBerTlvTag},
};

constexpr int kMostDigits = 4;
// A BIGEND prefix longer than this is read by its first byte unless it is read whole.
constexpr int kWholeBytes = 2;

}  // namespace

bool ReadMoovPrefix(std::string_view name, MoovPrefix& out) noexcept {
    if (name == "BerTLV") {
        out = {MoovPrefixKind::kBerTlv, Encoding::ASCII, 0};
        return true;
    }
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view family = name.substr(0, dot);
    const std::string_view length = name.substr(dot + 1);
    for (const Family& f : kFamilies) {
        if (family != f.name) continue;
        if (length == "Fixed") {
            out = {MoovPrefixKind::kFixed, f.charset, 0};
            return true;
        }
        if (length.empty() || length.size() > kMostDigits ||
            length.find_first_not_of('L') != std::string_view::npos) {
            return false;
        }
        out = {f.kind, f.charset, static_cast<int>(length.size())};
        return true;
    }
    return false;
}

std::string MoovPrefixName(const MoovPrefix& prefix) {
    if (prefix.kind == MoovPrefixKind::kBerTlv) return "BerTLV";
    const MoovPrefixKind family =
        prefix.kind == MoovPrefixKind::kFixed ? MoovPrefixKind::kChars : prefix.kind;
    for (const Family& f : kFamilies) {
        if (f.kind != family || (family == MoovPrefixKind::kChars && f.charset != prefix.charset))
            continue;
        if (prefix.kind == MoovPrefixKind::kFixed) return std::string(f.name) + ".Fixed";
        return std::string(f.name) + "." +
               std::string(static_cast<std::size_t>(prefix.digits), 'L');
    }
    return {};
}

bool ModelPrefixOf(const MoovPrefix& prefix, ModelPrefix& out) noexcept {
    out = ModelPrefix{};
    switch (prefix.kind) {
        case MoovPrefixKind::kFixed:
            return true;
        case MoovPrefixKind::kChars:
            out.units = prefix.digits;
            out.lenEnc = Encoding::CHAR;
            out.charset = prefix.charset;
            return true;
        case MoovPrefixKind::kPacked:
            out.units = (prefix.digits + 1) / 2;
            out.lenEnc = Encoding::PBCD;
            return true;
        case MoovPrefixKind::kBinary:
            out.units = prefix.digits;
            out.lenEnc = Encoding::BIGEND;
            out.whole = prefix.digits > kWholeBytes;
            return true;
        case MoovPrefixKind::kHex:
            // Two hexadecimal digits a byte of the number.
            if (2 * prefix.digits > kMaxPrefixUnits) return false;
            out.units = 2 * prefix.digits;
            out.lenEnc = Encoding::HEX;
            out.charset = Encoding::ASCII;
            return true;
        default:
            return false;
    }
}

bool MoovPrefixOf(const ModelPrefix& prefix, Encoding charset, MoovPrefix& out) noexcept {
    const int units = prefix.units;
    out = MoovPrefix{};
    if (units == 0) return true;
    switch (prefix.lenEnc) {
        case Encoding::CHAR:
            if (units > kMostDigits) return false;
            out = {MoovPrefixKind::kChars, charset, units};
            return true;
        case Encoding::PBCD:
            // Four digits at most: BCD.LL fills one byte, BCD.LLLL two.
            if (units > 2) return false;
            out = {MoovPrefixKind::kPacked, Encoding::ASCII, 2 * units};
            return true;
        case Encoding::HEX:
            if (units % 2 != 0 || charset != Encoding::ASCII) return false;
            out = {MoovPrefixKind::kHex, Encoding::ASCII, units / 2};
            return true;
        default:
            // NONE reads as BIGEND does.
            if (units > kMostDigits || (units > kWholeBytes && !prefix.whole)) return false;
            out = {MoovPrefixKind::kBinary, Encoding::ASCII, units};
            return true;
    }
}

bool ReadMoovEncoding(std::string_view name, MoovEncoding& out) noexcept {
    for (const Named& n : kEncodings) {
        if (name == n.name) {
            out = n.encoding;
            return true;
        }
    }
    return false;
}

const char* MoovEncodingName(MoovEncoding e) noexcept {
    for (const Named& n : kEncodings) {
        if (n.encoding == e) return n.name;
    }
    return "";
}
