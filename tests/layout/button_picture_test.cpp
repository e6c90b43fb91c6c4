// The drop-down button's arrows, decoded by a real GIF decoder.
#include <gif_lib.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/button_picture.h"

namespace quorvel {
namespace {

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(wanted), r->bytes.size() - r->at);
    std::memcpy(out, r->bytes.data() + r->at, n);
    r->at += n;
    return static_cast<int>(n);
}

// Black ('#') where a triangle is, transparent ('.') everywhere else.
std::vector<std::string> expectedRows() {
    std::vector<std::string> rows(22, std::string(13, '.'));
    const int upWidths[] = {1, 3, 5, 7};
    for (int i = 0; i < 4; ++i) {
        rows[6 + i].replace(5 - upWidths[i] / 2, upWidths[i], upWidths[i], '#');
        rows[12 + i].replace(5 - upWidths[3 - i] / 2, upWidths[3 - i], upWidths[3 - i], '#');
    }
    return rows;
}

TEST(ButtonPicture, DecodesToTwoBlackArrowsOnATransparentGround) {
    const auto bytes = dropDownArrowGif();
    ASSERT_EQ(bytes.size(), 111u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");

    Reader reader{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);

    EXPECT_EQ(gif->SWidth, 13);
    EXPECT_EQ(gif->SHeight, 22);
    ASSERT_EQ(gif->ImageCount, 1);
    const SavedImage& image = gif->SavedImages[0];
    EXPECT_EQ(image.ImageDesc.Width, 13);
    EXPECT_EQ(image.ImageDesc.Height, 22);
    EXPECT_EQ(image.ImageDesc.Interlace, false);
    EXPECT_EQ(image.ImageDesc.ColorMap, nullptr);

    ASSERT_NE(gif->SColorMap, nullptr);
    ASSERT_EQ(gif->SColorMap->ColorCount, 16);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE("palette entry " + std::to_string(i));
        const GifColorType c = gif->SColorMap->Colors[i];
        const int level = i == 1 ? 255 : 0;
        EXPECT_EQ(c.Red, level);
        EXPECT_EQ(c.Green, level);
        EXPECT_EQ(c.Blue, level);
    }

    GraphicsControlBlock gcb{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 0, &gcb), GIF_OK);
    EXPECT_EQ(gcb.TransparentColor, 1);

    // Every pixel is entry 0 or entry 1, nothing else.
    std::vector<std::string> rows(22, std::string(13, '?'));
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 13; ++x) {
            const GifByteType p = image.RasterBits[y * 13 + x];
            rows[y][x] = p == 0 ? '#' : p == 1 ? '.' : '?';
        }
    EXPECT_EQ(rows, expectedRows());

    DGifCloseFile(gif, &error);
    // The decoder read the whole file up to the trailer, and nothing is left.
    EXPECT_EQ(reader.at, bytes.size());
}

}  // namespace
}  // namespace quorvel
