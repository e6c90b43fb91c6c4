// The grid's column model: what each column shows and how, with no drawing
// in it, so that every host's grid view can sit on the same model.
//
// A layout is either defined (columns added and removed one by one, as the
// control's column lists do) or automatic (built from the fields of the
// bound recordset, one column per field). Clearing the layout makes it
// automatic; adding or removing a column makes it defined again.
//
// A new column is visible, shows no field, has no heading and no format, is
// aligned by its values' type (3, general) and is as wide as the width that
// the collection's owner gives for new columns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/grid.h"

namespace quorvel::host {

class GridColumns;

class GridColumn final : public Column {
public:
    explicit GridColumn(float width);

    VBool visible() const override { return visible_; }
    void setVisible(VBool v) override;
    std::string dataField() const override { return dataField_; }
    void setDataField(const std::string& v) override;
    std::string caption() const override { return caption_; }
    void setCaption(const std::string& v) override;
    float width() const override { return width_; }
    void setWidth(float v) override;
    std::string numberFormat() const override { return numberFormat_; }
    void setNumberFormat(const std::string& v) override;
    std::int16_t alignment() const override { return alignment_; }
    void setAlignment(std::int16_t v) override;

private:
    friend class GridColumns;
    void changed();

    // The collection that shows this column; none once it was removed, so a
    // column that the program still holds changes nothing on screen.
    GridColumns* owner_ = nullptr;
    VBool visible_ = kTrue;
    std::string dataField_;
    std::string caption_;
    float width_;
    std::string numberFormat_;
    std::int16_t alignment_ = 3;
};

class GridColumns final : public Columns {
public:
    // newColumnWidth is asked at every addition, so that a later DefColWidth
    // counts for later columns.
    explicit GridColumns(std::function<float()> newColumnWidth);
    ~GridColumns() override;
    GridColumns(const GridColumns&) = delete;
    GridColumns& operator=(const GridColumns&) = delete;

    std::int32_t count() const override { return static_cast<std::int32_t>(columns_.size()); }
    std::shared_ptr<Column> add(std::int32_t index) override;
    void remove(std::int32_t index) override;
    std::shared_ptr<Column> item(std::int32_t index) const override;
    // Names are matched against the data fields first, then the captions,
    // without regard to case.
    std::shared_ptr<Column> item(const Variant& index) const override;

    std::shared_ptr<GridColumn> column(std::int32_t index) const;

    // The owner that gave the width for new columns may end before the
    // collection does; it then leaves a fixed width behind.
    void setNewColumnWidth(std::function<float()> newColumnWidth) {
        newColumnWidth_ = std::move(newColumnWidth);
    }

    bool automatic() const { return automatic_; }
    // Drops every column; the layout is automatic from now on.
    void clearLayout();
    // An automatic layout of one column per field name, captioned with the
    // name. Does nothing to a defined layout.
    void buildAutomatic(const std::vector<std::string>& fieldNames);

    // The sum of the widths of the visible columns, in twips.
    float visibleWidth() const;

    // Counts every change of the columns or of one of them; a view redraws
    // when it moves. The listener runs after each change.
    std::uint64_t revision() const { return revision_; }
    void setChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

private:
    friend class GridColumn;
    void changed();
    void dropAll();

    std::function<float()> newColumnWidth_;
    std::vector<std::shared_ptr<GridColumn>> columns_;
    bool automatic_ = false;
    std::uint64_t revision_ = 0;
    std::function<void()> listener_;
};

}  // namespace quorvel::host
