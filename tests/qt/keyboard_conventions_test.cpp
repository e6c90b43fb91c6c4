// The combo-box conventions in real widgets: the keys stay in the edit box,
// Escape puts the value back, a right click chooses nothing, and a press
// outside or the window losing activation closes the list.
#include <QSignalSpy>
#include <QTest>

#include "headless/json_property_bag.h"
#include "qt/grid.h"
#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

class KeyboardConventions : public QtControlTest {
protected:
    void SetUp() override {
        configure();
        widget->setDropDownAuto(false);
        ASSERT_TRUE(widget->setProperty("KeyboardConventions", 1));
        widget->setBoundText("B07");
        focusEditBox();
    }
};

TEST_F(KeyboardConventions, TheKeysStayInTheEditBoxAndEscapePutsTheValueBack) {
    QSignalSpy chosen(widget, &QuorvelWidget::BeenChosen);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_TRUE(widget->DropDown()) << "Down opens a folded list";
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), edit());
    EXPECT_EQ(currentViewRow(), 3);
    EXPECT_EQ(widget->BoundText(), "R05") << "the row's value at once";
    QTest::keyClick(edit(), Qt::Key_Escape);
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(widget->BoundText(), "B07");
    EXPECT_EQ(edit()->text(), "Bianchi");

    // Ctrl toggles nothing; Enter chooses with the list folded; Alt+Down and
    // F4 open.
    QTest::keyClick(edit(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(edit()->selectedText(), "Bianchi") << "Ctrl+A reached the edit box";
    QTest::keyClicks(edit(), "Ve");
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(widget->BoundText(), "V33");
    QTest::keyClick(edit(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(widget->DropDown());
    QTest::keyClick(edit(), Qt::Key_F4);
    EXPECT_FALSE(widget->DropDown());
}

// An arrow the control takes never lets its release search the edit box's
// text again: opening or closing with Alt, opening a folded list, at the end.
TEST_F(KeyboardConventions, AnArrowsReleaseNeverSearches) {
    QTest::keyClicks(edit(), "Ro");
    ASSERT_EQ(currentViewRow(), 3);
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(edit(), Qt::Key_Down);
    ASSERT_EQ(currentViewRow(), 5);
    QTest::keyClick(edit(), Qt::Key_Up, Qt::AltModifier);
    ASSERT_FALSE(widget->DropDown());
    edit()->setText("Ro");
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Down, Qt::AltModifier},
                                                              {Qt::Key_Down, {}},
                                                              {Qt::Key_Up, Qt::AltModifier},
                                                              {Qt::Key_Down, {}}};
    for (const auto& [key, modifiers] : keys) {
        site().clearTrace();
        // The arrow alone, pressed and released with Alt held.
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(edit(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(edit(), &release);
        EXPECT_EQ(currentViewRow(), 5) << site().trace();
        EXPECT_EQ(site().trace().find("ListValidate"), std::string::npos) << site().trace();
    }
}

TEST_F(KeyboardConventions, ARightClickChoosesNothingAndPressesOutsideClose) {
    QTest::keyClick(edit(), Qt::Key_F4);
    ASSERT_TRUE(widget->DropDown());
    QSignalSpy chosen(widget, &QuorvelWidget::BeenChosen);
    const QRect cell = view()->visualRect(view()->model()->index(4, 0));
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, cell.center());
    settle();
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(widget->BoundText(), "B07") << "the right press moved no row";
    EXPECT_TRUE(widget->DropDown());

    // A press on the form itself moves no focus, and still closes the list.
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, QPoint(390, 290));
    EXPECT_FALSE(widget->DropDown());
    QTest::keyClick(edit(), Qt::Key_F4);
    ASSERT_TRUE(widget->DropDown());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(form.get(), &deactivate);
    EXPECT_FALSE(widget->DropDown()) << "the window losing activation closes the list";

    // Back to the control's own keys.
    widget->setKeyboardConventions(0);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), view()) << "the control's own Down";
}

TEST_F(KeyboardConventions, AFormKeepsTheOptionAndALoadedControlFollowsIt) {
    headless::JsonPropertyBag bag;
    widget->save(bag);
    auto* copy = new QuorvelWidget(form.get());
    copy->setGeometry(40, 60, 173, 19);
    copy->show();
    headless::JsonPropertyBag again = headless::JsonPropertyBag::parse(bag.dump());
    copy->load(again);
    EXPECT_EQ(copy->KeyboardConventions(), 1);
    copy->ListaApri();
    ASSERT_TRUE(copy->DropDown());
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, QPoint(390, 290));
    EXPECT_FALSE(copy->DropDown()) << "the loaded control closes on a press outside";

    // A value the control does not know loads as its own keys.
    again.writeProperty("KeyboardConventions", Variant::integer(7), Variant::integer(0));
    copy->load(again);
    EXPECT_EQ(copy->KeyboardConventions(), 0);

    // The defaults put back the control's own keys on the Qt side too.
    widget->initProperties();
    EXPECT_EQ(widget->KeyboardConventions(), 0);
    EXPECT_EQ(site().grid("DBGrid1")->pressesMoveRow(), Qt::MouseButtons(Qt::AllButtons));
}

}  // namespace
}  // namespace quorvel::qt::testing
