// Late-bound access to a control: members found by name or by dispatch
// identifier and called with tagged values, the way a form runner or a
// scripting host reaches the control. Every call lands on the control's
// typed API, so both paths behave alike; the shape of each member (kind,
// accessors, arguments, types) comes from the interface description.
//
// Failures of the path itself:
//   438  no member with that name or identifier, or an accessor the member
//        does not have (a let of a property that only takes an object, a
//        set of a property that only takes a value, a let of a method)
//   383  assigning a property that can only be read
//   450  the wrong number of arguments
//   13   a value that does not convert to the member's type
// and whatever the member itself fails with, unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "control/interface_description.h"
#include "control/quorvel2000.h"

namespace quorvel {

enum class InvokeKind {
    Method,       // a call; on a property it reads, as `x = c.Columns(2)` does
    PropertyGet,  // a read; on a method it calls, as hosts do for `x = c.Val2(v)`
    PropertyLet,  // assigns a value
    PropertySet,  // assigns an object reference
};

inline constexpr std::int32_t kFailureWrongArgumentCount = 450;

class ControlDispatch {
public:
    // The site supplies the locale of the conversions, asked afresh at
    // each call.
    ControlDispatch(Quorvel2000& control, ControlSite& site) : control_(control), site_(site) {}

    // Names are compared without regard to case; an empty name is the
    // default member, Text (identifier 0). Failure 438 for an unknown name.
    static std::int32_t idOfName(std::string_view name);

    // The arguments in the member's order, each by reference: a member that
    // takes its argument by reference sees (and may change) the caller's
    // variable. For let and set, the value to assign comes last.
    Variant invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> arguments = {});
    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> arguments = {});

    // Shorthands of invoke by name.
    Variant get(std::string_view name, std::span<Variant> arguments = {});
    void let(std::string_view name, Variant value);
    void set(std::string_view name, Variant object);
    Variant call(std::string_view name, std::span<Variant> arguments = {});

private:
    Quorvel2000& control_;
    ControlSite& site_;
};

}  // namespace quorvel
