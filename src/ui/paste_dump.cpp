#include "ui/paste_dump.h"

#include <cstdio>

#include "input/input_dump.h"

namespace {

class FirstMessage : public MessageSink {
  public:
    explicit FirstMessage(PastedDump& d) : dump(d) {}

    AutoBuff& Message() override { return message; }
    bool Take() override {
        if (++dump.messages == 1) {
            AutoBuff hex;
            hex.SetHexOf(message);
            dump.hex = hex.Length() > 0 ? hex.Text() : "";
        }
        return true;
    }
    bool Fail(std::string_view reason) override {
        if (dump.problem.empty()) dump.problem = reason;
        return true;
    }

  private:
    PastedDump& dump;
    AutoBuff message;
};

}  // namespace

PastedDump ReadPastedDump(const std::string& text) {
    PastedDump dump;
    if (text.empty()) return dump;
    // The reader takes a stream: the text is read in place.
    std::FILE* stream = ::fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (stream == nullptr) return dump;
    FirstMessage sink(dump);
    ReadDump(sink, stream);
    std::fclose(stream);
    return dump;
}
