#include "headless/grid.h"

#include <algorithm>
#include <cmath>

#include "platform/failure.h"
#include "platform/key_codes.h"

namespace quorvel::headless {

using namespace grid_dispid;

HeadlessGrid::HeadlessGrid(std::string name, GridEvents& events, ChildHost* host)
    : ChildWindowImpl<Grid>(std::move(name), host, 0, 0, 2655, 2055),
      events_(events),
      columns_(std::make_shared<host::GridColumns>([this] {
          float w = defColWidth();
          return w > 0 ? w : kDefaultColumnWidth;
      })),
      binding_(*columns_) {
    // A fresh grid has two empty columns, as the grid component does before
    // anyone lays it out.
    columns_->add(0);
    columns_->add(1);
    binding_.setCurrentRowListener([this] { keepCurrentRowShown(); });
    binding_.setRowsListener([this] {
        topRow_ = 0;
        if (col_ > 0 && col_ >= columns_->count()) col_ = 0;
        keepCurrentRowShown();
    });
}

HeadlessGrid::~HeadlessGrid() {
    // The program may still hold the collection and add to it.
    columns_->setNewColumnWidth([] { return kDefaultColumnWidth; });
}

ObjectRef HeadlessGrid::columnsItem(const std::optional<Variant>& index) const {
    if (!index) return columns_;
    return columns_->item(*index);
}

float HeadlessGrid::defColWidth() const { return settings_.get(kDefColWidth).asSingle(); }

void HeadlessGrid::setDefColWidth(float v) {
    if (!(v >= 0) || std::isinf(v)) fail(failure::kInvalidPropertyValue);
    settings_.set(kDefColWidth, Variant(v));
}

std::shared_ptr<Font> HeadlessGrid::font() const { return settings_.font(kFont); }

void HeadlessGrid::setFont(std::shared_ptr<Font> v) {
    if (!v) fail(failure::kInvalidPropertyValue);
    settings_.set(kFont, Variant(std::move(v)));
}

std::shared_ptr<Font> HeadlessGrid::headFont() const { return settings_.font(kHeadFont); }

void HeadlessGrid::setHeadFont(std::shared_ptr<Font> v) {
    if (!v) fail(failure::kInvalidPropertyValue);
    settings_.set(kHeadFont, Variant(std::move(v)));
}

Color HeadlessGrid::foreColor() const { return settings_.get(kForeColor).asLong(); }
void HeadlessGrid::setForeColor(Color v) { settings_.set(kForeColor, Variant(v)); }
Color HeadlessGrid::backColor() const { return settings_.get(kBackColor).asLong(); }
void HeadlessGrid::setBackColor(Color v) { settings_.set(kBackColor, Variant(v)); }
std::int32_t HeadlessGrid::scrollBars() const { return settings_.get(kScrollBars).asLong(); }
void HeadlessGrid::setScrollBars(std::int32_t v) { settings_.set(kScrollBars, Variant(v)); }
std::int32_t HeadlessGrid::marqueeStyle() const { return settings_.get(kMarqueeStyle).asLong(); }
void HeadlessGrid::setMarqueeStyle(std::int32_t v) { settings_.set(kMarqueeStyle, Variant(v)); }

void HeadlessGrid::setCol(std::int16_t v) {
    if (v < 0 || (v > 0 && v >= columns_->count())) fail(failure::kInvalidPropertyValue);
    col_ = v;
}

Variant HeadlessGrid::setting(std::int32_t dispid) const {
    if (dispid == kCol) return Variant(col_);
    if (dispid == kColumns) return Variant(ObjectRef(columns_));
    return settings_.get(dispid);
}

void HeadlessGrid::setSetting(std::int32_t dispid, const Variant& value) {
    if (dispid == kCol) {
        setCol(value.toInteger());
        return;
    }
    if (dispid == kColumns) {
        if (!value.holdsNumber()) fail(failure::kTypeMismatch);
        std::int16_t n = value.toInteger();
        if (n < 0) fail(failure::kInvalidPropertyValue);
        while (columns_->count() > 0) columns_->remove(0);
        for (std::int16_t i = 0; i < n; ++i) columns_->add(i);
        return;
    }
    if (dispid == kDefColWidth) {
        setDefColWidth(value.toSingle());
        return;
    }
    settings_.set(dispid, value);
}

void HeadlessGrid::clearFields() { columns_->clearLayout(); }

void HeadlessGrid::rebind() { binding_.rebind(); }

void HeadlessGrid::setDataSource(DataControl* source) { binding_.setSource(source); }

float HeadlessGrid::rowHeight() const {
    std::int32_t h = settings_.get(kRowHeight).asLong();
    return h > 0 ? static_cast<float>(h) : kDefaultRowHeight;
}

float HeadlessGrid::headerHeight() const {
    if (settings_.boolean(kColumnHeaders) == kFalse) return 0;
    float lines = settings_.get(kHeadLines).asSingle();
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

void HeadlessGrid::moveQuietly(std::int32_t target) {
    std::int32_t count = rowCount();
    if (count <= 0) return;
    target = std::clamp(target, 0, count - 1);
    try {
        binding_.moveTo(target);
    } catch (const Failure&) {
    }
}

void HeadlessGrid::keyDown(std::int16_t keyCode, std::int16_t shift) {
    events_.onKeyDown(keyCode, shift);
    std::int32_t r = row();
    std::int32_t page = visibleRows();
    switch (keyCode) {
        case key_code::kUp: moveQuietly(r - 1); break;
        case key_code::kDown: moveQuietly(r < 0 ? 0 : r + 1); break;
        case key_code::kPageUp: moveQuietly(r - page); break;
        case key_code::kPageDown: moveQuietly(r < 0 ? page - 1 : r + page); break;
        case key_code::kHome: moveQuietly(0); break;
        case key_code::kEnd: moveQuietly(rowCount() - 1); break;
        case key_code::kLeft:
            if (col_ > 0) --col_;
            break;
        case key_code::kRight:
            if (col_ + 1 < columns_->count()) ++col_;
            break;
        default: break;
    }
}

void HeadlessGrid::mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseDown(button, shift, x, y);
    if (y < headerHeight()) return;
    auto r = topRow_ + static_cast<std::int32_t>(std::floor((y - headerHeight()) / rowHeight()));
    if (r < rowCount()) moveQuietly(r);
}

void HeadlessGrid::mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseMove(button, shift, x, y);
}

void HeadlessGrid::mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseUp(button, shift, x, y);
}

}  // namespace quorvel::headless
