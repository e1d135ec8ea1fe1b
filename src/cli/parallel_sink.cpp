#include "cli/parallel_sink.h"

#include <algorithm>

namespace {

constexpr int kMaxJobs = 64;

}  // namespace

ParallelSink::ParallelSink(std::vector<std::unique_ptr<BlockChecker>> workers, ReportOutput& out,
                           Merge merger, std::size_t messages)
    : checkers(std::move(workers)),
      output(out),
      merge(std::move(merger)),
      blockMessages(std::clamp<std::size_t>(messages, 1, MessageBlock::kMessages)),
      // Enough for every worker to find a block waiting while the writer waits on the oldest;
      // no more, so that memory stays flat however far the reader is ahead.
      maxInFlight(2 * checkers.size() + 2) {
    filling = Spare();
    // The first checker is the reading thread's own.
    for (std::size_t i = 1; i < checkers.size(); ++i)
        threads.emplace_back([this, &checker = *checkers[i]] { Work(checker); });
}

ParallelSink::~ParallelSink() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    work.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

bool ParallelSink::Take() {
    return AddMessage();
}

bool ParallelSink::Fail(std::string_view reason) {
    return Add(reason, true);
}

// The message goes into the block by exchange; the reader gets a buffer at least as large
// back, since readers reserve their room once.
bool ParallelSink::AddMessage() {
    MessageBlock& block = *filling;
    AutoBuff& slot = block.messages[block.entries.size()];
    const int room = message.Capacity();
    message.Swap(slot);
    if (message.Capacity() < room && !message.Reserve(room, false)) {
        message.Swap(slot);
        if (!LoadMessage(slot, reinterpret_cast<const char*>(message.Data()),
                         static_cast<std::size_t>(message.Length())))
            return Add("out of memory", true);
    }
    block.units += static_cast<std::size_t>(slot.Length());
    return Add({}, false);
}

bool ParallelSink::Add(std::string_view reason, bool failed) {
    MessageBlock& block = *filling;
    block.entries.push_back({block.reasons.size(), static_cast<int>(reason.size()), failed});
    block.reasons.append(reason);
    ++taken;
    return Full() ? Submit() : !output.Failed();
}

bool ParallelSink::Full() const {
    return filling->entries.size() >= blockMessages ||
           filling->units + filling->reasons.size() >= MessageBlock::kUnits;
}

bool ParallelSink::Submit() {
    if (!filling->entries.empty()) {
        MessageBlock* block = filling.get();
        inFlight.push_back(std::move(filling));
        bool queued = false;
        {
            const std::lock_guard lock(mutex);
            block->done = false;
            // The reading thread checks a block itself once every worker has two waiting:
            // enough for a worker to go on with while this thread checks one and reads the
            // next, so that no thread waits for work; the block is still in this core's cache.
            if (waiting.size() < 2 * threads.size()) {
                waiting.push_back(block);
                queued = true;
            }
        }
        if (queued) {
            work.notify_one();
        } else {
            CheckHere(*block);
        }
        filling = Spare();
        filling->before = taken;
    }
    return WriteChecked(maxInFlight - 1);
}

bool ParallelSink::Drain() {
    return Submit() && WriteChecked(0);
}

// Writes the checked blocks at the front, waiting for the oldest while more than keep are out.
bool ParallelSink::WriteChecked(std::size_t keep) {
    while (!inFlight.empty() && !output.Failed()) {
        MessageBlock& oldest = *inFlight.front();
        {
            std::unique_lock lock(mutex);
            if (inFlight.size() <= keep && !oldest.done) break;
            if (!waiting.empty() && waiting.front() == &oldest) {
                // Not started yet: checked here rather than waited for.
                waiting.pop_front();
                lock.unlock();
                CheckHere(oldest);
            } else {
                checked.wait(lock, [&oldest] { return oldest.done; });
            }
        }
        Write(oldest);
        spare.push_back(std::move(inFlight.front()));
        inFlight.pop_front();
    }
    return !output.Failed();
}

void ParallelSink::CheckHere(MessageBlock& block) {
    checkers.front()->Check(block);
    const std::lock_guard lock(mutex);
    block.done = true;
}

void ParallelSink::Write(MessageBlock& block) {
    if (merge) merge(block);
    counts.read += block.counts.read;
    counts.passed += block.counts.passed;
    counts.failed += block.counts.failed;
    // Swapped, not copied: the output's text is empty between blocks.
    output.Text().swap(block.text);
    output.Flush();
}

std::unique_ptr<MessageBlock> ParallelSink::Spare() {
    if (spare.empty()) {
        auto block = std::make_unique<MessageBlock>();
        block->entries.reserve(MessageBlock::kMessages);
        return block;
    }
    std::unique_ptr<MessageBlock> block = std::move(spare.back());
    spare.pop_back();
    block->units = 0;
    block->reasons.clear();
    block->entries.clear();
    return block;
}

void ParallelSink::Work(BlockChecker& checker) {
    std::unique_lock lock(mutex);
    for (;;) {
        work.wait(lock, [this] { return stopping || !waiting.empty(); });
        if (stopping) return;
        MessageBlock* block = waiting.front();
        waiting.pop_front();
        lock.unlock();
        checker.Check(*block);
        lock.lock();
        block->done = true;
        checked.notify_one();
    }
}

void AddJobsOption(CLI::App& command, int& jobs) {
    command
        .add_option("--jobs", jobs,
                    "Decode the messages on N threads, 0 for one per core (at most 64); the "
                    "report is the same as with 1, the default")
        ->check(CLI::Range(0, kMaxJobs));
}

int ThreadsFor(int jobs) {
    if (jobs > 0) return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, static_cast<unsigned>(kMaxJobs)));
}
