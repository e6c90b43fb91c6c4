// The headless data-bound grid: the shared column model, settings store and
// binding, plus what a grid on a screen would add — rows of a fixed height
// under an optional heading row, a first visible row that follows the
// current one, hit-testing of mouse presses, and the grid's own keys.
//
// Rows are RowHeight twips tall when that setting is positive, else 225 (a
// row of the default 8.25-point font); the heading row is HeadLines rows
// tall when ColumnHeaders is on. A new column is DefColWidth wide, or 1215
// twips while DefColWidth is 0.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "headless/child_window.h"
#include "host/grid_binding.h"
#include "host/grid_columns.h"
#include "host/grid_settings.h"
#include "platform/grid.h"

namespace quorvel::headless {

inline constexpr float kDefaultColumnWidth = 1215.0f;
inline constexpr float kDefaultRowHeight = 225.0f;

class HeadlessGrid final : public ChildWindowImpl<Grid> {
public:
    HeadlessGrid(std::string name, GridEvents& events, ChildHost* host = nullptr);
    ~HeadlessGrid() override;

    std::shared_ptr<Columns> columns() const override { return columns_; }
    ObjectRef columnsItem(const std::optional<Variant>& index) const override;

    float defColWidth() const override;
    // Failure 380 for a negative width.
    void setDefColWidth(float v) override;
    std::shared_ptr<Font> font() const override;
    void setFont(std::shared_ptr<Font> v) override;
    std::shared_ptr<Font> headFont() const override;
    void setHeadFont(std::shared_ptr<Font> v) override;
    Color foreColor() const override;
    void setForeColor(Color v) override;
    Color backColor() const override;
    void setBackColor(Color v) override;
    std::int32_t scrollBars() const override;
    void setScrollBars(std::int32_t v) override;
    std::int32_t marqueeStyle() const override;
    void setMarqueeStyle(std::int32_t v) override;
    std::int16_t col() const override { return col_; }
    // Failure 380 for a negative column or one past the last (0 is always
    // accepted, also while the grid has no columns).
    void setCol(std::int16_t v) override;

    // Col (6) and Columns (8) are the grid's own; Columns reads as the
    // collection, and a number written to it makes that many new columns.
    Variant setting(std::int32_t dispid) const override;
    void setSetting(std::int32_t dispid, const Variant& value) override;

    void clearFields() override;
    void rebind() override;
    void setDataSource(DataControl* source) override;

    host::GridColumns& columnModel() { return *columns_; }
    host::GridBinding& binding() { return binding_; }
    const host::GridSettings& settings() const { return settings_; }

    // The current row, -1 without a current record; the number of rows.
    std::int32_t row() const { return binding_.currentRow(); }
    std::int32_t rowCount() const { return binding_.rowCount(); }
    // The first row shown; the current row is always among the rows shown.
    std::int32_t topRow() const { return topRow_; }
    float rowHeight() const;
    float headerHeight() const;
    std::int32_t visibleRows() const;
    // Scrolls the row into view and gives the middle of it in the grid's
    // coordinates, for a press on that row.
    float scrollToRow(std::int32_t row);

    // What the user does. Key down raises the notification, then, when the
    // handler left KeyCode nonzero, does the grid's own handling: Up, Down,
    // Page Up, Page Down, Home and End move the current row, Left and Right
    // the current column. A mouse press raises the notification, then makes
    // the row under it current.
    void keyDown(std::int16_t keyCode, std::int16_t shift);
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);

private:
    void keepCurrentRowShown();
    // The grid's own moves never fail to the user: a key in a grid without
    // records simply does nothing.
    void moveQuietly(std::int32_t row);

    GridEvents& events_;
    host::GridSettings settings_;
    std::shared_ptr<host::GridColumns> columns_;
    host::GridBinding binding_;
    std::int16_t col_ = 0;
    std::int32_t topRow_ = 0;
};

}  // namespace quorvel::headless
