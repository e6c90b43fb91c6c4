#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "control/quorvel2000.h"
#include "fake_control.h"
#include "headless/site.h"
#include "platform/failure.h"
#include "support/failure_of.h"

namespace quorvel::headless {
namespace {

using testing::FakeControl;

using quorvel::testing::failureOf;

TEST(HeadlessSiteSurface, ResizeRunsInsideTheSetAndOnlyOnAChange) {
    HeadlessSite site;
    FakeControl control(site);
    control.resize = [&] { site.mark("resize sees " + std::to_string(int(site.surface().height()))); };
    site.surface().setWidth(2580);  // unchanged
    site.surface().setWidth(3000);
    site.mark("set returned");
    site.place(100, 200, 3000, 600);  // moves, then one resize for the size, then a repaint
    site.move(5, 6);                  // no resize, a repaint that sees the move
    site.place(5, 6, 3000, 600);      // nothing changed: a repaint only
    EXPECT_EQ(
        site.log(),
        "resize 3000x285|resize sees 285|set returned|resize 3000x600|resize sees 600|paint|paint|paint");
    EXPECT_EQ(site.extender().left(), 5);
    EXPECT_EQ(site.extender().top(), 6);
    EXPECT_EQ(failureOf([&] { site.surface().setHeight(-1); }), 380);
}

TEST(HeadlessSiteSurface, TheFirstPlaceSizesTheControlItStartedAndKeysNeedTheFocusInside) {
    HeadlessSite site;
    auto control = std::make_unique<FakeControl>(site);
    site.clearLog();
    // The size the control was created with: the host sizes it all the same.
    site.place(0, 0, 2580, 285);
    site.place(0, 0, 2580, 285);
    EXPECT_EQ(site.log(), "resize 2580x285|paint|paint");
    // So does the first place of a control that starts on the same host.
    control.reset();
    control = std::make_unique<FakeControl>(site);
    site.clearLog();
    site.place(0, 0, 2580, 285);
    EXPECT_EQ(site.log(), "resize 2580x285|paint");

    // Keys typed with the focus outside reach no window of the control.
    site.clearLog();
    for (auto user :
         std::initializer_list<std::function<void()>>{[&] { site.type("a"); }, [&] { site.keyDown(65); },
                                                      [&] { site.keyPress(65); }, [&] { site.keyUp(65); }})
        EXPECT_EQ(failureOf(user), 5);
    EXPECT_EQ(site.log(), "");
    site.focusIn();
    site.type("a");
    EXPECT_EQ(site.textBox("Text2").text(), "a");
}

TEST(HeadlessSiteSurface, AContainerWithoutScaleHeightFailsItsReadWith438) {
    HeadlessSite site;
    Container& form = site.extender().container();
    EXPECT_NO_THROW(form.scaleHeight());
    site.setContainer(4000, 3000, std::nullopt);
    EXPECT_EQ(form.width(), 4000);
    EXPECT_EQ(form.height(), 3000);
    EXPECT_EQ(failureOf([&] { form.scaleHeight(); }), 438);
    site.setContainer(4000, 3000, 2500.0f);
    EXPECT_EQ(form.scaleHeight(), 2500);
}

TEST(HeadlessSiteSurface, AmbientFontsAreFreshUnlessOneIsShared) {
    HeadlessSite site;
    // Fresh ambient fonts by default: changing one changes no other.
    auto a = site.ambientFont();
    a->setSize(20);
    EXPECT_NE(site.ambientFont()->size(), 20);
    auto shared = Font::make();
    site.setAmbientFont(shared);
    EXPECT_EQ(site.ambientFont(), shared);
}

TEST(HeadlessSiteFocus, EntersOnTheLowestTabIndexTheUserCanSeeAndLeaves) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();  // the grid (tab 0) lies below the closed control
    site.focusIn();  // already inside: nothing
    EXPECT_EQ(site.focusName(), "Text2");
    EXPECT_EQ(failureOf([&] { control.text1->setFocus(); }), 5);  // hidden
    EXPECT_EQ(site.focusName(), "Text2");
    control.grid->setFocus();  // inside already: no entry
    site.focusOut();
    site.focusOut();
    EXPECT_FALSE(site.hasFocus());

    site.surface().setHeight(2500);  // the list shows now
    site.focusIn();
    site.focusOut();
    // From outside, SetFocus brings the focus in; the entry handler finds it
    // arrived and may move it on without a second entry.
    control.enterFocus = [&] { control.text2->setFocus(); };
    control.command1->setFocus();
    EXPECT_EQ(site.log(),
              "enter focus=Text2|exit|resize 2580x2500|enter focus=DBGrid1|exit"
              "|enter focus=Command1");
    EXPECT_EQ(site.focusName(), "Text2");
}

TEST(HeadlessSiteFocus, AHiddenOrDisabledChildHasNoFocus) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();
    control.text2->setVisible(kFalse);
    EXPECT_EQ(site.focusName(), "");
    EXPECT_TRUE(site.hasFocus());
    control.text2->setVisible(kTrue);  // showing gives nothing back by itself
    EXPECT_EQ(site.focusName(), "");
    site.focusOut();
    site.surface().setEnabled(kFalse);
    site.clearLog();
    site.focusIn();
    EXPECT_EQ(failureOf([&] { control.text2->setFocus(); }), 5);
    EXPECT_FALSE(site.hasFocus());
    EXPECT_EQ(site.log(), "");
}

