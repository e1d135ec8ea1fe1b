// The XML of a jPOS packager read into a small tree, and text written back as XML. Reading goes
// through expat with nothing loaded from outside the text: no external entities, no external
// DTD (a file that names one, as jPOS files do, is still read), and entity expansion bounded, so
// that a billion-laughs document is refused rather than expanded.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<XmlElement> children;
    int line = 0;

    // The attribute's value, or null when the element has none of that name.
    const std::string* Attribute(std::string_view key) const noexcept;
};

struct XmlDocument {
    XmlElement root;
    std::vector<std::string> comments;  // those before the root element, in order
};

// Elements nested deeper than this refuse the document: no packager comes near it, and the
// readers of the tree may then recurse without bound checks of their own.
inline constexpr int kMaxXmlDepth = 24;

// False with error "not well-formed XML: <expat's reason> at line N" (or why the document was
// refused) when the text cannot be read whole.
bool ReadXml(std::string_view text, XmlDocument& doc, std::string& error);

// The text with &, <, >, " and control characters written as references, for an attribute value
// in double quotes.
std::string XmlAttributeText(std::string_view text);
