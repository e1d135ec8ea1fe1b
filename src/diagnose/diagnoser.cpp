#include "diagnose/diagnoser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "diagnose/definition_copy.h"
#include "diagnose/walk.h"
#include "support/text.h"

namespace {

std::string HexOf(const std::uint8_t* units, int count) {
    std::string hex(2 * static_cast<std::size_t>(count), '\0');
    if (count > 0) EncodeHex(count, static_cast<int>(hex.size()), hex.data(), units);
    return hex;
}

// Fields present in the bitmap that the message definition does not allow.
FieldMask NotAllowed(const FieldMask& present, const MsgDef& msg) noexcept {
    FieldMask out{};
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<std::uint8_t>(present[i] & ~(msg.mandatory[i] | msg.optional[i]));
    return out;
}

int CountBits(const FieldMask& mask) noexcept {
    int count = 0;
    for (std::uint8_t byte : mask)
        count += std::popcount(byte);
    return count;
}

const MsgDef* FindMessage(const ProtocolDef& def, const char* mti) noexcept {
    const int slot = def.messages.FindByMti(mti);
    return slot == MsgTable::kNone ? nullptr : def.messages.At(slot).get();
}

MapEntry Stretch(MapPart part, int offset, int units) {
    MapEntry entry;
    entry.part = part;
    entry.offset = offset;
    entry.units = units;
    return entry;
}

std::string ShownValue(const ProtocolDef& def, const DecodedField& field) {
    const AutoBuff& value = *field.value;
    if (ValueIsBinary(def, field.number)) return HexOf(value.Data(), value.Length());
    const char* text = value.Text();
    return std::string(text, strnlen(text, value.Length()));
}

// A reading that reads no MTI text, or whose bitmap does not convert, only decodes exactly
// because the decoder reads on with zero bits: it says nothing about the message.
bool Plausible(const AutoBuff& message, const ProtocolDef& def, const WalkOutline& walk) noexcept {
    if (walk.mtiUnits == 0 || walk.mti[0] == '\0') return false;
    const int primaryAt = walk.BitmapStart();
    return BitmapFault(message, primaryAt, walk.primaryUnits, def) < 0 &&
           BitmapFault(message, primaryAt + walk.primaryUnits, walk.secondaryUnits, def) < 0;
}

}  // namespace

const char* NameOf(MapPart part) noexcept {
    switch (part) {
        case MapPart::kHeader:
            return "header";
        case MapPart::kMti:
            return "mti";
        case MapPart::kBitmap:
            return "bitmap";
        case MapPart::kField:
            return "field";
        default:
            return "trailing";
    }
}

Diagnoser::Diagnoser(const ProtocolDef& def) : copy(new (std::nothrow) ProtocolDef) {
    if (!copy || !CopyDefinition(def, *copy)) return;
    for (int n = 0; n < kFieldCount; ++n)
        sizeLens[n] = copy->fields[n].sizeLen;
    for (int r = 0; r < kEncodingRoleCount; ++r) {
        const auto role = static_cast<EncodingRole>(r);
        originals[r] = (*copy).*EncodingField(role);
        for (Encoding e : OfferedEncodings(role)) {
            if (e != originals[r]) changes.push_back({role, e});
        }
    }
    if (!copy->options.emptyFields) changes.push_back({.emptyFields = true});
    dialectChanges = changes.size();
    // Every reading the search can count, so that a search never allocates: the fields' own
    // changes take at most kFieldChanges more.
    found.reserve(changes.size() * (kMaxHeader + 1) + kMaxHeader + kFieldChanges);
    changes.reserve(dialectChanges + kFieldChanges);
    present.reserve(kFieldCount);
    ready = true;
}

Diagnoser::~Diagnoser() = default;

void ApplyChange(const EncodingChange& change, ProtocolDef& def) noexcept {
    if (change.emptyFields) {
        def.options.emptyFields = true;
    } else if (change.field != 0) {
        // The field's own line alone, as a file would take it: its prefix size stays.
        SetOwnEncoding(def.settings[change.field], change.role, change.value);
    } else {
        PickEncoding(def, change.role, change.value);
    }
}

