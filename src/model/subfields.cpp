#include "model/subfields.h"

#include <algorithm>
#include <charconv>

#include "model/protocol.h"

namespace {

bool AllDigits(std::string_view id) noexcept {
    return !id.empty() &&
           std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

template <typename Node>
Node* FindChild(std::vector<Node>& children, std::string_view id) noexcept {
    auto at = std::lower_bound(
        children.begin(), children.end(), id,
        [](const SubfieldNode& node, std::string_view key) { return IdLess(node.id, key); });
    if (at == children.end() || IdLess(id, at->id)) return nullptr;
    return &*at;
}

}  // namespace

int IdNumber(std::string_view id) noexcept {
    if (!AllDigits(id)) return -1;
    long value = 0;
    for (char c : id) {
        value = value * 10 + (c - '0');
        if (value > 0x7FFF) return -1;
    }
    return static_cast<int>(value);
}

bool IdLess(std::string_view a, std::string_view b) noexcept {
    const int x = IdNumber(a);
    const int y = IdNumber(b);
    if (x >= 0 && y >= 0) return x < y;
    if ((x >= 0) != (y >= 0)) return x >= 0;
    return a < b;
}

const SubfieldNode* SubfieldNode::Child(std::string_view childId) const noexcept {
    return FindChild(const_cast<std::vector<SubfieldNode>&>(children), childId);
}

SubfieldNode* SubfieldNode::Child(std::string_view childId) noexcept {
    return FindChild(children, childId);
}

bool SplitPath(std::string_view path, SubfieldPath& out) {
    out.ids.clear();
    std::size_t dot = path.find('.');
    out.field = IdNumber(path.substr(0, dot));
    if (out.field < kFirstDataElement || out.field > kLastField) return false;
    while (dot != std::string_view::npos) {
        path.remove_prefix(dot + 1);
        dot = path.find('.');
        const std::string_view id = path.substr(0, dot);
        if (id.empty() || id.find_first_of(" \t;") != std::string_view::npos) return false;
        if (out.ids.size() == static_cast<std::size_t>(kMaxSubfieldDepth)) return false;
        out.ids.push_back(id);
    }
    return true;
}

const SubfieldNode* SubfieldTable::Field(int n) const noexcept {
    // Asked for every field of every message: a definition without subfields answers at once.
    if (fields.empty() || n < 0 || n > kLastField) return nullptr;
    char digits[4];
    const std::string_view id(digits,
                              std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    return FindChild(const_cast<std::vector<SubfieldNode>&>(fields), id);
}

const SubfieldNode* SubfieldTable::Find(std::string_view path) const {
    SubfieldPath parts;
    if (!SplitPath(path, parts)) return nullptr;
    const SubfieldNode* node = Field(parts.field);
    for (std::string_view id : parts.ids) {
        if (node == nullptr) return nullptr;
        node = node->Child(id);
    }
    return node;
}

SubfieldNode& SubfieldTable::Make(const SubfieldPath& path) {
    auto make = [](std::vector<SubfieldNode>& children, std::string_view id) -> SubfieldNode& {
        auto at = std::lower_bound(
            children.begin(), children.end(), id,
            [](const SubfieldNode& node, std::string_view key) { return IdLess(node.id, key); });
        if (at != children.end() && !IdLess(id, at->id)) return *at;
        SubfieldNode node;
        node.id = std::string(id);
        return *children.insert(at, std::move(node));
    };
    SubfieldNode* node = &make(fields, std::to_string(path.field));
    node->defined = true;
    for (std::string_view id : path.ids)
        node = &make(node->children, id);
    return *node;
}

bool SubfieldValueIsBinary(const SubfieldDef& def) noexcept {
    if (def.type == FieldType::B) return true;
    return def.type == FieldType::Z && def.settings.binEnc != Encoding::PBCD;
}
