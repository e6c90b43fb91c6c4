// The data-bound grid that shows the list: its columns collection, its
// pass-through settings and the notifications it sends back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/children.h"
#include "platform/data.h"
#include "platform/font.h"
#include "platform/variant.h"

namespace quorvel {

// The grid's settings by dispatch identifier, which is also the identifier
// under which a grid stores them. The control configures its grid through
// these; every host's grid answers to the same numbers.
namespace grid_dispid {
inline constexpr std::int32_t kAllowDelete = 1;
inline constexpr std::int32_t kAllowAddNew = 2;
inline constexpr std::int32_t kAllowUpdate = 4;
inline constexpr std::int32_t kCol = 6;
inline constexpr std::int32_t kColumnHeaders = 7;
inline constexpr std::int32_t kColumns = 8;
inline constexpr std::int32_t kDefColWidth = 10;
inline constexpr std::int32_t kHeadFont = 11;
inline constexpr std::int32_t kHeadLines = 12;
inline constexpr std::int32_t kRowDividerStyle = 15;
inline constexpr std::int32_t kRowHeight = 16;
inline constexpr std::int32_t kSplits = 35;
inline constexpr std::int32_t kDataMode = 37;
inline constexpr std::int32_t kAllowArrows = 47;
inline constexpr std::int32_t kTabAcrossSplits = 49;
inline constexpr std::int32_t kTabAction = 50;
inline constexpr std::int32_t kWrapCellPointer = 51;
inline constexpr std::int32_t kMarqueeUnique = 74;
inline constexpr std::int32_t kBackColor = -501;
inline constexpr std::int32_t kBorderStyle = -504;
inline constexpr std::int32_t kFont = -512;
inline constexpr std::int32_t kForeColor = -513;
inline constexpr std::int32_t kEnabled = -514;
inline constexpr std::int32_t kCaption = -518;
inline constexpr std::int32_t kAppearance = -520;
// ScrollBars and MarqueeStyle belong to the grid's split; the grid keeps the
// split's values under identifiers of its own, outside the range above.
inline constexpr std::int32_t kScrollBars = 0x10001;
inline constexpr std::int32_t kMarqueeStyle = 0x10002;
}  // namespace grid_dispid

// RowHeight's value for "as tall as the font makes a row".
inline constexpr std::int32_t kRowHeightFromFont = -2147483647;

class Column : public Object {
public:
    virtual VBool visible() const = 0;
    virtual void setVisible(VBool v) = 0;
    virtual std::string dataField() const = 0;
    virtual void setDataField(const std::string& v) = 0;
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& v) = 0;
    // Twips; Failure 380 for a negative width.
    virtual float width() const = 0;
    virtual void setWidth(float v) = 0;
    virtual std::string numberFormat() const = 0;
    virtual void setNumberFormat(const std::string& v) = 0;
    // 0 left, 1 right, 2 centre, 3 general; Failure 380 otherwise.
    virtual std::int16_t alignment() const = 0;
    virtual void setAlignment(std::int16_t v) = 0;
};

class Columns : public Object {
public:
    virtual std::int32_t count() const = 0;
    // Inserts a new column at the index (0..count); Failure 9 otherwise.
    virtual std::shared_ptr<Column> add(std::int32_t index) = 0;
    // Failure 9 when out of range.
    virtual void remove(std::int32_t index) = 0;
    // Failure 9 when out of range.
    virtual std::shared_ptr<Column> item(std::int32_t index) const = 0;
    // A number or a column's data field or caption; Failure 9 when none.
    virtual std::shared_ptr<Column> item(const Variant& index) const = 0;
};

class GridEvents {
public:
    virtual ~GridEvents() = default;
    // Setting keyCode to 0 stops the grid's own handling of the key.
    virtual void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) { (void)keyCode, (void)shift; }
    virtual void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
};

class Grid : public ChildWindow {
public:
    virtual std::shared_ptr<Columns> columns() const = 0;
    // The control's `Columns` property: the index passed on as received;
    // no index gives the collection itself.
    virtual ObjectRef columnsItem(const std::optional<Variant>& index) const = 0;

    virtual float defColWidth() const = 0;
    virtual void setDefColWidth(float v) = 0;
    virtual std::shared_ptr<Font> font() const = 0;
    virtual void setFont(std::shared_ptr<Font> v) = 0;
    virtual std::shared_ptr<Font> headFont() const = 0;
    virtual void setHeadFont(std::shared_ptr<Font> v) = 0;
    virtual Color foreColor() const = 0;
    virtual void setForeColor(Color v) = 0;
    virtual Color backColor() const = 0;
    virtual void setBackColor(Color v) = 0;
    // The grid's own enumerations, passed through unchanged.
    virtual std::int32_t scrollBars() const = 0;
    virtual void setScrollBars(std::int32_t v) = 0;
    virtual std::int32_t marqueeStyle() const = 0;
    virtual void setMarqueeStyle(std::int32_t v) = 0;
    // The current column (dispatch identifier 6), 0 the first.
    virtual std::int16_t col() const = 0;
    virtual void setCol(std::int16_t v) = 0;

    // Any setting by the grid's dispatch identifier: the design-time
    // settings that the control gives the grid at creation, and what the
    // typed accessors above reach too. Failure 438 for an unknown one.
    virtual Variant setting(std::int32_t dispid) const = 0;
    virtual void setSetting(std::int32_t dispid, const Variant& value) = 0;

    // Drops the defined column layout; then rebinding builds one column per
    // field of the data source's recordset, DefColWidth wide.
    virtual void clearFields() = 0;
    virtual void rebind() = 0;

    virtual void setDataSource(DataControl* source) = 0;
};

}  // namespace quorvel