void Diagnoser::Apply(int change) noexcept {
    if (change < 0) return;
    const EncodingChange& c = changes[change];
    if (c.field != 0 && !c.emptyFields) saved = copy->settings[c.field];
    ApplyChange(c, *copy);
}

// Back to the definition as copied: the prefix sizes as they were, not recomputed.
void Diagnoser::Restore(int change) noexcept {
    if (change < 0) return;
    const EncodingChange& c = changes[change];
    if (c.emptyFields) {
        copy->options.emptyFields = false;
        return;
    }
    if (c.field != 0) {
        copy->settings[c.field] = saved;
        return;
    }
    const EncodingRole role = c.role;
    (*copy).*EncodingField(role) = originals[static_cast<int>(role)];
    if (role == EncodingRole::kLength) {
        for (int n = 0; n < kFieldCount; ++n)
            copy->fields[n].sizeLen = sizeLens[n];
    }
}

Diagnoser::Score Diagnoser::Evaluate(const AutoBuff& message, int start, int change) noexcept {
    Score score;
    score.start = start;
    score.change = change;
    int warnings = 0;
    WalkOutline walk;
    const ProtocolDef& def = *copy;
    WalkMessage(message, start, def, value, walk,
                [&](const DecodedField& field) { warnings += CheckFieldFit(def, field).Count(); });
    if (!walk.Exact(message.Length()) || !Plausible(message, def, walk)) return score;
    score.exact = true;
    std::memcpy(score.mti, walk.mti, sizeof score.mti);
    const MsgDef* msg = FindMessage(def, walk.mti);
    if (msg != nullptr) {
        score.known = true;
        score.ok = CheckFieldMasks(walk.bitmap, msg->mandatory, msg->optional) == 0;
        warnings += CountBits(NotAllowed(walk.bitmap, *msg));
    }
    score.warnings = warnings;
    return score;
}

namespace {

// Passes, then a known MTI, then fewer warnings: what makes a reading worth more than another
// with the same changes.
int Outcome(bool ok, bool known) noexcept {
    return ok ? 2 : known ? 1 : 0;
}

}  // namespace

// A reading counts when it decodes exactly, and, where the message as given already does, only
// when it does better.
bool Diagnoser::Consider(const Score& score, const Score& baseline) noexcept {
    if (!score.exact) return false;
    if (baseline.exact) {
        const int a = Outcome(score.ok, score.known);
        const int b = Outcome(baseline.ok, baseline.known);
        if (a < b || (a == b && score.warnings >= baseline.warnings)) return false;
    }
    if (found.size() == found.capacity()) return false;
    found.push_back(score);
    return true;
}

bool Diagnoser::AnyPasses() const noexcept {
    return std::any_of(found.begin(), found.end(), [](const Score& s) { return s.ok; });
}

bool Diagnoser::MtiKnown(const AutoBuff& message, int start) noexcept {
    if (start < 0 || start > message.Length()) return false;
    ParseCursor cursor{*copy, message};
    if (ReadMti(start, cursor, message, *copy) == 0 || cursor.mti[0] == '\0') return false;
    return FindMessage(*copy, cursor.mti) != nullptr;
}

const AutoBuff& Diagnoser::Suffix(const AutoBuff& message, int start) noexcept {
    if (start <= 0) return message;
    const int n = message.Length() - start;
    if (n < 0 || (suffix.Capacity() < n + 1 && !suffix.Reserve(n + 1, false))) {
        suffix.Clear();
        return suffix;
    }
    if (n > 0) std::memcpy(suffix.Data(), message.Data() + start, static_cast<std::size_t>(n));
    suffix.SetLength(n);
    suffix.Terminate();
    return suffix;
}

void Diagnoser::Describe(const AutoBuff& message, const Score& score, int header, Reading& out) {
    out = Reading{};
    out.header = score.start;
    out.headerChanged = score.start != header;
    if (score.change >= 0) out.change = changes[score.change];
    out.knownMti = score.known;
    out.warnings = score.warnings;
    std::memcpy(out.mti, score.mti, sizeof out.mti);
    out.headerHex = HexOf(message.Data(), score.start);
    Apply(score.change);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (copy->fields[n].sizeLen != sizeLens[n])
            out.prefixSizes.push_back({n, sizeLens[n], copy->fields[n].sizeLen});
    }
    out.ok = DecodeMessage(Suffix(message, score.start), *copy, {}, verdict);
    out.verdict.assign(verdict.Text(), verdict.Length());
    Restore(score.change);
}

