// A message to be encoded: its MTI, header, and each field's value, given either as one value or
// as subfields. A draft is cleared and filled again for every message; its storage stays, so
// that filling it allocates nothing once it has held a message of that size.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/protocol.h"

// How a value is written in the draft.
enum class ValueForm : std::uint8_t {
    kUnits,  // the decoded value's bytes, exactly as the decoder yields them
    kShown,  // as the checker shows it: the text, or hexadecimal digits for a binary value
};

// One field, or one subfield under a field. A node has either a value or children.
struct DraftNode {
    std::uint32_t idOffset = 0;  // the subfield's id ("01", "9F02", "head"); empty for a field
    std::uint32_t idLength = 0;
    std::uint32_t valueOffset = 0;
    std::uint32_t valueLength = 0;
    ValueForm form = ValueForm::kUnits;
    bool structured = false;       // given as children rather than as one value
    std::int32_t firstChild = -1;  // in the order they were added
    std::int32_t lastChild = -1;
    std::int32_t nextSibling = -1;
};

class MessageDraft {
  public:
    static constexpr std::int32_t kNoNode = -1;

    // Forgets the message, keeping the storage.
    void Clear() noexcept;

    void SetMti(std::string_view mti);
    std::string_view Mti() const noexcept { return mti; }

    // Units put before the MTI.
    void SetHeader(std::span<const std::uint8_t> units);
    std::span<const std::uint8_t> Header() const noexcept { return header; }

    // The input's own bitmap announced the secondary bitmap (bit 1), even with no field above 64.
    void AnnounceSecondaryBitmap(bool announced) noexcept { secondary = announced; }
    bool SecondaryAnnounced() const noexcept { return secondary; }

    // Field n (2 to 128) as one value; a field given twice keeps the last.
    std::int32_t SetField(int n, std::string_view value, ValueForm form);
    // Field n as subfields: the node to add them under.
    std::int32_t SetStructuredField(int n);
    // A subfield under parent, as one value or as subfields of its own.
    std::int32_t AddSubfield(std::int32_t parent, std::string_view id, std::string_view value,
                             ValueForm form);
    std::int32_t AddStructuredSubfield(std::int32_t parent, std::string_view id);

    // The field's node, kNoNode when the draft does not have it.
    std::int32_t FieldNode(int n) const noexcept;
    // The fields the draft has, in bitmap order; bit 1 is never set.
    const FieldMask& Present() const noexcept { return present; }
    const DraftNode& Node(std::int32_t i) const noexcept {
        return nodes[static_cast<std::size_t>(i)];
    }
    std::string_view IdOf(const DraftNode& node) const noexcept;
    std::string_view ValueOf(const DraftNode& node) const noexcept;

  private:
    std::int32_t NewNode(std::string_view id, std::string_view value, ValueForm form,
                         bool structured);
    void Attach(std::int32_t parent, std::int32_t child) noexcept;

    std::string mti;
    std::vector<std::uint8_t> header;
    bool secondary = false;
    std::array<std::int32_t, kFieldCount> fields = MakeEmptyFields();
    FieldMask present{};
    std::vector<DraftNode> nodes;
    std::string store;  // ids and values, back to back

    static constexpr std::array<std::int32_t, kFieldCount> MakeEmptyFields() noexcept {
        std::array<std::int32_t, kFieldCount> none{};
        none.fill(kNoNode);
        return none;
    }
};
