// Diagnoses messages under a private copy of a definition, so that the alternative encodings
// it tries never touch the user's definition. One diagnoser per thread.
#pragma once

#include <memory>
#include <vector>

#include "content/subfield_reader.h"
#include "diagnose/diagnosis.h"

class Diagnoser {
  public:
    static constexpr int kMaxHeader = 64;  // header readings try 1 to kMaxHeader units
    static constexpr int kKept = 5;
    // Changes of the fields' own encodings tried on one message, at most.
    static constexpr std::size_t kFieldChanges = 1024;

    // Copies def; later changes to def are not seen.
    explicit Diagnoser(const ProtocolDef& def);
    Diagnoser(const Diagnoser&) = delete;
    Diagnoser& operator=(const Diagnoser&) = delete;
    ~Diagnoser();

    // False when the copy could not be made; nothing is diagnosed then.
    bool Ready() const noexcept { return ready; }

    // A strict diagnosis fails a message that passes as it is for its findings of the kinds
    // bitmap, type, length, subfield and trailing (the last unless allowed here or by the
    // definition's OPTION= TRAILING; Y).
    void SetStrict(bool on, bool trailingAllowed) noexcept {
        strict = on;
        allowTrailing = trailingAllowed;
    }

    // header: units the caller sets aside before the MTI.
    void Diagnose(const AutoBuff& message, int header, Diagnosis& out);
    // The findings a strict diagnosis fails the message for, without the map or a search: for
    // a caller that has the classic verdict already.
    void StrictFindings(const AutoBuff& message, int header, std::vector<Finding>& out);
    // The same over a decode the caller runs itself: each field as the decoder hands it over
    // (its offset counted from the message's first unit), then the end of the last field (or
    // less, after none), which adds the bitmap's findings first and the trailing units last.
    void StrictField(const AutoBuff& message, const DecodedField& field, std::vector<Finding>& out);
    void StrictEnd(const AutoBuff& message, int header, int end, std::vector<Finding>& out);
    // The what-if search alone, readings best first: single encoding changes, then headers of
    // 1 to kMaxHeader units, then a header with one change, ending after the first tier that
    // holds a passing reading.
    void Search(const AutoBuff& message, int header, std::vector<Reading>& out);

  private:
    // One reading's outcome as the search ranks it; change is an index into changes, or -1.
    struct Score {
        int start = 0;
        int change = -1;
        bool exact = false;
        bool ok = false;
        bool known = false;
        int warnings = 0;
        char mti[5] = {};
    };

    void Walk(const AutoBuff& message, int header, Diagnosis& out, bool mapped);
    void AddSubfields(const ProtocolDef& def, const DecodedField& field, MapEntry* entry,
                      std::vector<Finding>& warnings);
    bool IsStrict(const Finding& finding) const noexcept;
    void AddStrict(const Diagnosis& walked, std::vector<Finding>& out) const;
    Score Evaluate(const AutoBuff& message, int start, int change) noexcept;
    bool Consider(const Score& score, const Score& baseline) noexcept;
    bool AnyPasses() const noexcept;
    // The MTI read from start has a message definition.
    bool MtiKnown(const AutoBuff& message, int start) noexcept;
    void AddFieldChanges(const AutoBuff& message, int header);
    void Apply(int change) noexcept;
    void Restore(int change) noexcept;
    void Describe(const AutoBuff& message, const Score& score, int header, Reading& out);
    const AutoBuff& Suffix(const AutoBuff& message, int start) noexcept;

    std::unique_ptr<ProtocolDef> copy;
    bool ready = false;
    bool strict = false;
    bool allowTrailing = false;
    // Of the walk, kept from one message to the next.
    std::vector<int> offsets;
    std::vector<MapEntry> fieldEntries;
    std::vector<Finding> fieldWarnings;
    FieldFit fit;                  // of the field StrictField judges
    std::vector<Finding> outline;  // the findings of the MTI and bitmaps, of the units after
    std::int16_t sizeLens[kFieldCount] = {};  // as copied, for the way back from a new LEN_Enc
    Encoding originals[kEncodingRoleCount] = {};
    // Every offered value other than the current one, then allowing empty fields: the first
    // dialectChanges; during a search, the changes of the message's own fields follow them.
    std::vector<EncodingChange> changes;
    std::size_t dialectChanges = 0;
    FieldSettings saved;  // of the field whose own encoding a change tries
    std::vector<int> present;
    std::vector<Score> found;
    AutoBuff value;
    SubfieldReading subfields;  // of the field the walk reads
    ValueMask subfieldMask;
    AutoBuff suffix;
    AutoBuff verdict;
};

// One diagnosis with a diagnoser of its own.
Diagnosis DiagnoseMessage(const AutoBuff& message, int header, const ProtocolDef& def);