// Each field the walk reached, up to the one it stopped at, with each other encoding its data
// and its length prefix can take: where one field alone is read the wrong way.
void Diagnoser::AddFieldChanges(const AutoBuff& message, int header) {
    changes.resize(dialectChanges);
    present.clear();
    WalkOutline walk;
    WalkMessage(message, header, *copy, value, walk,
                [&](const DecodedField& field) { present.push_back(field.number); });
    if (walk.failedField >= kFirstDataElement) present.push_back(walk.failedField);
    for (int n : present) {
        const FieldType type = copy->fields[n].type;
        if (type == FieldType::U) continue;
        const EncodingRole roles[] = {DataRole(type), EncodingRole::kLength};
        for (EncodingRole role : roles) {
            if (role == EncodingRole::kLength && copy->fields[n].sizeLen == 0) continue;
            const Encoding current = EffectiveEncoding(*copy, n, role);
            for (int e = 0; e < kEncodingCount; ++e) {
                const auto encoding = static_cast<Encoding>(e);
                if (encoding == current || !AcceptsFieldEncoding(role, type, encoding)) continue;
                if (changes.size() - dialectChanges >= kFieldChanges) return;
                changes.push_back({role, encoding, n});
            }
        }
    }
}

void Diagnoser::Search(const AutoBuff& message, int header, std::vector<Reading>& out) {
    out.clear();
    found.clear();
    if (!ready) return;
    const int length = message.Length();
    if (length > kMaxMessageUnits || header < 0 || header >= length) return;
    const Score baseline = Evaluate(message, header, -1);
    const bool ownMtiKnown = MtiKnown(message, header);
    // The fields' own changes are tried alone; with a header too, they would be too many.
    if (!baseline.exact) AddFieldChanges(message, header);
    const int changeCount = static_cast<int>(dialectChanges);
    const int lastStart = std::min(header + kMaxHeader, length - 1);

    for (int c = 0; c < static_cast<int>(changes.size()); ++c) {
        Apply(c);
        Consider(Evaluate(message, header, c), baseline);
        Restore(c);
    }
    if (!AnyPasses()) {
        for (int start = header + 1; start <= lastStart; ++start)
            Consider(Evaluate(message, start, -1), baseline);
    }
    if (!AnyPasses()) {
        for (int c = 0; c < changeCount; ++c) {
            Apply(c);
            for (int start = header + 1; start <= lastStart; ++start)
                Consider(Evaluate(message, start, c), baseline);
            Restore(c);
        }
    }

    // Where the message's own MTI is known, a reading that makes it an unknown one (a header
    // of a unit or two, most often) only buries the readings that matter.
    if (ownMtiKnown) std::erase_if(found, [](const Score& s) { return !s.known; });
    auto changesOf = [header](const Score& s) {
        return (s.start != header ? 1 : 0) + (s.change >= 0 ? 1 : 0);
    };
    std::stable_sort(found.begin(), found.end(), [&](const Score& a, const Score& b) {
        if (a.ok != b.ok) return a.ok;
        if (a.known != b.known) return a.known;
        if (changesOf(a) != changesOf(b)) return changesOf(a) < changesOf(b);
        if (a.warnings != b.warnings) return a.warnings < b.warnings;
        return a.start < b.start;
    });
    const std::size_t kept = std::min<std::size_t>(found.size(), kKept);
    out.resize(kept);
    for (std::size_t i = 0; i < kept; ++i)
        Describe(message, found[i], header, out[i]);
    changes.resize(dialectChanges);
}

