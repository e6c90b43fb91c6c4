#include <gtest/gtest.h>

#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

class Reposition : public ControlTest {
protected:
    Quorvel2000& people() {
        return configuredControl(database(peopleSql()), "People", Variant("Code"), Variant("City"));
    }
};

TEST_F(Reposition, MovingTheListCopiesTheRecordIntoBothBoxes) {
    Quorvel2000& c = people();
    // The configuration's reopening repositioned before the fields were
    // resolved, so nothing was copied yet.
    EXPECT_EQ(c.BoundText(), "");
    EXPECT_EQ(c.Text(), "");

    site.gridRow(1);
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "Milano");
    // The data control validates the move it is about to make; Text1's
    // handler takes the value without a lookup; both edits announce
    // themselves.
    EXPECT_EQ(site.log(),
              "event ListValidate Action=Integer 9 Save=Integer 0|"
              "event Change|notify BoundText|event Change");
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
}

TEST_F(Reposition, ANullFieldGivesAnEmptyBox) {
    Quorvel2000& c = people();
    site.gridRow(2);  // Verdi lives in no city
    EXPECT_EQ(c.BoundText(), "V33");
    EXPECT_EQ(c.Text(), "");
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos);
}

TEST_F(Reposition, FastModeAndSearchDisableLeaveTheBoxesAlone) {
    Quorvel2000& c = people();
    site.gridRow(1);
    c.setSearchDisable(kTrue);
    site.gridRow(3);
    EXPECT_EQ(c.BoundText(), "B07");
    c.setSearchDisable(kFalse);
    c.setFastMode(kTrue);
    site.clearLog();
    site.gridRow(4);
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "Milano");
    EXPECT_EQ(site.log(), "event ListValidate Action=Integer 9 Save=Integer 0");
}

TEST_F(Reposition, AFieldTheNewRecordsetLacksIsSkippedSilently) {
    Quorvel2000& c = people();
    site.gridRow(1);
    // The reopening repositions while the old names (Code, City) are still
    // in place; this source has no City: the bound value follows the new
    // first record, the edit box keeps its text.
    c.setListRecordSource("SELECT Code, Name FROM People");
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos) << site.log();
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "Milano");
    EXPECT_EQ(c.members().searchFieldName, "Code");
}

TEST_F(Reposition, AnEmptyListKeepsTheBoxesAndShowsNothing) {
    Quorvel2000& c = people();
    site.gridRow(0);
    site.gridRow(1);
    site.clearLog();
    c.setListRecordSource("SELECT * FROM People WHERE 0");
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "Milano");
    EXPECT_EQ(site.log(), "notify ListRecordSource");
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
}

TEST_F(Reposition, TheControlsOwnLookupOnlyClearsTheFlags) {
    Quorvel2000& c = people();
    site.clearLog();
    c.setBoundText("A01");
    // The find moved the record, but the reposition copied nothing: the edit
    // box shows the looked-up record's city because the lookup wrote it.
    EXPECT_EQ(c.Text(), "Napoli");
    EXPECT_EQ(c.ListRecordset()->absolutePosition(), 3);
    EXPECT_EQ(c.members().findingByCode, kFalse);
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
}

}  // namespace
}  // namespace quorvel::testing
