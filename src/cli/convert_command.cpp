#include <bit>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "cli/draft_output.h"
#include "cli/message_input.h"
#include "content/subfield_reader.h"
#include "content/value_mask.h"
#include "decode/decoder.h"
#include "encode/encoder.h"
#include "encode/message_draft.h"
#include "model/field_settings.h"
#include "model/protocol.h"
#include "support/text.h"

namespace {

struct ConvertOptions {
    FramingOptions framing;
    std::string into;
    std::string definition;
    std::vector<std::string> inputs;
    OutputOptions output;
};

// Units of the MTI and the bitmaps, as the decoder reads them.
int HeadUnits(const ProtocolDef& def, const FieldMask& bitmap) noexcept {
    const int mti = def.mtiEnc == Encoding::PBCD ? 2 : 4;
    const int block = def.bmpEnc == Encoding::HEX ? 16 : def.bmpEnc == Encoding::CHAR ? 64 : 8;
    return mti + block * (SecondBitmapFollows(def, bitmap) ? 2 : 1);
}

// Fields 2 to 128 the bitmap flags.
int FlaggedFields(const FieldMask& bitmap) noexcept {
    int count = 0;
    for (const std::uint8_t byte : bitmap)
        count += std::popcount(byte);
    return count - (TestBit(bitmap, 1) ? 1 : 0);
}

std::string_view Chars(const std::uint8_t* bytes, int size) noexcept {
    return {reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)};
}

std::string Units(int count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units");
}

// Decodes each message under one definition and gives its fields to another.
class Converter : public MessageSink {
  public:
    Converter(const ProtocolDef& from, const ProtocolDef& into, DraftOutput& output, int header)
        : def(from),
          other(into),
          output(output),
          index(from.messages),
          plan(from),
          headerUnits(header) {
        scratch.index = &index;
        scratch.plan = &plan;
        consumer = [this](const DecodedField& field) { return TakeField(field); };
    }

    AutoBuff& Message() override { return message; }

    bool Take() override {
        ++number;
        draft.Clear();
        if (headerUnits >= 0) {
            const int length = message.Length();
            if (length < headerUnits) {
                return Fail("message of " + Units(length) + " is shorter than its header of " +
                            Units(headerUnits));
            }
            draft.SetHeader({message.Data(), static_cast<std::size_t>(headerUnits)});
            std::memmove(message.Data(), message.Data() + headerUnits, length - headerUnits);
            message.SetLength(length - headerUnits);
            message.Terminate();
        }
        seen = 0;
        firstOffset = end = 0;
        refusal.clear();
        MessageHeader read;
        DecodeMessage(message, def, consumer, verdict, &read, scratch);
        if (!refusal.empty()) return Refuse(refusal);
        if (!Exact(read)) return Refuse(reason);
        draft.SetMti(read.mti);
        draft.AnnounceSecondaryBitmap(TestBit(read.bitmap, 1));
        if (!output.Put(draft, reason)) return Refuse(reason);
        return !output.Failed();
    }

    bool Fail(std::string_view why) override {
        ++number;
        return Refuse(why);
    }

    bool AnyFailed() const { return failed; }

  private:
    bool Refuse(std::string_view why) {
        std::fprintf(stderr, "message %ld: %.*s\n", number, static_cast<int>(why.size()),
                     why.data());
        failed = true;
        return !output.Failed();
    }

    // Whether every flagged field decoded and the last one ends the message.
    bool Exact(const MessageHeader& read) {
        const int head = HeadUnits(def, read.bitmap);
        if (read.mti[0] == '\0' || message.Length() < head) {
            reason = "does not decode: no MTI and bitmap";
            return false;
        }
        if (seen < FlaggedFields(read.bitmap) || (seen > 0 && firstOffset != head)) {
            reason = "does not decode: ";
            reason.append(verdict.Length() > 0 ? std::string_view(verdict.Text(), verdict.Length())
                                               : std::string_view("a field cannot be read"));
            return false;
        }
        const int last = seen > 0 ? end : head;
        if (last < message.Length()) {
            reason = "does not decode exactly: " + Units(message.Length() - last) +
                     " after the last field";
            return false;
        }
        return true;
    }

    bool TakeField(const DecodedField& field) {
        if (seen++ == 0) firstOffset = field.offset;
        end = field.offset + field.consumed;
        const int n = field.number;
        const std::uint8_t* value = field.value->Data();
        const int size = field.value->Length();
        if (ReadableStructure(def, n) != nullptr && OtherStructured(n) && Subfields(field))
            return true;
        if (def.fields[n].type == FieldType::N) {
            if (!NumberDigits(def, n, {value, static_cast<std::size_t>(size)}, digits)) {
                refusal = "field " + std::to_string(n) + ": the number cannot be written in digits";
                return false;
            }
            draft.SetField(n, digits, ValueForm::kShown);
        } else {
            draft.SetField(n, Chars(value, size), ValueForm::kUnits);
        }
        return true;
    }