namespace {

// The MTI and bitmap entries; offsets[1] gets the secondary bitmap's offset.
void AddOutline(const WalkOutline& walk, std::vector<MapEntry>& map, std::vector<int>& offsets) {
    int at = walk.start;
    if (walk.mtiUnits > 0) {
        map.push_back({MapPart::kMti, at, walk.mtiUnits, 0, 0, false, walk.mti, {}});
        at += walk.mtiUnits;
    }
    if (walk.primaryUnits > 0) {
        map.push_back({MapPart::kBitmap,
                       at,
                       walk.primaryUnits,
                       0,
                       0,
                       false,
                       HexOf(walk.bitmap.data(), 8),
                       {}});
        at += walk.primaryUnits;
    }
    if (walk.secondaryUnits > 0) {
        offsets[1] = at;
        map.push_back({MapPart::kBitmap,
                       at,
                       walk.secondaryUnits,
                       1,
                       0,
                       false,
                       HexOf(walk.bitmap.data() + 8, 8),
                       {}});
    }
}

// Every present field the MTI's definition does not allow, decoded or not: one not decoded
// is found at the bitmap that holds its bit.
void AddNotAllowed(const ProtocolDef& def, const WalkOutline& walk, const std::vector<int>& offsets,
                   std::vector<Finding>& out) {
    const MsgDef* msg = walk.read ? FindMessage(def, walk.mti) : nullptr;
    if (msg == nullptr) return;
    const FieldMask extra = NotAllowed(walk.bitmap, *msg);
    const int primaryAt = walk.BitmapStart();
    const int secondaryAt = primaryAt + walk.primaryUnits;
    for (int n = 1; n <= kLastField; ++n) {
        if (!TestBit(extra, n)) continue;
        const int bitAt = n > 64 ? secondaryAt : primaryAt;
        out.push_back(NotAllowedWarning(n, offsets[n] >= 0 ? offsets[n] : bitAt, walk.mti));
    }
}

}  // namespace

// The field's top-level subfields into its map entry (when there is one), and a finding where
// they stop fitting.
void Diagnoser::AddSubfields(const ProtocolDef& def, const DecodedField& field, MapEntry* entry,
                             std::vector<Finding>& warnings) {
    const int n = field.number;
    if (ReadableStructure(def, n) == nullptr) return;
    const int prefix = def.fields[n].sizeLen;
    const int size = field.value->Length();
    const Placement place =
        PlaceFieldValue(def, n, field.offset + prefix, field.consumed - prefix, size);
    subfieldMask.Reset(size);
    ReadSubfields(def, n, field.value->Data(), size, ValueIsBinary(def, n), place, false,
                  subfieldMask, subfields);
    for (const SubfieldRow& row : subfields.rows) {
        if (entry != nullptr && row.depth == 1)
            entry->subfields.push_back({row.id, row.offset, row.consumed});
    }
    if (subfields.failed) {
        warnings.push_back({n, subfields.error.offset,
                            "subfield " + subfields.error.id + ": " + subfields.error.reason,
                            FindingKind::kSubfield});
    }
}

// The map of the walk when mapped, and its findings: those of the bitmap, of each field, the
// fields the MTI does not allow, the units left over.
void Diagnoser::Walk(const AutoBuff& message, int header, Diagnosis& out, bool mapped) {
    const ProtocolDef& def = *copy;
    const int length = message.Length();
    if (mapped && header > 0) out.map.push_back(Stretch(MapPart::kHeader, 0, header));
    WalkOutline walk;
    offsets.assign(kFieldCount, -1);
    // The walk reports the MTI and bitmaps only when it ends: the fields wait in lists of
    // their own.
    fieldEntries.clear();
    fieldWarnings.clear();
    WalkMessage(message, header, def, value, walk, [&](const DecodedField& field) {
        const int n = field.number;
        offsets[n] = field.offset;
        MapEntry* entry = nullptr;
        if (mapped) {
            fieldEntries.push_back({MapPart::kField,
                                    field.offset,
                                    field.consumed,
                                    n,
                                    def.fields[n].sizeLen,
                                    false,
                                    ShownValue(def, field),
                                    {}});
            entry = &fieldEntries.back();
        }
        AddFitWarnings(message, def, field, CheckFieldFit(def, field), fieldWarnings);
        AddSubfields(def, field, entry, fieldWarnings);
    });
    std::memcpy(out.mti, walk.mti, sizeof out.mti);
    if (mapped) {
        AddOutline(walk, out.map, offsets);
        out.map.insert(out.map.end(), fieldEntries.begin(), fieldEntries.end());
    }
    AddBitmapFindings(message, def, walk, out.warnings);
    out.warnings.insert(out.warnings.end(), fieldWarnings.begin(), fieldWarnings.end());
    AddNotAllowed(def, walk, offsets, out.warnings);

    const int rest = length - walk.end;
    if (!walk.read) {
        out.stopped = ExplainNoVerdict(message, def, header);
    } else if (walk.code != kNoMoreFields) {
        out.stopped = ExplainStop(message, def, walk.failedField, walk.end, walk.code);
        const int prefix = std::clamp<int>(def.fields[walk.failedField].sizeLen, 0, rest);
        if (mapped && rest > 0) {
            out.map.push_back(
                {MapPart::kField, walk.end, rest, walk.failedField, prefix, true, {}, {}});
        }
        return;
    }
    if (mapped && rest > 0) out.map.push_back(Stretch(MapPart::kTrailing, walk.end, rest));
    AddTrailingFinding(message, def, walk, out.warnings);
}

