// The focusing click and the tab order: the control is one tab stop of its
// form, and the click that brings the focus in is a click like any other.
#include <QSignalSpy>
#include <QTest>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

using FocusOrder = QtControlTest;

TEST_F(FocusOrder, TheFocusingClickRaisesWhatEveryLaterClickRaises) {
    configure();
    for (bool dropDownAuto : {true, false}) {
        SCOPED_TRACE(dropDownAuto);
        widget->setDropDownAuto(dropDownAuto);
        widget->ListaChiudi();
        outside->setFocus(Qt::TabFocusReason);
        settle();
        ASSERT_FALSE(widget->DropDown());
        std::vector<std::string> seen;
        auto note = [&](const char* what) { return [&seen, what] { seen.push_back(what); }; };
        auto c1 = QObject::connect(widget, &QuorvelWidget::MouseDown, note("down"));
        auto c2 = QObject::connect(widget, &QuorvelWidget::MouseUp, note("up"));
        auto c3 = QObject::connect(widget, &QuorvelWidget::Click, note("click"));
        // Through the window, as the platform delivers a user's click: Qt
        // picks the receivers of the press and of the release itself.
        const QPoint at = edit()->mapTo(form.get(), QPoint(5, 5));
        auto click = [&] {
            QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, at);
            settle();
            QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, at);
            settle();
        };
        click();
        EXPECT_EQ(QApplication::focusWidget(), edit());
        const auto first = seen;
        seen.clear();
        click();
        EXPECT_EQ(first, (std::vector<std::string>{"down", "up", "click"}));
        EXPECT_EQ(seen, first);
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        QObject::disconnect(c3);
    }
}

// The focus comes in with a click on a row of a list opened while it was
// outside: the release reaches the list (it once went to the grid's frame,
// which dropped it) and no grab outlives the click.
TEST_F(FocusOrder, AFocusingClickOnTheOpenListChoosesTheRow) {
    configure();
    outside->setFocus(Qt::TabFocusReason);
    settle();
    widget->ListaApri();
    settle();
    ASSERT_TRUE(widget->DropDown());
    QSignalSpy chosen(widget, &QuorvelWidget::BeenChosen);
    const QRect cell = view()->visualRect(view()->model()->index(4, 0));
    const QPoint at = view()->viewport()->mapTo(form.get(), cell.center());
    QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, at);
    settle();
    QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, at);
    settle();
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(widget->BoundText(), "R12");
}

TEST_F(FocusOrder, TheControlIsOneTabStopInTheFormsOrder) {
    configure();
    auto* after = new QLineEdit(form.get());
    after->setGeometry(250, 60, 100, 20);
    after->show();
    QWidget::setTabOrder(outside, widget);
    QWidget::setTabOrder(widget, after);
    widget->setDropDownAuto(false);
    outside->setFocus(Qt::TabFocusReason);
    settle();
    std::vector<QWidget*> order;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        order.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{edit(), after, outside}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    settle();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    settle();
    EXPECT_EQ(QApplication::focusWidget(), edit()) << "Shift+Tab comes back to the edit box";
}

}  // namespace
}  // namespace quorvel::qt::testing
