// The drop-down button's picture: an up and a down arrow, black on a
// transparent ground, as a GIF image.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/font.h"

namespace quorvel {

// The encoded image: 13 by 22 pixels, 111 bytes of GIF89a.
std::span<const std::uint8_t> dropDownArrowGif();

// A new picture object holding those bytes, for the button to show.
std::shared_ptr<Picture> dropDownArrowPicture();

}  // namespace quorvel
