// A registration of a sink or an observer, ended by the holder's end: the
// destructor detaches. Moving hands the registration on; it ends once.
//
// Whichever of the two sides ends first, nothing dangles: the side that
// keeps the registrations hands each one a token of its own life, and a
// subscription whose other side has ended detaches nothing.
#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace quorvel {

class Subscription {
public:
    Subscription() = default;
    Subscription(std::weak_ptr<const void> alive, std::function<void()> detach)
        : alive_(std::move(alive)), detach_(std::move(detach)) {}
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept
        : alive_(std::move(other.alive_)), detach_(std::exchange(other.detach_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            alive_ = std::move(other.alive_);
            detach_ = std::exchange(other.detach_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    // True while the registration stands and its other side lives.
    bool active() const { return detach_ && !alive_.expired(); }
    // Detaches now (nothing when it already ended).
    void reset() {
        auto detach = std::exchange(detach_, {});
        if (detach && !alive_.expired()) detach();
        alive_.reset();
    }

private:
    std::weak_ptr<const void> alive_;
    std::function<void()> detach_;
};

}  // namespace quorvel
