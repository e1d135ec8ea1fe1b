#include "interop/jpos_xml.h"

#include <algorithm>
#include <cstdint>

// The library is built with DTD support (the default build), which is what its entity expansion
// limits belong to; its header declares them only when told so.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include "support/text.h"

namespace {

// jPOS packagers declare no entities; a document whose expansion grows this much is an attack.
constexpr float kMaxAmplification = 50.0f;
constexpr unsigned long long kAmplificationThreshold = 1ull << 20;
// XML_Parse takes an int length.
constexpr std::size_t kChunk = 1u << 20;

struct Reading {
    XML_Parser parser = nullptr;
    XmlDocument* doc = nullptr;
    std::vector<XmlElement*> open;  // the root first
    bool rootSeen = false;
    std::string refusal;  // why the reader stopped the parser itself
};

int LineOf(XML_Parser parser) {
    return static_cast<int>(XML_GetCurrentLineNumber(parser));
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& r = *static_cast<Reading*>(data);
    if (static_cast<int>(r.open.size()) >= kMaxXmlDepth) {
        r.refusal = "elements nested more than " + std::to_string(kMaxXmlDepth) + " deep at line " +
                    std::to_string(LineOf(r.parser));
        XML_StopParser(r.parser, XML_FALSE);
        return;
    }
    XmlElement* element = nullptr;
    if (r.open.empty()) {
        element = &r.doc->root;
        r.rootSeen = true;
    } else {
        element = &r.open.back()->children.emplace_back();
    }
    element->name = name;
    element->line = LineOf(r.parser);
    for (const XML_Char** a = attributes; a[0] != nullptr; a += 2)
        element->attributes.emplace_back(a[0], a[1]);
    r.open.push_back(element);
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    auto& r = *static_cast<Reading*>(data);
    if (!r.open.empty()) r.open.pop_back();
}

void XMLCALL OnComment(void* data, const XML_Char* text) {
    auto& r = *static_cast<Reading*>(data);
    if (!r.rootSeen) r.doc->comments.emplace_back(text);
}

// Appends the UTF-8 form of a code point below 0x10000.
void AppendUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

const std::string* XmlElement::Attribute(std::string_view key) const noexcept {
    for (const auto& [name, value] : attributes) {
        if (name == key) return &value;
    }
    return nullptr;
}

bool ReadXml(std::string_view text, XmlDocument& doc, std::string& error) {
    doc = XmlDocument{};
    Reading r;
    r.doc = &doc;
    r.parser = XML_ParserCreate(nullptr);
    if (r.parser == nullptr) {
        error = "out of memory reading XML";
        return false;
    }
    // No handler for external entities is set, so none is ever opened, and the DTD a file names
    // is never fetched.
    XML_SetParamEntityParsing(r.parser, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(r.parser, kMaxAmplification);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(r.parser, kAmplificationThreshold);
#endif
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(r.parser, OnStart, OnEnd);
    XML_SetCommentHandler(r.parser, OnComment);
    bool ok = true;
    do {
        const std::size_t piece = std::min(text.size(), kChunk);
        const bool last = piece == text.size();
        ok = XML_Parse(r.parser, text.data(), static_cast<int>(piece), last) == XML_STATUS_OK;
        text.remove_prefix(piece);
    } while (ok && !text.empty());
    if (!r.refusal.empty()) {
        error = "not a jPOS packager: " + r.refusal;
        ok = false;
    } else if (!ok) {
        error = std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(r.parser)) +
                " at line " + std::to_string(LineOf(r.parser));
    }
    XML_ParserFree(r.parser);
    return ok;
}

std::string XmlAttributeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* reference = nullptr;
        switch (c) {
            case '&':
                reference = "&amp;";
                break;
            case '<':
                reference = "&lt;";
                break;
            case '>':
                reference = "&gt;";
                break;
            case '"':
                reference = "&quot;";
                break;
            case '\t':
                reference = "&#9;";
                break;
            case '\n':
                reference = "&#10;";
                break;
            case '\r':
                reference = "&#13;";
                break;
            default:
                break;
        }
        if (reference != nullptr) {
            out += reference;
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            // XML 1.0 has no way to write these, even as references.
            out.push_back(' ');
            ++i;
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            // Texts are bytes: UTF-8 of a character XML allows stays, and any other byte is a
            // Windows-1252 character.
            const std::string sequence(text.substr(i, 4));
            std::uint32_t point = 0;
            const int length = DecodeUtf8(sequence.c_str(), &point);
            const bool allowed = length > 0 && point <= 0x10FFFF &&
                                 !(point >= 0xD800 && point <= 0xDFFF) && point != 0xFFFE &&
                                 point != 0xFFFF;
            if (allowed) {
                out.append(text.substr(i, static_cast<std::size_t>(length)));
                i += static_cast<std::size_t>(length);
            } else {
                AppendUtf8(out, Cp1252ToWide(c));
                ++i;
            }
        }
    }
    return out;
}
