// Card numbers planted wherever a message can carry one must not survive masking in any report
// of check or diagnose, whatever the framing: not as their digits (which also catches nibbles
// shown in hex), not as the hex of their digits, not as nibbles of the bytes a report lets
// through. The same runs with --no-mask must show most of them, or the planting proves nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSeed = 8583;
constexpr int kMessagesPerPlace = 24;
constexpr int kHeaderUnits = 24;  // set aside with --header: a TPDU and what follows it
constexpr int kMinDigits = 13;
constexpr int kMaxDigits = 19;

// A binary dialect with every field that carries card data as text, packed or chip data.
const char kBinaryPro[] =
    "NAME= Leak test binary\n"
    "MTI_Enc= CHAR\nBMP_Enc= NONE\nLEN_Enc= BIGEND\nNUM_Enc= PBCD\nCHR_Enc= ASCII\nBIN_Enc= NONE\n"
    "FIELD=   0;    B;  16; 0; N;\n"
    "FIELD=   1;    B;  16; 0; N;\n"
    "FIELD=   2;    N;  19; 1; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  34;  ANS;  28; 1; N; Extended account number\n"
    "FIELD=  35;    Z;  37; 1; N; Track 2 data\n"
    "FIELD=  36;  ANS; 104; 1; N; Track 3 data\n"
    "FIELD=  43;  ANS;  40; 0; N; Card acceptor name and location\n"
    "FIELD=  45;  ANS;  76; 1; N; Track 1 data\n"
    "FIELD=  48;  ANS; 999; 2; N; Additional data\n"
    "FIELD=  52;    B;   8; 0; N; PIN data\n"
    "FIELD=  55;    B; 255; 1; Y; Chip data\n"
    "FIELD=  62;    B; 999; 2; N; Private data\n"
    "FIELD=  63;    B; 999; 2; N; Private data\n"
    "FIELD= 102;  ANS;  28; 1; N; Account identification 1\n"
    "MSG=0100;20000000000000000000000000000000;C0000000702912060000000004000000;Auth\n";

// The same fields in characters: track 2 as text, binary fields as bits or hex text.
const char kTextFields[] =
    "MTI_Enc= CHAR\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
    "FIELD=   0;    B;  16; 0; N;\n"
    "FIELD=   1;    B;  16; 0; N;\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  34;  ANS;  28; 2; N; Extended account number\n"
    "FIELD=  35;  ANS;  37; 2; N; Track 2 data\n"
    "FIELD=  36;  ANS; 104; 3; N; Track 3 data\n"
    "FIELD=  43;  ANS;  40; 0; N; Card acceptor name and location\n"
    "FIELD=  45;  ANS;  76; 2; N; Track 1 data\n"
    "FIELD=  48;  ANS; 999; 3; N; Additional data\n"
    "FIELD=  52;    B;   8; 0; N; PIN data\n"
    "FIELD=  55;    B; 255; 3; Y; Chip data\n"
    "FIELD=  62;    B; 999; 3; N; Private data\n"
    "FIELD=  63;    B; 999; 3; N; Private data\n"
    "FIELD= 102;  ANS;  28; 2; N; Account identification 1\n"
    "MSG=0100;20000000000000000000000000000000;C0000000702912060000000004000000;Auth\n";

// Card numbers inside subfields: a tagged text field and a bitmapped binary one (hex text on
// the wire) in one dialect, a bitmapped binary field (packed, EBCDIC) and packed digits cut
// mid-byte in the other. 47.10, 127.9, 46.1 and 60.2 hold card numbers; the others carry them
// unannounced, for the backstop to find.
const char kSubfieldText[] =
    "NAME= Leak test subfields text\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  47;  ANS; 999; 3; Y; Additional data, national\n"
    "FIELD= 127;    B; 999; 3; Y; Private data\n"
    "MSG=0100;20000000000000000000000000000000;80000000000200000000000000000002;Auth\n"
    "STRUCTURE= 47; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 47.10;    N;  19; 0; N; Card number\n"
    "SUBFIELD_OPTION= 47.10; HOLDS; PAN\n"
    "SUBFIELD= 47.20;  ANS;  60; 0; N; Reference\n"
    "STRUCTURE= 127; BITMAP; 2\n"
    "SUBFIELD= 127.2;  ANS;  60; 2; N; Reference\n"
    "SUBFIELD= 127.9;    N;  19; 2; N; Card number\n"
    "SUBFIELD_OPTION= 127.9; HOLDS; PAN\n";
