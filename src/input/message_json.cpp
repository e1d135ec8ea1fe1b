#include "input/message_json.h"

#include <simdjson.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/field_settings.h"
#include "model/subfields.h"
#include "support/text.h"

namespace od = simdjson::ondemand;
using simdjson::error_code;

namespace {

// A '*' where only digits or hexadecimal digits can stand: `check` masked the value.
bool HoldsMask(std::string_view shown) noexcept {
    return shown.find('*') != std::string_view::npos;
}

bool ShownAsDigits(FieldType type, bool binary) noexcept {
    return type == FieldType::N || type == FieldType::Z || binary;
}

// The field a decimal key names, or 0.
int FieldNumber(std::string_view key) noexcept {
    if (key.empty() || key.size() > 3) return 0;
    int n = 0;
    for (const char c : key) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n >= kFirstDataElement && n <= kLastField ? n : 0;
}

// A value that is a JSON value of another kind: the caller says what it should have been.
bool WrongKind(error_code e) noexcept {
    return e == simdjson::INCORRECT_TYPE || e == simdjson::NUMBER_ERROR ||
           e == simdjson::NUMBER_OUT_OF_RANGE;
}

}  // namespace

struct MessageJsonReader::Parsing {
    explicit Parsing(const ProtocolDef& definition) : def(definition) {
        for (int n = kFirstDataElement; n <= kLastField; ++n)
            digitsOnly[static_cast<std::size_t>(n)] =
                ShownAsDigits(def.fields[n].type, ValueIsBinary(def, n));
    }

    const ProtocolDef& def;
    std::array<bool, kFieldCount> digitsOnly{};  // by field: its value shown holds no '*'

    od::parser json;
    std::vector<char> padded;         // the line, with the room the parser reads past its end
    std::vector<std::uint8_t> units;  // a hexadecimal value decoded
    std::string path;                 // of the subfield being read
    MessageDraft* draft = nullptr;
    std::string* reason = nullptr;

    bool Fail(std::string text) {
        *reason = std::move(text);
        return false;
    }
    bool NotJson(error_code e) {
        return Fail(std::string("not JSON: ") + simdjson::error_message(e));
    }
    // e was met reading a value that should have been what `expected` says.
    bool Refuse(error_code e, std::string expected) {
        return WrongKind(e) ? Fail(std::move(expected)) : NotJson(e);
    }

    bool Read(std::string_view line) {
        const std::size_t room = line.size() + simdjson::SIMDJSON_PADDING;
        if (padded.size() < room) padded.resize(room);
        std::memcpy(padded.data(), line.data(), line.size());
        od::document doc;
        if (const error_code e = json.iterate(padded.data(), line.size(), padded.size()).get(doc))
            return NotJson(e);
        od::object top;
        if (const error_code e = doc.get_object().get(top)) return Refuse(e, "not a JSON object");
        if (!Message(top)) return false;
        // Past the object's end the parser has no location left: anything there is too much.
        if (doc.current_location().error() != simdjson::OUT_OF_BOUNDS)
            return Fail("not JSON: more after the message's object");
        return true;
    }

    bool Message(od::object& top) {
        bool hasMti = false;
        bool hasFields = false;
        std::string_view bitmap;
        bool hasBitmap = false;
        for (auto member : top) {
            od::field entry;
            std::string_view key;
            if (const error_code e = std::move(member).get(entry)) return NotJson(e);
            if (const error_code e = entry.unescaped_key().get(key)) return NotJson(e);
            od::value& value = entry.value();
            if (key == "mti") {
                std::string_view mti;
                if (const error_code e = value.get_string().get(mti))
                    return Refuse(e, "\"mti\" is not a string");
                draft->SetMti(mti);
                hasMti = true;
            } else if (key == "header") {
                std::string_view hex;
                if (const error_code e = value.get_string().get(hex))
                    return Refuse(e, "\"header\" is not a string");
                if (!Hex(hex))
                    return Fail(HoldsMask(hex) ? "\"header\" is masked"
                                               : "\"header\" is not hexadecimal digits");
                draft->SetHeader(units);
            } else if (key == "bitmap") {
                if (const error_code e = value.get_string().get(bitmap))
                    return Refuse(e, "\"bitmap\" is not a string");
                hasBitmap = true;
            } else if (key == "fields") {
                // Two lists of fields, or a list and an object, say two messages.
                if (hasFields) return Fail("\"fields\" given twice");
                if (!Fields(value)) return false;
                hasFields = true;
            } else if (key == "error") {
                std::string_view error;
                if (const error_code e = value.get_string().get(error))
                    return Refuse(e, "\"error\" is not a string");
                return Fail("the message could not be read: " + std::string(error));
            }
            // Anything else ("message", "verdict", "ok" of `check`) says nothing of the units.
        }
        if (!hasMti) return Fail("no \"mti\"");
        if (!hasFields) return Fail("no \"fields\"");
        return !hasBitmap || Bitmap(bitmap);
    }

