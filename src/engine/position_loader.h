// Reads the rest of a large table's positions on a thread of its own, so
// that the list shows its first records as soon as the opening has read
// them and the caller's thread never waits for the rest.
//
// What runs where. The loader's thread opens its own read-only connection
// (through `connect`, called there), reads the rowids after `after` up to
// `last` in slices, each a statement run and so a transaction of its own
// (a writer of a rollback-journal file waits for one slice at most), adds
// them to the table and publishes each slice. The recordset's thread only
// reads the table (see position_table.h) and ends the loader: the
// destructor stops it, interrupts a slice that runs and joins. A slice
// that meets a writer's lock is tried again until the lock goes or the
// loader is stopped; any other failure ends the table with that failure.
// The engine's tests run under ThreadSanitizer (the tsan preset).
//
// A commit between two slices shows as it would after the opening: a
// record deleted before the slice that would have read it is not there,
// one added above `last` is not in the list.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/position_table.h"
#include "engine/sqlite_handle.h"

namespace quorvel::engine {

class PositionLoader {
public:
    // `beforeSlice`, when set, runs on the loader's thread before each slice.
    PositionLoader(std::function<Connection()> connect, std::string rowSource, std::string rowidName,
                   std::int64_t after, std::int64_t last, std::shared_ptr<PositionTable> positions,
                   std::function<void()> beforeSlice = {});
    ~PositionLoader();
    PositionLoader(const PositionLoader&) = delete;
    PositionLoader& operator=(const PositionLoader&) = delete;

private:
    void run();
    static int waitForWriter(void* self, int attempts);
    void readAll();

    std::function<Connection()> connect_;
    std::string rowSource_;
    std::string rowidName_;
    std::int64_t after_;
    std::int64_t last_;
    std::shared_ptr<PositionTable> positions_;
    std::function<void()> beforeSlice_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;  // guards db_ against an interrupt while it opens or closes
    Connection db_;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace quorvel::engine
