#include "host/grid_settings.h"

#include "platform/failure.h"

namespace quorvel::host {

using namespace grid_dispid;

GridSettings::GridSettings() {
    define(kAllowDelete, Kind::Boolean, Variant::booleanValue(kFalse));
    define(kAllowAddNew, Kind::Boolean, Variant::booleanValue(kFalse));
    define(kAllowUpdate, Kind::Boolean, Variant::booleanValue(kTrue));
    define(kColumnHeaders, Kind::Boolean, Variant::booleanValue(kTrue));
    define(kDefColWidth, Kind::Single, Variant(0.0f));
    define(kHeadFont, Kind::FontObject, Variant(Font::make()));
    define(kHeadLines, Kind::Single, Variant(1.0f));
    define(kRowDividerStyle, Kind::Integer, Variant::integer(2));
    define(kRowHeight, Kind::Long, Variant::longValue(kRowHeightFromFont));
    define(kSplits, Kind::Opaque, Variant());
    define(kDataMode, Kind::Integer, Variant::integer(0));
    define(kAllowArrows, Kind::Boolean, Variant::booleanValue(kTrue));
    define(kTabAcrossSplits, Kind::Boolean, Variant::booleanValue(kFalse));
    define(kTabAction, Kind::Integer, Variant::integer(0));
    define(kWrapCellPointer, Kind::Boolean, Variant::booleanValue(kFalse));
    define(kMarqueeUnique, Kind::Boolean, Variant::booleanValue(kTrue));
    define(kBackColor, Kind::Long, Variant::longValue(kSystemWindowBackground));
    define(kBorderStyle, Kind::Integer, Variant::integer(1));
    define(kFont, Kind::FontObject, Variant(Font::make()));
    define(kForeColor, Kind::Long, Variant::longValue(kSystemWindowText));
    define(kEnabled, Kind::Boolean, Variant::booleanValue(kTrue));
    define(kCaption, Kind::Text, Variant(""));
    define(kAppearance, Kind::Integer, Variant::integer(1));
    define(kScrollBars, Kind::Long, Variant::longValue(4));
    define(kMarqueeStyle, Kind::Long, Variant::longValue(0));
}

void GridSettings::define(std::int32_t dispid, Kind kind, Variant value) {
    values_[dispid] = Entry{kind, std::move(value)};
}

GridSettings::Kind GridSettings::kind(std::int32_t dispid) const {
    auto it = values_.find(dispid);
    if (it == values_.end()) fail(failure::kMethodNotSupported);
    return it->second.kind;
}

const Variant& GridSettings::get(std::int32_t dispid) const {
    auto it = values_.find(dispid);
    if (it == values_.end()) fail(failure::kMethodNotSupported);
    return it->second.value;
}

std::shared_ptr<Font> GridSettings::font(std::int32_t dispid) const { return get(dispid).objectAs<Font>(); }

void GridSettings::set(std::int32_t dispid, const Variant& value) {
    auto it = values_.find(dispid);
    if (it == values_.end()) fail(failure::kMethodNotSupported);
    Entry& e = it->second;
    // Convert before storing, so a refused value leaves the old one.
    Variant stored;
    switch (e.kind) {
        case Kind::Boolean:
            if (!value.holdsNumber() && !value.isEmpty()) fail(failure::kTypeMismatch);
            stored = Variant::boolean(value.toDouble() != 0);
            break;
        case Kind::Integer: stored = Variant(value.toInteger()); break;
        case Kind::Long: stored = Variant(value.toLong()); break;
        case Kind::Single: stored = Variant(value.toSingle()); break;
        case Kind::Text:
            if (!value.isString()) fail(failure::kTypeMismatch);
            stored = value;
            break;
        case Kind::FontObject:
            if (!value.objectAs<Font>()) fail(failure::kTypeMismatch);
            stored = value;
            break;
        case Kind::Opaque: stored = value; break;
    }
    e.value = std::move(stored);
    if (listener_) listener_(dispid);
}

}  // namespace quorvel::host