const char kSubfieldBinary[] =
    "NAME= Leak test subfields binary\n"
    "MTI_Enc= CHAR\nBMP_Enc= NONE\nLEN_Enc= BIGEND\nNUM_Enc= PBCD\nCHR_Enc= ASCII\nBIN_Enc= NONE\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  46;    B; 999; 2; Y; Additional data, national\n"
    "FIELD=  60;    N;  99; 2; Y; Private data\n"
    "MSG=0100;20000000000000000000000000000000;00000000000400100000000000000000;Auth\n"
    "STRUCTURE= 46; BITMAP; 1\n"
    "SUBFIELD= 46.1;    N;  19; 1; N; Card number\n"
    "SUBFIELD_OPTION= 46.1; HOLDS; PAN\n"
    "SUBFIELD= 46.2;  ANS;  60; 1; N; Reference\n"
    "SUBFIELD_OPTION= 46.2; CHR_Enc; EBCDIC\n"
    "SUBFIELD= 46.3;    N;  60; 1; N; Reference number\n"
    "STRUCTURE= 60; POSITIONAL\n"
    "SUBFIELD= 60.1;    N;   1; 0; N; Kind\n"
    "SUBFIELD= 60.2;    N;  19; 2; N; Card number\n"
    "SUBFIELD_OPTION= 60.2; HOLDS; PAN\n"
    "SUBFIELD= 60.3;    N;  60; 2; N; Reference number\n";

struct DialectSource {
    const char* name;
    std::string pro;
};

std::vector<DialectSource> DialectSources() {
    return {{"demo", ReadAll(ISO_EXAMPLES_DIR "/demo.pro")},
            {"binary", kBinaryPro},
            {"text, HEX bitmap, bits",
             std::string("NAME= Leak test text\nBMP_Enc= HEX\nBIN_Enc= CHAR\n") + kTextFields},
            {"text, CHAR bitmap, hex",
             std::string("NAME= Leak test hex\nBMP_Enc= CHAR\nBIN_Enc= HEX\n") + kTextFields},
            {"text, subfields", kSubfieldText},
            {"binary, subfields", kSubfieldBinary}};
}

// ---- The dialects as far as building messages needs them.

struct FieldDef {
    std::string type;
    int size = 0;
    int prefix = 0;  // units of the length prefix, 0 when fixed
};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct Dialect {
    std::string name;
    std::string pro;
    std::map<std::string, std::string> encodings;  // "NUM_Enc" -> "PBCD"
    std::map<int, FieldDef> fields;
    std::string mti;  // of the first message definition, with its mandatory fields
    std::vector<int> mandatory;

    const std::string& Encoding(const char* key) const { return encodings.at(key); }
    bool Binary(int n) const {
        const auto f = fields.find(n);
        return f != fields.end() && (f->second.type == "B" || f->second.type == "Z");
    }
};

Dialect ReadDialect(const DialectSource& source) {
    Dialect d{source.name, source.pro, {}, {}, {}, {}};
    std::istringstream in(source.pro);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos || line.starts_with("//")) continue;
        const std::string key = Trim(line.substr(0, eq));
        std::vector<std::string> parts;
        std::istringstream items(line.substr(eq + 1));
        for (std::string item; std::getline(items, item, ';');)
            parts.push_back(Trim(item));
        if (key.ends_with("_Enc")) {
            d.encodings[key] = parts.at(0);
        } else if (key == "FIELD") {
            d.fields[std::stoi(parts.at(0))] = {parts.at(1), std::stoi(parts.at(2)),
                                                std::stoi(parts.at(3))};
        } else if (key == "MSG" && d.mti.empty()) {
            d.mti = parts.at(0);
            for (int n = 2; n <= 128; ++n) {
                const int nibble = std::stoi(parts.at(1).substr((n - 1) / 4, 1), nullptr, 16);
                if (nibble & (8 >> ((n - 1) % 4))) d.mandatory.push_back(n);
            }
        }
    }
    return d;
}

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

std::string Bits(std::string_view bytes) {
    std::string bits;
    for (unsigned char b : bytes) {
        for (int i = 7; i >= 0; --i)
            bits.push_back((b >> i) & 1 ? '1' : '0');
    }
    return bits;
}

// Nibbles given as hex digits, padded with F to whole bytes, or to bytes when given.
std::string Packed(std::string nibbles, std::size_t bytes = 0) {
    nibbles.resize(std::max(2 * bytes, nibbles.size() + nibbles.size() % 2), 'F');
    std::string out;
    for (std::size_t i = 0; i < nibbles.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(nibbles.substr(i, 2), nullptr, 16)));
    return out;
}

// value: the digits of an N field, the characters of a text field, the bytes of a binary one.
std::string EncodeField(const Dialect& d, int n, const std::string& value) {
    const FieldDef& f = d.fields.at(n);
    const int length = static_cast<int>(value.size());
    if (f.prefix == 0 && length != f.size) {
        throw std::logic_error("field " + std::to_string(n) + " is fixed at " +
                               std::to_string(f.size) + ", given " + std::to_string(length));
    }
    std::string data = value;
    if (f.type == "N" && d.Encoding("NUM_Enc") == "PBCD")
        data = Packed(std::string(length % 2, '0') + value);
    if (d.Binary(n) && d.Encoding("BIN_Enc") == "HEX") data = Hex(value);
    if (d.Binary(n) && d.Encoding("BIN_Enc") == "CHAR") data = Bits(value);
    std::string prefix;
    if (d.Encoding("LEN_Enc") == "BIGEND") {
        for (int k = f.prefix - 1; k >= 0; --k)
            prefix.push_back(static_cast<char>((length >> (8 * k)) & 0xFF));
    } else if (f.prefix > 0) {
        prefix = std::to_string(length);
        prefix.insert(0, f.prefix - prefix.size(), '0');
    }
    return prefix + data;
}

