// Runs an input reader over a text held in memory and keeps what it delivered, in order.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "input/message_sink.h"

class RecordingSink : public MessageSink {
  public:
    static constexpr std::size_t kShown = 64;

    // Each message as "=" and its units, each failure as "!" and its reason.
    std::vector<std::string> got;
    // Take and Fail answer false once this many messages have been delivered.
    std::size_t stopAfter = static_cast<std::size_t>(-1);

    AutoBuff& Message() override { return message; }
    bool Take() override {
        const std::string units(reinterpret_cast<const char*>(message.Data()),
                                static_cast<std::size_t>(message.Length()));
        // Long messages by their size and ends, so that a failure stays readable.
        got.push_back(units.size() <= kShown ? "=" + units
                                             : "=" + std::to_string(units.size()) + " units " +
                                                   units.front() + ".." + units.back());
        return got.size() < stopAfter;
    }
    bool Fail(std::string_view reason) override {
        got.push_back("!" + std::string(reason));
        return got.size() < stopAfter;
    }

  private:
    AutoBuff message;
};

// Reads text through read(sink, stream); the reader's return value is in status.
template <typename Read>
std::vector<std::string> ReadText(const std::string& text, Read read, int* status = nullptr,
                                  std::size_t stopAfter = static_cast<std::size_t>(-1)) {
    RecordingSink sink;
    sink.stopAfter = stopAfter;
    std::string copy = text;
    std::FILE* stream = fmemopen(copy.data(), copy.size(), "rb");
    const int r = read(sink, stream);
    std::fclose(stream);
    if (status != nullptr) *status = r;
    return sink.got;
}
