// The list when its data source could not be opened: it neither opens nor
// closes, but the button still hands the focus to the edit box.
#include <gtest/gtest.h>

#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

using UnavailableSource = ControlTest;

TEST_F(UnavailableSource, TheButtonOnlyMovesTheFocusAndTheCaret) {
    Quorvel2000& c = configuredControl(dir.file("missing.db"), "People", Variant("Code"), Variant("Name"));
    ASSERT_EQ(c.members().dataUnavailable, kTrue);
    c.setDropDownAuto(kFalse);
    site.place(600, 1000, 2595, 285);
    c.setText("Rome");
    site.clearLog();

    site.click(headless::Target::Button);
    c.ListaApri();
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(site.focusName(), "Text2");
    EXPECT_EQ(c.text2().selStart(), 4);
    EXPECT_EQ(site.surface().height(), 285);
    EXPECT_EQ(site.log(), "");

    // Asking for the list through DropDown does not pretend it is shown.
    c.setDropDown(kTrue);
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(site.log(), "notify DropDown");
}

TEST_F(UnavailableSource, AChoiceWithoutARecordsetTouchesNothing) {
    Quorvel2000& c = configuredControl(dir.file("missing.db"), "People", Variant("Code"), Variant("Name"));
    c.setText("typed");
    site.clearLog();
    site.gridKey(13);
    EXPECT_EQ(c.Text(), "typed");
    EXPECT_EQ(c.BoundText(), "");
    EXPECT_EQ(site.log(), "");
}

}  // namespace
}  // namespace quorvel::testing