std::string EncodeMessage(const Dialect& d, const std::map<int, std::string>& values) {
    std::string bitmap(values.rbegin()->first > 64 ? 16 : 8, '\0');
    if (bitmap.size() == 16) bitmap[0] = '\x80';
    for (const auto& [n, value] : values)
        bitmap[(n - 1) / 8] = static_cast<char>(bitmap[(n - 1) / 8] | (0x80 >> ((n - 1) % 8)));
    const std::string& bmp = d.Encoding("BMP_Enc");
    std::string out = d.mti + (bmp == "HEX" ? Hex(bitmap) : bmp == "CHAR" ? Bits(bitmap) : bitmap);
    for (const auto& [n, value] : values)
        out += EncodeField(d, n, value);
    return out;
}

// What a message carries where no card number was planted: nothing that looks like one.
std::string Filler(const FieldDef& f) {
    if (f.type == "N") return f.prefix > 0 ? "1000000000000009" : std::string(f.size, '0');
    if (f.type == "B" || f.type == "Z") return std::string(f.prefix > 0 ? 2 : f.size, '\0');
    std::string text = "TERM0001";
    text.resize(f.prefix > 0 ? text.size() : f.size, ' ');
    return text;
}

// ---- Planting.

bool LuhnValid(const std::string& digits) {
    int sum = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        int d = digits[digits.size() - 1 - i] - '0';
        if (i % 2 == 1) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return sum % 10 == 0;
}

// Builds one message around the card numbers a place plants in it.
class Planter {
  public:
    Planter(const Dialect& of, std::mt19937_64& engine, std::set<std::string>& used)
        : dialect(of), random(engine), taken(used) {}

    int Below(int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); }

    std::string Digits(int n) {
        std::string digits;
        for (int i = 0; i < n; ++i)
            digits.push_back(static_cast<char>('0' + Below(10)));
        return digits;
    }

    // Digits whose first is 2 to 6: a Luhn match that begins there may run into the number.
    std::string Lead(int n) {
        std::string digits = Digits(n);
        if (n > 0) digits[0] = static_cast<char>('2' + Below(5));
        return digits;
    }

    // A new card number of lo to hi digits, remembered as planted in this message.
    std::string Card(int lo = kMinDigits, int hi = kMaxDigits) {
        for (;;) {
            std::string number = Lead(lo + Below(hi - lo + 1) - 1);
            number.push_back('0');
            while (!LuhnValid(number))
                ++number.back();
            const bool oneDigit = number.find_first_not_of(number[0]) == std::string::npos;
            if (!oneDigit && taken.insert(number).second) {
                cards.push_back(number);
                return number;
            }
        }
    }

    // The number inside a run of other digits; parity sets the count of the digits before it
    // (0 even, 1 odd, -1 either), which packed puts the number at an even or an odd nibble.
    std::string Amid(const std::string& card, int parity, int room = 64) {
        const int spare = room - static_cast<int>(card.size());
        int lead = Below(3) == 0 ? 0 : std::min(1 + Below(16), spare);
        if (parity >= 0 && lead % 2 != parity) lead += lead < spare ? 1 : -1;
        const std::string before = Lead(lead);
        return before + card + Digits(std::min(Below(3), spare - lead));
    }

    // Bytes around a value up to units: a TPDU's zeros, blanks, letters.
    std::string Frame(const std::string& inner, int units) {
        static const char kFill[] = {'\x00', '\x60', ' ', 'H'};
        std::string out;
        const int spare = units - static_cast<int>(inner.size());
        const int before = Below(spare + 1);
        for (int i = 0; i < spare; ++i) {
            if (i == before) out += inner;
            out.push_back(kFill[Below(4)]);
        }
        if (before == spare) out += inner;
        return out;
    }

    bool Set(int n, const std::string& value) {
        if (dialect.fields.count(n) == 0) return false;
        fields[n] = value;
        return true;
    }
    bool Binary(int n) const { return dialect.Binary(n); }

    const Dialect& dialect;
    std::map<int, std::string> fields;
    std::string header;  // set aside with --header
    std::string before;  // ahead of the MTI, undeclared
    std::string after;   // behind the last field
    std::vector<std::string> cards;

  private:
    std::mt19937_64& random;
    std::set<std::string>& taken;
};

const std::string kTpdu("\x60\x00\x03\x00\x00", 5);

std::string Tlv(const std::string& tag, const std::string& value) {
    std::string out = Packed(tag);
    if (value.size() > 127) out.push_back('\x81');
    out.push_back(static_cast<char>(value.size()));
    return out + value;
}

// Chip data as a terminal sends it: the amount and the TVR around the objects that matter.
std::string Chip(const std::string& objects) {
    return Tlv("9F02", Packed("000000001000")) + objects + Tlv("95", Packed("0000008000"));
}

std::string PackedTrack2(Planter& p, const std::string& account) {
    return Packed(account + "D2512101" + p.Digits(p.Below(12)));
}

