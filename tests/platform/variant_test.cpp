#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/font.h"
#include "platform/variant.h"

namespace quorvel {
namespace {

std::int32_t failureNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) { return e.number(); }
    return 0;
}

TEST(VariantValues, EmptyAndNullAreDistinctAndTypesAreKept) {
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_TRUE(Variant::null().isNull());
    EXPECT_FALSE(Variant() == Variant::null());
    EXPECT_EQ(Variant(std::int16_t{5}).type(), Variant::Type::Integer);
    EXPECT_EQ(Variant(5).type(), Variant::Type::Long);
    EXPECT_FALSE(Variant(std::int16_t{5}) == Variant(5));  // same number, other type
    EXPECT_EQ(Variant::boolean(true).asBoolean(), kTrue);
    EXPECT_EQ(Variant::booleanValue(1).asBoolean(), 1);  // a Boolean keeps what it is given
    EXPECT_EQ(Variant::date(2.5).asDate(), 2.5);
    EXPECT_EQ(failureNumberOf([] { Variant("x").asLong(); }), failure::kTypeMismatch);
}

TEST(VariantValues, ObjectsAreSharedByIdentity) {
    auto font = Font::make();
    Variant a(font), b(font), c(Font::make());
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    EXPECT_EQ(a.objectAs<Font>(), font);
    EXPECT_EQ(a.objectAs<Picture>(), nullptr);
}

TEST(WholeNumbers, RoundHalfToEvenAndReportOverflow) {
    EXPECT_EQ(roundToLong(2.5), 2);
    EXPECT_EQ(roundToLong(3.5), 4);
    EXPECT_EQ(roundToLong(-2.5), -2);
    EXPECT_EQ(roundToLong(1.5), 2);
    EXPECT_EQ(roundToLong(2.4999), 2);
    EXPECT_EQ(Variant(2.5f).toInteger(), 2);
    EXPECT_EQ(Variant::boolean(true).toLong(), -1);
    EXPECT_EQ(failureNumberOf([] { roundToInteger(40000); }), failure::kOverflow);
    EXPECT_EQ(failureNumberOf([] { roundToLong(1e10); }), failure::kOverflow);
    EXPECT_EQ(failureNumberOf([] { Variant::null().toLong(); }), failure::kInvalidUseOfNull);
    EXPECT_EQ(failureNumberOf([] { Variant("1").toLong(); }), failure::kTypeMismatch);
}

TEST(Fonts, AChangeIsSeenByEveryHolderAndCounted) {
    auto font = Font::make();
    auto holder = font;
    int heard = 0;
    font->setChangeListener([&] { ++heard; });
    holder->setSize(12);
    holder->setBold(true);
    EXPECT_EQ(font->size(), 12);
    EXPECT_TRUE(font->bold());
    EXPECT_EQ(font->revision(), 2u);
    EXPECT_EQ(heard, 2);
}

}  // namespace
}  // namespace quorvel
