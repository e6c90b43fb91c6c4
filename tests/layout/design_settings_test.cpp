// The children as a newly created control has them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/quorvel2000.h"
#include "host/grid_settings.h"
#include "support/control_fixture.h"
#include "layout/button_picture.h"

namespace quorvel {
namespace {

struct Place {
    float left, top, width, height;
    VBool visible;
    std::int16_t tabIndex;
    bool operator==(const Place&) const = default;
};

void PrintTo(const Place& p, std::ostream* os) {
    *os << p.left << "," << p.top << " " << p.width << "x" << p.height << " visible " << p.visible << " tab "
        << p.tabIndex;
}

Place placeOf(const ChildWindow& w) {
    return {w.left(), w.top(), w.width(), w.height(), w.visible(), w.tabIndex()};
}

using DesignSettings = testing::ControlTest;

TEST_F(DesignSettings, ChildrenPlacesAndSettings) {
    Quorvel2000& made = bareControl();

    EXPECT_EQ(site.surface().width(), 2580);
    EXPECT_EQ(site.surface().height(), 285);
    EXPECT_EQ(placeOf(made.text2()), (Place{0, 0, 2415, 285, kTrue, 1}));
    EXPECT_EQ(placeOf(made.text1()), (Place{240, 0, 1815, 285, kFalse, 2}));
    EXPECT_EQ(placeOf(made.command1()), (Place{2400, 0, 180, 285, kTrue, 3}));
    EXPECT_EQ(placeOf(made.dbGrid1()), (Place{0, 360, 2655, 2055, kTrue, 0}));

    EXPECT_EQ(made.text2().borderStyle(), 1);
    EXPECT_EQ(made.text2().appearance(), 1);
    EXPECT_EQ(made.text2().alignment(), 0);
    EXPECT_EQ(made.text2().locked(), kFalse);
    EXPECT_EQ(made.text2().maxLength(), 0);

    EXPECT_EQ(made.command1().caption(), "");
    EXPECT_EQ(made.command1().style(), 1);
    ASSERT_NE(made.command1().picture(), nullptr);
    EXPECT_EQ(made.command1().picture()->format(), "gif");
    const auto gif = dropDownArrowGif();
    EXPECT_EQ(made.command1().picture()->bytes(), std::vector<std::uint8_t>(gif.begin(), gif.end()));

    DataControl& data = made.data1();
    EXPECT_EQ(data.caption(), "Data1");
    EXPECT_EQ(data.connect(), "Access 2000;");
    EXPECT_EQ(data.databaseName(), "");
    EXPECT_EQ(data.recordSource(), "");
    EXPECT_EQ(data.options(), 0);
    EXPECT_EQ(data.recordsetType(), 1);
    EXPECT_EQ(data.defaultType(), 2);
    EXPECT_EQ(data.defaultCursorType(), 0);

    // Creation lays nothing out and tells the host nothing.
    EXPECT_EQ(made.members().resizing, kFalse);
    EXPECT_EQ(made.members().closedWidth, 0);
    EXPECT_EQ(site.log(), "");
}

TEST_F(DesignSettings, TheGridOnlyShowsRecords) {
    Quorvel2000& made = bareControl();
    Grid& grid = made.dbGrid1();
    namespace id = grid_dispid;
    struct Expected {
        std::int32_t dispid;
        Variant value;
    };
    const Expected expected[] = {
        {id::kAllowDelete, Variant::booleanValue(kFalse)},
        {id::kAllowAddNew, Variant::booleanValue(kFalse)},
        {id::kAllowUpdate, Variant::booleanValue(kFalse)},
        {id::kColumnHeaders, Variant::booleanValue(kTrue)},
        {id::kDefColWidth, Variant(0.0f)},
        {id::kHeadLines, Variant(1.0f)},
        {id::kRowDividerStyle, Variant::integer(2)},
        {id::kRowHeight, Variant::longValue(-2147483647)},
        {id::kDataMode, Variant::integer(0)},
        {id::kAllowArrows, Variant::booleanValue(kTrue)},
        {id::kTabAcrossSplits, Variant::booleanValue(kFalse)},
        {id::kTabAction, Variant::integer(0)},
        {id::kWrapCellPointer, Variant::booleanValue(kFalse)},
        {id::kMarqueeUnique, Variant::booleanValue(kTrue)},
        {id::kBackColor, Variant::longValue(kSystemWindowBackground)},
        {id::kBorderStyle, Variant::integer(1)},
        {id::kForeColor, Variant::longValue(kSystemWindowText)},
        {id::kEnabled, Variant::booleanValue(kTrue)},
        {id::kCaption, Variant("")},
        {id::kAppearance, Variant::integer(1)},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE("dispatch id " + std::to_string(e.dispid));
        EXPECT_EQ(grid.setting(e.dispid), e.value);
    }
    EXPECT_EQ(grid.marqueeStyle(), 4);
    EXPECT_EQ(grid.scrollBars(), 4);

    const FontDescription font{"Sans Serif", 8.25f, 400, 0, false, false, false};
    ASSERT_NE(grid.headFont(), nullptr);
    ASSERT_NE(grid.font(), nullptr);
    EXPECT_EQ(grid.headFont()->description(), font);
    EXPECT_EQ(grid.font()->description(), font);
    EXPECT_NE(grid.font(), grid.headFont());

    auto columns = grid.columns();
    ASSERT_EQ(columns->count(), 2);
    for (std::int32_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("column " + std::to_string(i));
        EXPECT_EQ(columns->item(i)->caption(), "");
        EXPECT_EQ(columns->item(i)->dataField(), "");
        EXPECT_EQ(columns->item(i)->numberFormat(), "");
    }
    EXPECT_EQ(site.grid("DBGrid1").binding().source(), &made.data1());
}

TEST_F(DesignSettings, TheFirstLayoutFitsTheEditBoxBesideTheButton) {
    Quorvel2000& made = newControl();
    // The host shows the new control where the designer put it.
    site.move(120, 120);
    site.paint();
    EXPECT_EQ(made.text2().width(), 2400);
    EXPECT_EQ(made.command1().left(), 2400);
    EXPECT_EQ(made.dbGrid1().left(), 0);
    EXPECT_EQ(made.dbGrid1().height(), 2055);
}

}  // namespace
}  // namespace quorvel
