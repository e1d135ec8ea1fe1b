// Names of the EMV data objects, as the EMV dictionary of data elements gives them, and the
// two track tags that payment schemes add.
#pragma once

#include <cstdint>

// The name of a tag read big-endian (0x9F02), or "unknown tag".
const char* TagName(std::uint32_t tag) noexcept;
