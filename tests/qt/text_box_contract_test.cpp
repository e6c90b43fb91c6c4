// One contract, both hosts' text boxes: the change event inside the write
// and only on a change, the caret at the start after a write, positions in
// UTF-16 code units that never split a pair, MaxLength and Locked limiting
// the user only.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "headless/text_box.h"
#include "platform/failure.h"
#include "qt/children.h"
#include "qt/site.h"
#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

// Counts the change events and what the box held while each ran.
struct Recorder final : TextBoxEvents {
    TextBox* box = nullptr;
    int changes = 0;
    std::string seenInside;
    std::int32_t caretInside = -1;
    void onChange() override {
        ++changes;
        seenInside = box->text();
        caretInside = box->selStart();
    }
};

struct HeadlessHost {
    Recorder events;
    std::shared_ptr<headless::HeadlessTextBox> box =
        std::make_shared<headless::HeadlessTextBox>("Text2", events);
    HeadlessHost() { events.box = box.get(); }
    TextBox& textBox() { return *box; }
    void type(const std::string& text) {
        for (unsigned char c : text) box->keyPress(static_cast<std::int16_t>(c));
    }
    void paste(const std::string& clip) { box->paste(clip); }
};

struct QtHost {
    QWidget surface;
    QtSite site{&surface};
    Recorder events;
    TextBox& box = site.createTextBox("Text2", events);
    QtHost() { events.box = &box; }
    TextBox& textBox() { return box; }
    void type(const std::string& text) {
        QTest::keyClicks(site.lineEdit("Text2"), QString::fromStdString(text));
    }
    void paste(const std::string& clip) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(clip));
        QTest::keyClick(site.lineEdit("Text2"), Qt::Key_V, Qt::ControlModifier);
    }
};

template <class Host>
class TextBoxContract : public ::testing::Test {
protected:
    Host host;
};

using Hosts = ::testing::Types<HeadlessHost, QtHost>;
TYPED_TEST_SUITE(TextBoxContract, Hosts);

TYPED_TEST(TextBoxContract, ChangeEventRunsInsideTheWriteAndOnlyOnChange) {
    TextBox& box = this->host.textBox();
    Recorder& events = this->host.events;
    box.setText("Romano");
    EXPECT_EQ(events.changes, 1);
    EXPECT_EQ(events.seenInside, "Romano") << "the new text is there when the event runs";
    EXPECT_EQ(events.caretInside, 0) << "the caret went to the start";
    box.setSelStart(3);
    box.setText("Romano");
    EXPECT_EQ(events.changes, 1) << "an unchanged write raises nothing";
    EXPECT_EQ(box.selStart(), 3) << "and leaves the caret where it was";
    box.setSelLength(2);
    EXPECT_EQ(box.selText(), "an");
    box.setSelText("AN");
    EXPECT_EQ(box.text(), "RomANo");
    EXPECT_EQ(events.changes, 2);
    EXPECT_EQ(box.selStart(), 5) << "the caret after the inserted text";
    EXPECT_EQ(box.selLength(), 0);
}

TYPED_TEST(TextBoxContract, PositionsCountUtf16UnitsAndNeverSplitAPair) {
    TextBox& box = this->host.textBox();
    box.setText(
        "a\xF0\x9F\x98\x80"
        "b");  // a, U+1F600 (two units), b
    box.setSelStart(2);
    EXPECT_EQ(box.selStart(), 1) << "inside the pair moves to the character's start";
    box.setSelLength(1);
    EXPECT_EQ(box.selLength(), 0) << "half a pair selects nothing";
    box.setSelLength(2);
    EXPECT_EQ(box.selText(), "\xF0\x9F\x98\x80");
    box.setSelStart(99);
    EXPECT_EQ(box.selStart(), 4);
    EXPECT_THROW(box.setSelStart(-1), Failure);
    EXPECT_THROW(box.setSelLength(-1), Failure);
}

TYPED_TEST(TextBoxContract, MaxLengthAndLockedStopTheUserNotTheProgram) {
    TextBox& box = this->host.textBox();
    box.setMaxLength(3);
    this->host.type("abcde");
    EXPECT_EQ(box.text(), "abc");
    box.setText("longer than three");
    EXPECT_EQ(box.text(), "longer than three");
    box.setMaxLength(0);
    box.setText("");
    box.setLocked(kTrue);
    this->host.type("xy");
    EXPECT_EQ(box.text(), "");
    box.setText("set");
    EXPECT_EQ(box.text(), "set");
    EXPECT_THROW(box.setMaxLength(-1), Failure);
}

// The Qt box's paste once took the whole clipboard past MaxLength.
TYPED_TEST(TextBoxContract, PastingKeepsTheLimitsOfTyping) {
    TextBox& box = this->host.textBox();
    Recorder& events = this->host.events;
    box.setMaxLength(5);
    box.setText("ab");
    box.setSelStart(2);
    this->host.paste("cdefgh\nsecond line");
    EXPECT_EQ(box.text(), "abcde") << "what fits of the first line";
    EXPECT_EQ(box.selStart(), 5);
    box.setSelStart(1);
    box.setSelLength(2);
    this->host.paste("XYZW");
    EXPECT_EQ(box.text(), "aXYde") << "the selection's room and no more";
    const int changes = events.changes;
    this->host.paste("Q");
    EXPECT_EQ(box.text(), "aXYde");
    EXPECT_EQ(events.changes, changes) << "a full box takes nothing and raises nothing";
    box.setText("ab");
    box.setSelStart(2);
    this->host.paste(
        "cd\xF0\x9F\x98\x80"
        "e");  // c, d, U+1F600 (two units), e
    EXPECT_EQ(box.text(), "abcd") << "cut before the pair that does not fit";
    box.setText("longer than five");
    box.setSelStart(3);
    this->host.paste("Q");
    this->host.type("T");
    EXPECT_EQ(box.text(), "longer than five") << "a text past MaxLength takes neither paste nor typing";
    box.setMaxLength(0);
    box.setLocked(kTrue);
    this->host.paste("locked");
    EXPECT_EQ(box.text(), "longer than five");
}

// The edit box's menu pastes under MaxLength (its paste once went past it),
// and the box may end while the menu is open (the menu once ran a loop of
// its own and was deleted twice).
TEST(QtTextBoxMenu, PastesUnderMaxLengthAndEndsWithTheBox) {
    QtHost host;
    host.box.setMaxLength(3);
    QPointer<QLineEdit> edit = host.site.lineEdit("Text2");
    QGuiApplication::clipboard()->setText("abcdef");
    QTimer::singleShot(0, edit, [edit] {
        const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
        for (QMenu* menu : edit->findChildren<QMenu*>())
            for (QAction* action : menu->actions())
                if (action->text().startsWith(paste)) action->trigger();
        delete edit.data();
    });
    QContextMenuEvent open(QContextMenuEvent::Keyboard, QPoint(2, 2), edit->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(edit, &open);
    EXPECT_TRUE(pumpUntil([&] { return edit.isNull(); }));
    EXPECT_EQ(host.box.text(), "abc");
}

}  // namespace
}  // namespace quorvel::qt::testing