std::string Track1(Planter& p, const std::string& card) {
    return "%B" + card + "^TEST/CARDHOLDER^2512101" + p.Digits(p.Below(12)) + "?";
}

struct Place {
    const char* name;
    // Plants one or more numbers; false when the dialect has no room for the place.
    bool (*plant)(Planter&);
    bool declaredHeader = false;
};

// A tagged element: its tag, its length in 2 digits, its value.
std::string Element(const std::string& tag, const std::string& value) {
    char length[8];
    std::snprintf(length, sizeof length, "%02zu", value.size());
    return tag + length + value;
}

// Letters and digits in EBCDIC.
std::string Ebcdic(const std::string& text) {
    std::string out;
    for (char c : text) {
        const int k = c >= 'A' && c <= 'Z' ? c - 'A' : -1;
        out.push_back(static_cast<char>(c >= '0' && c <= '9' ? 0xF0 + c - '0'
                                        : k < 9              ? 0xC1 + k
                                        : k < 18             ? 0xD1 + k - 9
                                                             : 0xE2 + k - 18));
    }
    return out;
}

// Packed digits behind a one-byte count of them.
std::string CountedPacked(const std::string& digits) {
    return static_cast<char>(digits.size()) + Packed(std::string(digits.size() % 2, '0') + digits);
}

const Place kPlaces[] = {
    {"field 2", [](Planter& p) { return p.Set(2, p.Card()); }},
    {"field 34, text amid digits", [](Planter& p) { return p.Set(34, p.Amid(p.Card(), -1, 28)); }},
    {"field 35, track 2",
     [](Planter& p) {
         const std::string card = p.Card();
         if (p.Binary(35)) return p.Set(35, PackedTrack2(p, card));
         return p.Set(35, ";" + card + "=2512101" + p.Digits(p.Below(10)) + "?");
     }},
    {"field 35, packed track 2 after a pad nibble",
     [](Planter& p) { return p.Binary(35) && p.Set(35, PackedTrack2(p, "0" + p.Card())); }},
    {"field 36, track 3",
     [](Planter& p) {
         const std::string card = p.Card();
         return p.Set(36, "01" + card + "=724" + p.Digits(20));
     }},
    {"field 45, track 1", [](Planter& p) { return p.Set(45, Track1(p, p.Card())); }},
    {"field 52, packed at an even nibble",
     [](Planter& p) { return p.Set(52, Packed(p.Card(13, 16), 8)); }},
    {"field 52, packed at an odd nibble",
     [](Planter& p) { return p.Set(52, Packed("0" + p.Card(13, 15), 8)); }},
    {"field 43, text amid digits",
     [](Planter& p) {
         std::string text = "REF" + p.Amid(p.Card(), -1, 28) + " SHOP";
         text.resize(40, ' ');
         return p.Set(43, text);
     }},
    {"field 102, text amid digits",
     [](Planter& p) { return p.Set(102, p.Amid(p.Card(), -1, 28)); }},
    {"field 48, separated text",
     [](Planter& p) {
         const std::string terminal = p.Digits(8);
         const std::string account = p.Amid(p.Card(), -1);
         const std::string reference = p.Lead(6);
         return p.Set(48, "TID=" + terminal + ";ACC=" + account + ";AMT=000000001000;REF" +
                              reference + p.Card() + "00;END");
     }},
    {"field 62, packed at an even nibble",
     [](Planter& p) { return p.Set(62, "\x01\x02" + Packed(p.Amid(p.Card(), 0))); }},
    {"field 62, packed at an odd nibble",
     [](Planter& p) { return p.Set(62, "\x01\x02" + Packed(p.Amid(p.Card(), 1))); }},
    {"field 63, text digits in binary",
     [](Planter& p) { return p.Set(63, "REF" + p.Amid(p.Card(), -1) + "/00"); }},
    {"subfields 47.10 and 47.20, tagged text",
     [](Planter& p) {
         return p.Set(
             47, Element("10", p.Card()) + Element("20", "REF" + p.Amid(p.Card(), -1, 40) + "/00"));
     }},
    {"subfields 127.2 and 127.9, bitmapped text in binary",
     [](Planter& p) {
         const std::string reference = "REF" + p.Amid(p.Card(), -1, 40);
         return p.Set(127,
                      std::string("\x40\x80", 2) + Element("", reference) + Element("", p.Card()));
     }},
    {"subfields 46.1, 46.2 and 46.3, packed and EBCDIC",
     [](Planter& p) {
         const std::string reference = Ebcdic("REF" + p.Amid(p.Card(), -1, 40));
         return p.Set(46, "\xE0" + CountedPacked(p.Card()) + static_cast<char>(reference.size()) +
                              reference + CountedPacked(p.Amid(p.Card(), -1, 60)));
     }},
    {"subfields 60.2 and 60.3, packed from mid-byte",
     [](Planter& p) {
         return p.Set(60, "7" + Element("", p.Card()) + Element("", p.Amid(p.Card(), -1, 60)));
     }},
    {"field 55 5A", [](Planter& p) { return p.Set(55, Chip(Tlv("5A", Packed(p.Card())))); }},
    {"field 55 5A inside template 70",
     [](Planter& p) {
         return p.Set(55,
                      Chip(Tlv("70", Tlv("5A", Packed(p.Card())) + Tlv("5F24", Packed("251231")))));
     }},
    {"field 55 57, track 2 equivalent",
     [](Planter& p) { return p.Set(55, Chip(Tlv("57", PackedTrack2(p, p.Card())))); }},
    {"field 55 56, track 1",
     [](Planter& p) { return p.Set(55, Chip(Tlv("56", Track1(p, p.Card())))); }},
    {"field 55 9F6B, track 2",
     [](Planter& p) { return p.Set(55, Chip(Tlv("9F6B", PackedTrack2(p, p.Card())))); }},
    {"field 55 DF02, packed at an even nibble",
     [](Planter& p) { return p.Set(55, Chip(Tlv("DF02", Packed(p.Amid(p.Card(), 0))))); }},
    {"field 55 DF02, packed at an odd nibble",
     [](Planter& p) { return p.Set(55, Chip(Tlv("DF02", Packed(p.Amid(p.Card(), 1))))); }},
    {"declared header, text digits",
     [](Planter& p) {
         p.header = p.Frame(p.Amid(p.Card(), -1, kHeaderUnits), kHeaderUnits);
         return true;
     },
     true},
    {"declared header, packed at an even nibble",
     [](Planter& p) {
         p.header = p.Frame(Packed(p.Amid(p.Card(), 0, 2 * kHeaderUnits - 2)), kHeaderUnits);
         return true;
     },
     true},
    {"declared header, packed at an odd nibble",
     [](Planter& p) {
         p.header = p.Frame(Packed(p.Amid(p.Card(), 1, 2 * kHeaderUnits - 2)), kHeaderUnits);
         return true;
     },
     true},
    // Four units ahead put the number where the bitmap is read.
    {"undeclared header, text digits",
     [](Planter& p) {
         const std::string ahead = p.Below(2) == 0 ? "" : "ISO0";
         p.before = ahead + p.Card();
         return true;
     }},
    {"undeclared header, packed at an even nibble",
     [](Planter& p) {
         const std::string ahead = kTpdu.substr(0, 4 * p.Below(2));
         p.before = ahead + Packed(p.Card());
         return true;
     }},
    {"undeclared header, packed at an odd nibble",
     [](Planter& p) {
         const std::string ahead = kTpdu.substr(0, 4 * p.Below(2));
         p.before = ahead + Packed("0" + p.Card());
         return true;
     }},
    // Read from the TPDU on, the number lies in units no field could be read from.
    {"field 2 behind an undeclared TPDU",
     [](Planter& p) {
         p.before = kTpdu;
         return p.Set(2, p.Card());
     }},
    {"trailing units, text digits",
     [](Planter& p) {
         p.after = p.Amid(p.Card(), -1);
         return true;
     }},
    {"trailing units, packed at an even nibble",
     [](Planter& p) {
         p.after = Packed(p.Amid(p.Card(), 0));
         return true;
     }},
    {"trailing units, packed at an odd nibble",
     [](Planter& p) {
         p.after = Packed(p.Amid(p.Card(), 1));
         return true;
     }},
};
constexpr int kPlaceCount = static_cast<int>(std::size(kPlaces));

