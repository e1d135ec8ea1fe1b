// The tag and the length of a tagged element as they are written in a value: characters in a
// text value, each part's own encoding (CHAR, PBCD, BIGEND) in a binary one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/subfields.h"

// How the value that holds the elements writes characters.
struct ElementValue {
    bool binary = false;
    bool ebcdic = false;  // a binary value's characters
};

// The tag the subfield reader reads back: the characters, or upper-case hex digits of a tag
// written as bytes.
struct ReadTag {
    char text[2 * kMaxTagUnits] = {};
    int length = 0;

    std::string_view View() const noexcept { return {text, static_cast<std::size_t>(length)}; }
};

// Writes the tag given as id into units[0, part.units) and what is read back from them into
// read; false with reason when id is not a tag the part can write.
bool WriteElementTag(std::string_view id, const ElementPart& part, const ElementValue& value,
                     std::uint8_t* units, ReadTag& read, std::string& reason);

// Writes length (units of the value that holds the element) into units[0, part.units); false
// with reason when the part cannot hold it.
bool WriteElementLength(long long length, const ElementPart& part, const ElementValue& value,
                        std::uint8_t* units, std::string& reason);
