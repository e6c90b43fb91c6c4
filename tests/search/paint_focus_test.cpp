// Focus entry and exit with DropDownAuto, the relayout that a repaint makes
// after the host moved the control or resized its container, and the bare
// surface's mouse.
#include <map>

#include <gtest/gtest.h>

#include "control/members.h"
#include "host/trace.h"
#include "search_fixture.h"

namespace quorvel::testing {
namespace {

using headless::Target;

class PaintFocus : public SearchTest {
protected:
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> out;
        forEachMember(control->members(),
                      [&](const char* name, const Variant& v) { out[name] = host::traceValue(v); });
        return out;
    }
};

TEST_F(PaintFocus, DropDownAutoOpensWithTheFocusAndClosesWithoutIt) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    // The fixture's first focus entry already dropped the list.
    ASSERT_EQ(c.DropDown(), kTrue);
    site.focusOut();
    EXPECT_EQ(log(), "notify DropDown|event Drop");
    EXPECT_EQ(c.DropDown(), kFalse);

    site.clearLog();
    site.focusIn();  // tabbing in
    EXPECT_EQ(log(), "notify DropDown|event Drop");
    EXPECT_EQ(c.DropDown(), kTrue);
    EXPECT_EQ(site.focusName(), "Text2");

    // Entering while the list is open neither opens it nor moves the focus.
    site.focusOut();
    c.ListaApri();
    site.clearLog();
    site.focusIn("Command1");
    EXPECT_EQ(log(), "");
    EXPECT_EQ(site.focusName(), "Command1");
}

TEST_F(PaintFocus, WithoutDropDownAutoTheFocusLeavesTheListAlone) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setDropDownAuto(kFalse);
    site.focusOut();
    EXPECT_EQ(c.DropDown(), kTrue);
    c.ListaChiudi();
    site.clearLog();
    site.focusIn();
    site.focusOut();
    EXPECT_EQ(log(), "");
    EXPECT_EQ(c.DropDown(), kFalse);
}

TEST_F(PaintFocus, LeavingTakesTheCurrentRecordOnlyOutsideMirrorMode) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setText("scribble");  // nothing moved the list
    site.focusOut();
    EXPECT_EQ(c.Text(), "Amato");
    EXPECT_EQ(c.BoundText(), "A01");

    Quorvel2000& m = searchControl(Variant("Code"), Variant("Code"), Locale::english(), kFalse);
    m.setText("Zz");
    site.focusOut();
    EXPECT_EQ(m.Text(), "Zz");
    EXPECT_EQ(m.BoundText(), "Zz");
}

TEST_F(PaintFocus, AFastMirrorSearchesOnEntryOnlyWhenFastModeIsTrueItself) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Code"), Locale::english(), kFalse);
    c.setDropDownAuto(kFalse);
    c.setFastMode(kTrue);
    c.setText("V");
    site.focusOut();
    site.clearLog();
    site.focusIn();
    EXPECT_EQ(log(), "find Code >= \"V\"|event KeyUp KeyCode=Integer 0 Shift=Integer 0");
    EXPECT_EQ(currentPosition(), 5);

    // Any other value than True is "set" elsewhere, but not here.
    c.setFastMode(1);
    site.focusOut();
    site.clearLog();
    site.focusIn();
    EXPECT_EQ(log(), "");
}

TEST_F(PaintFocus, ARepaintLaysOutAgainOnlyAfterTheHostMovedOrResized) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setDropDownAuto(kFalse);
    c.ListaChiudi();
    // Moved by the host, with no resize: the next repaint measures anew.
    // Near the right edge the open list moves left: two distinct Lefts.
    site.move(3000, 4000);
    site.paint();
    ASSERT_EQ(c.members().hostLeft, 3000);
    ASSERT_EQ(c.members().hostTop, 4000);
    const std::int32_t openLeft = c.members().openLeft;
    ASSERT_NE(openLeft, c.members().closedLeft);

    auto before = snapshot();
    site.paint();
    EXPECT_EQ(snapshot(), before);

    site.move(static_cast<float>(openLeft), 4000);  // where the open list stands
    site.paint();
    EXPECT_EQ(c.members().hostLeft, 3000);

    site.move(2900, 4000);
    site.paint();
    EXPECT_EQ(c.members().hostLeft, 2900);

    site.move(2900, 3900);
    site.paint();
    EXPECT_EQ(c.members().hostTop, 3900);

    site.setContainer(7000, 4500, 4200.0f);
    site.paint();
    EXPECT_EQ(c.members().containerWidth, 7000);

    // The container's scale height is what counts, and a container without
    // one is measured by its height.
    site.setContainer(7000, 5000, 4700.0f);
    site.paint();
    EXPECT_EQ(c.members().containerHeight, 4700);
    site.setContainer(7000, 5200, std::nullopt);
    site.paint();
    EXPECT_EQ(c.members().containerHeight, 5200);
    before = snapshot();
    site.paint();
    EXPECT_EQ(snapshot(), before);

    // While the list is open the closed geometry stays as it was measured.
    c.ListaApri();
    before = snapshot();
    site.setContainer(8000, 6000, std::nullopt);
    site.paint();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(log().find("msgbox"), std::string::npos) << log();
}

TEST_F(PaintFocus, TheBareSurfacePassesItsMouseOnAndReportsTheEditBoxsBorder) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    site.mouseDown(Target::Surface, 2, 1, 10.5f, 20);
    site.mouseMove(Target::Surface, 0, 0, 11, 21);
    site.mouseUp(Target::Surface, 2, 1, 12, 22);
    EXPECT_EQ(log(),
              "event MouseDown Button=Integer 2 Shift=Integer 1 X=Single 10.5 Y=Single 20|"
              "event MouseMove Button=Integer 0 Shift=Integer 0 X=Single 11 Y=Single 21|"
              "event MouseUp Button=Integer 2 Shift=Integer 1 X=Single 12 Y=Single 22");
    EXPECT_EQ(c.BorderStyle(), 1);
    EXPECT_EQ(c.Appearance(), 1);
}

}  // namespace
}  // namespace quorvel::testing