bool Diagnoser::IsStrict(const Finding& finding) const noexcept {
    if (finding.kind == FindingKind::kOther) return false;
    return finding.kind != FindingKind::kTrailing || !(allowTrailing || copy->options.trailing);
}

void Diagnoser::AddStrict(const Diagnosis& walked, std::vector<Finding>& out) const {
    for (const Finding& finding : walked.warnings) {
        if (IsStrict(finding)) out.push_back(finding);
    }
}

void Diagnoser::StrictField(const AutoBuff& message, const DecodedField& field,
                            std::vector<Finding>& out) {
    if (!ready || field.number < kFirstDataElement || field.number > kLastField) return;
    CheckFieldFit(*copy, field, fit);
    if (fit.Count() > 0) AddFitWarnings(message, *copy, field, fit, out);
    AddSubfields(*copy, field, nullptr, out);
}

void Diagnoser::StrictEnd(const AutoBuff& message, int header, int end, std::vector<Finding>& out) {
    if (!ready) return;
    WalkOutline walk;
    ParseCursor cursor{*copy, message};
    ReadOutline(message, std::clamp(header, 0, message.Length()), *copy, cursor, walk);
    if (end > walk.end) walk.end = end;
    outline.clear();
    AddBitmapFindings(message, *copy, walk, outline);
    out.insert(out.begin(), outline.begin(), outline.end());
    outline.clear();
    AddTrailingFinding(message, *copy, walk, outline);
    for (const Finding& finding : outline) {
        if (IsStrict(finding)) out.push_back(finding);
    }
}

void Diagnoser::StrictFindings(const AutoBuff& message, int header, std::vector<Finding>& out) {
    out.clear();
    if (!ready || message.Length() > kMaxMessageUnits) return;
    const int start = std::clamp(header, 0, message.Length());
    WalkOutline walk;
    WalkMessage(message, start, *copy, value, walk,
                [&](const DecodedField& field) { StrictField(message, field, out); });
    StrictEnd(message, start, walk.end, out);
}

void Diagnoser::Diagnose(const AutoBuff& message, int header, Diagnosis& out) {
    out = Diagnosis{};
    if (!ready) return;
    const int length = message.Length();
    out.header = std::clamp(header, 0, length);
    if (length > kMaxMessageUnits) {
        out.stopped = Finding{0, 0, "message longer than 32767 units"};
        return;
    }
    out.ok = DecodeMessage(Suffix(message, out.header), *copy, {}, verdict);
    out.verdict.assign(verdict.Text(), verdict.Length());
    Walk(message, out.header, out, true);
    if (out.ok) {
        if (!strict) return;
        // The findings it fails for are no longer mere warnings.
        AddStrict(out, out.strict);
        std::erase_if(out.warnings, [this](const Finding& f) { return IsStrict(f); });
        out.ok = out.strict.empty();
        return;
    }
    out.searched = true;
    Search(message, out.header, out.readings);
}

Diagnosis DiagnoseMessage(const AutoBuff& message, int header, const ProtocolDef& def) {
    Diagnosis out;
    Diagnoser diagnoser(def);
    diagnoser.Diagnose(message, header, out);
    return out;
}
