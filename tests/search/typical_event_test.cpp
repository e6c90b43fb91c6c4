// The control's everyday use from end to end: the list dropped, a few
// letters typed, Enter.
#include <gtest/gtest.h>

#include "search_fixture.h"

namespace quorvel::testing {
namespace {

using TypicalEvent = SearchTest;

TEST_F(TypicalEvent, TypingRoThenEnterChoosesRomanoAndFoldsTheList) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.ListaApri();
    c.setText("");
    site.clearLog();

    typeText("Ro");
    // The search moved the list and nothing else: the box is as typed.
    EXPECT_EQ(currentPosition(), 3);
    EXPECT_EQ(c.Text(), "Ro");
    EXPECT_EQ(c.SelStart(), 2);
    EXPECT_EQ(c.BoundText(), "A01");
    pressEnter();

    // The data source asks before each find whether the record may be left;
    // the reposition that the find raises is the control's own and shows
    // nothing.
    EXPECT_EQ(site.log(),
              "event KeyDown KeyCode=Integer 82 Shift=Integer 0|event KeyPress KeyAscii=Integer 82|"
              "event Change|find Name >= \"R\"|event ListValidate Action=Integer 8 Save=Integer 0|"
              "event KeyUp KeyCode=Integer 82 Shift=Integer 0|"
              "event KeyDown KeyCode=Integer 79 Shift=Integer 0|event KeyPress KeyAscii=Integer 111|"
              "event Change|find Name >= \"Ro\"|event ListValidate Action=Integer 8 Save=Integer 0|"
              "event KeyUp KeyCode=Integer 79 Shift=Integer 0|"
              // Enter: the bound value without a lookup, then the edit box.
              "event Change|notify BoundText|event Change|event BeenChosen|"
              "notify DropDown|event Drop|"
              // The release of Enter searches nothing.
              "event KeyPress KeyAscii=Integer 13|event KeyUp KeyCode=Integer 13 Shift=Integer 0");
    EXPECT_EQ(c.BoundText(), "R05");
    EXPECT_EQ(c.Text(), "Romano");
    EXPECT_EQ(currentPosition(), 3);
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(site.focusName(), "Text2");
    EXPECT_EQ(c.SelStart(), 6);
    EXPECT_EQ(c.SelLength(), 0);
    EXPECT_EQ(c.members().findingByCode, kFalse);
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
}

}  // namespace
}  // namespace quorvel::testing
