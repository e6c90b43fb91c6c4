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
#include "platform/grid.h"
#include "platform/variant.h"

namespace quorvel::host {

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
    void setChangeListener(std::function<void(std::int32_t)> listener) { listener_ = std::move(listener); }

private:
    struct Entry {
        Kind kind;
        Variant value;
    };
    void define(std::int32_t dispid, Kind kind, Variant value);

    std::map<std::int32_t, Entry> values_;
    std::function<void(std::int32_t)> listener_;
};

}  // namespace quorvel::host
