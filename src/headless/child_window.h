// What the headless children share: a place on the control's surface, a tab
// position, and the host that decides where the keyboard focus goes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/children.h"
#include "platform/failure.h"

namespace quorvel::headless {

class ChildState;

// The side of the host that the children call back: a child cannot move the
// focus by itself, since only the host knows whether the focus is entering
// the control from outside.
class ChildHost {
public:
    virtual ~ChildHost() = default;
    // Fails with 5 when the child cannot take the focus.
    virtual void focusRequested(ChildState& child) = 0;
    virtual void visibilityChanged(ChildState& child) = 0;
};

class ChildState {
public:
    ChildState(std::string name, ChildHost* host, float left, float top, float width, float height)
        : name_(std::move(name)), host_(host), left_(left), top_(top), width_(width), height_(height) {}
    virtual ~ChildState() = default;
    ChildState(const ChildState&) = delete;
    ChildState& operator=(const ChildState&) = delete;

    const std::string& name() const { return name_; }
    // The site drops itself from its children when it ends before them.
    void detachHost() { host_ = nullptr; }

    // Not part of the platform's interface: the platform only asks that a
    // disabled child refuses the focus.
    bool enabled() const { return enabled_; }
    void setEnabled(bool v) { enabled_ = v; }
    bool canTakeFocus() const { return visible_ != kFalse && enabled_; }

    // True when any of the child lies inside a surface of the given size:
    // what the user can see and reach.
    bool showsOn(float surfaceWidth, float surfaceHeight) const {
        return visible_ != kFalse && left_ < surfaceWidth && top_ < surfaceHeight && left_ + width_ > 0 &&
               top_ + height_ > 0;
    }

protected:
    float stateLeft() const { return left_; }
    float stateTop() const { return top_; }
    float stateWidth() const { return width_; }
    float stateHeight() const { return height_; }
    VBool stateVisible() const { return visible_; }
    std::int16_t stateTabIndex() const { return tabIndex_; }
    void storeLeft(float v) { left_ = v; }
    void storeTop(float v) { top_ = v; }
    void storeWidth(float v) {
        if (v < 0) fail(failure::kInvalidPropertyValue);
        width_ = v;
    }
    void storeHeight(float v) {
        if (v < 0) fail(failure::kInvalidPropertyValue);
        height_ = v;
    }
    void storeVisible(VBool v) {
        bool changed = (v != kFalse) != (visible_ != kFalse);
        visible_ = v;
        if (changed && host_) host_->visibilityChanged(*this);
    }
    void storeTabIndex(std::int16_t v) {
        if (v < 0) fail(failure::kInvalidPropertyValue);
        tabIndex_ = v;
    }
    void requestFocus() {
        if (host_) {
            host_->focusRequested(*this);
            return;
        }
        if (!canTakeFocus()) fail(failure::kInvalidProcedureCall);
    }

private:
    std::string name_;
    ChildHost* host_;
    float left_, top_, width_, height_;
    VBool visible_ = kTrue;
    std::int16_t tabIndex_ = 0;
    bool enabled_ = true;
};

// Implements the platform's ChildWindow part of Interface on ChildState.
template <class Interface>
class ChildWindowImpl : public Interface, public ChildState {
public:
    using ChildState::ChildState;

    float left() const override { return stateLeft(); }
    void setLeft(float v) override { storeLeft(v); }
    float top() const override { return stateTop(); }
    void setTop(float v) override { storeTop(v); }
    float width() const override { return stateWidth(); }
    void setWidth(float v) override { storeWidth(v); }
    float height() const override { return stateHeight(); }
    void setHeight(float v) override { storeHeight(v); }
    VBool visible() const override { return stateVisible(); }
    void setVisible(VBool v) override { storeVisible(v); }
    std::int16_t tabIndex() const override { return stateTabIndex(); }
    void setTabIndex(std::int16_t v) override { storeTabIndex(v); }
    void setFocus() override { requestFocus(); }
};

}  // namespace quorvel::headless
