// Painting, focus and borders. The control draws nothing itself: what shows
// is its children and a background kept equal to the container's. A repaint
// is where the control notices that the host moved it or resized its
// container behind its back, and lays itself out again.
#include <new>

#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

// Host values against the members they were measured into; both sides as
// doubles, so a fractional twip counts as a difference.
bool differs(float hostValue, std::int32_t member) {
    return static_cast<double>(hostValue) != static_cast<double>(member);
}

}  // namespace

void Quorvel2000::paintSurface() {
    // The host repaints while sizes are changing; the stored geometry is
    // that of the closed state, so an open list must not re-measure it.
    if (resizing == kTrue || listMoving == kTrue || listOpen == kTrue) return;

    // A repaint never reports: any failure simply ends it.
    try {
        // Each test reads afresh and compares with the members as they are
        // now, so after one relayout the later tests normally find nothing.
        Extender& extender = site_.extender();
        const float left = extender.left();
        if (differs(left, openLeft) && differs(left, closedLeft)) resizeLayout();
        if (differs(extender.top(), hostTop)) resizeLayout();
        if (differs(extender.container().width(), containerWidth)) resizeLayout();

        float height = extender.container().height();
        // Not every container has a ScaleHeight; its own height serves then.
        try {
            height = extender.container().scaleHeight();
        } catch (const Failure&) {}
        if (differs(height, containerHeight)) resizeLayout();
    } catch (const Failure&) {
    } catch (const std::bad_alloc&) {}
}

void Quorvel2000::enterFocus() {
    if (fastMode == kTrue && textIsBoundValue == kTrue) {
        // A fast control in mirror mode has let the list lag behind the
        // value; a search as for a bare key release brings it in step.
        std::int16_t keyCode = 0;
        std::int16_t shift = 0;
        editKeyUp(keyCode, shift);
    }
    if (dropDownAuto == kTrue && listOpen == kFalse) {
        ListaApri();
        Text2.setFocus();
    }
}

void Quorvel2000::exitFocus() {
    // Outside mirror mode leaving the control takes the list's current
    // record as the value, as if the record had just been moved to.
    if (textIsBoundValue == kFalse) dataReposition();
    if (dropDownAuto == kTrue || keyboardConventions == kComboBoxKeys) ListaChiudi();
}

void Quorvel2000::surfaceMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseDown, button, shift, x, y);
}

void Quorvel2000::surfaceMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseMove, button, shift, x, y);
}

void Quorvel2000::surfaceMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseUp, button, shift, x, y);
}

std::int16_t Quorvel2000::BorderStyle() const { return Text2.borderStyle(); }
std::int16_t Quorvel2000::Appearance() const { return Text2.appearance(); }

}  // namespace quorvel
