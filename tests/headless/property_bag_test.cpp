#include <gtest/gtest.h>

#include "headless/property_bag.h"

namespace quorvel::headless {
namespace {

TEST(MemoryPropertyBag, StoresOnlyWhatDiffersFromTheDefaultAndReadsTheDefaultOtherwise) {
    MemoryPropertyBag bag;
    bag.writeProperty("ColsField", Variant("Code;Name"), Variant(""));
    bag.writeProperty("DropDown", Variant::boolean(false), Variant::boolean(false));
    // Same number, other type: not the default.
    bag.writeProperty("ListHeight", Variant::longValue(0), Variant::integer(0));
    EXPECT_EQ(bag.size(), 2u);
    EXPECT_FALSE(bag.contains("DropDown"));
    EXPECT_EQ(bag.readProperty("ColsField", Variant("")), Variant("Code;Name"));
    EXPECT_EQ(bag.readProperty("Never", Variant::integer(7)), Variant::integer(7));
    // Saving the default again drops the earlier value.
    bag.writeProperty("ColsField", Variant(""), Variant(""));
    EXPECT_FALSE(bag.contains("ColsField"));
    EXPECT_EQ(bag.readProperty("ColsField", Variant("x")), Variant("x"));
}

}  // namespace
}  // namespace quorvel::headless
