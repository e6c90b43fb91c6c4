// Opening and closing the list: the stored geometry applied to the pieces,
// the Drop event, DropDown, the button, and the failure paths.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "control/quorvel2000.h"
#include "faulty_site.h"
#include "platform/failure.h"

namespace quorvel {
namespace {

using Pieces = std::map<std::string, float>;

class OpenClose : public ::testing::Test {
protected:
    OpenClose() {
        control.InitProperties();
        // Near the container's right edge and bottom: the open control moves
        // left and up (left 2140, top 1915).
        host().setContainer(6000, 4500, 4200.0f);
        control.setColsField("Code;Name");
        control.setColsSize("1200;2000");
        host().place(3000, 4000, 2595, 285);
        host().clearLog();
    }

    headless::HeadlessSite& host() { return site.host(); }

    Pieces pieces() {
        return {
            {"Left", host().extender().left()},
            {"Top", host().extender().top()},
            {"Width", host().surface().width()},
            {"Height", host().surface().height()},
            {"Text2.Top", control.text2().top()},
            {"Text2.Left", control.text2().left()},
            {"Text2.Width", control.text2().width()},
            {"Command1.Top", control.command1().top()},
            {"Command1.Left", control.command1().left()},
            {"DBGrid1.Top", control.dbGrid1().top()},
            {"DBGrid1.Left", control.dbGrid1().left()},
            {"Text2.Visible", control.text2().visible()},
            {"Command1.Visible", control.command1().visible()},
        };
    }