    bool OtherStructured(int n) const noexcept {
        const SubfieldNode* node = other.subfields.Field(n);
        return node != nullptr && node->structure.layout != SubfieldLayout::kNone;
    }

    // The field as the subfields it reads into; false, with nothing given, when its value does
    // not read whole under its structure.
    bool Subfields(const DecodedField& field) {
        const int n = field.number;
        const int size = field.value->Length();
        const int prefix = def.fields[n].sizeLen;
        const Placement place =
            PlaceFieldValue(def, n, field.offset + prefix, field.consumed - prefix, size);
        mask.Reset(size);
        ReadSubfields(def, n, field.value->Data(), size, ValueIsBinary(def, n), place, false, mask,
                      reading);
        if (reading.failed) return false;
        const std::int32_t top = draft.SetStructuredField(n);
        AddHead(top, def.subfields.Field(n), field.value->Data(), size);
        AddRows(top, 0, reading.rows.size());
        return true;
    }

    // A tagged structure's head, the units before its first element, as the subfield "head".
    void AddHead(std::int32_t parent, const SubfieldNode* node, const std::uint8_t* value,
                 int size) {
        if (node == nullptr || node->structure.layout != SubfieldLayout::kTagged) return;
        const int head = std::min<int>(node->structure.head, size);
        if (head > 0) draft.AddSubfield(parent, "head", Chars(value, head), ValueForm::kUnits);
    }

    void AddRows(std::int32_t parent, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to;) {
            const SubfieldRow& row = reading.rows[i];
            const std::size_t after =
                std::max<std::size_t>(static_cast<std::size_t>(row.end), i + 1);
            const std::string_view id = std::string_view(row.id).substr(row.id.rfind('.') + 1);
            bytes.resize(row.hex.size() / 2);
            if (!bytes.empty())
                DecodeHex(static_cast<int>(row.hex.size()), bytes.data(), row.hex.data(),
                          static_cast<int>(bytes.size()));
            if (after > i + 1) {
                const std::int32_t node = draft.AddStructuredSubfield(parent, id);
                AddHead(node, row.node, bytes.data(), static_cast<int>(bytes.size()));
                AddRows(node, i + 1, std::min(after, to));
            } else {
                draft.AddSubfield(parent, id, Chars(bytes.data(), static_cast<int>(bytes.size())),
                                  ValueForm::kUnits);
            }
            i = after;
        }
    }

    const ProtocolDef& def;
    const ProtocolDef& other;
    DraftOutput& output;
    MtiIndex index;
    DecodePlan plan;
    DecodeScratch scratch;
    FieldConsumer consumer;
    AutoBuff message;
    AutoBuff verdict;
    MessageDraft draft;
    SubfieldReading reading;
    ValueMask mask;
    std::vector<std::uint8_t> bytes;
    std::string digits;
    std::string reason;
    std::string refusal;  // why a field could not be given
    int headerUnits;
    long number = 0;
    int seen = 0;
    int firstOffset = 0;
    int end = 0;
    bool failed = false;
};

int RunConvert(const ConvertOptions& given) {
    ConvertOptions options = given;
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    auto other = std::make_unique<ProtocolDef>();
    other->Reset();
    if (!ReadDefinition(options.into, *other)) return kExitUsage;
    std::vector<std::uint8_t> header;
    if (options.output.hasHeader && !OutputHeader(options.output, *other, header))
        return kExitUsage;
    // The definition's own header stands unless --header says otherwise.
    if (options.framing.header < 0) options.framing.header = def.options.header;
    const std::vector<std::string> standardInput = {"-"};
    const std::vector<std::string>& inputs =
        options.inputs.empty() ? standardInput : options.inputs;
    bool inputsRead = true;
    bool failed = false;
    const auto write = [&](std::FILE* stream) {
        DraftOutput output(*other, options.output, options.output.hasHeader ? &header : nullptr,
                           stream);
        Converter converter(def, *other, output, options.framing.header);
        for (const std::string& name : inputs) {
            inputsRead = ReadInput(converter, name, options.framing) && inputsRead;
            if (output.Failed()) break;
        }
        failed = converter.AnyFailed();
        return output.Finish();
    };
    const int status =
        DeliverOutput(options.output.toFile ? &options.output.path : nullptr, write, kExitOk);
    if (status != kExitOk || !inputsRead) return kExitUsage;
    return failed ? kExitFailed : kExitOk;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command = app.add_subcommand(
        "convert",
        "Decode messages under one protocol definition and build them, fields and subfields, "
        "under another.");
    command
        ->add_option("--into", options->into, "The definition (.pro) to build the messages under")
        ->required();
    AddFramingOptions(*command, options->framing);
    AddOutputOptions(*command, options->output);
    command
        ->add_option("definition", options->definition, "Protocol definition (.pro) of the input")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(
        "Exit status: 0 when every message was converted; 1 when some message did not decode "
        "exactly or could not be built under the other definition (each said on standard error, "
        "nothing written for it); 2 for bad arguments, an unreadable definition or input, or "
        "output that cannot be written.");
    command->callback([options, &status] { status = RunConvert(*options); });
}