TEST(HeadlessSiteKeys, TypingSendsKeyDownPressAndUpPerCharacter) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();
    site.clearLog();
    site.type("Ro");
    EXPECT_EQ(site.log(),
              "Text2 keydown 82 0|Text2 keypress 82|Text2 change R|Text2 keyup 82 0"
              "|Text2 keydown 79 0|Text2 keypress 111|Text2 change Ro|Text2 keyup 79 0");
    site.clearLog();
    // A character outside the basic plane: one key, its two surrogates.
    site.type("😀");
    EXPECT_EQ(site.log(),
              "Text2 keydown 231 0|Text2 keypress -10179|Text2 keypress -8704"
              "|Text2 change Ro😀|Text2 keyup 231 0");
}

TEST(HeadlessSiteKeys, AKeyPressHandlerThatClearsKeyAsciiKeepsTheCharacterOut) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();
    control.text2KeyPress = [](std::int16_t& a) {
        if (a == 'x') a = 0;
    };
    site.type("axb");
    EXPECT_EQ(control.text2->text(), "ab");
}

TEST(HeadlessSiteKeys, QueuedKeysWaitForThePumpAndGoWhereTheFocusIsThen) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();
    control.text2KeyDown = [&](std::int16_t& k, std::int16_t&) {
        if (k != 'A') return;
        site.sendKeys("b{ENTER}");
        control.grid->setFocus();
    };
    control.gridKeyDown = [&](std::int16_t& k, std::int16_t&) {
        if (k == 'B') site.sendKeys("c");  // queued behind the Enter
        if (k == 13) control.text2->setFocus();
    };
    site.clearLog();
    site.type("a");
    site.mark("pump");
    site.pumpKeys();
    site.mark("again");
    site.pumpKeys();
    // A character follows its key down (the "a" into the edit box, the
    // Enter's into the grid, which takes none); a release reaches whoever
    // has the focus by then: the grid for "a", which has no key-up event,
    // the edit box for the Enter, which moved the focus back.
    EXPECT_EQ(site.log(),
              "Text2 keydown 65 0|sendkeys \"b{ENTER}\"|Text2 keypress 97|Text2 change a"
              "|pump"
              "|DBGrid1 keydown 66 0 row=-1|sendkeys \"c\""
              "|DBGrid1 keydown 13 0 row=-1|Text2 keyup 13 0"
              "|Text2 keydown 67 0|Text2 keypress 99|Text2 change ac|Text2 keyup 67 0"
              "|again");
    EXPECT_EQ(site.pendingKeys(), 0u);
}

TEST(HeadlessSiteKeys, KeysWithoutAFocusedChildAreLostAndBadKeyStringsFail) {
    HeadlessSite site;
    FakeControl control(site);
    site.sendKeys("x");
    site.pumpKeys();
    EXPECT_EQ(control.text2->text(), "");
    EXPECT_EQ(failureOf([&] { site.sendKeys("{NOSUCHKEY}"); }), 5);
    EXPECT_EQ(site.pendingKeys(), 0u);
}

TEST(HeadlessSiteKeys, AHandlerThatQueuesForeverDoesNotHangThePump) {
    HeadlessSite site;
    FakeControl control(site);
    site.focusIn();
    int presses = 0;
    control.text2KeyDown = [&](std::int16_t&, std::int16_t&) {
        ++presses;
        site.sendKeys("{ENTER}");
    };
    site.sendKeys("{ENTER}");
    site.pumpKeys();
    EXPECT_EQ(presses, 10000);
    EXPECT_EQ(site.logLines().back(), "sendkeys dropped");
    EXPECT_EQ(site.pendingKeys(), 0u);
}

TEST(HeadlessSiteMouse, PressesAndClicksFocusTheChildFirst) {
    HeadlessSite site;
    FakeControl control(site);
    site.mouseDown(Target::Surface, 1, 0, 10, 20);
    site.click(Target::Button);
    site.mouseDown(Target::Text, 2, 1, 30, 40);
    site.mouseUp(Target::Text, 2, 1, 30, 40);
    site.dblClick(Target::Text);
    site.caret(0, 0);
    control.command1->setVisible(kFalse);
    EXPECT_EQ(failureOf([&] { site.click(Target::Button); }), 5);
    EXPECT_EQ(failureOf([&] { site.click(Target::Surface); }), 5);
    EXPECT_EQ(site.log(),
              "surface mousedown 1 0 10 20|enter focus=Command1|Command1 click focus=Command1"
              "|Text2 mousedown 2 1 30 40|Text2 mouseup 2 1 30 40|Text2 dblclick");
    EXPECT_EQ(site.focusName(), "Text2");
}

}  // namespace
TEST(HeadlessSiteControls, NothingOfAnEndedControlIsReachedAndTheNextOneWorks) {
    HeadlessSite site;
    {
        Quorvel2000 first(site);
        first.InitProperties();
        site.focusIn("Text2");
        site.type("ab");
        EXPECT_EQ(first.Text(), "ab");
    }
    // The ended control's boxes are no longer the site's to act on.
    EXPECT_EQ(failureOf([&] { site.click(Target::Button); }), failure::kInvalidProcedureCall);
    EXPECT_NO_THROW(site.type("c"));  // the focus went with the control
    EXPECT_FALSE(site.hasChild("Text2"));

    Quorvel2000 next(site);
    next.InitProperties();
    site.focusIn("Text2");
    site.type("xy");
    EXPECT_EQ(next.Text(), "xy");
}

}  // namespace quorvel::headless
