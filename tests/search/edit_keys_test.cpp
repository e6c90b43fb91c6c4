// The edit box's keys and mouse: Enter, Ctrl, Up and Down drive the list;
// every other key, character, click and mouse event reaches the host with
// the edit box's own variables.
#include <gtest/gtest.h>

#include "host/keys.h"
#include "search_fixture.h"

namespace quorvel::testing {
namespace {

class EditKeys : public SearchTest {
protected:
    // Folding the list hides the edit box for a moment, which takes the
    // focus from it; the user clicks back in.
    void fold() {
        control->ListaChiudi();
        site.focusIn("Text2");
    }
};
using headless::Target;
using host::KeyStroke;
namespace key = host::key;

TEST_F(EditKeys, EnterWithTheListFoldedChoosesAndThenDropsIt) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    fold();
    c.setText("");
    site.type("Bi");
    site.clearLog();
    // Shift+Enter is Enter: only the key code decides.
    site.stroke(KeyStroke{key::kEnter, host::kShiftBit, U'\r'});
    EXPECT_EQ(log(),
              "event Change|notify BoundText|event Change|event BeenChosen|"
              "notify DropDown|event Drop|"
              "event KeyPress KeyAscii=Integer 13|event KeyUp KeyCode=Integer 13 Shift=Integer 1");
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "Bianchi");
    EXPECT_EQ(c.DropDown(), kTrue);
    EXPECT_EQ(c.SelStart(), 7);
}

TEST_F(EditKeys, CtrlTogglesTheListAndItsReleaseSearches) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    ASSERT_EQ(c.DropDown(), kTrue);
    c.setText("Ve");
    site.clearLog();
    site.stroke(KeyStroke{key::kControl, host::kCtrlBit, 0});
    EXPECT_EQ(log(),
              "notify DropDown|event Drop|"
              "find Name >= \"Ve\"|event KeyUp KeyCode=Integer 17 Shift=Integer 2");
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(c.BoundText(), "A01");  // Ctrl chooses nothing
    EXPECT_EQ(c.SelStart(), 2);

    site.clearLog();
    site.keyDown(key::kControl, host::kCtrlBit);  // an automatic repeat
    EXPECT_EQ(log(), "notify DropDown|event Drop");
    EXPECT_EQ(c.DropDown(), kTrue);
}

// Escape closes an open list and F4 toggles it, from the edit box (after
// the host's KeyDown, which may take the key) and from the grid.
TEST_F(EditKeys, EscapeClosesAnOpenListAndF4TogglesIt) {
    struct Case {
        const char* name;
        std::int16_t key;
        bool open;  // the list before the key
        bool fromGrid;
        bool hostTakesIt;
        bool openAfter;
    };
    const Case cases[] = {
        {"Escape, open", key::kEscape, true, false, false, false},
        {"Escape, closed", key::kEscape, false, false, false, false},
        {"Escape, host takes it", key::kEscape, true, false, true, true},
        {"Escape in the grid", key::kEscape, true, true, false, false},
        {"F4, open", key::kF4, true, false, false, false},
        {"F4, closed", key::kF4, false, false, false, true},
        {"F4 in the grid", key::kF4, true, true, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        site.focusOut();  // the focus entering the new control drops its list
        Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
        if (!k.open) fold();
        ASSERT_EQ(c.DropDown() != kFalse, k.open);
        if (k.fromGrid) site.focusIn("DBGrid1");
        if (k.hostTakesIt) site.setEventArguments("KeyDown", {{"KeyCode", Variant::integer(0)}});
        const std::string boundBefore = c.BoundText();
        site.clearLog();
        if (k.fromGrid) site.gridKey(k.key);
        else site.keyDown("Text2", k.key);
        EXPECT_EQ(c.DropDown() != kFalse, k.openAfter) << log();
        EXPECT_EQ(c.BoundText(), boundBefore);
        if (k.open != k.openAfter) { EXPECT_EQ(site.focusName(), "Text2"); }
        if (k.open == k.openAfter && !k.hostTakesIt) { EXPECT_EQ(log().find("DropDown"), std::string::npos); }
        site.clearEventHandler("KeyDown");
    }
}

TEST_F(EditKeys, UpAndDownHandTheFocusToTheGridWithoutMovingIt) {
    for (std::int16_t arrow : {key::kUp, key::kDown}) {
        for (bool folded : {false, true}) {
            SCOPED_TRACE(std::to_string(arrow) + (folded ? " folded" : " dropped"));
            Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
            if (folded) fold();
            site.gridRow(2);
            site.focusIn("Text2");
            site.clearLog();
            // The release reaches the grid, which has the focus by then.
            site.stroke(KeyStroke{arrow, 0, 0});
            EXPECT_EQ(log(), "");
            EXPECT_EQ(site.focusName(), "DBGrid1");
            EXPECT_EQ(currentPosition(), 2);
            EXPECT_EQ(c.Text(), "O'Brien");
        }
    }
}

TEST_F(EditKeys, OtherKeysReachTheHostWhichMayCancelThem) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    site.caret(0);
    site.setEventArguments("KeyDown", {{"KeyCode", Variant(std::int16_t{0})}});
    site.keyDown(key::kDelete);
    EXPECT_EQ(log(), "event KeyDown KeyCode=Integer 46 Shift=Integer 0");
    EXPECT_EQ(c.Text(), "Amato");

    site.clearEventHandler("KeyDown");
    site.keyDown(key::kDelete);
    EXPECT_EQ(c.Text(), "mato");
}

