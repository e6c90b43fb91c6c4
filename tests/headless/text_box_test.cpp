#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/text_box.h"
#include "platform/failure.h"

namespace quorvel::headless {
namespace {

// Records what the box reports, reading the box from inside each event so
// that a change raised before the write finished shows up as a wrong text.
struct BoxRecorder : TextBoxEvents {
    HeadlessTextBox* box = nullptr;
    std::vector<std::string> lines;
    std::int16_t replaceKeyAscii = -1;

    void onChange() override {
        lines.push_back("change " + box->text() + " @" + std::to_string(box->selStart()));
    }
    void onKeyPress(std::int16_t& keyAscii) override {
        lines.push_back("press " + std::to_string(keyAscii));
        if (replaceKeyAscii >= 0) keyAscii = replaceKeyAscii;
    }
    std::string joined() const {
        std::string out;
        for (const auto& l : lines) out += (out.empty() ? "" : "|") + l;
        return out;
    }
};

class TextBoxTest : public ::testing::Test {
protected:
    TextBoxTest() { events.box = &box; }
    // Types a character as the keyboard gives it: one key press per UTF-16
    // unit.
    void press(char16_t unit) { box.keyPress(static_cast<std::int16_t>(unit)); }

    BoxRecorder events;
    HeadlessTextBox box{"Text2", events};
};

TEST_F(TextBoxTest, ChangeRunsInsideTheWriteAndOnlyWhenTheTextDiffers) {
    box.setText("abc");
    box.setSelStart(2);
    box.setText("abc");  // unchanged: no event, caret stays
    EXPECT_EQ(box.selStart(), 2);
    box.setSelText("");  // empty selection, nothing inserted
    box.setSelText("X");
    box.setText("");
    EXPECT_EQ(events.joined(), "change abc @0|change abXc @3|change  @0");
}

TEST_F(TextBoxTest, AChangeHandlerThatWritesTheBoxAgainHasTheLastWord) {
    struct Rewriter : TextBoxEvents {
        HeadlessTextBox* box = nullptr;
        int changes = 0;
        void onChange() override {
            ++changes;
            if (box->text() == "ro") box->setText("Roma");
        }
    } rewriter;
    HeadlessTextBox b("Text2", rewriter);
    rewriter.box = &b;
    b.setText("r");
    b.setSelStart(1);
    b.keyPress('o');
    EXPECT_EQ(b.text(), "Roma");
    EXPECT_EQ(b.selStart(), 0);
    EXPECT_EQ(rewriter.changes, 3);
}

TEST_F(TextBoxTest, SelectionCountsUtf16UnitsAndNeverSplitsASurrogatePair) {
    // "è" is one unit, "😀" (U+1F600) two, "日" one: 6 units in all.
    box.setText("aè😀日b");
    EXPECT_EQ(box.length(), 6);
    box.setSelStart(1);
    box.setSelLength(3);
    EXPECT_EQ(box.selText(), "è😀");
    box.setSelStart(3);  // inside the pair: to the character's start
    EXPECT_EQ(box.selStart(), 2);
    box.setSelLength(1);  // would end inside the pair: nothing selected
    EXPECT_EQ(box.selLength(), 0);
    box.setSelStart(99);
    EXPECT_EQ(box.selStart(), 6);
    box.setSelStart(2);
    box.setSelLength(99);
    EXPECT_EQ(box.selText(), "😀日b");
    box.setSelText("ü");
    EXPECT_EQ(box.text(), "aèü");
    EXPECT_EQ(box.selStart(), 3);
    EXPECT_EQ(box.selLength(), 0);
}

TEST_F(TextBoxTest, NegativeSelectionOrLimitIsAnInvalidValue) {
    for (auto set :
         {+[](HeadlessTextBox& b) { b.setSelStart(-1); }, +[](HeadlessTextBox& b) { b.setSelLength(-1); },
          +[](HeadlessTextBox& b) { b.setMaxLength(-1); }}) {
        try {
            set(box);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& f) { EXPECT_EQ(f.number(), 380); }
    }
}

TEST_F(TextBoxTest, TypingReplacesTheSelectionWithinMaxLengthAndNotWhenLocked) {
    box.setText("Rosa");
    box.setMaxLength(5);
    box.setSelStart(1);
    box.setSelLength(3);
    press(u'é');  // replaces "osa"
    press(u'x');
    press(u'y');
    press(u'z');
    press(u'!');  // would make 6 units: refused
    EXPECT_EQ(box.text(), "Réxyz");
    box.setSelStart(4);
    box.setSelLength(1);
    press(0xD83D);  // 😀 replacing "z" makes 6 units: refused as a whole
    press(0xDE00);
    EXPECT_EQ(box.text(), "Réxyz");
    box.setMaxLength(0);
    press(0xD83D);
    press(0xDE00);
    EXPECT_EQ(box.text(), "Réxy😀");
    box.setLocked(kTrue);
    press(u'q');
    box.keyPress(8);
    box.keyDown(46, 0);
    EXPECT_EQ(box.text(), "Réxy😀");
    // Program writes are the program's business: neither limit applies.
    box.setText("longer than five");
    EXPECT_EQ(box.text(), "longer than five");
}

TEST_F(TextBoxTest, BackspaceAndDeleteRemoveWholeCharacters) {
    box.setText("a😀b");
    box.setSelStart(3);
    box.keyPress(8);  // removes both units of the pair
    EXPECT_EQ(box.text(), "ab");
    EXPECT_EQ(box.selStart(), 1);
    box.setText("a😀b");
    box.setSelStart(1);
    box.keyDown(46, 0);
    EXPECT_EQ(box.text(), "ab");
    box.setSelStart(0);
    box.keyPress(8);  // nothing before the caret: no change event
    box.setSelStart(2);
    box.keyDown(46, 0);
    EXPECT_EQ(events.joined(), "change a😀b @0|press 8|change ab @1|change a😀b @0|change ab @1|press 8");
}

TEST_F(TextBoxTest, AKeyPressHandlerDecidesWhichCharacterGoesIn) {
    box.setText("ab");
    box.setSelStart(2);
    events.lines.clear();
    events.replaceKeyAscii = 0;
    box.keyPress('c');  // dropped: no change follows
    events.replaceKeyAscii = 'Z';
    box.keyPress('d');
    EXPECT_EQ(events.joined(), "press 99|press 100|change abZ @3");
}

TEST_F(TextBoxTest, ArrowsMoveTheCaretAndShiftExtendsTheSelection) {
    box.setText("a😀c");
    box.setSelStart(0);
    box.keyDown(39, 0);
    box.keyDown(39, 1);
    EXPECT_EQ(box.selStart(), 1);
    EXPECT_EQ(box.selText(), "😀");
    box.keyDown(37, 0);  // collapses to the selection's start
    EXPECT_EQ(box.selStart(), 1);
    EXPECT_EQ(box.selLength(), 0);
    box.keyDown(35, 1);
    EXPECT_EQ(box.selText(), "😀c");
    box.keyDown(36, 0);
    EXPECT_EQ(box.selStart(), 0);
    EXPECT_EQ(box.selLength(), 0);
}

TEST_F(TextBoxTest, DefaultsAreThoseOfAPlainEditBoxAndTheFontIsShared) {
    EXPECT_EQ(box.alignment(), 0);
    EXPECT_EQ(box.borderStyle(), 1);
    EXPECT_EQ(box.appearance(), 1);
    EXPECT_EQ(box.locked(), kFalse);
    EXPECT_EQ(box.maxLength(), 0);
    EXPECT_EQ(box.visible(), kTrue);
    auto font = Font::make();
    box.setFont(font);
    font->setSize(12);
    EXPECT_EQ(box.font()->size(), 12);
}

}  // namespace
}  // namespace quorvel::headless
