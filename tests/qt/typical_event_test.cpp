// The same user session on both hosts gives the same ordered trace: the
// control behaves alike on real widgets and on the in-memory host.
#include <QTest>

#include "host/keys.h"
#include "headless/site.h"
#include "qt_fixture.h"
#include "support/sqlite_files.h"

namespace quorvel::qt::testing {
namespace {

using SameTraceOnBothHosts = QtControlTest;

// The list dropped, R and o typed, Enter: on the headless host, placed as
// the Qt fixture places the widget (600, 300, 2595 x 285 twips on a
// container of 6000 x 4500).
std::string headlessTrace(const std::string& databasePath) {
    headless::HeadlessSite site;
    site.setContainer(6000, 4500, 4500.0f);
    Quorvel2000 c(site);
    c.InitProperties();
    c.setBoundField(Variant("Code"));
    c.setListSearchField(Variant("Name"));
    c.setListDataBaseName(databasePath);
    c.setListRecordSource("People");
    site.place(600, 300, 2595, 285);
    site.focusIn("Text2");
    c.ListaApri();
    c.setText("");
    site.clearLog();
    site.type("Ro");
    site.stroke(host::KeyStroke{host::key::kEnter, 0, U'\r'});
    return site.log();
}

TEST_F(SameTraceOnBothHosts, TypingRoThenEnter) {
    configure();
    focusEditBox();
    widget->ListaApri();
    widget->setText("");
    site().clearTrace();

    QTest::keyClicks(edit(), "Ro");
    QTest::keyClick(edit(), Qt::Key_Return);
    settle();

    const std::string expected = headlessTrace(dir.file("list.db"));
    EXPECT_EQ(site().trace(), expected);
    // And what that trace says, spelled out once.
    EXPECT_EQ(expected,
              "event KeyDown KeyCode=Integer 82 Shift=Integer 0|event KeyPress KeyAscii=Integer 82|"
              "event Change|event ListValidate Action=Integer 8 Save=Integer 0|"
              "event KeyUp KeyCode=Integer 82 Shift=Integer 0|"
              "event KeyDown KeyCode=Integer 79 Shift=Integer 0|event KeyPress KeyAscii=Integer 111|"
              "event Change|event ListValidate Action=Integer 8 Save=Integer 0|"
              "event KeyUp KeyCode=Integer 79 Shift=Integer 0|"
              "event Change|notify BoundText|event Change|event BeenChosen|"
              "notify DropDown|event Drop|"
              "event KeyPress KeyAscii=Integer 13|event KeyUp KeyCode=Integer 13 Shift=Integer 0");
}

TEST_F(SameTraceOnBothHosts, FocusEntryAndExitWithDropDownAuto) {
    configure();
    QLineEdit* other = outside;
    site().clearTrace();
    focusEditBox();
    other->setFocus(Qt::TabFocusReason);
    settle();

    headless::HeadlessSite hs;
    hs.setContainer(6000, 4500, 4500.0f);
    Quorvel2000 c(hs);
    c.InitProperties();
    c.setBoundField(Variant("Code"));
    c.setListSearchField(Variant("Name"));
    c.setListDataBaseName(dir.file("list.db"));
    c.setListRecordSource("People");
    hs.place(600, 300, 2595, 285);
    hs.clearLog();
    hs.focusIn("Text2");
    hs.focusOut();

    EXPECT_EQ(site().trace(), hs.log());
    EXPECT_NE(hs.log().find("notify DropDown|event Drop"), std::string::npos) << hs.log();
}

}  // namespace
}  // namespace quorvel::qt::testing
