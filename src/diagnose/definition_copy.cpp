#include "diagnose/definition_copy.h"

#include <algorithm>
#include <new>

bool CopyDefinition(const ProtocolDef& source, ProtocolDef& target) noexcept {
    if (&source == &target) return true;
    std::copy(std::begin(source.name), std::end(source.name), target.name);
    std::copy(std::begin(source.fields), std::end(source.fields), target.fields);
    std::copy(std::begin(source.settings), std::end(source.settings), target.settings);
    target.options = source.options;
    try {
        target.subfields = source.subfields;
    } catch (...) {
        return false;
    }
    for (int r = 0; r < kEncodingRoleCount; ++r) {
        const auto field = EncodingField(static_cast<EncodingRole>(r));
        target.*field = source.*field;
    }
    target.messages.ClearAll();
    const MsgTable& from = source.messages;
    for (int i = 0; i < from.SlotCount(); ++i) {
        const MsgDef* msg = from.At(i).get();
        if (msg == nullptr) continue;
        std::unique_ptr<MsgDef> copy(new (std::nothrow) MsgDef(*msg));
        if (!copy) return false;
        copy->owner = &target;
        if (!target.messages.PutIfEmpty(i, copy)) return false;
    }
    return true;
}
