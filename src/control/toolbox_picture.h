// The picture a designer shows for the control in its toolbox: a small
// combo box with its list dropped, 16 by 15 pixels, 24 bits a pixel, as
// the bytes of a BMP file (bottom-up rows, no palette, no compression).
#pragma once

#include <cstdint>
#include <span>

namespace quorvel {

inline constexpr int kToolboxPictureWidth = 16;
inline constexpr int kToolboxPictureHeight = 15;
inline constexpr int kToolboxPictureBitsPerPixel = 24;

// 54 bytes of headers and 15 rows of 48 bytes: 774 bytes in all.
std::span<const std::uint8_t> toolboxPictureBmp();

}  // namespace quorvel
