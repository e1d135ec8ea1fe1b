#include "encode/message_draft.h"

void MessageDraft::Clear() noexcept {
    mti.clear();
    header.clear();
    secondary = false;
    fields.fill(kNoNode);
    present.fill(0);
    nodes.clear();
    store.clear();
}

void MessageDraft::SetMti(std::string_view text) {
    mti.assign(text);
}

void MessageDraft::SetHeader(std::span<const std::uint8_t> units) {
    header.assign(units.begin(), units.end());
}

std::int32_t MessageDraft::SetField(int n, std::string_view value, ValueForm form) {
    if (n < kFirstDataElement || n > kLastField) return kNoNode;
    const std::int32_t node = NewNode({}, value, form, false);
    fields[static_cast<std::size_t>(n)] = node;
    SetBit(present, n);
    return node;
}

std::int32_t MessageDraft::SetStructuredField(int n) {
    if (n < kFirstDataElement || n > kLastField) return kNoNode;
    const std::int32_t node = NewNode({}, {}, ValueForm::kUnits, true);
    fields[static_cast<std::size_t>(n)] = node;
    SetBit(present, n);
    return node;
}

std::int32_t MessageDraft::AddSubfield(std::int32_t parent, std::string_view id,
                                       std::string_view value, ValueForm form) {
    if (parent < 0 || parent >= static_cast<std::int32_t>(nodes.size()) ||
        !Node(parent).structured) {
        return kNoNode;
    }
    const std::int32_t node = NewNode(id, value, form, false);
    Attach(parent, node);
    return node;
}

std::int32_t MessageDraft::AddStructuredSubfield(std::int32_t parent, std::string_view id) {
    if (parent < 0 || parent >= static_cast<std::int32_t>(nodes.size()) ||
        !Node(parent).structured) {
        return kNoNode;
    }
    const std::int32_t node = NewNode(id, {}, ValueForm::kUnits, true);
    Attach(parent, node);
    return node;
}

std::int32_t MessageDraft::FieldNode(int n) const noexcept {
    if (n < kFirstDataElement || n > kLastField) return kNoNode;
    return fields[static_cast<std::size_t>(n)];
}

// Every node's offsets lie inside the store: they were taken from it as it grew.
std::string_view MessageDraft::IdOf(const DraftNode& node) const noexcept {
    return {store.data() + node.idOffset, node.idLength};
}

std::string_view MessageDraft::ValueOf(const DraftNode& node) const noexcept {
    return {store.data() + node.valueOffset, node.valueLength};
}

std::int32_t MessageDraft::NewNode(std::string_view id, std::string_view value, ValueForm form,
                                   bool structured) {
    DraftNode node;
    node.idOffset = static_cast<std::uint32_t>(store.size());
    node.idLength = static_cast<std::uint32_t>(id.size());
    store.append(id);
    node.valueOffset = static_cast<std::uint32_t>(store.size());
    node.valueLength = static_cast<std::uint32_t>(value.size());
    store.append(value);
    node.form = form;
    node.structured = structured;
    nodes.push_back(node);
    return static_cast<std::int32_t>(nodes.size() - 1);
}

void MessageDraft::Attach(std::int32_t parent, std::int32_t child) noexcept {
    DraftNode& p = nodes[static_cast<std::size_t>(parent)];
    if (p.lastChild == kNoNode) {
        p.firstChild = child;
    } else {
        nodes[static_cast<std::size_t>(p.lastChild)].nextSibling = child;
    }
    p.lastChild = child;
}
