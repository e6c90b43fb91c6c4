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

void IndexWorker::request(std::size_t field, std::uint64_t epoch) {
    {
        std::lock_guard lock(mutex_);
        if (running_ && running_->field == field && running_->epoch >= epoch) return;
        for (Request& queued : queue_) {
            if (queued.field != field) continue;
            queued.epoch = std::max(queued.epoch, epoch);
            return;
        }
        queue_.push_back({field, epoch, {}});
    }
    wake_.notify_one();
}

void IndexWorker::submit(std::size_t field, std::uint64_t epoch, Job job) {
    {
        std::lock_guard lock(mutex_);
        auto queued = std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.field == field; });
        if (queued != queue_.end()) *queued = {field, std::max(queued->epoch, epoch), std::move(job)};
        else queue_.push_back({field, epoch, std::move(job)});
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
        running_ = Request{request.field, request.epoch, {}};
        lock.unlock();
        FieldIndex built;
        bool kept = false;
        try {
            if (request.job) built = request.job(stop_);
            else if (builder_ && builder_->unchanged(request.field)) kept = true;
            else if (builder_) built = builder_->build(request.field);
        } catch (...) {
            // The recordset's own reads meet the same fault and report it;
            // here it only means no index, and the recordset scans.
            built = std::monostate{};
        }
        lock.lock();
        running_.reset();
        if (stopping_) return;
        results_.push_back({request.field, request.epoch, std::move(built), kept});
        hasResults_.store(true, std::memory_order_release);
        if (queue_.empty()) idle_.notify_all();
    }
}

}  // namespace quorvel::engine
