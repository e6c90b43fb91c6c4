// The grid's binding to its data control: the grid's rows are the records of
// the data control's recordset, and its current row is the recordset's
// current record, both ways. Moving the row moves the record; a move of the
// record (a find, a reopening, anything) reaches the binding as the data
// control's observer and moves the row. The binding holds no row of its own,
// so the two can never disagree.
//
// Nothing here draws: every host's grid view sits on the same binding.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/grid_columns.h"
#include "platform/data.h"

namespace quorvel::host {

class GridBinding final : public DataControlObserver {
public:
    explicit GridBinding(GridColumns& columns);
    ~GridBinding() override = default;
    GridBinding(const GridBinding&) = delete;
    GridBinding& operator=(const GridBinding&) = delete;

    // The binding observes the source until it is replaced (by none, too),
    // released or the binding ends.
    void setSource(DataControl* source);
    DataControl* source() const { return source_; }
    // Stops observing the source without a word to anyone: the source is
    // ending, or its owner is.
    void release() noexcept;
    std::shared_ptr<Recordset> recordset() const;

    // 0 without a recordset.
    std::int32_t rowCount() const;
    // Whether the recordset still reads records in the background: the row
    // count grows until it says no (see Recordset::stillReading).
    bool stillReading() const;
    // -1 without a current record.
    std::int32_t currentRow() const;
    // Makes the record at the row current; nothing when it already is.
    // Failure 91 without a recordset, 3021 out of range.
    void moveTo(std::int32_t row);

    // Reads the recordset afresh; an automatic layout is rebuilt from its
    // fields (no recordset: no columns).
    void rebind();
    std::vector<std::string> fieldNames() const;
    // The value a view shows in a cell: Empty for a column that shows no
    // field of the recordset.
    Variant cell(std::int32_t row, std::int32_t columnIndex) const;

    // Run after the rows were replaced and after the current row moved.
    void setRowsListener(std::function<void()> f) { rowsListener_ = std::move(f); }
    void setCurrentRowListener(std::function<void()> f) { currentListener_ = std::move(f); }

    void recordsetReplaced() override;
    void currentRecordMoved() override;

private:
    GridColumns& columns_;
    DataControl* source_ = nullptr;
    Subscription observing_;
    std::function<void()> rowsListener_;
    std::function<void()> currentListener_;
};

}  // namespace quorvel::host