    // The bitmap as `check` read it: bit 1 announces the secondary bitmap, and a field it flags
    // that the fields do not give is one the message did not decode.
    bool Bitmap(std::string_view hex) {
        if (!Hex(hex) || units.size() > 16) {
            return Fail(HoldsMask(hex) ? "\"bitmap\" is masked"
                                       : "\"bitmap\" is not 8 or 16 bytes in hexadecimal digits");
        }
        FieldMask bits{};
        std::memcpy(bits.data(), units.data(), units.size());
        draft->AnnounceSecondaryBitmap(TestBit(bits, 1));
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (TestBit(bits, n) && draft->FieldNode(n) == MessageDraft::kNoNode) {
                return Fail("field " + std::to_string(n) +
                            " is in \"bitmap\" but not in \"fields\": the message did not "
                            "decode whole");
            }
        }
        return true;
    }

    bool Fields(od::value& value) {
        od::json_type type;
        if (const error_code e = value.type().get(type)) return NotJson(e);
        if (type == od::json_type::array) return FieldList(value);
        if (type == od::json_type::object) return FieldObject(value);
        return Fail("\"fields\" is not a list or an object");
    }

    // `check`'s shape: [{"number": 2, "hex": "...", "value": "...", ...}, ...].
    bool FieldList(od::value& value) {
        od::array list;
        if (const error_code e = value.get_array().get(list)) return NotJson(e);
        int position = 0;
        for (auto element : list) {
            ++position;
            od::value item;
            if (const error_code e = element.get(item)) return NotJson(e);
            if (!ListedField(item, position)) return false;
        }
        return true;
    }

    bool ListedField(od::value& item, int position) {
        const auto at = [position] {
            return "the field at position " + std::to_string(position) + " of \"fields\"";
        };
        od::object object;
        if (const error_code e = item.get_object().get(object))
            return Refuse(e, at() + " is not an object");
        std::int64_t number = 0;
        std::string_view hex;
        std::string_view shown;
        bool hasHex = false;
        bool hasShown = false;
        bool masked = false;
        for (auto member : object) {
            od::field entry;
            std::string_view key;
            if (const error_code e = std::move(member).get(entry)) return NotJson(e);
            if (const error_code e = entry.unescaped_key().get(key)) return NotJson(e);
            od::value& v = entry.value();
            if (key == "number") {
                if (const error_code e = v.get_int64().get(number))
                    return Refuse(e, at() + ": \"number\" is not a whole number");
            } else if (key == "hex") {
                if (const error_code e = v.get_string().get(hex))
                    return Refuse(e, at() + ": \"hex\" is not a string");
                hasHex = true;
            } else if (key == "value") {
                if (const error_code e = v.get_string().get(shown))
                    return Refuse(e, at() + ": \"value\" is not a string");
                hasShown = true;
            } else if (key == "masked") {
                if (const error_code e = v.get_bool().get(masked))
                    return Refuse(e, at() + ": \"masked\" is not true or false");
            }
        }
        if (number < kFirstDataElement || number > kLastField)
            return Fail(at() + " has no \"number\" from 2 to 128");
        const int n = static_cast<int>(number);
        const auto field = [n] { return "field " + std::to_string(n); };
        if (masked) return Fail(field() + ": the value is masked");
        if (hasHex) {
            if (!Hex(hex))
                return Fail(field() + (HoldsMask(hex) ? ": the value is masked"
                                                      : ": \"hex\" is not hexadecimal digits"));
            draft->SetField(n, Chars(units), ValueForm::kUnits);
            return true;
        }
        if (!hasShown) return Fail(field() + ": neither \"hex\" nor \"value\"");
        if (FieldShownAsDigits(n) && HoldsMask(shown))
            return Fail(field() + ": the value is masked");
        draft->SetField(n, shown, ValueForm::kShown);
        return true;
    }

    // The short form: {"2": "4111...", "48": {"01": "A", "42": {"01": "x"}}}.
    bool FieldObject(od::value& value) {
        od::object object;
        if (const error_code e = value.get_object().get(object)) return NotJson(e);
        for (auto member : object) {
            od::field entry;
            std::string_view key;
            if (const error_code e = std::move(member).get(entry)) return NotJson(e);
            if (const error_code e = entry.unescaped_key().get(key)) return NotJson(e);
            const int n = FieldNumber(key);
            if (n == 0)
                return Fail("\"" + std::string(key) + "\" is not a field number from 2 to 128");
            od::value& v = entry.value();
            od::json_type type;
            if (const error_code e = v.type().get(type)) return NotJson(e);
            if (type == od::json_type::object) {
                path.assign(key);
                if (!Subfields(v, draft->SetStructuredField(n), def.subfields.Field(n), 1))
                    return false;
                continue;
            }
            std::string_view shown;
            if (const error_code e = v.get_string().get(shown)) {
                return Refuse(e, "field \"" + std::string(key) + "\" is not a string or an object");
            }
            if (FieldShownAsDigits(n) && HoldsMask(shown))
                return Fail("field " + std::to_string(n) + ": the value is masked");
            draft->SetField(n, shown, ValueForm::kShown);
        }
        return true;
    }

    // The members of value as subfields under parent; node is the definition's, when it has
    // one, and depth the level of the subfields read (1 right under the field).
    bool Subfields(od::value& value, std::int32_t parent, const SubfieldNode* node, int depth) {
        if (depth > kMaxSubfieldDepth) {
            return Fail("field " + path + ": subfields nested deeper than " +
                        std::to_string(kMaxSubfieldDepth) + " levels");
        }
        od::object object;
        if (const error_code e = value.get_object().get(object)) return NotJson(e);
        const std::size_t above = path.size();
        for (auto member : object) {
            od::field entry;
            std::string_view id;
            if (const error_code e = std::move(member).get(entry)) return NotJson(e);
            if (const error_code e = entry.unescaped_key().get(id)) return NotJson(e);
            path.resize(above);
            path.push_back('.');
            path.append(id);
            if (id.empty()) return Fail("field " + path + ": a subfield with an empty id");
            const SubfieldNode* child = node != nullptr ? node->Child(id) : nullptr;
            od::value& v = entry.value();
            od::json_type type;
            if (const error_code e = v.type().get(type)) return NotJson(e);
            if (type == od::json_type::object) {
                if (!Subfields(v, draft->AddStructuredSubfield(parent, id), child, depth + 1))
                    return false;
                continue;
            }
            std::string_view shown;
            if (const error_code e = v.get_string().get(shown))
                return Refuse(e, "subfield \"" + path + "\" is not a string or an object");
            if (SubfieldShownAsDigits(node, child) && HoldsMask(shown))
                return Fail("field " + path + ": the value is masked");
            draft->AddSubfield(parent, id, shown, ValueForm::kShown);
        }
        path.resize(above);
        return true;
    }

    bool FieldShownAsDigits(int n) const noexcept {
        return digitsOnly[static_cast<std::size_t>(n)];
    }

    // A data object's value is bytes, a defined subfield's as its type says; of a subfield the
    // definition does not know nothing is assumed.
    static bool SubfieldShownAsDigits(const SubfieldNode* parent, const SubfieldNode* child) {
        if (parent != nullptr && parent->structure.layout == SubfieldLayout::kBerTlv) return true;
        return child != nullptr && child->defined &&
               ShownAsDigits(child->def.type, SubfieldValueIsBinary(child->def));
    }

    // Hexadecimal digits into units; false when they are not.
    bool Hex(std::string_view hex) {
        if (hex.size() % 2 != 0) return false;
        units.resize(hex.size() / 2);
        if (hex.empty()) return true;
        return DecodeHex(static_cast<int>(hex.size()), units.data(), hex.data(),
                         static_cast<int>(units.size())) == static_cast<int>(units.size());
    }

    static std::string_view Chars(const std::vector<std::uint8_t>& bytes) noexcept {
        return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    }
};

MessageJsonReader::MessageJsonReader(const ProtocolDef& def)
    : parsing(std::make_unique<Parsing>(def)) {}

MessageJsonReader::~MessageJsonReader() = default;

bool MessageJsonReader::Blank(std::string_view line) noexcept {
    for (const char c : line) {
        if (c != ' ' && c != '\t' && c != '\r') return false;
    }
    return true;
}

bool MessageJsonReader::Read(std::string_view line, MessageDraft& draft, std::string& reason) {
    draft.Clear();
    parsing->draft = &draft;
    parsing->reason = &reason;
    if (line.size() > kLineMax)
        return parsing->Fail("longer than " + std::to_string(kLineMax) + " characters");
    return parsing->Read(line);
}
