// JSON written straight into a report's text as the values come, no tree in between, byte for
// byte as nlohmann::json's dump() writes the same document (no indent, UTF-8 passed through,
// invalid UTF-8 replaced): the reports' JSON has always been that, and readers compare it.
#pragma once

#include <string>
#include <string_view>

// text as a JSON string, quotes included: '"' and '\' escaped, control characters as \b \f \n
// \r \t or \u00xx (lower case), every other character as it is; each maximal part of an
// invalid UTF-8 sequence becomes U+FFFD, as nlohmann's replace error handler has it.
void AppendJsonString(std::string& out, std::string_view text);

// Objects and arrays with the commas between their members; the caller writes them in order.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& text) : out(text) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // A member's name, one of the writer's own: plain ASCII, written as it is.
    JsonWriter& Key(std::string_view name);
    void String(std::string_view text);
    void Number(long value);
    void Bool(bool value);

  private:
    void Open(char bracket);
    void Close(char bracket);
    void Separate();

    std::string& out;
    bool first = true;      // nothing written yet in the innermost object or array
    bool afterKey = false;  // a value comes next, after its name
};