TEST_F(EditKeys, AKeyPressHandlerDecidesTheCharacter) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setText("");
    site.setEventArguments("KeyPress", {{"KeyAscii", Variant(std::int16_t{0})}});
    site.clearLog();
    site.type("x");
    // No character, so no Change; the release still searches.
    EXPECT_EQ(log(),
              "event KeyDown KeyCode=Integer 88 Shift=Integer 0|"
              "event KeyPress KeyAscii=Integer 120|"
              "find Name >= \"\"|event KeyUp KeyCode=Integer 88 Shift=Integer 0");
    EXPECT_EQ(c.Text(), "");

    site.setEventArguments("KeyPress", {{"KeyAscii", Variant(std::int16_t{'V'})}});
    site.type("x");
    EXPECT_EQ(c.Text(), "V");
    EXPECT_EQ(currentPosition(), 5);
}

TEST_F(EditKeys, AClickRaisesClickBeforeTheListOpens) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    fold();
    site.clearLog();
    site.click(Target::Text);
    EXPECT_EQ(log(), "event Click|notify DropDown|event Drop");
    site.clearLog();
    site.click(Target::Text);  // already open: it stays so
    EXPECT_EQ(log(), "event Click");
    EXPECT_EQ(c.DropDown(), kTrue);

    fold();
    c.setDropDownAuto(kFalse);
    site.clearLog();
    site.click(Target::Text);
    site.dblClick(Target::Text);
    EXPECT_EQ(log(), "event Click|event DblClick");
    EXPECT_EQ(c.DropDown(), kFalse);
}

TEST_F(EditKeys, MouseEventsKeepTheEditBoxsOwnPosition) {
    searchControl(Variant("Code"), Variant("Name"));
    site.mouseDown(Target::Text, 1, 0, 30, 45.5f);
    site.mouseMove(Target::Text, 0, 1, 31, 46);
    site.mouseUp(Target::Text, 1, 0, 32, 47);
    EXPECT_EQ(log(),
              "event MouseDown Button=Integer 1 Shift=Integer 0 X=Single 30 Y=Single 45.5|"
              "event MouseMove Button=Integer 0 Shift=Integer 1 X=Single 31 Y=Single 46|"
              "event MouseUp Button=Integer 1 Shift=Integer 0 X=Single 32 Y=Single 47");
}

}  // namespace
}  // namespace quorvel::testing
