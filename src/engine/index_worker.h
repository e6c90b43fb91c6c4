// Find indexes built on a thread of the engine's own, so that the list's
// thread never waits for one: at the opening (the fields the list is
// likely to search) and after another connection's commit (a fresh index
// beside the one in use, which goes on answering until the fresh one is
// handed over).
//
// What runs where. The worker thread runs only `IndexBuilder::build`, over
// the builder's own connection, or a request's job; everything else
// (requests, taking the results, cancelling) is called on the recordset's
// thread, which is the caller's. The two meet in this object's mutex: a
// result is built on the worker and handed over whole. The one thing of
// the recordset a job touches is the connection of a copy, whose keys it
// reads through it; that connection serializes its calls (SQLite's
// mutex). The engine's tests run under ThreadSanitizer (the tsan preset).
//
// Nothing here knows the database: an engine supplies the builder, or a
// request brings its own job.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

#include "engine/find_index.h"

namespace quorvel::engine {

using FieldIndex = std::variant<std::monostate, TextKeyIndex, NumberKeyIndex>;

class IndexBuilder {
public:
    virtual ~IndexBuilder() = default;
    // Builds the index of a field from the data as it is now; runs on the
    // worker thread. Throws (any Failure) when it cannot, and gives up
    // (throws) once `stop` is set.
    virtual FieldIndex build(std::size_t field, const std::atomic<bool>& stop) = 0;
    // Whether the data this builder's last build of the field read is still
    // the data as it is now: then the index that build made stands, and the
    // worker builds nothing. Runs on the worker thread; false when unsure.
    virtual bool unchanged(std::size_t /*field*/) { return false; }
    // Cuts a statement the build is running short, from the recordset's
    // thread, after the worker set the build's `stop`: the build then
    // throws. Called under the worker's lock, never concurrently with itself.
    virtual void interrupt() = 0;
};

class IndexWorker {
public:
    struct Result {
        std::size_t field = 0;
        // The recordset's count of the commits it had seen when it asked:
        // the index holds the data of that moment or later.
        std::uint64_t epoch = 0;
        FieldIndex index;  // monostate when the build failed, or when kept
        // Set when nothing was built because the index of the last build of
        // the field still holds: it stands as of `epoch`.
        bool kept = false;
    };

    // What a request may bring instead of the builder's build: it runs on
    // the worker and should give up (throw) once `stop` is set.
    using Job = std::function<FieldIndex(const std::atomic<bool>& stop)>;

    // Without a builder, only requests that bring a job build anything.
    explicit IndexWorker(std::unique_ptr<IndexBuilder> builder);
    // Cancels what is queued, interrupts a running build and joins.
    ~IndexWorker();
    IndexWorker(const IndexWorker&) = delete;
    IndexWorker& operator=(const IndexWorker&) = delete;

    // How soon a request is wanted. A find waiting for the index (it reads
    // the records meanwhile) goes first and stops a build that is only
    // ahead of need, which is queued again behind it.
    enum class Need : std::uint8_t { Ahead, InUse, Waiting };

    // Asks for the field's index as of `epoch`; a request for the same
    // field at the same or a later epoch already queued or running stands
    // (raised to the greater need). Without a builder, only raises the need
    // of a job queued or running.
    void request(std::size_t field, std::uint64_t epoch, Need need);
    // Asks for the field's index as the job builds it; replaces a request
    // of the field still queued.
    void submit(std::size_t field, std::uint64_t epoch, Need need, Job job);
    // Whether the worker reads the records itself (it has a builder).
    bool readsRecords() const { return builder_ != nullptr; }
    // Whether a build of the field is queued or running.
    bool pending(std::size_t field) const;
    // Whether results wait to be taken: one atomic load, no lock.
    bool hasResults() const { return hasResults_.load(std::memory_order_acquire); }
    std::vector<Result> take();
    // Waits until nothing is queued or running (benchmarks, tests, and a
    // caller that would rather wait than go without).
    void waitIdle();

private:
    struct Request {
        std::size_t field;
        std::uint64_t epoch;
        Need need;
        Job job;
    };
    // Queues the request in need order (behind those of the same need) and
    // stops a running build of less need. Under the lock.
    void enqueue(Request request);
    void run();

    std::unique_ptr<IndexBuilder> builder_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Request> queue_;
    std::optional<Request> running_;  // without its job
    std::vector<Result> results_;
    std::atomic<bool> hasResults_{false};
    bool stopping_ = false;
    // What the running build watches: set to stop it, for good or to run a
    // request of more need first.
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace quorvel::engine