struct Message {
    int dialect = 0;
    int place = 0;
    int ordinal = 0;  // among the messages of its place and dialect
    std::string units;
    std::vector<int> plants;  // indices into Corpus::numbers
};

struct Corpus {
    std::vector<Dialect> dialects;
    std::vector<Message> messages;
    std::vector<std::string> numbers;
    std::vector<int> placeOf;  // of each number
};

const Corpus& TheCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        for (const DialectSource& source : DialectSources())
            c.dialects.push_back(ReadDialect(source));
        std::mt19937_64 random(kSeed);
        std::set<std::string> taken;
        for (int d = 0; d < static_cast<int>(c.dialects.size()); ++d) {
            const Dialect& dialect = c.dialects[d];
            for (int place = 0; place < kPlaceCount; ++place) {
                for (int k = 0; k < kMessagesPerPlace; ++k) {
                    Planter p(dialect, random, taken);
                    if (!kPlaces[place].plant(p)) break;
                    for (int n : dialect.mandatory) {
                        if (p.fields.count(n) == 0) p.fields[n] = Filler(dialect.fields.at(n));
                    }
                    Message m{d,
                              place,
                              k,
                              p.header + p.before + EncodeMessage(dialect, p.fields) + p.after,
                              {}};
                    for (const std::string& card : p.cards) {
                        m.plants.push_back(static_cast<int>(c.numbers.size()));
                        c.numbers.push_back(card);
                        c.placeOf.push_back(place);
                    }
                    c.messages.push_back(std::move(m));
                }
            }
        }
        return c;
    }();
    return corpus;
}

// ---- Finding planted numbers in a report.

// Planted numbers by their first 13 digits, the fewest a card number has.
class NumberIndex {
  public:
    explicit NumberIndex(const std::vector<std::string>& all) : numbers(all) {}

