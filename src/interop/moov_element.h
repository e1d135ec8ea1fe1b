// One element of a moov-io/iso8583 JSON field list, a field or a member of a composite, read into
// what it is on the wire in a definition's terms, before the dialect's encodings are chosen:
// what it needs becomes the dialect's encoding or a setting of its own. What it cannot be is
// noted, by field.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interop/interop.h"
#include "interop/moov_names.h"

namespace moov {

using Json = nlohmann::json;

inline constexpr int kMostSize = 9999;

struct Member;

struct Value {
    FieldType type = FieldType::U;
    int size = 0;  // 0: a data object's, which takes its parent's
    ModelPrefix prefix;
    Encoding data = Encoding::NONE;   // N: PBCD or CHAR; B: NONE or HEX
    std::optional<Encoding> charset;  // of its data's characters
    bool padRight = false;            // packed digits padded after the last
    std::string description;
    // A composite's: its layout, its members, and the character set that its tags, lengths
    // or hexadecimal bitmap need of the dialect when its value is binary.
    SubfieldStructure structure;
    std::vector<Member> members;
    std::optional<Encoding> dialectCharset;
    // Its value is characters of one set (the members of a text value are runs of them).
    bool text = false;
};

struct Member {
    std::string id;
    Value value;
};

// What could not be carried over, gathered by field and said one line a field:
// "field 48: subfield 48.2: ...; its subfields are left out".
class Notes {
  public:
    void Add(int field, std::string text) { byField[field].push_back(std::move(text)); }
    void General(std::string text) { general.push_back(std::move(text)); }
    void MoveTo(InteropNotes& out);

  private:
    std::map<int, std::vector<std::string>> byField;
    std::vector<std::string> general;
};

// The element at path (its field's number, then a key a level), depth levels below its field;
// a member of BER-TLV data when dataObject. nullopt, with the reason noted, when a definition
// cannot hold it.
std::optional<Value> ReadElement(const Json& node, int field, const std::string& path, int depth,
                                 bool dataObject, Notes& notes);

// The members of a JSON object as the reader takes them: a string ("" when absent or of
// another kind), a whole number (nullopt when absent, -1 when not one from 0 to most).
std::string StringAt(const Json& node, const char* key);
std::optional<long> IntegerAt(const Json& node, const char* key, long most);
bool TrueAt(const Json& node, const char* key);
bool IsDigits(const std::string& text) noexcept;
// A name from the file as a note shows it, quoted.
std::string Quoted(const std::string& text);

}  // namespace moov
