// The Qt grid: a QTableView over the data engine's recordset, on the host
// core's grid model (host/grid_model.h: settings, columns, binding, keys), so
// both hosts' grids show and move alike.
//
// The view's model reads rows lazily: its row count is the recordset's
// record count, and a cell is read from the recordset (valueAt) only when
// the view asks for it to draw a row, so a list of a million records opens
// without reading them. The view's current row is the recordset's current
// record, both ways.
//
// Keys: the key-down notification first; when the handler leaves KeyCode
// nonzero the model's own handling follows. The mouse: the
// notification first, then a press on a row makes that row current.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/grid_model.h"
#include "platform/grid.h"
#include "platform/locale.h"
#include "qt/children.h"

namespace quorvel::qt {

class QtGrid;

// The cell's text as the column's number format writes the value.
QString formatCell(const Variant& value, const std::string& numberFormat, const Locale& locale);

class RecordsetModel final : public QAbstractTableModel {
public:
    explicit RecordsetModel(QtGrid& grid);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Takes the binding's rows and the column model's columns afresh; while
    // the recordset still reads records, adds the rows it reads as they come.
    void reload();
    // The columns kept their number: only what they show changed.
    void columnsChanged();
    int columns() const { return columns_; }
    // How many cells were read since the last reset of the counter.
    std::int64_t cellsRead() const { return cellsRead_; }
    void resetCellsRead() { cellsRead_ = 0; }

    // Inserts the rows read since the last look; stops looking once the
    // recordset has read them all.
    void takeNewRows();

private:
    QtGrid& grid_;
    QTimer growing_;
    int rows_ = 0;
    int columns_ = 0;
    mutable std::int64_t cellsRead_ = 0;
};

class GridView;

class QtGrid final : public host::GridOn<QtChildWindow<Grid>> {
public:
    QtGrid(QtSite& site, QWidget* surface, std::string name, GridEvents& events);
    ~QtGrid() override;

    QTableView* view() const;
    RecordsetModel& model() { return *model_; }
    const Locale& locale() const;
    // Applies the columns and settings to the view now, rather than at the
    // next turn of the event loop.
    void syncView();
    void disconnectEvents() { events_ = nullptr; }
    // The mouse buttons whose press moves the view's row (all of them by
    // default; the left one only under the combo-box conventions).
    void setPressesMoveRow(Qt::MouseButtons buttons) { rowButtons_ = buttons; }
    Qt::MouseButtons pressesMoveRow() const { return rowButtons_; }
    GridEvents* events() const { return events_; }

    // The view's input: a page is the rows the viewport shows.
    void keyDown(QKeyEvent* event);
    // The user moved the view's current row.
    void viewRowChanged(int row);

private:
    void scheduleSync();
    void showCurrentRow();
    void applySettings();

    GridEvents* events_;
    std::unique_ptr<RecordsetModel> model_;
    bool syncScheduled_ = false;
    bool columnsDirty_ = true;
    bool settingsDirty_ = true;
    bool showingRow_ = false;
    // The grid's own keys are moving the row: the view scrolls only as far
    // as it must. Any other move (a find, a lookup) shows the row at the top.
    bool keyMoving_ = false;
    // The row the view showed last (-1 none): a step of one row from it
    // scrolls only as far as it must, as a key's step does.
    int shownRow_ = -1;
    Qt::MouseButtons rowButtons_ = Qt::AllButtons;
};

}  // namespace quorvel::qt
