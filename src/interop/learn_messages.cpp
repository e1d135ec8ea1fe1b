#include "interop/learn_messages.h"

#include <cstdio>
#include <cstring>

#include "model/pro_file.h"
#include "support/text.h"

namespace {

// An MTI that a MSG line written for it reads back as itself: four characters, none of them
// a separator, a control character or a blank at either end.
bool MsgLineHolds(const char* mti) {
    if (std::strlen(mti) != 4) return false;
    MsgDef written;
    std::memcpy(written.mti, mti, sizeof written.mti);
    char value[kMsgValueMax];
    if (!FormatMsgValue(value, sizeof value, written)) return false;
    MsgDef read;
    return ParseMsgValue(value, read) && std::strcmp(read.mti, mti) == 0;
}

// The decoder takes a bitmap cut short for one without more fields; the message then ends
// before its bitmap does, which is no decode.
bool BitmapWhole(const AutoBuff& message, const ProtocolDef& def) {
    ParseCursor cursor{def, message};
    const int start = ReadMti(0, cursor, message, def);
    FieldMask bitmap;
    const int first = ReadBitmapBlock(0, start, message, bitmap, def.bmpEnc, def.chrEnc);
    if (first == 0) return false;
    return !SecondBitmapFollows(def, bitmap) ||
           ReadBitmapBlock(1, start + first, message, bitmap, def.bmpEnc, def.chrEnc) > 0;
}

std::string LearnedTitle(long messages) {
    return "Learned from " + std::to_string(messages) + (messages == 1 ? " message" : " messages");
}

}  // namespace

void FieldTally::Add(const FieldMask& present) noexcept {
    for (std::size_t i = 0; i < present.size(); ++i) {
        inEvery[i] =
            static_cast<std::uint8_t>(messages == 0 ? present[i] : inEvery[i] & present[i]);
        inSome[i] |= present[i];
    }
    ++messages;
}

FieldMask FieldTally::Optional() const noexcept {
    FieldMask optional;
    for (std::size_t i = 0; i < optional.size(); ++i)
        optional[i] = static_cast<std::uint8_t>(inSome[i] & ~inEvery[i]);
    return optional;
}

MessageLearner::MessageLearner(const ProtocolDef& protocol)
    : def(protocol), index(protocol.messages), plan(protocol) {
    scratch.index = &index;
    scratch.plan = &plan;
    consumer = [this](const DecodedField& field) {
        SetBit(decoded, field.number);
        return true;
    };
}

bool MessageLearner::Take() {
    ++read;
    if (!SetHeaderAside()) {
        ++withoutMti;
        return true;
    }
    decoded.fill(0);
    MessageHeader header;
    DecodeMessage(message, def, consumer, verdict, &header, scratch);
    LearnedMti* entry = EntryFor(header.mti);
    if (entry == nullptr) {
        ++withoutMti;
        return true;
    }
    ++entry->read;
    if (DecodedWhole(header)) {
        entry->fields.Add(header.bitmap);
    } else {
        ++entry->failed;
    }
    return true;
}

bool MessageLearner::Fail(std::string_view) {
    ++read;
    ++withoutMti;
    return true;
}

long MessageLearner::Failed() const noexcept {
    long failed = withoutMti;
    for (const LearnedMti& entry : learned)
        failed += entry.failed;
    return failed;
}

bool MessageLearner::SetHeaderAside() {
    if (headerUnits <= 0) return true;
    const int length = message.Length();
    if (length < headerUnits) return false;
    std::memmove(message.Data(), message.Data() + headerUnits, length - headerUnits);
    message.SetLength(length - headerUnits);
    message.Terminate();
    return true;
}

LearnedMti* MessageLearner::EntryFor(const char* mti) {
    const auto found = position.find(mti);
    if (found != position.end()) return &learned[found->second];
    if (!MsgLineHolds(mti)) return nullptr;
    position.emplace(mti, learned.size());
    LearnedMti& entry = learned.emplace_back();
    std::memcpy(entry.mti, mti, sizeof entry.mti);
    return &entry;
}

// Every field the bitmap announces was delivered: the decode did not stop at one. The bit of
// the second bitmap announces no field of its own.
bool MessageLearner::DecodedWhole(const MessageHeader& header) const {
    FieldMask announced = header.bitmap;
    ClearBit(announced, 1);
    return announced == decoded && BitmapWhole(message, def);
}

MsgDef ProposedMessage(const LearnedMti& learned, const ProtocolDef& def) {
    MsgDef proposed;
    std::memcpy(proposed.mti, learned.mti, sizeof proposed.mti);
    proposed.mandatory = learned.fields.Mandatory();
    proposed.optional = learned.fields.Optional();
    const int slot = def.messages.FindByMti(learned.mti);
    const char* title = slot != MsgTable::kNone ? def.messages.At(slot)->title : "";
    const std::string learnedTitle = LearnedTitle(learned.fields.Messages());
    CopyTextCut(proposed.title, sizeof proposed.title,
                title[0] != '\0' ? title : learnedTitle.c_str());
    return proposed;
}

void AddLearnedMessages(const std::vector<LearnedMti>& learned, ProtocolDef& def,
                        std::vector<std::string>& notes) {
    for (const LearnedMti& entry : learned) {
        if (entry.fields.Messages() == 0) continue;
        const MsgDef proposed = ProposedMessage(entry, def);
        const int same = def.messages.FindByMti(entry.mti);
        if (same != MsgTable::kNone) {
            MsgDef& existing = *def.messages.At(same);
            existing.mandatory = proposed.mandatory;
            existing.optional = proposed.optional;
            std::memcpy(existing.title, proposed.title, sizeof existing.title);
            continue;
        }
        auto added = std::make_unique<MsgDef>(proposed);
        added->owner = &def;
        if (!def.messages.PutIfEmpty(def.messages.FirstEmpty(), added)) {
            notes.push_back(std::string("message ") + entry.mti + ": the table holds " +
                            std::to_string(MsgTable::kSlots) + " messages already; not added");
        }
    }
}
