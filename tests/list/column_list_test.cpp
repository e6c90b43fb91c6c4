// Reading the grid's column lists.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "list/column_list.h"

namespace quorvel {
namespace {

using Items = std::vector<std::string>;

TEST(ColumnList, ItemsBetweenSeparators) {
    struct Case {
        const char* what;
        const char* text;
        Items expected;
    };
    const Case cases[] = {
        {"items are trimmed", "Code; Name ;City", {"Code", "Name", "City"}},
        {"one leading separator is dropped", ";Code;Name", {"Code", "Name"}},
        {"one trailing separator adds nothing", "Code;Name;", {"Code", "Name"}},
        {"an empty piece in the middle is an item", "Code;;Name", {"Code", "", "Name"}},
        {"two trailing separators leave one empty item", "A;;", {"A", ""}},
        {"a second leading separator stays", ";;A", {"", "A"}},
        {"nothing", "", {}},
        {"a lone separator is nothing", ";", {}},
        {"two separators make one empty item", ";;", {""}},
        {"one item", "Code", {"Code"}},
        {"a blank item is empty", "A;   ;B", {"A", "", "B"}},
        {"only spaces are trimmed", "\tA ;B", {"\tA", "B"}},
        {"separators inside multibyte text", "Città;Größe", {"Città", "Größe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(columnListItems(c.text), c.expected);
    }
}

TEST(ColumnList, NumbersLoseTheirSignAndFraction) {
    EXPECT_EQ(columnListNumber(Variant(1500.0)), 1500.0);
    EXPECT_EQ(columnListNumber(Variant(-800.7)), 800.0);
    EXPECT_EQ(columnListNumber(Variant(799.99)), 799.0);
    // Val2 of a null item is the integer 0.
    EXPECT_EQ(columnListNumber(Variant(std::int16_t{0})), 0.0);
}

TEST(ColumnList, AlignmentAboveGeneralBecomesGeneral) {
    EXPECT_EQ(columnAlignmentCode(0), 0);
    EXPECT_EQ(columnAlignmentCode(2), 2);
    EXPECT_EQ(columnAlignmentCode(3), 3);
    EXPECT_EQ(columnAlignmentCode(7), 3);
    EXPECT_EQ(columnAlignmentCode(1e30), 3);
}

}  // namespace
}  // namespace quorvel
