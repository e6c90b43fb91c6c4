#include "engine/index_worker.h"

#include <algorithm>

namespace quorvel::engine {

IndexWorker::IndexWorker(std::unique_ptr<IndexBuilder> builder)
    : builder_(std::move(builder)), thread_([this] { run(); }) {}

IndexWorker::~IndexWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        stop_.store(true, std::memory_order_relaxed);
        queue_.clear();
        if (running_ && builder_) builder_->interrupt();
    }
    wake_.notify_all();
    thread_.join();
}

void IndexWorker::enqueue(Request request) {
    auto at =
        std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.need < request.need; });
    Need need = request.need;
    queue_.insert(at, std::move(request));
    if (running_ && running_->need < need && !stop_.load(std::memory_order_relaxed)) {
        stop_.store(true, std::memory_order_relaxed);
        if (builder_) builder_->interrupt();
    }
}

void IndexWorker::request(std::size_t field, std::uint64_t epoch, Need need) {
    {
        std::lock_guard lock(mutex_);
        if (running_ && running_->field == field && running_->epoch >= epoch) {
            running_->need = std::max(running_->need, need);  // already on its way
            return;
        }
        auto queued =
            std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.field == field; });
        if (queued != queue_.end()) {
            Request again = std::move(*queued);
            queue_.erase(queued);
            again.epoch = std::max(again.epoch, epoch);
            again.need = std::max(again.need, need);
            enqueue(std::move(again));
        } else if (builder_) {
            enqueue({field, epoch, need, {}});
        }
    }
    wake_.notify_one();
}

void IndexWorker::submit(std::size_t field, std::uint64_t epoch, Need need, Job job) {
    {
        std::lock_guard lock(mutex_);
        auto queued =
            std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.field == field; });
        if (queued != queue_.end()) {
            epoch = std::max(queued->epoch, epoch);
            need = std::max(queued->need, need);
            queue_.erase(queued);
        }
        enqueue({field, epoch, need, std::move(job)});
    }
    wake_.notify_one();
}

bool IndexWorker::pending(std::size_t field) const {
    std::lock_guard lock(mutex_);
    if (running_ && running_->field == field) return true;
    return std::any_of(queue_.begin(), queue_.end(), [&](const Request& r) { return r.field == field; });
}

std::vector<IndexWorker::Result> IndexWorker::take() {
    std::lock_guard lock(mutex_);
    hasResults_.store(false, std::memory_order_release);
    return std::move(results_);
}

void IndexWorker::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void IndexWorker::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Request request = std::move(queue_.front());
        queue_.pop_front();
        running_ = Request{request.field, request.epoch, request.need, {}};
        stop_.store(false, std::memory_order_relaxed);
        lock.unlock();
        FieldIndex built;
        bool kept = false, failed = false;
        try {
            if (request.job) built = request.job(stop_);
            else if (builder_ && builder_->unchanged(request.field)) kept = true;
            else if (builder_) built = builder_->build(request.field, stop_);
        } catch (...) {
            // The recordset's own reads meet the same fault and report it;
            // here it only means no index, and the recordset scans.
            built = std::monostate{};
            failed = true;
        }
        lock.lock();
        running_.reset();
        if (stopping_) return;
        if (failed && stop_.load(std::memory_order_relaxed)) {
            // Stopped for a request of more need: this one runs after it,
            // unless the field was asked for again meanwhile.
            auto again = std::find_if(queue_.begin(), queue_.end(),
                                      [&](const Request& r) { return r.field == request.field; });
            if (again != queue_.end()) again->epoch = std::max(again->epoch, request.epoch);
            else enqueue(std::move(request));
            continue;
        }
        results_.push_back({request.field, request.epoch, std::move(built), kept});
        hasResults_.store(true, std::memory_order_release);
        if (queue_.empty()) idle_.notify_all();
    }
}

}  // namespace quorvel::engine
