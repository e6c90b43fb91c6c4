// Choosing a row of the list: Enter or Ctrl in the grid, or a click on a
// row. The writes of Text1 and Text2 run the bound-value and edit-box
// change handling, so the logs below include their Change events and the
// "BoundText" notification.
#include <string>

#include <gtest/gtest.h>

#include "host/trace.h"
#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

constexpr std::int16_t kEnter = 13;
constexpr std::int16_t kCtrl = 17;
constexpr std::int16_t kDown = 40;

class GridChoice : public ControlTest {
protected:
    // The People list, bound to Code and showing Name, opened downward with
    // the focus in the edit box. SearchDisable keeps the grid's moves from
    // copying records into the boxes, so only a choice writes them.
    Quorvel2000& openList(const Variant& searchField = Variant("Name")) {
        Quorvel2000& c = configuredControl(database(peopleSql()), "People", Variant("Code"), searchField);
        c.setColsField("Code;Name");
        c.setSearchDisable(kTrue);
        site.place(600, 1000, 2595, 285);
        c.ListaApri();
        site.focusIn("Text2");
        site.clearLog();
        return c;
    }
};

TEST_F(GridChoice, EnterAndCtrlChooseTheCurrentRow) {
    struct Case {
        const char* what;
        VBool dropDownAuto;
        std::int16_t key;
        std::int32_t row;
        const char* code;
        const char* name;
        bool staysOpen;
    };
    const Case cases[] = {
        {"Enter, DropDownAuto False: the list stays open", kFalse, kEnter, 1, "B07", "Bianchi", true},
        {"Enter, DropDownAuto True: the list closes", kTrue, kEnter, 3, "A01", "Amato", false},
        {"Ctrl, DropDownAuto False: the list closes", kFalse, kCtrl, 4, "R05", "Romano", false},
        {"Ctrl, DropDownAuto True: the list closes", kTrue, kCtrl, 2, "V33", "Verdi", false},
    };
    Quorvel2000& c = openList();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        if (c.DropDown() == kFalse) c.ListaApri();
        c.setDropDownAuto(k.dropDownAuto);
        site.gridRow(k.row);
        site.clearLog();

        site.gridKey(k.key);

        EXPECT_EQ(c.BoundText(), k.code);
        EXPECT_EQ(c.Text(), k.name);
        EXPECT_EQ(c.DropDown(), k.staysOpen ? kTrue : kFalse);
        std::string expected = "event Change|notify BoundText|event Change|event BeenChosen";
        if (!k.staysOpen) expected += "|notify DropDown|event Drop";
        EXPECT_EQ(site.log(), expected);
        EXPECT_EQ(site.focusName(), "Text2");
        EXPECT_EQ(c.text2().selStart(), static_cast<std::int32_t>(std::string(k.name).size()));
        EXPECT_EQ(c.text2().selLength(), 0);

        // The release of the key that chose reaches the edit box and starts
        // no search.
        site.clearLog();
        site.keyUp(k.key);
        EXPECT_EQ(site.log(), "event KeyUp KeyCode=Integer " + std::to_string(k.key) + " Shift=Integer 0");
        EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
        EXPECT_EQ(c.members().skipBoundChange, kFalse);
    }
}

TEST_F(GridChoice, OtherKeysAreTheGrids) {
    Quorvel2000& c = openList();
    const std::string value = c.BoundText();
    site.gridKey(kDown);
    EXPECT_EQ(site.grid("DBGrid1").row(), 1);
    // Only the data control's notice of leaving the record reaches the host.
    EXPECT_EQ(site.log(), "event ListValidate Action=Integer 9 Save=Integer 0");
    EXPECT_EQ(c.BoundText(), value);
}

TEST_F(GridChoice, ANullFieldGivesAnEmptyBox) {
    Quorvel2000& c = openList(Variant("City"));
    c.setDropDownAuto(kFalse);
    c.setText("x");
    site.gridRow(2);  // Verdi lives in no city
    site.gridKey(kEnter);
    EXPECT_EQ(c.BoundText(), "V33");
    EXPECT_EQ(c.Text(), "");
}

TEST_F(GridChoice, AClickOnARowChoosesItThroughTheQueuedEnter) {
    Quorvel2000& c = openList();
    const float y = site.grid("DBGrid1").scrollToRow(3);
    const std::string at = " X=Single 60 Y=" + host::traceValue(Variant(y));

    site.gridClick(3);

    EXPECT_EQ(c.BoundText(), "A01");
    EXPECT_EQ(c.Text(), "Amato");
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(site.log(), "event MouseDown Button=Integer 1 Shift=Integer 0" + at +
                              // The press moves the grid's row, which the data control
                              // announces before the record is left.
                              "|event ListValidate Action=Integer 9 Save=Integer 0"
                              "|event MouseUp Button=Integer 1 Shift=Integer 0" +
                              at +
                              "|sendkeys \"{ENTER}\""
                              "|event Change|notify BoundText|event Change|event BeenChosen"
                              "|notify DropDown|event Drop"
                              "|event KeyUp KeyCode=Integer 13 Shift=Integer 0");
}

TEST_F(GridChoice, TheMouseArgumentsAreTheGridsOwnVariables) {
    openList();
    site.setEventArguments("MouseMove", {{"Button", Variant::integer(4)}});
    site.setEventHandler(
        "MouseUp", [&](headless::EventCall& call) { site.mark("up at " + host::traceValue(call["X"])); });
    site.mouseMove(headless::Target::Grid, 0, 1, 10, 20);
    site.mouseUp(headless::Target::Grid, 2, 0, 11, 21);
    // The queued Enter waits for a pump; the mouse-up handling returned
    // without it.
    EXPECT_EQ(site.pendingKeys(), 1u);
    EXPECT_EQ(site.log(),
              "event MouseMove Button=Integer 0 Shift=Integer 1 X=Single 10 Y=Single 20|"
              "event MouseUp Button=Integer 2 Shift=Integer 0 X=Single 11 Y=Single 21|"
              "up at Single 11|sendkeys \"{ENTER}\"");
}

TEST_F(GridChoice, NoRecordToChooseLeavesBothBoxes) {
    struct Case {
        const char* what;
        const char* source;
    };
    const Case cases[] = {
        {"an empty recordset", "SELECT * FROM People WHERE 0"},
        {"no recordset at all", "NoSuchTable"},
    };
    Quorvel2000& c = openList();
    c.setDropDownAuto(kFalse);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        c.setListRecordSource(k.source);
        c.setText("typed");
        const std::string value = c.BoundText();
        site.clearLog();

        site.gridKey(kEnter);

        EXPECT_EQ(c.BoundText(), value);
        EXPECT_EQ(c.Text(), "typed");
        EXPECT_EQ(c.DropDown(), kTrue);
        EXPECT_EQ(c.members().skipBoundChange, kFalse);
        EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
        EXPECT_EQ(site.log(), "");
    }
}

}  // namespace
}  // namespace quorvel::testing