    void Add(int plant) {
        heads[std::stoull(numbers[plant].substr(0, kMinDigits))].push_back(plant);
    }

    // found(plant, at) for every planted number lying whole in symbols from at.
    template <typename Found>
    void Scan(std::string_view symbols, Found found) const {
        std::uint64_t head = 0;
        int run = 0;
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            const char c = symbols[i];
            if (c < '0' || c > '9') {
                run = 0;
                continue;
            }
            head = (head * 10 + static_cast<std::uint64_t>(c - '0')) % kHeadRange;
            if (++run < kMinDigits) continue;
            const auto hit = heads.find(head);
            if (hit == heads.end()) continue;
            const std::size_t at = i + 1 - kMinDigits;
            for (int plant : hit->second) {
                if (symbols.substr(at, numbers[plant].size()) == numbers[plant]) found(plant, at);
            }
        }
    }

  private:
    static constexpr std::uint64_t kHeadRange = 10000000000000ULL;  // 10^13

    const std::vector<std::string>& numbers;
    std::unordered_map<std::uint64_t, std::vector<int>> heads;
};

enum LeakForm { kAsDigits, kAsHexOfDigits, kAsHexOfEbcdic, kAsBytes, kLeakFormCount };
const char* const kLeakFormNames[kLeakFormCount] = {"digits", "hex of digits",
                                                    "hex of EBCDIC digits", "nibbles of raw bytes"};

// found(form, plant, offset in out) for every planted number in the report, in each form.
template <typename Found>
void ScanReport(const std::string& out, const NumberIndex& index, Found found) {
    // Digits, and nibbles shown in hex at either alignment.
    index.Scan(out, [&](int plant, std::size_t at) { found(kAsDigits, plant, at); });
    // "34313131..." (or "F4F1F1F1..." in EBCDIC): each pair 3X read as the digit X, from an even
    // and from an odd offset.
    const std::pair<char, LeakForm> zones[] = {{'3', kAsHexOfDigits}, {'F', kAsHexOfEbcdic}};
    for (const auto& [zone, form] : zones) {
        for (std::size_t parity = 0; parity < 2; ++parity) {
            std::string digits;
            for (std::size_t i = parity; i + 1 < out.size(); i += 2) {
                const bool pair = out[i] == zone && out[i + 1] >= '0' && out[i + 1] <= '9';
                digits.push_back(pair ? out[i + 1] : '.');
            }
            index.Scan(digits,
                       [&](int plant, std::size_t at) { found(form, plant, parity + 2 * at); });
        }
    }
    // The bytes a report lets through, shown raw or escaped (\xHH in rows, \u00HH in JSON), as
    // nibbles.
    std::string bytes;
    std::vector<std::size_t> from;
    auto hexAt = [&](std::size_t i, std::size_t n) {
        if (i + n > out.size()) return false;
        for (std::size_t k = i; k < i + n; ++k) {
            if (!std::isxdigit(static_cast<unsigned char>(out[k]))) return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < out.size();) {
        from.push_back(i);
        if (out.compare(i, 2, "\\x") == 0 && hexAt(i + 2, 2)) {
            bytes.push_back(static_cast<char>(std::stoi(out.substr(i + 2, 2), nullptr, 16)));
            i += 4;
        } else if (out.compare(i, 4, "\\u00") == 0 && hexAt(i + 4, 2)) {
            bytes.push_back(static_cast<char>(std::stoi(out.substr(i + 4, 2), nullptr, 16)));
            i += 6;
        } else if (out.compare(i, 2, "\\\\") == 0) {
            bytes.push_back('\\');
            i += 2;
        } else {
            bytes.push_back(out[i++]);
        }
    }
    index.Scan(Hex(bytes),
               [&](int plant, std::size_t at) { found(kAsBytes, plant, from[at / 2]); });
}

// The report's line around the count characters at offset at, which are bracketed, cut to a
// readable width.
std::string Excerpt(const std::string& out, std::size_t at, std::size_t count) {
    const std::size_t newline = out.rfind('\n', at);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    const std::size_t end = std::min(out.find('\n', at), out.size());
    const std::size_t from = std::max(start, at > 40 ? at - 40 : 0);
    const std::size_t stop = std::min(end, at + count);
    const std::size_t to = std::min(end, stop + 30);
    return (from > start ? "..." : "") + out.substr(from, at - from) + "[" +
           out.substr(at, stop - at) + "]" + out.substr(stop, to - stop) + (to < end ? "..." : "");
}

// ---- Running the tool.

struct OutputForm {
    const char* name;
    const char* command;
    bool json;
    // The least share of planted numbers, in percent, that --no-mask shows. check shows no
    // trailing units, and of a message read from the units before its MTI, an MTI, a bitmap and
    // fields cut from the wrong units; diagnose --json shows offsets, verdicts and readings, no
    // units.
    int unmaskedShare;
};

const OutputForm kForms[] = {
    {"check rows", "check", false, 70},
    {"check --json", "check --json", true, 70},
    {"diagnose", "diagnose", false, 100},
    {"diagnose --json", "diagnose --json", true, 0},
    {"check --jobs 2", "check --jobs 2", false, 70},
    {"diagnose --jobs 2", "diagnose --jobs 2", false, 100},
};

void PrintTo(const OutputForm& form, std::ostream* out) {
    *out << form.name;
}

// "check --json" as a test name: CheckJson.
std::string NameOf(const OutputForm& form) {
    std::string name;
    bool upper = true;
    for (const char* c = form.name; *c != '\0'; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c))) {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
        upper = false;
    }
    return name;
}

