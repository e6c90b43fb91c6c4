#include "host/grid_model.h"

#include <algorithm>
#include <cmath>

#include "platform/failure.h"
#include "platform/key_codes.h"

namespace quorvel::host {

using namespace grid_dispid;

GridModel::GridModel()
    : columns_(std::make_shared<GridColumns>([this] {
          float w = defColWidth();
          return w > 0 ? w : kDefaultColumnWidth;
      })),
      binding_(*columns_) {
    columns_->add(0);
    columns_->add(1);
    binding_.setRowsListener([this] {
        if (col_ > 0 && col_ >= columns_->count()) col_ = 0;
        if (rowsListener_) rowsListener_();
    });
}

GridModel::~GridModel() {
    // The program may still hold the collection and add to it.
    columns_->setNewColumnWidth([] { return kDefaultColumnWidth; });
}

void GridModel::setCurrentRowListener(std::function<void()> f) {
    binding_.setCurrentRowListener(std::move(f));
}

ObjectRef GridModel::columnsItem(const std::optional<Variant>& index) const {
    if (!index) return columns_;
    return columns_->item(*index);
}

float GridModel::defColWidth() const { return settings_.get(kDefColWidth).asSingle(); }

void GridModel::setDefColWidth(float v) {
    if (!(v >= 0) || std::isinf(v)) fail(failure::kInvalidPropertyValue);
    settings_.set(kDefColWidth, Variant(v));
}

std::shared_ptr<Font> GridModel::font() const { return settings_.font(kFont); }

void GridModel::setFont(std::shared_ptr<Font> v) {
    if (!v) fail(failure::kInvalidPropertyValue);
    settings_.set(kFont, Variant(std::move(v)));
}

std::shared_ptr<Font> GridModel::headFont() const { return settings_.font(kHeadFont); }

void GridModel::setHeadFont(std::shared_ptr<Font> v) {
    if (!v) fail(failure::kInvalidPropertyValue);
    settings_.set(kHeadFont, Variant(std::move(v)));
}

Color GridModel::foreColor() const { return settings_.get(kForeColor).asLong(); }
void GridModel::setForeColor(Color v) { settings_.set(kForeColor, Variant(v)); }
Color GridModel::backColor() const { return settings_.get(kBackColor).asLong(); }
void GridModel::setBackColor(Color v) { settings_.set(kBackColor, Variant(v)); }
std::int32_t GridModel::scrollBars() const { return settings_.get(kScrollBars).asLong(); }
void GridModel::setScrollBars(std::int32_t v) { settings_.set(kScrollBars, Variant(v)); }
std::int32_t GridModel::marqueeStyle() const { return settings_.get(kMarqueeStyle).asLong(); }
void GridModel::setMarqueeStyle(std::int32_t v) { settings_.set(kMarqueeStyle, Variant(v)); }

void GridModel::setCol(std::int16_t v) {
    if (v < 0 || (v > 0 && v >= columns_->count())) fail(failure::kInvalidPropertyValue);
    col_ = v;
    columnMoved();
}

void GridModel::columnMoved() {
    if (columnListener_) columnListener_();
}

Variant GridModel::setting(std::int32_t dispid) const {
    if (dispid == kCol) return Variant(col_);
    if (dispid == kColumns) return Variant(ObjectRef(columns_));
    return settings_.get(dispid);
}

void GridModel::setSetting(std::int32_t dispid, const Variant& value) {
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

void GridModel::moveQuietly(std::int32_t target) {
    std::int32_t count = rowCount();
    if (count <= 0) return;
    target = std::clamp(target, 0, count - 1);
    try {
        binding_.moveTo(target);
    } catch (const Failure&) {}
}

void GridModel::navigate(std::int16_t keyCode, std::int32_t page) {
    const std::int32_t r = row();
    switch (keyCode) {
        case key_code::kUp: moveQuietly(r - 1); break;
        case key_code::kDown: moveQuietly(r < 0 ? 0 : r + 1); break;
        case key_code::kPageUp: moveQuietly(r - page); break;
        case key_code::kPageDown: moveQuietly(r < 0 ? page - 1 : r + page); break;
        case key_code::kHome: moveQuietly(0); break;
        case key_code::kEnd: moveQuietly(rowCount() - 1); break;
        case key_code::kLeft:
            if (col_ > 0) --col_;
            columnMoved();
            break;
        case key_code::kRight:
            if (col_ + 1 < columns_->count()) ++col_;
            columnMoved();
            break;
        default: break;
    }
}

}  // namespace quorvel::host
