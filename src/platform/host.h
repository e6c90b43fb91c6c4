// What the control needs of its host container: its own surface, the
// extender (its place on the container), the property bag, notifications,
// event raising, message boxes, queued keys, and the factory of its child
// controls. Geometry is in twips.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/children.h"
#include "platform/data.h"
#include "platform/font.h"
#include "platform/grid.h"
#include "platform/locale.h"
#include "platform/subscription.h"
#include "platform/variant.h"

namespace quorvel {

class Container {
public:
    virtual ~Container() = default;
    virtual float width() const = 0;
    virtual float height() const = 0;
    // Failure 438 for a container that has no ScaleHeight.
    virtual float scaleHeight() const = 0;
    virtual Color backColor() const = 0;
};

class Extender {
public:
    virtual ~Extender() = default;
    virtual float left() const = 0;
    virtual void setLeft(float v) = 0;
    virtual float top() const = 0;
    virtual void setTop(float v) = 0;
    virtual Container& container() = 0;
    // 0 brings the control to the front of the container's stacking order.
    virtual void zOrder(std::int16_t position) = 0;
};

// The control's own drawing surface.
class HostSurface {
public:
    virtual ~HostSurface() = default;
    // Setting the size resizes the control's rectangle at once and runs the
    // control's resize handler before the call returns.
    virtual float width() const = 0;
    virtual void setWidth(float v) = 0;
    virtual float height() const = 0;
    virtual void setHeight(float v) = 0;
    virtual Color backColor() const = 0;
    virtual void setBackColor(Color v) = 0;
    virtual VBool enabled() const = 0;
    virtual void setEnabled(VBool v) = 0;
    virtual std::int16_t mousePointer() const = 0;
    virtual void setMousePointer(std::int16_t v) = 0;
    virtual std::shared_ptr<Picture> mouseIcon() const = 0;
    virtual void setMouseIcon(std::shared_ptr<Picture> v) = 0;
    virtual float currentX() const = 0;
    virtual void setCurrentX(float v) = 0;
    virtual float currentY() const = 0;
    virtual void setCurrentY(float v) = 0;
    virtual VBool autoRedraw() const = 0;
    virtual void setAutoRedraw(VBool v) = 0;
    virtual std::int32_t hwnd() const = 0;
    // Repaints at once.
    virtual void refresh() = 0;
};

// The host's calls into the control about its surface.
class SurfaceEvents {
public:
    virtual ~SurfaceEvents() = default;
    virtual void onResize() {}
    virtual void onPaint() {}
    virtual void onEnterFocus() {}
    virtual void onExitFocus() {}
    virtual void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
};

class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    // The stored value, or the default when the name was never written.
    virtual Variant readProperty(std::string_view name, const Variant& defaultValue) = 0;
    // Stores nothing when the value equals the default.
    virtual void writeProperty(std::string_view name, const Variant& value, const Variant& defaultValue) = 0;
};

// An outgoing event as the host sees it: its dispatch identifier, its name
// and the names of its arguments, all passed by reference.
struct EventDescription {
    std::int32_t dispid;
    std::string_view name;
    std::array<std::string_view, 4> argumentNames{};
    int argumentCount = 0;
};

class ControlSite {
public:
    virtual ~ControlSite() = default;

    virtual HostSurface& surface() = 0;
    virtual Extender& extender() = 0;
    // The host's current ambient font, fetched afresh at each call.
    virtual std::shared_ptr<Font> ambientFont() = 0;
    virtual const Locale& locale() const = 0;

    // The control tells the host that a property changed; no answer is used.
    virtual void propertyChanged(std::string_view name) = 0;
    // The host's edit request: false stops the change.
    virtual bool canPropertyChange(std::string_view name) = 0;
    // The host's handler runs before the call returns and may change the
    // arguments, which are the raiser's own variables.
    virtual void raiseEvent(const EventDescription& event, std::span<Variant> arguments) = 0;
    // Modal, an OK button only, the application's default title.
    virtual void msgBox(const std::string& prompt) = 0;
    // Queues keys for the window that has the focus ("{ENTER}" is Enter);
    // they are delivered after the current handler has returned.
    virtual void sendKeys(std::string_view keys) = 0;

    // The control's children. The site owns them and keeps them as long as
    // it lives; the control holds references. Their events go to the given
    // sinks until the control's surface registration ends (the control
    // ending): from then on no child calls into the control.
    virtual TextBox& createTextBox(std::string_view name, TextBoxEvents& events) = 0;
    virtual CommandButton& createCommandButton(std::string_view name, CommandButtonEvents& events) = 0;
    virtual DataControl& createDataControl(std::string_view name, DataControlEvents& events) = 0;
    virtual Grid& createGrid(std::string_view name, GridEvents& events) = 0;

    // The control registers for the host's calls about its surface, for as
    // long as it holds the subscription.
    [[nodiscard]] virtual Subscription attach(SurfaceEvents& events) = 0;
};

}  // namespace quorvel