using Inputs = std::vector<const Message*>;

struct Framing {
    const char* name;
    const char* flag;
    int perPlace;  // messages of each place it carries
    // Writes the messages into dir as the tool's inputs; returns their paths.
    std::vector<std::string> (*write)(const fs::path& dir, const Inputs& messages);
};

std::string WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

const Framing kFramings[] = {
    {"--hex lines", "--hex", kMessagesPerPlace,
     [](const fs::path& dir, const Inputs& messages) {
         std::string text;
         for (const Message* m : messages)
             text += Hex(m->units) + "\n";
         return std::vector<std::string>{WriteFile(dir / "lines.hex", text)};
     }},
    {"--raw files", "--raw", 1,
     [](const fs::path& dir, const Inputs& messages) {
         std::vector<std::string> paths;
         for (const Message* m : messages)
             paths.push_back(WriteFile(dir / ("raw" + std::to_string(paths.size())), m->units));
         return paths;
     }},
    {"--dump blocks", "--dump", 4,
     [](const fs::path& dir, const Inputs& messages) {
         std::string text;
         for (const Message* m : messages) {
             const std::string hex = Hex(m->units);
             for (std::size_t i = 0; i < hex.size(); i += 2)
                 text += hex.substr(i, 2) + (i % 32 == 30 || i + 2 == hex.size() ? "\n" : " ");
             text += "\n";
         }
         return std::vector<std::string>{WriteFile(dir / "blocks.txt", text)};
     }},
    {"--stream len2", "--stream len2", 4,
     [](const fs::path& dir, const Inputs& messages) {
         std::string stream;
         for (const Message* m : messages) {
             stream.push_back(static_cast<char>(m->units.size() >> 8));
             stream.push_back(static_cast<char>(m->units.size() & 0xFF));
             stream += m->units;
         }
         return std::vector<std::string>{WriteFile(dir / "stream.bin", stream)};
     }},
    {"--stream len4", "--stream len4", 1,
     [](const fs::path& dir, const Inputs& messages) {
         std::string stream;
         for (const Message* m : messages) {
             stream += std::string(2, '\0');
             stream.push_back(static_cast<char>(m->units.size() >> 8));
             stream.push_back(static_cast<char>(m->units.size() & 0xFF));
             stream += m->units;
         }
         return std::vector<std::string>{WriteFile(dir / "stream4.bin", stream)};
     }},
    {"--stream ascii4", "--stream ascii4", 1,
     [](const fs::path& dir, const Inputs& messages) {
         std::string stream;
         for (const Message* m : messages) {
             char length[8];
             std::snprintf(length, sizeof length, "%04zu", m->units.size());
             stream += length + m->units;
         }
         return std::vector<std::string>{WriteFile(dir / "ascii4.bin", stream)};
     }},
};

// How many messages a report covers: JSON has a line each, the others end with the count.
int MessagesReported(const std::string& out, bool json) {
    const std::vector<std::string> lines = Lines(out);
    if (json) {
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.starts_with("{\"message\":");
        }));
    }
    return lines.empty() ? -1 : std::atoi(lines.back().c_str());
}

// ---- The test: one output form at a time, over every dialect, place and framing.

// What the numbers one place planted in one dialect gave in one framing.
struct Tally {
    int planted = 0;
    int leaked = 0;                   // masked, in any form
    int byForm[kLeakFormCount] = {};  // masked, in each form
    int shown = 0;                    // with --no-mask
    std::string example;              // the first leak, where the report shows it
};

// Place, dialect, framing.
using TallyKey = std::tuple<int, int, int>;
using Tallies = std::map<TallyKey, Tally>;

