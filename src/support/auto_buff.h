// The growable byte and text buffer: sized exactly, bounded, never throwing.
#pragma once

#include <cstdint>
#include <utility>

#include "model/protocol.h"

// The platform's narrow character set as a Windows code page number (65001 for UTF-8).
int AnsiCodePage() noexcept;

class AutoBuff {
  public:
    static constexpr std::int32_t kMaxCapacity = 65535;

    AutoBuff() noexcept = default;
    virtual ~AutoBuff();
    AutoBuff(const AutoBuff&) = delete;
    AutoBuff& operator=(const AutoBuff&) = delete;

    bool Reserve(int size, bool keep) noexcept;
    // Inline: the decoder sets a value's length and NUL for every field of every message.
    bool SetLength(int n) noexcept {
        if (data == nullptr || n < 0 || n > capacity) return false;
        length = n;
        return true;
    }
    bool Terminate() noexcept {
        if (length == capacity && !Reserve(capacity + 1, true)) return false;
        data[length] = 0;
        return true;
    }
    void Clear() noexcept {
        length = 0;
        if (data != nullptr) data[0] = 0;
    }
    const char* Text() const noexcept;
    std::uint8_t* Data() noexcept { return data; }
    const std::uint8_t* Data() const noexcept { return data; }
    int Length() const noexcept { return length; }
    int Capacity() const noexcept { return capacity; }
    // Exchanges the two buffers' storage: hands a message on without copying it.
    void Swap(AutoBuff& other) noexcept {
        std::swap(maxCapacity, other.maxCapacity);
        std::swap(capacity, other.capacity);
        std::swap(length, other.length);
        std::swap(data, other.data);
    }

    // The arguments must not point into this buffer: its storage is replaced before the
    // second pass.
    bool Format(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));
    bool ConvertCodePage(bool toUtf8) noexcept;
    // ConvertCodePage as it runs where the narrow set is code page ansiCodePage; the stand-in
    // converters know 65001 (UTF-8) and 1252, and any other code page fails, changing nothing.
    bool ConvertCodePageAs(int ansiCodePage, bool toUtf8) noexcept;
    void NormaliseBlanks(bool cp1252) noexcept;
    bool SetFromFieldMask(const FieldMask& mask) noexcept;
    int SetHexOf(const AutoBuff& source) noexcept;
    int DecodeHexInPlace() noexcept;
    // LoadWindowText lives with the window toolkit (src/ui), over Reserve/Data/SetLength.

  private:
    std::int32_t maxCapacity = kMaxCapacity;
    std::int32_t capacity = 0;
    std::int32_t length = 0;
    std::uint8_t* data = nullptr;
};
