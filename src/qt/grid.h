// The Qt grid: a QTableView over the data engine's recordset, on the same
// column model, settings store and binding as the headless grid
// (headless/grid_columns.h, grid_settings.h, grid_binding.h), so both hosts'
// grids show and move alike.
//
// The view's model reads rows lazily: its row count is the recordset's
// record count, and a cell is read from the recordset (valueAt) only when
// the view asks for it to draw a row, so a list of a million records opens
// without reading them. The view's current row is the recordset's current
// record, both ways.
//
// Keys: the key-down notification first; when the handler leaves KeyCode
// nonzero the grid's own handling follows, as the headless grid's: Up,
// Down, Page Up, Page Down, Home and End move the current row, Left and
// Right the current column; no other key does anything. The mouse: the
// notification first, then a press on a row makes that row current.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/grid_binding.h"
#include "host/grid_columns.h"
#include "host/grid_settings.h"
#include "platform/grid.h"
#include "platform/locale.h"
#include "qt/children.h"

namespace quorvel::qt {

class QtGrid;

// The cell's text as the column's number format writes the value.
QString formatCell(const Variant& value, const std::string& numberFormat, const Locale& locale);

class RecordsetModel final : public QAbstractTableModel {
public:
    explicit RecordsetModel(QtGrid& grid) : grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Takes the binding's rows and the column model's columns afresh.
    void reload();
    // The columns kept their number: only what they show changed.
    void columnsChanged();
    int columns() const { return columns_; }
    // How many cells were read since the last reset of the counter.
    std::int64_t cellsRead() const { return cellsRead_; }
    void resetCellsRead() { cellsRead_ = 0; }

private:
    QtGrid& grid_;
    int rows_ = 0;
    int columns_ = 0;
    mutable std::int64_t cellsRead_ = 0;
};

class GridView;

class QtGrid final : public QtChildWindow<Grid> {
public:
    QtGrid(QtSite& site, QWidget* surface, std::string name, GridEvents& events);
    ~QtGrid() override;

    std::shared_ptr<Columns> columns() const override { return columns_; }
    ObjectRef columnsItem(const std::optional<Variant>& index) const override;
    float defColWidth() const override;
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
    void setCol(std::int16_t v) override;
    Variant setting(std::int32_t dispid) const override;
    void setSetting(std::int32_t dispid, const Variant& value) override;
    void clearFields() override;
    void rebind() override;
    void setDataSource(DataControl* source) override;

    QTableView* view() const;
    RecordsetModel& model() { return *model_; }
    host::GridColumns& columnModel() { return *columns_; }
    host::GridBinding& binding() { return binding_; }
    const Locale& locale() const;
    std::int32_t row() const { return binding_.currentRow(); }
    std::int32_t rowCount() const { return binding_.rowCount(); }
    // Applies the columns and settings to the view now, rather than at the
    // next turn of the event loop.
    void syncView();
    void disconnectEvents() { events_ = nullptr; }
    GridEvents* events() const { return events_; }

    // The view's input.
    void keyDown(QKeyEvent* event);
    // The user moved the view's current row.
    void viewRowChanged(int row);
    // The grid's own moves never fail to the user.
    void moveQuietly(std::int32_t row);

private:
    void scheduleSync();
    void showCurrentRow();
    void applySettings();

    GridEvents* events_;
    host::GridSettings settings_;
    std::shared_ptr<host::GridColumns> columns_;
    host::GridBinding binding_;
    std::unique_ptr<RecordsetModel> model_;
    std::int16_t col_ = 0;
    bool syncScheduled_ = false;
    bool columnsDirty_ = true;
    bool settingsDirty_ = true;
    bool showingRow_ = false;
};

}  // namespace quorvel::qt
