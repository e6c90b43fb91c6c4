// Persistence keeps everything: controls customised at random (fixed seeds)
// with any Unicode, long texts and extreme numbers are saved, loaded on
// another host from the document text, and saved again; the two documents
// are the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "headless/json_property_bag.h"
#include "platform/text.h"
#include "platform/failure.h"
#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

using headless::JsonPropertyBag;

class RandomControl {
public:
    explicit RandomControl(std::uint32_t seed) : rng_(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool coin() { return pick(2) == 1; }

    // Text from the awkward corners: quotes, backslashes, control
    // characters, combining marks, astral characters, right-to-left text,
    // the last code points of each plane; now and then longer than 65 536
    // UTF-16 units, past any 16-bit length.
    std::string text() {
        static const char32_t kAwkward[] = {
            U'"',          U'\\',         U'\n',         U'\r',         U'\t',         U'\b',
            U'\f',         U'\x01',       U'\x1F',       U'\x7F',       U'/',          U';',
            U'{',          U'}',          U'\u00E9',     U'\u0301',     U'\u0308',     U'\u200D',
            U'\u202E',     U'\u05D0',     U'\u0645',     U'\u4E2D',     U'\uFEFF',     U'\uFFFD',
            U'\uFFFF',     U'\uE000',     U'\U0001F600', U'\U0001F468', U'\U0001D11E', U'\U00010000',
            U'\U0010FFFF', U'\U0002A6D6', U'\u0000'};
        const bool isLong = pick(150) == 0;
        longTexts_ += isLong ? 1 : 0;
        std::size_t length =
            isLong ? 66000 + static_cast<std::size_t>(pick(1000)) : static_cast<std::size_t>(pick(12));
        std::string out;
        for (std::size_t i = 0; i < length; ++i) {
            int kind = pick(4);
            char32_t c = kind == 0   ? static_cast<char32_t>(U'a' + pick(26))
                         : kind == 1 ? kAwkward[pick(static_cast<int>(std::size(kAwkward)))]
                         : kind == 2 ? static_cast<char32_t>(0x20 + pick(0xD7FF - 0x20))
                                     : static_cast<char32_t>(0x10000 + pick(0x100000));
            if (c == 0) c = U' ';  // the host's strings end at no NUL here
            appendUtf8(out, c);
        }
        return out;
    }

    std::int32_t longValue() {
        static const std::int32_t kExtremes[] = {std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max(),
                                                 -1,
                                                 0,
                                                 1,
                                                 2055,
                                                 32767,
                                                 -32768,
                                                 65536};
        return coin() ? kExtremes[pick(static_cast<int>(std::size(kExtremes)))]
                      : static_cast<std::int32_t>(rng_());
    }

    std::int16_t integer() {
        static const std::int16_t kExtremes[] = {std::numeric_limits<std::int16_t>::min(),
                                                 std::numeric_limits<std::int16_t>::max(), -1, 0, 1};
        return coin() ? kExtremes[pick(static_cast<int>(std::size(kExtremes)))]
                      : static_cast<std::int16_t>(rng_());
    }

    float single() {
        static const float kExtremes[] = {std::numeric_limits<float>::max(),
                                          -std::numeric_limits<float>::max(),
                                          std::numeric_limits<float>::min(),
                                          -std::numeric_limits<float>::min(),
                                          std::numeric_limits<float>::denorm_min(),
                                          -0.0f,
                                          0.1f,
                                          1e-38f,
                                          16777217.0f,
                                          1.0f / 3.0f};
        if (coin()) return kExtremes[pick(static_cast<int>(std::size(kExtremes)))];
        auto bits = static_cast<std::uint32_t>(rng_());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return std::isfinite(f) ? f : 0.5f;
    }

    double real() {
        static const double kExtremes[] = {std::numeric_limits<double>::max(),
                                           -std::numeric_limits<double>::max(),
                                           std::numeric_limits<double>::min(),
                                           std::numeric_limits<double>::denorm_min(),
                                           -std::numeric_limits<double>::denorm_min(),
                                           -0.0,
                                           0.1,
                                           1e308,
                                           9007199254740993.0,
                                           2.5};
        if (coin()) return kExtremes[pick(static_cast<int>(std::size(kExtremes)))];
        std::uint64_t bits = (static_cast<std::uint64_t>(rng_()) << 32) | rng_();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return std::isfinite(d) ? d : -1.25;
    }

    Variant variant() {
        switch (pick(7)) {
            case 0: return Variant(text());
            case 1: return Variant::integer(integer());
            case 2: return Variant::longValue(longValue());
            case 3: return Variant(single());
            case 4: return Variant(real());
            case 5: return Variant::null();
            default: return Variant();
        }
    }

    VBool boolean() { return coin() ? kTrue : kFalse; }
    Color colour() {
        return coin() ? static_cast<Color>(rng_() & 0xFFFFFF) : 0x80000000u + static_cast<Color>(pick(25));
    }

    // Sets a random half of the properties, each through its own setter.
    // A value that a setter refuses (a failure by design, 380 say) is
    // simply not taken.
    void customise(Quorvel2000& c, const std::string& folder) {
        const std::function<void()> steps[] = {
            [&] { c.setBackColor(colour()); },
            [&] { c.setForeColor(colour()); },
            [&] { c.setListForeColor(colour()); },
            [&] { c.setListBackColor(colour()); },
            [&] { c.setColsCaption(text()); },
            [&] { c.setColsField(text()); },
            [&] { c.setColsFormat(text()); },
            [&] { c.setColsSize(text()); },
            [&] { c.setColsAlignment(text()); },
            [&] { c.setBoundText(text()); },
            [&] { c.setText(text()); },
            [&] { c.setLocked(boolean()); },
            [&] { c.setBoundField(variant()); },
            [&] { c.setListSearchField(variant()); },
            [&] { c.setDropDownAuto(boolean()); },
            [&] { c.setOnListOnly(boolean()); },
            [&] { c.setBringToFront(boolean()); },
            [&] { c.setFastMode(boolean()); },
            [&] { c.setSearchDisable(boolean()); },
            [&] { c.setListHeight(longValue()); },
            [&] { c.setMarqueeStyle(pick(7)); },
            [&] { c.setScrollBars(pick(4)); },
            [&] { c.setDefColWidth(single()); },
            [&] { c.setCurrentX(single()); },
            [&] { c.setCurrentY(single()); },
            [&] { c.setAutoRedraw(boolean()); },
            [&] { c.setEnabled(boolean()); },
            [&] { c.setMousePointer(static_cast<std::int16_t>(pick(16))); },
            // A file that is not there: the configuration fails silently,
            // whatever the record source says. (A name longer than the
            // system allows is a different failure, 3051, with a message.)
            [&] { c.setListDataBaseName(folder + "/missing-" + std::to_string(pick(1000)) + ".db"); },
            [&] { c.setListRecordSource(text()); },
            [&] { c.setConnect(text()); },
            [&] { c.setDefaultCursorType(integer()); },
            [&] { c.setDefaultType(integer()); },
            [&] { c.setOptions(integer()); },
            [&] { c.setListRecordsetType(static_cast<std::int16_t>(pick(3))); },
        };
        for (const auto& step : steps) {
            if (!coin()) continue;
            try {
                step();
            } catch (const Failure&) {}
        }
    }

    int longTexts() const { return longTexts_; }

private:
    std::mt19937 rng_;
    int longTexts_ = 0;
};

class PersistenceRoundTrip : public ControlTest {};

TEST_F(PersistenceRoundTrip, SaveLoadSaveOfRandomControlsGivesTheSameDocument) {
    // Many small controls, and a few texts past 65 536 units among them: the
    // long ones cost the time, the many find the odd corners.
    int longTexts = 0;
    for (std::uint32_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomControl random(seed);
        headless::HeadlessSite firstSite;
        Quorvel2000 first(firstSite);
        first.InitProperties();
        random.customise(first, dir.path().string());
        JsonPropertyBag saved;
        first.WriteProperties(saved);
        const std::string document = saved.dump();

        headless::HeadlessSite secondSite;
        Quorvel2000 second(secondSite);
        JsonPropertyBag reread = JsonPropertyBag::parse(document, "saved");
        second.ReadProperties(reread);
        JsonPropertyBag savedAgain;
        second.WriteProperties(savedAgain);
        const std::string again = savedAgain.dump();
        ASSERT_EQ(again, document);
        EXPECT_EQ(secondSite.log().find("msgbox"), std::string::npos) << secondSite.log().substr(0, 500);
        EXPECT_EQ(second.BoundText(), first.BoundText());
        EXPECT_EQ(second.Text(), first.Text());
        EXPECT_EQ(second.ListHeight(), first.ListHeight());
        longTexts += random.longTexts();
    }
    EXPECT_GE(longTexts, 3) << "the seeds made too few long texts to mean anything";
}

}  // namespace
}  // namespace quorvel::testing
