// The grid as every host's grid is, without drawing: its settings with
// their checks, its column model, its binding to the data control's
// recordset, its current column, and its own keys. A port adds the view:
// where rows lie on screen, how many make a page, what a repaint shows.
//
// A fresh grid has two empty columns, as the grid component does before
// anyone lays it out. A new column is DefColWidth wide, or 1215 twips while
// DefColWidth is 0.
//
// The grid's own keys move the current row (Up, Down, Page Up, Page Down,
// Home, End) or the current column (Left, Right); a move the recordset
// refuses is no failure to the user: a key in a grid without records simply
// does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "host/grid_binding.h"
#include "host/grid_columns.h"
#include "host/grid_settings.h"
#include "platform/grid.h"

namespace quorvel::host {

inline constexpr float kDefaultColumnWidth = 1215.0f;

class GridModel {
public:
    GridModel();
    ~GridModel();
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    std::shared_ptr<GridColumns> columns() const { return columns_; }
    ObjectRef columnsItem(const std::optional<Variant>& index) const;

    float defColWidth() const;
    // Failure 380 for a negative or infinite width.
    void setDefColWidth(float v);
    std::shared_ptr<Font> font() const;
    // Failure 380 for no font.
    void setFont(std::shared_ptr<Font> v);
    std::shared_ptr<Font> headFont() const;
    void setHeadFont(std::shared_ptr<Font> v);
    Color foreColor() const;
    void setForeColor(Color v);
    Color backColor() const;
    void setBackColor(Color v);
    std::int32_t scrollBars() const;
    void setScrollBars(std::int32_t v);
    std::int32_t marqueeStyle() const;
    void setMarqueeStyle(std::int32_t v);
    std::int16_t col() const { return col_; }
    // Failure 380 for a negative column or one past the last (0 is always
    // accepted, also while the grid has no columns).
    void setCol(std::int16_t v);

    // Col (6) and Columns (8) are the grid's own; Columns reads as the
    // collection, and a number written to it makes that many new columns.
    Variant setting(std::int32_t dispid) const;
    void setSetting(std::int32_t dispid, const Variant& value);

    void clearFields() { columns_->clearLayout(); }
    void rebind() { binding_.rebind(); }
    void setDataSource(DataControl* source) { binding_.setSource(source); }

    GridColumns& columnModel() { return *columns_; }
    GridBinding& binding() { return binding_; }
    const GridBinding& binding() const { return binding_; }
    GridSettings& settings() { return settings_; }
    const GridSettings& settings() const { return settings_; }

    // The current row, -1 without a current record; the number of rows.
    std::int32_t row() const { return binding_.currentRow(); }
    std::int32_t rowCount() const { return binding_.rowCount(); }

    // The grid's own handling of a key that went down, pageRows rows to a
    // page.
    void navigate(std::int16_t keyCode, std::int32_t pageRows);
    // Makes the row (clamped to the rows there are) current; a refused move
    // is no failure.
    void moveQuietly(std::int32_t row);

    // Run after the rows were replaced (the current column already brought
    // back inside the columns), after the current row moved, and after the
    // current column was set or moved by a key.
    void setRowsListener(std::function<void()> f) { rowsListener_ = std::move(f); }
    void setCurrentRowListener(std::function<void()> f);
    void setColumnListener(std::function<void()> f) { columnListener_ = std::move(f); }

private:
    void columnMoved();

    GridSettings settings_;
    std::shared_ptr<GridColumns> columns_;
    GridBinding binding_;
    std::int16_t col_ = 0;
    std::function<void()> rowsListener_;
    std::function<void()> columnListener_;
};

// Implements the platform's Grid on a port's child window: the settings,
// the columns and the binding come from the model, the place on the
// surface from Window.
template <class Window>
class GridOn : public Window {
public:
    template <class... Args>
    explicit GridOn(Args&&... args) : Window(std::forward<Args>(args)...) {}

    std::shared_ptr<Columns> columns() const override { return grid_.columns(); }
    ObjectRef columnsItem(const std::optional<Variant>& index) const override {
        return grid_.columnsItem(index);
    }
    float defColWidth() const override { return grid_.defColWidth(); }
    void setDefColWidth(float v) override { grid_.setDefColWidth(v); }
    std::shared_ptr<Font> font() const override { return grid_.font(); }
    void setFont(std::shared_ptr<Font> v) override { grid_.setFont(std::move(v)); }
    std::shared_ptr<Font> headFont() const override { return grid_.headFont(); }
    void setHeadFont(std::shared_ptr<Font> v) override { grid_.setHeadFont(std::move(v)); }
    Color foreColor() const override { return grid_.foreColor(); }
    void setForeColor(Color v) override { grid_.setForeColor(v); }
    Color backColor() const override { return grid_.backColor(); }
    void setBackColor(Color v) override { grid_.setBackColor(v); }
    std::int32_t scrollBars() const override { return grid_.scrollBars(); }
    void setScrollBars(std::int32_t v) override { grid_.setScrollBars(v); }
    std::int32_t marqueeStyle() const override { return grid_.marqueeStyle(); }
    void setMarqueeStyle(std::int32_t v) override { grid_.setMarqueeStyle(v); }
    std::int16_t col() const override { return grid_.col(); }
    void setCol(std::int16_t v) override { grid_.setCol(v); }
    Variant setting(std::int32_t dispid) const override { return grid_.setting(dispid); }
    void setSetting(std::int32_t dispid, const Variant& value) override { grid_.setSetting(dispid, value); }
    void clearFields() override { grid_.clearFields(); }
    void rebind() override { grid_.rebind(); }
    void setDataSource(DataControl* source) override { grid_.setDataSource(source); }

    GridColumns& columnModel() { return grid_.columnModel(); }
    GridBinding& binding() { return grid_.binding(); }
    const GridSettings& settings() const { return grid_.settings(); }
    std::int32_t row() const { return grid_.row(); }
    std::int32_t rowCount() const { return grid_.rowCount(); }

protected:
    GridModel grid_;
};

}  // namespace quorvel::host
