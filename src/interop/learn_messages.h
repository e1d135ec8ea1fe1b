// Message definitions learned from traffic: for each MTI seen, the masks of a MSG line under
// which every message of that MTI that decoded would pass.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "decode/decode_plan.h"
#include "decode/decoder.h"
#include "decode/mti_index.h"
#include "input/message_sink.h"
#include "model/protocol.h"

// The fields of the messages of one MTI, added one message at a time. Field 1 is counted as
// any other: the verdict treats the bit of the second bitmap as a field, so a message that
// carries one passes only where a mask allows it.
class FieldTally {
  public:
    void Add(const FieldMask& present) noexcept;

    long Messages() const noexcept { return messages; }
    // The fields present in every message added.
    FieldMask Mandatory() const noexcept { return inEvery; }
    // Those present in some of them but not in all.
    FieldMask Optional() const noexcept;

  private:
    long messages = 0;
    FieldMask inEvery = {};
    FieldMask inSome = {};
};

struct LearnedMti {
    char mti[5] = {};
    long read = 0;      // messages with this MTI
    long failed = 0;    // of which failed to decode, and are left out of the tally
    FieldTally fields;  // of the others
};

// Decodes each message it is given under the definition, whatever the verdict: an unknown MTI
// or fields outside the masks still count. A message whose decode stops at a field, whose
// bitmap is cut short, or that has no MTI a MSG line can hold, failed to decode. The
// definition must outlive the learner and stay unchanged while it learns.
class MessageLearner : public MessageSink {
  public:
    explicit MessageLearner(const ProtocolDef& def);

    // The first units units of every message are set aside before decoding; none when
    // negative.
    void SetHeader(int units) noexcept { headerUnits = units; }

    AutoBuff& Message() override { return message; }
    bool Take() override;
    bool Fail(std::string_view reason) override;

    long Read() const noexcept { return read; }
    // Messages that could not be prepared, were shorter than the header, or had no MTI.
    long FailedWithoutMti() const noexcept { return withoutMti; }
    // Every message that failed to decode, with an MTI or without.
    long Failed() const noexcept;
    // In the order their MTIs first appeared.
    const std::vector<LearnedMti>& Learned() const noexcept { return learned; }

  private:
    bool SetHeaderAside();
    LearnedMti* EntryFor(const char* mti);
    bool DecodedWhole(const MessageHeader& header) const;

    const ProtocolDef& def;
    MtiIndex index;
    DecodePlan plan;
    DecodeScratch scratch;
    FieldConsumer consumer;
    AutoBuff message;
    AutoBuff verdict;
    FieldMask decoded = {};  // the fields the decoder delivered for the current message
    int headerUnits = -1;
    long read = 0;
    long withoutMti = 0;
    std::vector<LearnedMti> learned;
    std::unordered_map<std::string, std::size_t> position;  // MTI to its entry in learned
};

// The MSG definition learned for one MTI (owner left null): its masks from the tally, and
// the definition's title for that MTI where it has one that is not empty, else "Learned from
// N messages". Meant for an MTI of which at least one message decoded.
MsgDef ProposedMessage(const LearnedMti& learned, const ProtocolDef& def);

// Puts the proposal of each MTI of which a message decoded into def: over the masks and title
// of the definition of that MTI, in its slot, or in the first free slot. Notes say which
// could not be added: "message 0300: the table holds 99 messages already; not added".
void AddLearnedMessages(const std::vector<LearnedMti>& learned, ProtocolDef& def,
                        std::vector<std::string>& notes);
