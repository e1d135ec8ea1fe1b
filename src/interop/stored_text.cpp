#include "interop/stored_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "model/protocol.h"
#include "support/text.h"

void StoreText(char* target, std::size_t size, std::string_view text, bool description) {
    // A NUL ends a text of the definition.
    std::vector<char> copy(text.begin(), std::find(text.begin(), text.end(), '\0'));
    if (description) std::replace(copy.begin(), copy.end(), ';', ',');
    copy.push_back('\0');
    CollapseBlanks(copy.data());
    StoreDefinitionText(target, size, copy.data());
}

std::string StoredDescription(std::string_view text) {
    char stored[kTextMax + 1];
    StoreText(stored, sizeof stored, text, true);
    return stored;
}
