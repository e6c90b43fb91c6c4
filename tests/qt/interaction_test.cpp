// The control in real widgets: QTest types into the real line edit, presses
// Enter, clicks a row of the real table view; the list opens upward where
// the form ends.
#include <QSignalSpy>
#include <QTest>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

using Interaction = QtControlTest;

TEST_F(Interaction, TypingMovesTheViewsCurrentRowAndEnterChoosesIt) {
    configure();
    focusEditBox();
    // DropDownAuto: the focus entering the control dropped the list.
    ASSERT_TRUE(widget->DropDown());
    EXPECT_EQ(widget->height(), 158);  // (2055 + 285 + 20 + 10) twips
    widget->setText("");
    const QString boundBefore = widget->BoundText();

    QTest::keyClicks(edit(), "Ro");
    EXPECT_EQ(edit()->text(), "Ro");
    EXPECT_EQ(edit()->cursorPosition(), 2);
    EXPECT_EQ(currentRecord(), 3);
    EXPECT_EQ(currentViewRow(), 3) << "the view shows the record the search found";
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(3, {}));
    EXPECT_EQ(widget->BoundText(), boundBefore) << "searching chooses nothing";

    QSignalSpy chosen(widget, &QuorvelWidget::BeenChosen);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(widget->BoundText(), "R05");
    EXPECT_EQ(edit()->text(), "Romano");
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(widget->height(), 19) << "the closed rectangle again";
    EXPECT_EQ(QApplication::focusWidget(), edit());
    EXPECT_EQ(edit()->cursorPosition(), 6);
}

TEST_F(Interaction, ArrowsHandTheFocusToTheGridWhoseKeysMoveTheRow) {
    configure();
    focusEditBox();
    // Down in the edit box gives the grid the focus and moves nothing.
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), view());
    EXPECT_EQ(currentRecord(), 0);
    QTest::keyClick(view(), Qt::Key_Down);
    QTest::keyClick(view(), Qt::Key_Down);
    QTest::keyClick(view(), Qt::Key_Up);
    EXPECT_EQ(currentRecord(), 1);
    EXPECT_EQ(currentViewRow(), 1);
    EXPECT_EQ(widget->Text(), "Bianchi") << "moving the row shows the record";
    QTest::keyClick(view(), Qt::Key_End);
    EXPECT_EQ(currentViewRow(), 5);
    // A letter is no key of the grid's: nothing moves.
    QTest::keyClick(view(), Qt::Key_A);
    EXPECT_EQ(currentRecord(), 5);
    // Ctrl in the edit box folds the list, and Ctrl again drops it.
    edit()->setFocus();
    ASSERT_TRUE(widget->DropDown());
    QTest::keyClick(edit(), Qt::Key_Control);
    EXPECT_FALSE(widget->DropDown());
    QTest::keyClick(edit(), Qt::Key_Control);
    EXPECT_TRUE(widget->DropDown());
}

TEST_F(Interaction, EscapeClosesTheListAndF4TogglesItInRealWidgets) {
    configure();
    focusEditBox();
    ASSERT_TRUE(widget->DropDown());
    const QString bound = widget->BoundText();

    // An Escape the control takes stops here: the form never sees it.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(edit(), &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(widget->height(), 19);
    // With the list closed it goes on to the window.
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(edit(), &again);
    EXPECT_FALSE(again.isAccepted());

    QTest::keyClick(edit(), Qt::Key_F4);
    EXPECT_TRUE(widget->DropDown());
    QTest::keyClick(edit(), Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), view());
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(QApplication::focusWidget(), edit());
    EXPECT_EQ(widget->BoundText(), bound) << "closing chooses nothing";
}

