#include "control/toolbox_picture.h"

#include <array>
#include <string_view>
#include <vector>

namespace quorvel {

namespace {

// Top row first. The ground colour is the toolbox's own: a designer that
// draws toolbox pictures transparently takes it from the lower-left pixel.
constexpr std::array<std::string_view, kToolboxPictureHeight> kArt = {
    "................", "KKKKKKKKKKKKKKKK", "KWWWWWWWWKFFFFFK", "KWTTTTTWWKFKKKFK", "KWWWWWWWWKFFKFFK",
    "KKKKKKKKKKKKKKKK", ".KWWWWWWWWWWWWK.", ".KWTTTWTTTTWWWK.", ".KHwwwHwwwwHHHK.", ".KWTTTTWTTTWWWK.",
    ".KWWWWWWWWWWWWK.", ".KWTTWTTTTTWWWK.", ".KWWWWWWWWWWWWK.", ".KKKKKKKKKKKKKK.", "................",
};

struct Rgb {
    std::uint8_t r, g, b;
};

Rgb colourOf(char c) {
    switch (c) {
        case 'K': return {0, 0, 0};        // frame
        case 'W': return {255, 255, 255};  // edit box and list
        case 'w': return {255, 255, 255};  // text on the chosen row
        case 'T': return {64, 64, 64};     // text
        case 'H': return {0, 0, 128};      // the chosen row
        case 'F': return {212, 208, 200};  // the button's face
        default: return {192, 192, 192};   // ground
    }
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::vector<std::uint8_t> encode() {
    constexpr std::uint32_t rowBytes = (kToolboxPictureWidth * 3 + 3) / 4 * 4;
    constexpr std::uint32_t pixelBytes = rowBytes * kToolboxPictureHeight;
    constexpr std::uint32_t headerBytes = 14 + 40;
    std::vector<std::uint8_t> out;
    out.reserve(headerBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, headerBytes + pixelBytes);
    put32(out, 0);
    put32(out, headerBytes);
    put32(out, 40);
    put32(out, kToolboxPictureWidth);
    put32(out, kToolboxPictureHeight);  // positive: bottom-up rows
    put16(out, 1);                      // planes
    put16(out, kToolboxPictureBitsPerPixel);
    put32(out, 0);  // no compression
    put32(out, pixelBytes);
    put32(out, 2835);  // 72 dots an inch
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = kToolboxPictureHeight - 1; y >= 0; --y) {
        for (char c : kArt[static_cast<std::size_t>(y)]) {
            Rgb p = colourOf(c);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (std::uint32_t pad = kToolboxPictureWidth * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    return out;
}

}  // namespace

std::span<const std::uint8_t> toolboxPictureBmp() {
    static const std::vector<std::uint8_t> bytes = encode();
    return bytes;
}

}  // namespace quorvel