    testing::FaultySite site;
    Quorvel2000 control{site};
};

const Pieces kClosed = {
    {"Left", 3000},           {"Top", 4000},        {"Width", 2595},       {"Height", 285},
    {"Text2.Top", 0},         {"Text2.Left", 0},    {"Text2.Width", 2415}, {"Command1.Top", 0},
    {"Command1.Left", 2415},  {"DBGrid1.Top", 305}, {"DBGrid1.Left", 0},   {"Text2.Visible", -1},
    {"Command1.Visible", -1},
};

const Pieces kOpen = {
    {"Left", 2140},           {"Top", 1915},        {"Width", 3455},       {"Height", 2370},
    {"Text2.Top", 2085},      {"Text2.Left", 860},  {"Text2.Width", 2415}, {"Command1.Top", 2085},
    {"Command1.Left", 3275},  {"DBGrid1.Top", -20}, {"DBGrid1.Left", 0},   {"Text2.Visible", -1},
    {"Command1.Visible", -1},
};

TEST_F(OpenClose, OpenThenCloseRestoresEveryPosition) {
    ASSERT_EQ(pieces(), kClosed);
    control.dbGrid1().setCol(1);

    control.ListaApri();
    EXPECT_EQ(pieces(), kOpen);
    EXPECT_EQ(control.DropDown(), kTrue);
    EXPECT_EQ(control.members().listMoving, kFalse);
    EXPECT_EQ(control.dbGrid1().col(), 0);
    EXPECT_EQ(host().zOrderCount(), 1);
    EXPECT_EQ(host().lastZOrder(), 0);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop");

    // Whatever the host does meanwhile, closing returns to the last layout.
    host().move(10, 20);
    host().clearLog();
    control.ListaChiudi();
    EXPECT_EQ(pieces(), kClosed);
    EXPECT_EQ(control.DropDown(), kFalse);
    EXPECT_EQ(control.members().listMoving, kFalse);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop");
    // Closing neither sends the control back nor resets the grid's column.
    EXPECT_EQ(host().zOrderCount(), 1);
}

TEST_F(OpenClose, DropOncePerMoveWithDropDownAlreadyNew) {
    host().setEventHandler("Drop", [&](headless::EventCall&) {
        host().mark(std::string("handler sees ") + (control.DropDown() == kTrue ? "True" : "False"));
        // Moving again the same way from the handler meets the entry guards.
        if (control.DropDown() == kTrue) control.ListaApri();
        else control.ListaChiudi();
    });
    control.ListaApri();
    control.ListaApri();
    control.ListaChiudi();
    control.ListaChiudi();
    EXPECT_EQ(host().log(),
              "notify DropDown|event Drop|handler sees True|"
              "notify DropDown|event Drop|handler sees False");
    EXPECT_EQ(pieces(), kClosed);
}

TEST_F(OpenClose, BringToFrontFalseLeavesTheStackingOrder) {
    control.setBringToFront(kFalse);
    control.ListaApri();
    control.ListaChiudi();
    control.setBringToFront(kTrue);
    control.ListaApri();
    control.ListaChiudi();
    control.ListaApri();
    EXPECT_EQ(host().zOrderCount(), 2);
}

TEST_F(OpenClose, AFailureWhileOpeningIsReportedAndTheControlStaysUsable) {
    site.refuseNextTop(failure::kTypeMismatch, "Type mismatch");
    control.ListaApri();

    EXPECT_EQ(host().log(), "msgbox \"13    /M_011 \\n\\nType mismatch\"");
    EXPECT_EQ(control.members().listMoving, kFalse);
    EXPECT_EQ(control.DropDown(), kFalse);
    // The pieces moved before the failure stay where they went, but the edit
    // box and the button are shown again, not left hidden.
    EXPECT_EQ(control.text2().visible(), kTrue);
    EXPECT_EQ(control.command1().visible(), kTrue);
    EXPECT_EQ(control.text2().top(), 2085);
    EXPECT_EQ(host().extender().top(), 4000);

    // The stored geometry is intact, so the next try opens normally.
    host().clearLog();
    control.ListaApri();
    EXPECT_EQ(pieces(), kOpen);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop");
}

TEST_F(OpenClose, AFailureWhileClosingIsReportedAndTheControlStaysUsable) {
    control.ListaApri();
    host().clearLog();
    site.refuseNextTop(failure::kInvalidPropertyValue, "Invalid property value");
    control.ListaChiudi();

    EXPECT_EQ(host().log(), "msgbox \"380    /M_010 \\n\\nInvalid property value\"");
    EXPECT_EQ(control.members().listMoving, kFalse);
    EXPECT_EQ(control.DropDown(), kTrue);
    EXPECT_EQ(control.text2().visible(), kTrue);
    EXPECT_EQ(control.command1().visible(), kTrue);

    host().clearLog();
    control.ListaChiudi();
    EXPECT_EQ(pieces(), kClosed);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop");
}

TEST_F(OpenClose, TheButtonTogglesAndPutsTheCaretAtTheEnd) {
    // Without it the focus arriving with the click would open the list first.
    control.setDropDownAuto(kFalse);
    control.text2().setText("Rome");
    host().clearLog();

    host().click(headless::Target::Button);
    EXPECT_EQ(control.DropDown(), kTrue);
    EXPECT_EQ(host().focusName(), "Text2");
    EXPECT_EQ(control.text2().selStart(), 4);
    EXPECT_EQ(control.text2().selLength(), 0);

    host().caret(1, 2);
    host().click(headless::Target::Button);
    EXPECT_EQ(control.DropDown(), kFalse);
    EXPECT_EQ(host().focusName(), "Text2");
    EXPECT_EQ(control.text2().selStart(), 4);
    EXPECT_EQ(control.text2().selLength(), 0);
    // The click itself raises nothing of the control's.
    EXPECT_EQ(host().log(), "notify DropDown|event Drop|notify DropDown|event Drop");
}

TEST_F(OpenClose, TheButtonLeavesTheCaretOfAnEmptyEditBox) {
    control.setDropDownAuto(kFalse);
    control.text2().setText("");
    host().focusIn("Text2");
    host().caret(0);
    host().click(headless::Target::Button);
    EXPECT_EQ(control.text2().selStart(), 0);
}

TEST_F(OpenClose, TheButtonsMouseEventsKeepTheButtonsCoordinates) {
    // Without it the press, which brings the focus in, would open the list.
    control.setDropDownAuto(kFalse);
    host().clearLog();
    host().setEventArguments("MouseDown", {{"X", Variant(1.0f)}});
    host().mouseDown(headless::Target::Button, 1, 2, 30, 40);
    host().mouseMove(headless::Target::Button, 0, 0, 31, 41);
    host().mouseUp(headless::Target::Button, 1, 0, 32, 42);
    EXPECT_EQ(host().log(),
              "event MouseDown Button=Integer 1 Shift=Integer 2 X=Single 30 Y=Single 40|"
              "event MouseMove Button=Integer 0 Shift=Integer 0 X=Single 31 Y=Single 41|"
              "event MouseUp Button=Integer 1 Shift=Integer 0 X=Single 32 Y=Single 42");
}

TEST_F(OpenClose, DropDownMovesTheListToTheStateAsked) {
    control.setDropDown(kTrue);
    EXPECT_EQ(control.DropDown(), kTrue);
    EXPECT_EQ(pieces(), kOpen);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop|notify DropDown");

    // Asking for the state the list has moves nothing; any value but False
    // asks for open.
    host().clearLog();
    control.setDropDown(kTrue);
    control.setDropDown(1);
    EXPECT_EQ(control.DropDown(), kTrue);
    EXPECT_EQ(pieces(), kOpen);
    EXPECT_EQ(host().log(), "notify DropDown|notify DropDown");

    host().clearLog();
    control.setDropDown(kFalse);
    EXPECT_EQ(control.DropDown(), kFalse);
    EXPECT_EQ(pieces(), kClosed);
    EXPECT_EQ(host().log(), "notify DropDown|event Drop|notify DropDown");

    host().clearLog();
    control.setDropDown(kFalse);
    EXPECT_EQ(host().log(), "notify DropDown");
}

TEST_F(OpenClose, DropDownStaysTrueToTheScreenWhenTheListCannotMove) {
    site.refuseNextTop(failure::kTypeMismatch, "Type mismatch");
    control.setDropDown(kTrue);
    EXPECT_EQ(control.DropDown(), kFalse);
    EXPECT_EQ(host().log(), "msgbox \"13    /M_011 \\n\\nType mismatch\"|notify DropDown");
}

}  // namespace
}  // namespace quorvel
