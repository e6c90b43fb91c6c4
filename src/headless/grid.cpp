#include "headless/grid.h"

#include <algorithm>
#include <cmath>

#include "platform/failure.h"

namespace quorvel::headless {

using namespace grid_dispid;

HeadlessGrid::HeadlessGrid(std::string name, GridEvents& events, ChildHost* host)
    : GridOn(std::move(name), host, 0.0f, 0.0f, 2655.0f, 2055.0f), events_(events) {
    grid_.setCurrentRowListener([this] { keepCurrentRowShown(); });
    grid_.setRowsListener([this] {
        topRow_ = 0;
        keepCurrentRowShown();
    });
}

float HeadlessGrid::rowHeight() const {
    std::int32_t h = settings().get(kRowHeight).asLong();
    return h > 0 ? static_cast<float>(h) : kDefaultRowHeight;
}

float HeadlessGrid::headerHeight() const {
    if (settings().boolean(kColumnHeaders) == kFalse) return 0;
    float lines = settings().get(kHeadLines).asSingle();
    return rowHeight() * std::max(lines, 0.0f);
}

std::int32_t HeadlessGrid::visibleRows() const {
    float room = height() - headerHeight();
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::floor(room / rowHeight())));
}

void HeadlessGrid::keepCurrentRowShown() {
    std::int32_t r = row();
    if (r < 0) return;
    if (r < topRow_) topRow_ = r;
    else if (r >= topRow_ + visibleRows()) topRow_ = r - visibleRows() + 1;
}

float HeadlessGrid::scrollToRow(std::int32_t r) {
    if (r < topRow_) topRow_ = r;
    else if (r >= topRow_ + visibleRows()) topRow_ = r - visibleRows() + 1;
    return headerHeight() + static_cast<float>(r - topRow_) * rowHeight() + rowHeight() / 2;
}

void HeadlessGrid::keyDown(std::int16_t keyCode, std::int16_t shift) {
    events_.onKeyDown(keyCode, shift);
    grid_.navigate(keyCode, visibleRows());
}

void HeadlessGrid::mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseDown(button, shift, x, y);
    if (y < headerHeight()) return;
    auto r = topRow_ + static_cast<std::int32_t>(std::floor((y - headerHeight()) / rowHeight()));
    if (r < rowCount()) grid_.moveQuietly(r);
}

void HeadlessGrid::mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseMove(button, shift, x, y);
}

void HeadlessGrid::mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseUp(button, shift, x, y);
}

}  // namespace quorvel::headless
