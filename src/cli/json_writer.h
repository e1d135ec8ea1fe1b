// JSON written straight into a report's text as the values come, no tree in between, byte for
// byte as nlohmann::json's dump() writes the same document (no indent, UTF-8 passed through,
// invalid UTF-8 replaced): the reports' JSON has always been that, and readers compare it.
#pragma once

#include <string>
#include <string_view>

#include "cli/text_window.h"

// text as a JSON string, quotes included: '"' and '\' escaped, control characters as \b \f \n
// \r \t or \u00xx (lower case), every other character as it is; each maximal part of an
// invalid UTF-8 sequence becomes U+FFFD, as nlohmann's replace error handler has it.
void AppendJsonString(std::string& out, std::string_view text);
// The same at out, which has room for JsonStringRoom(text.size()) characters; where it ends.
char* PutJsonString(char* out, std::string_view text) noexcept;
constexpr std::size_t JsonStringRoom(std::size_t size) {
    return 6 * size + 2;
}

// lead as PutJsonString writes it, then bytes from a message in the same string, each unit
// outside 0x20 to 0x7E as \u00xx (DEL and 0x80 to 0xFF too: a message's units are no UTF-8),
// '"' and '\' escaped.
char* PutJsonMessageString(char* out, std::string_view lead, std::string_view bytes) noexcept;

// Objects and arrays with the commas between their members; the caller writes them in order.
// Nothing else may write to the text while the writer is there. Its pieces are inlined: each is
// a few stores then, where a call would cost more than the piece, and names of known length.
#if defined(__GNUC__) || defined(__clang__)
#define ISO_JSON_INLINE __attribute__((always_inline))
#else
#define ISO_JSON_INLINE
#endif

class JsonWriter {
  public:
    explicit JsonWriter(std::string& text) : window(text) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // A member's name, one of the writer's own: plain ASCII, written as it is.
    ISO_JSON_INLINE JsonWriter& Key(std::string_view name) {
        char* p = Next(name.size() + 3);
        *p++ = '"';
        p = Put(p, name);
        *p++ = '"';
        *p++ = ':';
        window.Commit(p);
        afterKey = true;
        return *this;
    }
    ISO_JSON_INLINE void String(std::string_view text) {
        window.Commit(PutJsonString(Next(JsonStringRoom(text.size())), text));
    }
    void MessageString(std::string_view lead, std::string_view bytes) {
        window.Commit(
            PutJsonMessageString(Next(JsonStringRoom(lead.size() + bytes.size())), lead, bytes));
    }
    ISO_JSON_INLINE void Number(long value) { window.Commit(PutNumber(Next(24), value)); }
    ISO_JSON_INLINE void Bool(bool value) { window.Commit(Put(Next(5), value ? "true" : "false")); }
    // Members of an object written as JSON already ("\"type\":\"N\""), in their place.
    ISO_JSON_INLINE void Members(std::string_view json) {
        window.Commit(Put(Next(json.size()), json));
    }
    // A character outside the document: the line end after it.
    void Raw(char c) { Close(c); }

  private:
    ISO_JSON_INLINE void Open(char bracket) {
        char* p = Next(1);
        *p++ = bracket;
        window.Commit(p);
        first = true;
    }
    ISO_JSON_INLINE void Close(char bracket) {
        char* p = window.Room(1);
        *p++ = bracket;
        window.Commit(p);
        first = false;
    }
    // Room for n characters and a comma before them, which it writes when one is due.
    ISO_JSON_INLINE char* Next(std::size_t n) {
        char* p = window.Room(n + 1);
        if (!first && !afterKey) *p++ = ',';
        first = false;
        afterKey = false;
        return p;
    }

    TextWindow window;
    bool first = true;      // nothing written yet in the innermost object or array
    bool afterKey = false;  // a value comes next, after its name
};
