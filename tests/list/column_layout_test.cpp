// The grid's columns as the five column lists build them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/quorvel2000.h"
#include "support/control_fixture.h"

namespace quorvel {
namespace {

class Columns : public testing::ControlTest {
protected:
    std::shared_ptr<quorvel::Columns> columns() { return c.dbGrid1().columns(); }

    std::vector<std::string> fields() {
        std::vector<std::string> out;
        for (std::int32_t i = 0; i < columns()->count(); ++i) {
            auto column = columns()->item(i);
            out.push_back(column->visible() == kTrue ? column->dataField()
                                                     : "(hidden) " + column->dataField());
        }
        return out;
    }
    template <class Get>
    auto each(Get get) {
        std::vector<decltype(get(*columns()->item(0)))> out;
        for (std::int32_t i = 0; i < columns()->count(); ++i) out.push_back(get(*columns()->item(i)));
        return out;
    }
    std::vector<float> widths() {
        return each([](Column& column) { return column.width(); });
    }
    std::vector<std::string> captions() {
        return each([](Column& column) { return column.caption(); });
    }

    Quorvel2000& c = newControl();
};

using Names = std::vector<std::string>;

TEST_F(Columns, TheFieldListMakesOneVisibleColumnPerItem) {
    struct Case {
        const char* what;
        const char* list;
        Names expected;
    };
    const Case cases[] = {
        {"items trimmed", "Code; Name ;City", {"Code", "Name", "City"}},
        {"leading separator", ";Code;Name", {"Code", "Name"}},
        {"trailing separator", "Code;Name;", {"Code", "Name"}},
        {"an empty item is a column without a field", "Code;;Name", {"Code", "", "Name"}},
        {"spaces around the whole list", "  Code;Name  ", {"Code", "Name"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        // A column the host hid is rebuilt visible.
        columns()->item(0)->setVisible(kFalse);
        c.setColsField(k.list);
        EXPECT_EQ(fields(), k.expected);
        EXPECT_EQ(c.ColsField(), k.list);  // kept as given
    }
}

TEST_F(Columns, NumericListsReadAsWholePositiveNumbers) {
    c.setColsField("A;B;C");
    c.setColsSize("1500;abc;-800.7");
    EXPECT_EQ(widths(), (std::vector<float>{1500, 0, 800}));
    c.setColsSize("1500;;900");
    EXPECT_EQ(widths(), (std::vector<float>{1500, 0, 900}));

    c.setColsAlignment("2;7;-1");
    EXPECT_EQ(each([](Column& column) { return column.alignment(); }), (std::vector<std::int16_t>{2, 3, 1}));
}

TEST_F(Columns, ShortAndLongListsAndQuotes) {
    c.setColsField("A;B;C");
    const float fresh = columns()->item(2)->width();
    c.setColsCaption("One;\"Two\";Three;Four");
    EXPECT_EQ(captions(), (Names{"One", "'Two'", "Three"}));
    c.setColsCaption("Only");
    EXPECT_EQ(captions(), (Names{"Only", "", ""}));
    c.setColsSize("100");
    EXPECT_EQ(widths(), (std::vector<float>{100, fresh, fresh}));
    c.setColsFormat("0.00;\"x\"");
    EXPECT_EQ(each([](Column& column) { return column.numberFormat(); }), (Names{"0.00", "'x'", ""}));
    // Every list is applied again at every rebuild, in its own right.
    EXPECT_EQ(captions(), (Names{"Only", "", ""}));
    EXPECT_EQ(each([](Column& column) { return column.alignment(); }), (std::vector<std::int16_t>{3, 3, 3}));
}

TEST_F(Columns, EverySetterNotifiesThenRebuildsFromScratch) {
    c.setColsField("A;B");
    auto before = columns()->item(0);
    site.clearLog();
    c.setColsCaption("x");
    c.setColsCaption("x");
    c.setColsSize("1");
    c.setColsFormat("f");
    c.setColsAlignment("1");
    c.setColsField("A;B");
    EXPECT_EQ(site.log(),
              "notify ColsCaption|notify ColsCaption|notify ColsSize|notify ColsFormat|"
              "notify ColsAlignment|notify ColsField");
    EXPECT_NE(columns()->item(0), before);
    EXPECT_EQ(columns()->count(), 2);
}

TEST_F(Columns, NoFieldListLeavesTheColumnsToTheGrid) {
    for (const char* list : {"", ";", "   "}) {
        SCOPED_TRACE(std::string("field list '") + list + "'");
        c.setColsField("A;B");
        c.setColsCaption("One;Two");
        c.setColsField(list);
        // The automatic layout of a grid without a recordset has no columns,
        // and the other lists have nothing to apply to.
        EXPECT_TRUE(site.grid("DBGrid1").columnModel().automatic());
        EXPECT_EQ(columns()->count(), 0);
        c.setColsCaption("One;Two");
        EXPECT_EQ(columns()->count(), 0);
    }
}

TEST_F(Columns, NoFieldListShowsEveryFieldOfTheRecordset) {
    Quorvel2000& list =
        configuredControl(database(testing::peopleSql()), "People", Variant("Code"), Variant("Name"));
    list.setColsField("Code");
    list.setColsCaption("One;Two");
    list.setColsSize("100;100");
    list.setColsField("");
    auto all = list.dbGrid1().columns();
    ASSERT_EQ(all->count(), 6);
    // The grid's own captions and widths; the other lists are not applied.
    EXPECT_EQ(all->item(0)->caption(), "Code");
    EXPECT_EQ(all->item(1)->caption(), "Name");
    EXPECT_NE(all->item(0)->width(), 100);
}

}  // namespace
}  // namespace quorvel
