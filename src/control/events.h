// The control's outgoing events, with the dispatch identifiers by which the
// host knows them. Every argument is passed by reference.
#pragma once

#include "platform/host.h"

namespace quorvel::events {

inline constexpr EventDescription Drop{1, "Drop"};
inline constexpr EventDescription Click{2, "Click"};
inline constexpr EventDescription DblClick{3, "DblClick"};
inline constexpr EventDescription BeenChosen{4, "BeenChosen"};
inline constexpr EventDescription MouseDown{5, "MouseDown", {"Button", "Shift", "X", "Y"}, 4};
inline constexpr EventDescription MouseMove{6, "MouseMove", {"Button", "Shift", "X", "Y"}, 4};
inline constexpr EventDescription MouseUp{7, "MouseUp", {"Button", "Shift", "X", "Y"}, 4};
inline constexpr EventDescription KeyDown{8, "KeyDown", {"KeyCode", "Shift"}, 2};
inline constexpr EventDescription KeyPress{9, "KeyPress", {"KeyAscii"}, 1};
inline constexpr EventDescription KeyUp{10, "KeyUp", {"KeyCode", "Shift"}, 2};
inline constexpr EventDescription Change{11, "Change"};
inline constexpr EventDescription Error{12, "Error", {"DataErr", "Response"}, 2};
inline constexpr EventDescription ListValidate{13, "ListValidate", {"Action", "Save"}, 2};

inline constexpr const EventDescription* kAll[] = {
    &Drop,    &Click,    &DblClick, &BeenChosen, &MouseDown, &MouseMove,   &MouseUp,
    &KeyDown, &KeyPress, &KeyUp,    &Change,     &Error,     &ListValidate};

}  // namespace quorvel::events
