// The arrows are drawn once, here, as a finished GIF89a file rather than at
// run time: the button only needs the bytes, and every host's picture
// object can decode them.
//
// The image: 13 columns by 22 rows, palette entry 1 (white) transparent so
// only the black pixels show. Two solid triangles centred on column 5, one
// pointing up in rows 6 to 9 (widths 1, 3, 5, 7), one pointing down in rows
// 12 to 15 (widths 7, 5, 3, 1):
//
//     row  0- 5  .............
//     row  6     .....#.......
//     row  7     ....###......
//     row  8     ...#####.....
//     row  9     ..#######....
//     row 10-11  .............
//     row 12     ..#######....
//     row 13     ...#####.....
//     row 14     ....###......
//     row 15     .....#.......
//     row 16-21  .............
#include "layout/button_picture.h"

#include <iterator>
#include <vector>

namespace quorvel {

namespace {

// clang-format off
constexpr std::uint8_t kArrowGif[] = {
    // Header.
    'G', 'I', 'F', '8', '9', 'a',
    // Logical screen: 13 x 22; a global colour table of 16 entries (size
    // field 3), 8 bits per primary; background entry 0; square pixels.
    0x0D, 0x00, 0x16, 0x00, 0xF3, 0x00, 0x00,
    // Global colour table: entry 0 black, entry 1 white, 2 to 15 black.
    0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // Graphic control extension: no disposal, no delay, entry 1 transparent.
    0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00,
    // Image descriptor: at 0,0, 13 x 22, no local table, not interlaced.
    0x2C, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x16, 0x00, 0x00,
    // Image data: LZW minimum code size 4, then one sub-block of 28 bytes.
    // The codes (5 bits, 6 from the 17th on) are a clear code, the pixels in
    // rows from the top, longest known run first, and the end code.
    0x04, 0x1C,
    0x30, 0xC8, 0x49, 0xAB, 0xBD, 0x38, 0xEB, 0xCD, 0x2B, 0xD8, 0x40, 0x98, 0x85, 0xE4,
    0x45, 0x9E, 0x5D, 0xEA, 0x9D, 0xA2, 0xC5, 0x8E, 0xED, 0xA8, 0xCE, 0x74, 0x6D, 0x47,
    // Block terminator, then the trailer.
    0x00, 0x3B,
};
// clang-format on
static_assert(sizeof(kArrowGif) == 111);

}  // namespace

std::span<const std::uint8_t> dropDownArrowGif() { return kArrowGif; }

std::shared_ptr<Picture> dropDownArrowPicture() {
    return std::make_shared<Picture>("gif",
                                     std::vector<std::uint8_t>(std::begin(kArrowGif), std::end(kArrowGif)));
}

}  // namespace quorvel
