#include "host/grid_columns.h"

#include <cmath>

#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::host {

GridColumn::GridColumn(float width) : width_(width) {}

void GridColumn::changed() {
    if (owner_) owner_->changed();
}

void GridColumn::setVisible(VBool v) {
    visible_ = v;
    changed();
}

void GridColumn::setDataField(const std::string& v) {
    dataField_ = v;
    changed();
}

void GridColumn::setCaption(const std::string& v) {
    caption_ = v;
    changed();
}

void GridColumn::setWidth(float v) {
    if (!(v >= 0) || std::isinf(v)) fail(failure::kInvalidPropertyValue);
    width_ = v;
    changed();
}

void GridColumn::setNumberFormat(const std::string& v) {
    numberFormat_ = v;
    changed();
}

void GridColumn::setAlignment(std::int16_t v) {
    if (v < 0 || v > 3) fail(failure::kInvalidPropertyValue);
    alignment_ = v;
    changed();
}

GridColumns::GridColumns(std::function<float()> newColumnWidth)
    : newColumnWidth_(std::move(newColumnWidth)) {}

GridColumns::~GridColumns() {
    for (auto& c : columns_) c->owner_ = nullptr;
}

void GridColumns::changed() {
    ++revision_;
    if (listener_) listener_();
}

std::shared_ptr<Column> GridColumns::add(std::int32_t index) {
    if (index < 0 || index > count()) fail(failure::kSubscriptOutOfRange);
    auto column = std::make_shared<GridColumn>(newColumnWidth_ ? newColumnWidth_() : 0.0f);
    column->owner_ = this;
    columns_.insert(columns_.begin() + index, column);
    automatic_ = false;
    changed();
    return column;
}

void GridColumns::remove(std::int32_t index) {
    if (index < 0 || index >= count()) fail(failure::kSubscriptOutOfRange);
    columns_[static_cast<std::size_t>(index)]->owner_ = nullptr;
    columns_.erase(columns_.begin() + index);
    automatic_ = false;
    changed();
}

std::shared_ptr<GridColumn> GridColumns::column(std::int32_t index) const {
    if (index < 0 || index >= count()) fail(failure::kSubscriptOutOfRange);
    return columns_[static_cast<std::size_t>(index)];
}

std::shared_ptr<Column> GridColumns::item(std::int32_t index) const { return column(index); }

std::shared_ptr<Column> GridColumns::item(const Variant& index) const {
    if (index.holdsNumber()) {
        double d = index.toDouble();
        if (!(d > -2147483648.5 && d < 2147483647.5)) fail(failure::kSubscriptOutOfRange);
        return column(roundToLong(d));
    }
    if (!index.isString()) fail(failure::kSubscriptOutOfRange);
    const std::string& name = index.asString();
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->dataField(), name)) return c;
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->caption(), name)) return c;
    fail(failure::kSubscriptOutOfRange);
}

void GridColumns::dropAll() {
    for (auto& c : columns_) c->owner_ = nullptr;
    columns_.clear();
}

void GridColumns::clearLayout() {
    dropAll();
    automatic_ = true;
    changed();
}

void GridColumns::buildAutomatic(const std::vector<std::string>& fieldNames) {
    if (!automatic_) return;
    dropAll();
    float width = newColumnWidth_ ? newColumnWidth_() : 0.0f;
    for (const auto& name : fieldNames) {
        auto column = std::make_shared<GridColumn>(width);
        column->dataField_ = name;
        column->caption_ = name;
        column->owner_ = this;
        columns_.push_back(std::move(column));
    }
    changed();
}

float GridColumns::visibleWidth() const {
    float sum = 0;
    for (const auto& c : columns_)
        if (c->visible() != kFalse) sum += c->width();
    return sum;
}

}  // namespace quorvel::host
