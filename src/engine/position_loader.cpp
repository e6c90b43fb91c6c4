#include "engine/position_loader.h"

#include <sqlite3.h>

#include <chrono>
#include <new>

#include "engine/data_engine.h"
#include "platform/failure.h"

namespace quorvel::engine {

namespace {

constexpr int kSlice = 8192;

}  // namespace

PositionLoader::PositionLoader(std::function<Connection()> connect, std::string rowSource,
                               std::string rowidName, std::int64_t after, std::int64_t last,
                               std::shared_ptr<PositionTable> positions, std::function<void()> beforeSlice)
    : connect_(std::move(connect)),
      rowSource_(std::move(rowSource)),
      rowidName_(std::move(rowidName)),
      after_(after),
      last_(last),
      positions_(std::move(positions)),
      beforeSlice_(std::move(beforeSlice)),
      thread_([this] { run(); }) {}

PositionLoader::~PositionLoader() {
    stop_.store(true, std::memory_order_relaxed);
    {
        std::lock_guard lock(mutex_);
        if (db_) sqlite3_interrupt(db_.get());
    }
    thread_.join();
}

void PositionLoader::run() {
    try {
        readAll();
        positions_->finish();
    } catch (const Failure& failure) {
        // Stopped: the recordset is closing and nobody reads the table.
        if (stop_.load(std::memory_order_relaxed)) positions_->finish(Failure(SQLITE_INTERRUPT, "stopped"));
        else positions_->finish(failure);
    } catch (const std::bad_alloc&) {
        positions_->finish(Failure(failure::kOutOfMemory, "Out of memory while the list read its records."));
    } catch (...) {
        positions_->finish(
            Failure(failure_code::kCannotOpen, "The list could not read the rest of its records."));
    }
    std::lock_guard lock(mutex_);
    db_ = Connection();
}

int PositionLoader::waitForWriter(void* self, int attempts) {
    if (static_cast<PositionLoader*>(self)->stop_.load(std::memory_order_relaxed)) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return attempts < 250 ? 1 : 0;
}

void PositionLoader::readAll() {
    {
        Connection db = connect_();
        // Waits for a writer's lock in short steps that a stop ends: the
        // destructor's interrupt does not reach SQLite's own busy wait.
        sqlite3_busy_handler(db.get(), &PositionLoader::waitForWriter, this);
        std::lock_guard lock(mutex_);
        db_ = std::move(db);
    }
    const std::string context = "reading the records of " + rowSource_;
    Statement slice(db_,
                    "SELECT " + rowidName_ + " FROM " + rowSource_ + " WHERE " + rowidName_ + " > ?1 AND " +
                        rowidName_ + " <= ?2 ORDER BY " + rowidName_ + " LIMIT " + std::to_string(kSlice),
                    context);
    std::int64_t after = after_;
    while (!stop_.load(std::memory_order_relaxed)) {
        if (beforeSlice_) beforeSlice_();
        sqlite3_bind_int64(slice.get(), 1, after);
        sqlite3_bind_int64(slice.get(), 2, last_);
        int rows = 0;
        try {
            while (slice.step(context)) {
                after = sqlite3_column_int64(slice.get(), 0);
                positions_->add(after);
                ++rows;
            }
        } catch (const Failure& failure) {
            slice.reset();
            if (failure.number() != failure_code::kLocked || stop_.load(std::memory_order_relaxed)) throw;
            // A writer holds the file past the busy timeout: the reading
            // goes on after the last rowid read, once the writer is done.
            positions_->publish();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        slice.reset();
        positions_->publish();
        if (rows < kSlice) return;
    }
    fail(SQLITE_INTERRUPT, "stopped");
}

}  // namespace quorvel::engine
