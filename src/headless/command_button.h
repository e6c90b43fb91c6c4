// The headless command button.
#pragma once

#include <memory>
#include <string>

#include "headless/child_window.h"
#include "platform/children.h"

namespace quorvel::headless {

class HeadlessCommandButton final : public ChildWindowImpl<CommandButton> {
public:
    HeadlessCommandButton(std::string name, CommandButtonEvents& events, ChildHost* host = nullptr);

    std::string caption() const override { return caption_; }
    void setCaption(const std::string& v) override { caption_ = v; }
    std::int16_t style() const override { return style_; }
    // Failure 380 for anything but 0 and 1.
    void setStyle(std::int16_t v) override;
    std::shared_ptr<Picture> picture() const override { return picture_; }
    void setPicture(std::shared_ptr<Picture> v) override { picture_ = std::move(v); }

    // What the user does.
    void click() { events_.onClick(); }
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
        events_.onMouseDown(button, shift, x, y);
    }
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
        events_.onMouseMove(button, shift, x, y);
    }
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
        events_.onMouseUp(button, shift, x, y);
    }
    // A button pushes on Enter going down and on Space coming up, as native
    // buttons do; no other key means anything to it.
    void keyDown(std::int16_t keyCode, std::int16_t shift);
    void keyUp(std::int16_t keyCode, std::int16_t shift);

private:
    CommandButtonEvents& events_;
    std::string caption_;
    std::int16_t style_ = 0;
    std::shared_ptr<Picture> picture_;
};

}  // namespace quorvel::headless
