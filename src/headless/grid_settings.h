// The grid's settings by dispatch identifier: the design-time configuration
// that the control hands its grid at creation, and the values behind the
// grid's typed properties. Like the column model, this carries no drawing,
// so every host's grid view reads the same store.
//
// Each identifier has a kind, and a write is converted to it as a native
// grid's property would convert it: a Boolean setting stores True for any
// number other than 0, a whole-number setting rounds (Failure 6 out of
// range), text settings take strings only and font settings font objects
// only (Failure 13 otherwise). An identifier of no kind is Failure 438.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/font.h"
#include "platform/variant.h"

namespace quorvel::headless {

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

class GridSettings {
public:
    enum class Kind { Boolean, Integer, Long, Single, Text, FontObject, Opaque };

    // Every known setting at a fresh grid's value; the two fonts are distinct
    // new objects.
    GridSettings();

    bool known(std::int32_t dispid) const { return values_.count(dispid) > 0; }
    // Failure 438 for an unknown identifier.
    Kind kind(std::int32_t dispid) const;
    const Variant& get(std::int32_t dispid) const;
    void set(std::int32_t dispid, const Variant& value);

    std::shared_ptr<Font> font(std::int32_t dispid) const;
    VBool boolean(std::int32_t dispid) const { return get(dispid).asBoolean(); }

    // Runs after every write, with the identifier written.
    void setChangeListener(std::function<void(std::int32_t)> listener) {
        listener_ = std::move(listener);
    }

private:
    struct Entry {
        Kind kind;
        Variant value;
    };
    void define(std::int32_t dispid, Kind kind, Variant value);

    std::map<std::int32_t, Entry> values_;
    std::function<void(std::int32_t)> listener_;
};

}  // namespace quorvel::headless
