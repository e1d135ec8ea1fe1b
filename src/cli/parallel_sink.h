// Checking on several threads (`--jobs N`): the reader's messages are gathered into blocks, each
// block is checked whole by one thread (a worker, or the reading thread itself when every worker
// has blocks waiting) into a report text of its own, and the reading thread writes the texts
// in input order, so that the report is byte for byte the one a single thread writes.
#pragma once

#include <CLI/CLI.hpp>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_summary.h"
#include "cli/report_writer.h"
#include "input/message_sink.h"

// Messages read one after another, and what checking them gave.
struct MessageBlock {
    // A block is handed on at whichever limit it reaches first.
    static constexpr std::size_t kMessages = 2048;
    static constexpr std::size_t kUnits = 1 << 20;
    // A report of every message is some kilobytes a message: blocks of fewer messages keep
    // the texts in flight, and the memory they take, small.
    static constexpr std::size_t kReportMessages = 256;

    struct Entry {
        std::size_t offset = 0;  // of a failure's reason, into reasons
        int size = 0;
        bool failed = false;  // the message could not be prepared, for the reason given
    };
    long before = 0;  // messages of the run before the block's first
    // Entry i's message, when it has one. The buffers pass from the reader to the block to the
    // checker by exchange, never by copy, and keep their storage from block to block.
    std::unique_ptr<AutoBuff[]> messages = std::make_unique<AutoBuff[]>(kMessages);
    std::size_t units = 0;  // in messages
    std::string reasons;
    std::vector<Entry> entries;
    std::string text;  // the block's part of the report
    CheckCounts counts;
    std::vector<VerdictTally> tallies;  // the summary's, first seen first
    bool done = false;                  // guarded by the sink's mutex
};

// Checks whole blocks on one thread, with decoding state and a report of its own.
class BlockChecker {
  public:
    virtual ~BlockChecker() = default;
    virtual void Check(MessageBlock& block) = 0;
};

// Hands each message of block to sink (a Checker or a DiagnoseSink), numbered on from
// block.before, and moves the report text it wrote to output over to block.text.
template <typename Sink>
void CheckBlock(Sink& sink, ReportOutput& output, MessageBlock& block) {
    sink.CountFrom(block.before);
    for (std::size_t i = 0; i < block.entries.size(); ++i) {
        const MessageBlock::Entry& entry = block.entries[i];
        if (entry.failed) {
            sink.Fail(std::string_view(block.reasons.data() + entry.offset, entry.size));
        } else {
            sink.Message().Swap(block.messages[i]);
            sink.Take();
        }
    }
    block.counts = sink.Counts();
    block.counts.read -= block.before;
    block.text.swap(output.Text());
    output.Text().clear();
}

class ParallelSink : public MessageSink {
  public:
    // Given each checked block on the reading thread, in input order, before its text is written.
    using Merge = std::function<void(const MessageBlock&)>;

    // The reading thread checks with the first checker, a worker thread with each other one;
    // output is where the blocks' texts are written. A block takes at most blockMessages
    // messages (at most MessageBlock::kMessages).
    ParallelSink(std::vector<std::unique_ptr<BlockChecker>> checkers, ReportOutput& output,
                 Merge merge, std::size_t blockMessages = MessageBlock::kMessages);
    ~ParallelSink() override;
    ParallelSink(const ParallelSink&) = delete;
    ParallelSink& operator=(const ParallelSink&) = delete;

    AutoBuff& Message() override { return message; }
    bool Take() override;
    bool Fail(std::string_view reason) override;

    // Writes the report of every message taken so far; false when it could not be written.
    bool Drain();
    // Of the messages whose report has been written.
    const CheckCounts& Counts() const { return counts; }

  private:
    bool Add(std::string_view reason, bool failed);
    bool AddMessage();
    bool Full() const;
    bool Submit();
    bool WriteChecked(std::size_t keep);
    void CheckHere(MessageBlock& block);
    void Write(MessageBlock& block);
    std::unique_ptr<MessageBlock> Spare();
    void Work(BlockChecker& checker);

    std::vector<std::unique_ptr<BlockChecker>> checkers;
    ReportOutput& output;
    Merge merge;
    std::size_t blockMessages;
    std::size_t maxInFlight;
    AutoBuff message;
    long taken = 0;
    CheckCounts counts;
    // The reading thread's own: the block being filled, those handed on (oldest first), and
    // those written, kept for reuse.
    std::unique_ptr<MessageBlock> filling;
    std::deque<std::unique_ptr<MessageBlock>> inFlight;
    std::vector<std::unique_ptr<MessageBlock>> spare;

    std::mutex mutex;
    std::condition_variable work;     // a block waits for a worker, or the run ends
    std::condition_variable checked;  // a worker finished a block
    std::deque<MessageBlock*> waiting;
    bool stopping = false;
    std::vector<std::thread> threads;
};

// --jobs N, stored in jobs (1 when not given).
void AddJobsOption(CLI::App& command, int& jobs);
// The number of threads --jobs asks for: 0 is one per core.
int ThreadsFor(int jobs);