TEST_F(Interaction, AClickOnARowChoosesItThroughTheQueuedEnter) {
    configure();
    focusEditBox();
    ASSERT_TRUE(widget->DropDown());
    site().clearTrace();
    QSignalSpy chosen(widget, &QuorvelWidget::BeenChosen);
    QSignalSpy ups(widget, &QuorvelWidget::MouseUp);

    QRect cell = view()->visualRect(view()->model()->index(4, 0));
    ASSERT_TRUE(cell.isValid());
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell.center());
    // The press moved the row; the Enter that chooses it is still queued.
    EXPECT_EQ(currentRecord(), 4);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(site().pendingKeys(), 1u);

    settle();
    EXPECT_EQ(site().pendingKeys(), 0u);
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(widget->BoundText(), "R12");
    EXPECT_EQ(widget->Text(), "Rossi");
    EXPECT_FALSE(widget->DropDown()) << "DropDownAuto closes the list on a choice";
    EXPECT_EQ(QApplication::focusWidget(), edit());
    const std::string trace = site().trace();
    EXPECT_NE(trace.find("event MouseDown Button=Integer 1 Shift=Integer 0"), std::string::npos) << trace;
    // The press moved the record, which shows in both boxes; the Enter
    // that the release queued chooses it.
    EXPECT_NE(trace.find("event ListValidate Action=Integer 9 Save=Integer 0|event Change|"
                         "notify BoundText|event Change|event MouseUp Button=Integer 1"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("sendkeys \"{ENTER}\"|event BeenChosen|notify DropDown|event Drop"),
              std::string::npos)
        << trace;
}

TEST_F(Interaction, TheButtonTogglesTheListAndTheListOpensUpwardNearTheBottom) {
    configure();
    // 60 px above the form's bottom: the open list (158 px) fits above only.
    widget->move(40, 240);
    widget->control().Refresh();  // the paint handler sees the move and lays out again
    settle();
    const QRect closed = widget->geometry();
    ASSERT_EQ(closed, QRect(40, 240, 173, 19));

    QTest::mouseClick(button(), Qt::LeftButton);
    ASSERT_TRUE(widget->DropDown());
    const QRect open = widget->geometry();
    EXPECT_EQ(open.bottom(), closed.bottom()) << "the open rectangle ends where the edit box ends";
    EXPECT_EQ(open.height(), 158);
    EXPECT_LT(open.top(), closed.top());
    // The edit box and the button at the bottom, the grid above them with
    // its top 20 twips above the control's edge.
    EXPECT_EQ(edit()->geometry().bottom(), open.height() - 1);
    EXPECT_EQ(button()->geometry().top(), edit()->geometry().top());
    EXPECT_EQ(view()->geometry().top(), -1);
    EXPECT_EQ(QApplication::focusWidget(), edit());

    QTest::mouseClick(button(), Qt::LeftButton);
    EXPECT_FALSE(widget->DropDown());
    EXPECT_EQ(widget->geometry(), closed);
    EXPECT_EQ(edit()->geometry().topLeft(), QPoint(0, 0));
}

TEST_F(Interaction, TheListIsClippedAwayWhileClosedAndShownWhileOpen) {
    configure();
    widget->setDropDownAuto(false);
    focusEditBox();
    ASSERT_FALSE(widget->DropDown());
    // Closed: the grid lies below the control's rectangle.
    EXPECT_GE(view()->geometry().top(), widget->height());
    widget->ListaApri();
    EXPECT_LT(view()->geometry().bottom(), widget->height());
    EXPECT_EQ(view()->geometry().top(), widget->height() - view()->height() - 1);
    // The grid's width takes the columns' widths plus the margin, and the
    // raise brought the control to the front of the form.
    EXPECT_GE(widget->width(), 173);
    EXPECT_EQ(site().zOrderCount(), 1);
    widget->ListaChiudi();
    EXPECT_EQ(widget->height(), 19);
}

TEST_F(Interaction, FocusLeavingTheControlClosesTheList) {
    configure();
    QLineEdit* other = outside;
    focusEditBox();
    ASSERT_TRUE(widget->DropDown());
    site().clearTrace();
    other->setFocus(Qt::TabFocusReason);
    settle();
    EXPECT_FALSE(widget->DropDown());
    // Focus coming back opens it again, and leaves the focus in the edit box.
    edit()->setFocus(Qt::TabFocusReason);
    settle();
    EXPECT_TRUE(widget->DropDown());
    EXPECT_EQ(QApplication::focusWidget(), edit());
}

}  // namespace
}  // namespace quorvel::qt::testing
