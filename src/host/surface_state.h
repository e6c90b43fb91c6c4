// The surface's settings that every host keeps alike: colour, enabled
// state, mouse pointer and icon, the drawing position, AutoRedraw and the
// window handle. A port adds the size and the repaint, and shows each
// setting on its widget when it changes.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/host.h"

namespace quorvel::host {

class SurfaceState : public HostSurface {
public:
    explicit SurfaceState(std::int32_t hwnd) : hwnd_(hwnd) {}

    Color backColor() const override { return backColor_; }
    void setBackColor(Color v) override {
        backColor_ = v;
        showBackColor();
    }
    VBool enabled() const override { return enabled_; }
    void setEnabled(VBool v) override {
        enabled_ = v;
        showEnabled();
    }
    std::int16_t mousePointer() const override { return mousePointer_; }
    void setMousePointer(std::int16_t v) override {
        mousePointer_ = v;
        showCursor();
    }
    std::shared_ptr<Picture> mouseIcon() const override { return mouseIcon_; }
    void setMouseIcon(std::shared_ptr<Picture> v) override {
        mouseIcon_ = std::move(v);
        showCursor();
    }
    float currentX() const override { return currentX_; }
    void setCurrentX(float v) override { currentX_ = v; }
    float currentY() const override { return currentY_; }
    void setCurrentY(float v) override { currentY_ = v; }
    VBool autoRedraw() const override { return autoRedraw_; }
    void setAutoRedraw(VBool v) override { autoRedraw_ = v; }
    std::int32_t hwnd() const override { return hwnd_; }

protected:
    // The port's widget takes the setting that just changed.
    virtual void showBackColor() {}
    virtual void showEnabled() {}
    virtual void showCursor() {}

private:
    std::int32_t hwnd_;
    Color backColor_ = systemColor(15);
    VBool enabled_ = kTrue;
    std::int16_t mousePointer_ = 0;
    std::shared_ptr<Picture> mouseIcon_;
    float currentX_ = 0;
    float currentY_ = 0;
    VBool autoRedraw_ = kFalse;
};

}  // namespace quorvel::host
