#include "host/grid_binding.h"

#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::host {

GridBinding::GridBinding(GridColumns& columns) : columns_(columns) {}

void GridBinding::release() noexcept {
    observing_.reset();
    source_ = nullptr;
}

void GridBinding::setSource(DataControl* source) {
    if (source == source_) return;
    observing_.reset();
    source_ = source;
    if (source_) observing_ = source_->addObserver(*this);
    recordsetReplaced();
}

std::shared_ptr<Recordset> GridBinding::recordset() const { return source_ ? source_->recordset() : nullptr; }

std::int32_t GridBinding::rowCount() const {
    auto rs = recordset();
    if (!rs) return 0;
    try {
        return rs->recordCount();
    } catch (const Failure&) {
        // A recordset that cannot count shows no rows rather than failing
        // every repaint.
        return 0;
    }
}

bool GridBinding::stillReading() const {
    auto rs = recordset();
    if (!rs) return false;
    try {
        return rs->stillReading();
    } catch (const Failure&) { return false; }
}

std::int32_t GridBinding::currentRow() const {
    auto rs = recordset();
    return rs ? rs->absolutePosition() : -1;
}

void GridBinding::moveTo(std::int32_t row) {
    auto rs = recordset();
    if (!rs) fail(failure::kObjectNotSet);
    if (rs->absolutePosition() == row) return;
    rs->setAbsolutePosition(row);
}

std::vector<std::string> GridBinding::fieldNames() const {
    std::vector<std::string> names;
    auto rs = recordset();
    if (!rs) return names;
    Fields& fields = rs->fields();
    for (std::int16_t i = 0; i < fields.count(); ++i) names.push_back(fields.item(std::int32_t{i}).name());
    return names;
}

Variant GridBinding::cell(std::int32_t row, std::int32_t columnIndex) const {
    auto rs = recordset();
    if (!rs) return Variant();
    std::string field = columns_.column(columnIndex)->dataField();
    if (field.empty()) return Variant();
    Fields& fields = rs->fields();
    for (std::int16_t i = 0; i < fields.count(); ++i) {
        if (equalsIgnoringCase(fields.item(std::int32_t{i}).name(), field)) return rs->valueAt(row, i);
    }
    return Variant();
}

void GridBinding::rebind() {
    if (columns_.automatic()) columns_.buildAutomatic(fieldNames());
    if (rowsListener_) rowsListener_();
}

void GridBinding::recordsetReplaced() { rebind(); }

void GridBinding::currentRecordMoved() {
    if (currentListener_) currentListener_();
}

}  // namespace quorvel::host
