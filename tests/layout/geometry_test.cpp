// The layout routine: the stored geometry of both states, the children it
// fits to the closed rectangle, and when it keeps its hands off.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "control/quorvel2000.h"
#include "support/control_fixture.h"
#include "platform/failure.h"

namespace quorvel {
namespace {

using Geometry = std::map<std::string, std::int32_t>;

// The measurements and the nine closed/open pairs, by member name.
Geometry geometryOf(const Quorvel2000& control) {
    Geometry g;
    bool started = false;
    forEachMember(control.members(), [&](std::string_view name, const Variant& value) {
        if (name == "hostLeft") started = true;
        if (started) g[std::string(name)] = value.asLong();
    });
    return g;
}

class Layout : public testing::ControlTest {
protected:
    Layout() {
        // The worked layout: a 6000-wide container with a scale height of
        // 4200, two columns of 1200 and 2000.
        site.setContainer(6000, 4500, 4200.0f);
        c.setColsField("Code;Name");
        c.setColsSize("1200;2000");
        site.clearLog();
    }

    Quorvel2000& c = newControl();
};

// The layout as it stands in the worked example, at Left 600.
Geometry workedExampleAt600() {
    return {
        {"hostLeft", 600},          {"hostTop", 4000},        {"containerWidth", 6000},
        {"containerHeight", 4200},  {"closedHeight", 285},    {"openHeight", 2370},
        {"closedWidth", 2595},      {"openWidth", 3455},      {"closedTop", 4000},
        {"openTop", 1915},          {"closedLeft", 600},      {"openLeft", 600},
        {"closedTextTop", 0},       {"openTextTop", 2085},    {"closedTextLeft", 0},
        {"openTextLeft", 0},        {"closedButtonTop", 0},   {"openButtonTop", 2085},
        {"closedButtonLeft", 2415}, {"openButtonLeft", 2415}, {"closedGridTop", 305},
        {"openGridTop", -20},
    };
}

TEST_F(Layout, WorkedExampleNearTheBottomOpensUpward) {
    site.place(600, 4000, 2595, 285);

    EXPECT_EQ(geometryOf(c), workedExampleAt600());
    EXPECT_EQ(c.text2().width(), 2415);
    EXPECT_EQ(c.text2().height(), 285);
    EXPECT_EQ(c.command1().left(), 2415);
    EXPECT_EQ(c.command1().height(), 285);
    EXPECT_EQ(c.command1().width(), 180);
    EXPECT_EQ(c.dbGrid1().height(), 2055);
    EXPECT_EQ(c.dbGrid1().width(), 3455);
    EXPECT_EQ(c.dbGrid1().top(), 305);
    EXPECT_EQ(c.dbGrid1().left(), 0);
    EXPECT_EQ(site.surface().backColor(), site.container().backColor());
    EXPECT_EQ(site.log(), "");
}

TEST_F(Layout, WorkedExampleNearTheRightEdgeMovesTheOpenControlLeft) {
    site.place(3000, 4000, 2595, 285);

    Geometry expected = workedExampleAt600();
    expected["hostLeft"] = 3000;
    expected["closedLeft"] = 3000;
    expected["openLeft"] = 2140;
    // The edit box keeps its place on the screen while the left edge moves.
    expected["openTextLeft"] = 860;
    expected["openButtonLeft"] = 3275;
    EXPECT_EQ(geometryOf(c), expected);
}

TEST_F(Layout, OpenWidthLimits) {
    struct Case {
        const char* what;
        float containerWidth;
        float left;
        const char* sizes;
        std::int32_t openWidth, openLeft, openTextLeft;
    };
    const Case cases[] = {
        {"columns past the container stop at its margin", 6000, 0, "4000;4000", 5700, 0, 0},
        {"a margin narrower than the closed pieces gives the closed width", 2500, 0, "4000;4000", 2595, 100,
         -100},
        {"no column width still leaves room for the closed pieces", 6000, 0, "0;0", 2595, 0, 0},
        {"moved left, never below 100", 4000, 150, "1700;1745", 3700, 100, 50},
        {"just inside the margin stays put", 6000, 2245, "1200;2000", 3455, 2245, 0},
        {"one twip into the margin moves", 6000, 2246, "1200;2000", 3455, 1386, 860},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        site.setContainer(k.containerWidth, 4500, 4200.0f);
        c.setColsSize(k.sizes);
        site.place(k.left, 100, 2595, 286);  // a new height forces a layout
        site.place(k.left, 100, 2595, 285);
        const Geometry g = geometryOf(c);
        EXPECT_EQ(g.at("openWidth"), k.openWidth);
        EXPECT_EQ(g.at("openLeft"), k.openLeft);
        EXPECT_EQ(g.at("openTextLeft"), k.openTextLeft);
        EXPECT_EQ(g.at("openButtonLeft"), 2415 + k.openTextLeft);
        EXPECT_EQ(c.dbGrid1().width(), k.openWidth);
    }
}

TEST_F(Layout, WithoutColumnsTheOpenControlIsAsWideAsTheClosedPieces) {
    // An empty field list leaves the columns to the grid's automatic layout,
    // which has nothing to show without a recordset.
    c.setColsField("");
    ASSERT_EQ(c.dbGrid1().columns()->count(), 0);
    site.place(0, 0, 2595, 285);
    EXPECT_EQ(geometryOf(c).at("openWidth"), 2595);

    // 255 alone, when the closed pieces are narrower than that.
    site.place(0, 0, 200, 285);
    EXPECT_EQ(c.text2().width(), 20);
    EXPECT_EQ(geometryOf(c).at("openWidth"), 255);
}

TEST_F(Layout, VerticalPlacement) {
    // Container scale height 4200, open height 2370, edit box 285 high.
    struct Case {
        const char* what;
        float top;
        std::int32_t openTop, openTextTop, openGridTop;
    };
    const Case cases[] = {
        {"room below opens downward", 1000, 1000, 0, 305},
        {"exactly reaching the bottom opens downward", 1830, 1830, 0, 305},
        // hostTop + Text2.Height < openHeight: it fits neither way, so it
        // opens downward past the container's bottom.
        {"past the bottom without room above", 1831, 1831, 0, 305},
        {"one twip short of room above", 2084, 2084, 0, 305},
        {"exactly room above opens upward", 2085, 0, 2085, -20},
        {"the worked example", 4000, 1915, 2085, -20},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        site.place(0, k.top, 2595, 286);  // a new height forces a layout
        site.place(0, k.top, 2595, 285);
        const Geometry g = geometryOf(c);
        EXPECT_EQ(g.at("openTop"), k.openTop);
        EXPECT_EQ(g.at("openTextTop"), k.openTextTop);
        EXPECT_EQ(g.at("openButtonTop"), k.openTextTop);
        EXPECT_EQ(g.at("openGridTop"), k.openGridTop);
        EXPECT_EQ(g.at("closedTop"), static_cast<std::int32_t>(k.top));
        EXPECT_EQ(g.at("closedTextTop"), 0);
        EXPECT_EQ(g.at("closedButtonTop"), 0);
        EXPECT_EQ(g.at("closedGridTop"), 305);
        EXPECT_EQ(c.dbGrid1().top(), 305);
    }
}

TEST_F(Layout, AContainerWithoutScaleHeightIsMeasuredByItsHeight) {
    site.setContainer(6000, 4500, std::nullopt);
    site.place(600, 4000, 2595, 285);
    EXPECT_EQ(geometryOf(c).at("containerHeight"), 4500);
    // 4000 + 2370 > 4500 still, so the list goes up; no report of the read.
    EXPECT_EQ(geometryOf(c).at("openTop"), 1915);
    EXPECT_EQ(site.log(), "");
    // The boundary measured against the height: 2130 + 2370 reaches it
    // exactly and still opens downward; one twip lower opens upward.
    site.place(600, 2130, 2595, 285);
    EXPECT_EQ(geometryOf(c).at("openTop"), 2130);
    site.place(600, 2131, 2595, 286);
    site.place(600, 2131, 2595, 285);
    EXPECT_EQ(geometryOf(c).at("openTop"), 2131 + 285 - 2370);
}

TEST_F(Layout, OpenHeightFollowsTheGridNotTheListHeight) {
    site.place(600, 1000, 2595, 285);
    // The new height waits for the next layout.
    c.setListHeight(1000);
    EXPECT_EQ(c.dbGrid1().height(), 2055);
    EXPECT_EQ(geometryOf(c).at("openHeight"), 2370);

    site.place(600, 1000, 2595, 300);
    EXPECT_EQ(c.dbGrid1().height(), 1000);
    EXPECT_EQ(geometryOf(c).at("openHeight"), 1000 + 300 + 20 + 10);
    EXPECT_EQ(geometryOf(c).at("closedGridTop"), 320);
    EXPECT_EQ(c.text2().height(), 300);
    EXPECT_EQ(c.command1().height(), 300);
}

TEST_F(Layout, HalfTwipsRoundToEven) {
    site.setContainer(6000.5f, 4500, 4200.5f);
    site.place(600.5f, 1001.5f, 2595.5f, 285);
    const Geometry g = geometryOf(c);
    EXPECT_EQ(g.at("hostLeft"), 600);
    EXPECT_EQ(g.at("hostTop"), 1002);
    EXPECT_EQ(g.at("containerWidth"), 6000);
    EXPECT_EQ(g.at("containerHeight"), 4200);
    EXPECT_EQ(g.at("closedWidth"), 2596);
    // 2595.5 - 180 = 2415.5 rounds to the even 2416.
    EXPECT_EQ(c.text2().width(), 2416);
}

TEST_F(Layout, AGridThatRefusesItsHeightIsReportedAndLeavesTheRestAsItWas) {
    site.place(600, 4000, 2595, 285);
    const Geometry before = geometryOf(c);
    site.clearLog();

    c.setListHeight(-5);
    site.place(700, 4000, 2595, 300);

    EXPECT_EQ(site.log(), "notify ListHeight|msgbox \"380    /M_006 \\n\\n" +
                              standardDescription(failure::kInvalidPropertyValue) + "\"");
    EXPECT_EQ(c.members().resizing, kFalse);
    // Written before the grid refused: the measurements and the left edges.
    Geometry expected = before;
    expected["hostLeft"] = 700;
    expected["closedLeft"] = 700;
    expected["openLeft"] = 700;
    EXPECT_EQ(geometryOf(c), expected);
    EXPECT_EQ(c.text2().height(), 300);
    EXPECT_EQ(c.dbGrid1().height(), 2055);

    // The next layout with a sound height runs through.
    c.setListHeight(2055);
    site.place(600, 4000, 2595, 285);
    EXPECT_EQ(geometryOf(c), workedExampleAt600());
}

TEST_F(Layout, NothingMovesWhileTheListIsOpen) {
    site.place(600, 4000, 2595, 285);
    c.ListaApri();
    ASSERT_EQ(c.DropDown(), kTrue);
    const Geometry stored = geometryOf(c);
    const float gridTop = c.dbGrid1().top();
    const float gridWidth = c.dbGrid1().width();
    const float editWidth = c.text2().width();

    site.setContainer(9000, 9000, 8000.0f);
    site.place(100, 100, 4000, 500);
    site.paint();

    EXPECT_EQ(geometryOf(c), stored);
    EXPECT_EQ(c.dbGrid1().top(), gridTop);
    EXPECT_EQ(c.dbGrid1().width(), gridWidth);
    EXPECT_EQ(c.text2().width(), editWidth);
    EXPECT_EQ(c.text2().height(), 285);
}

TEST_F(Layout, NothingMovesWhileTheListIsBeingClosed) {
    site.place(600, 4000, 2595, 285);
    c.ListaApri();
    const Geometry stored = geometryOf(c);
    // The host resizes the control from the Drop handler of the close, while
    // the pieces are still moving.
    site.setEventHandler("Drop", [&](headless::EventCall&) {
        EXPECT_EQ(c.members().listMoving, kTrue);
        site.place(100, 100, 4000, 500);
    });
    c.ListaChiudi();
    EXPECT_EQ(geometryOf(c), stored);
    EXPECT_EQ(c.text2().width(), 2415);
}

}  // namespace
}  // namespace quorvel