class CardLeak : public testing::TestWithParam<OutputForm> {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-leak-" + std::to_string(::getpid()) + "-" + NameOf(GetParam()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the form masked and unmasked over the messages of one dialect that one framing
    // carries, those behind a declared header or the others, and tallies what each shows.
    void RunBatch(int d, bool declared, int f, Tallies& tallies) {
        const Corpus& corpus = TheCorpus();
        const Framing& framing = kFramings[f];
        Inputs messages;
        NumberIndex index(corpus.numbers);
        std::unordered_map<int, int> messageOf;  // plant -> message number in the report
        for (const Message& m : corpus.messages) {
            if (m.dialect != d || kPlaces[m.place].declaredHeader != declared ||
                m.ordinal >= framing.perPlace) {
                continue;
            }
            messages.push_back(&m);
            for (int plant : m.plants) {
                index.Add(plant);
                messageOf[plant] = static_cast<int>(messages.size());
                ++tallies[{m.place, d, f}].planted;
            }
        }
        if (messages.empty()) return;
        const std::string pro = WriteFile(dir / "dialect.pro", corpus.dialects[d].pro);
        const std::vector<std::string> inputs = framing.write(dir, messages);
        std::string flags = framing.flag;
        if (declared) flags += " --header " + std::to_string(kHeaderUnits);
        const std::string what = corpus.dialects[d].name + ", " + framing.name;
        auto tally = [&](int plant) -> Tally& { return tallies[{corpus.placeOf[plant], d, f}]; };

        const std::string masked = Run(flags, pro, inputs, messages.size(), what);
        std::set<std::pair<int, int>> leaks;  // plant, form
        std::set<int> leaked;
        ScanReport(masked, index, [&](int form, int plant, std::size_t at) {
            if (!leaks.insert({plant, form}).second) return;
            Tally& t = tally(plant);
            ++t.byForm[form];
            if (!leaked.insert(plant).second) return;
            ++t.leaked;
            if (t.example.empty()) {
                const std::size_t digits = corpus.numbers[plant].size();
                const std::size_t width = form == kAsDigits  ? digits
                                          : form != kAsBytes ? 2 * digits
                                                             : 0;
                t.example = what + ", message " + std::to_string(messageOf[plant]) + ": " +
                            Excerpt(masked, at, width);
            }
        });

        const std::string plain = Run(flags + " --no-mask", pro, inputs, messages.size(), what);
        std::set<int> shown;
        ScanReport(plain, index, [&](int, int plant, std::size_t) {
            if (shown.insert(plant).second) ++tally(plant).shown;
        });
    }

    // Runs the form over the inputs; the report, after checking it covers every message.
    std::string Run(const std::string& flags, const std::string& pro,
                    const std::vector<std::string>& inputs, std::size_t count,
                    const std::string& what) {
        std::string command = std::string("'") + ISO8583_TOOL + "' " + GetParam().command + " " +
                              flags + " '" + pro + "'";
        for (const std::string& input : inputs)
            command += " '" + input + "'";
        const Result run = RunCommand(command, dir / "stdout", dir / "stderr");
        EXPECT_TRUE(run.status == 0 || run.status == 1) << what << ": status " << run.status;
        EXPECT_EQ(run.err, "") << what;
        EXPECT_EQ(MessagesReported(run.out, GetParam().json), static_cast<int>(count)) << what;
        return run.out;
    }

    fs::path dir;
};

// Per place: how many leaked of how many planted, in which form, dialect and framing, and
// where the first one shows.
std::string LeakReport(const Tallies& tallies) {
    const Corpus& corpus = TheCorpus();
    std::ostringstream report;
    for (int place = 0; place < kPlaceCount; ++place) {
        Tally sum;
        std::ostringstream where;
        int lastDialect = -1;
        for (const auto& [key, t] : tallies) {
            const auto [p, d, f] = key;
            if (p != place) continue;
            sum.planted += t.planted;
            sum.leaked += t.leaked;
            for (int k = 0; k < kLeakFormCount; ++k)
                sum.byForm[k] += t.byForm[k];
            if (t.leaked == 0) continue;
            if (sum.example.empty()) sum.example = t.example;
            if (d == lastDialect) {
                where << ", ";
            } else {
                where << "\n      " << corpus.dialects[d].name << ": ";
            }
            where << kFramings[f].name << " " << t.leaked << "/" << t.planted;
            lastDialect = d;
        }
        if (sum.leaked == 0) continue;
        report << "  " << kPlaces[place].name << ": " << sum.leaked << " of " << sum.planted
               << " (as ";
        for (int k = 0, first = 1; k < kLeakFormCount; ++k) {
            if (sum.byForm[k] == 0) continue;
            report << (first ? "" : ", ") << kLeakFormNames[k] << " " << sum.byForm[k];
            first = 0;
        }
        report << ")" << where.str() << "\n      e.g. " << sum.example << "\n";
    }
    return report.str();
}

TEST_P(CardLeak, NoPlantedNumberSurvivesMasking) {
    const OutputForm& form = GetParam();
    Tallies tallies;
    for (int d = 0; d < static_cast<int>(TheCorpus().dialects.size()); ++d) {
        for (const bool declared : {false, true}) {
            for (int f = 0; f < static_cast<int>(std::size(kFramings)); ++f)
                RunBatch(d, declared, f, tallies);
        }
    }
    const std::string leaks = LeakReport(tallies);
    EXPECT_TRUE(leaks.empty()) << form.name << ": planted card numbers that survived masking\n"
                               << leaks;

    int planted = 0;
    int shown = 0;
    for (const auto& [key, t] : tallies) {
        planted += t.planted;
        shown += t.shown;
    }
    EXPECT_GE(100 * shown, form.unmaskedShare * planted)
        << form.name << " --no-mask shows " << shown << " of " << planted
        << " planted numbers: the planting went wrong, or the report no longer shows them";
}

INSTANTIATE_TEST_SUITE_P(Reports, CardLeak, testing::ValuesIn(kForms),
                         [](const testing::TestParamInfo<OutputForm>& info) {
                             return NameOf(info.param);
                         });

}  // namespace
