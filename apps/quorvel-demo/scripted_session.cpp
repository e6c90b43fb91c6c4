#include "scripted_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>

#include "demo_window.h"
#include "qt/quorvel_widget.h"
#include "qt/site.h"

namespace quorvel::demo {

namespace {

// Lets Qt deliver what the last step queued (focus changes, the control's
// queued keys, repaints) before the next step.
void settle(DemoWindow& window) {
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 5 || (timer.elapsed() < 2000 && (window.customer().site().pendingKeys() > 0 ||
                                                                 window.city().site().pendingKeys() > 0));
         ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void press(DemoWindow& window, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = &window;
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &down);
    settle(window);
    // The release goes where the focus is now: Enter may have moved it.
    target = QApplication::focusWidget();
    if (!target) target = &window;
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &up);
    settle(window);
}

void type(DemoWindow& window, const QString& text) {
    for (QChar c : text) {
        const QChar upper = c.toUpper();
        const bool ownKey =
            (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z')) || c.isDigit() || c == QLatin1Char(' ');
        const int key = ownKey ? static_cast<int>(upper.unicode()) : static_cast<int>(Qt::Key_unknown);
        press(window, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

bool focusEditBox(DemoWindow& window, qt::QuorvelWidget& control) {
    QLineEdit* edit = control.site().lineEdit("Text2");
    if (!edit) return false;
    edit->setFocus(Qt::TabFocusReason);
    settle(window);
    return QApplication::focusWidget() == edit;
}

// The user selects the whole text of the edit box, so that what is typed
// next replaces it (a form loaded with a value shows that value's text).
void selectAll(DemoWindow& window, qt::QuorvelWidget& control) {
    control.setSelStart(0);
    control.setSelLength(static_cast<int>(control.Text().size()));
    settle(window);
}

bool fail(QString* problem, const QString& what) {
    if (problem) *problem = what;
    return false;
}

}  // namespace

bool playScriptedSession(DemoWindow& window, const QString& screenshot, QString* problem) {
    window.mark(
        QStringLiteral("the window opens: the focus enters the customer's edit box and its list drops"));
    window.show();
    window.activateWindow();
    window.raise();
    QElapsedTimer timer;
    timer.start();
    while (!window.isActiveWindow() && timer.elapsed() < 2000) settle(window);

    qt::QuorvelWidget& customer = window.customer();
    qt::QuorvelWidget& city = window.city();
    const QString chosen = QStringLiteral("event BeenChosen");
    const int chosenBefore = window.count(chosen);

    if (!focusEditBox(window, customer))
        return fail(problem, QStringLiteral("the customer's edit box did not take the focus"));
    if (!customer.DropDown()) {
        // A form whose list does not drop on entry: the user clicks the button.
        window.mark(QStringLiteral("a click on the button drops the list"));
        if (QToolButton* button = customer.site().toolButton("Command1")) button->click();
        settle(window);
    }
    window.mark(
        QStringLiteral("the user selects the text and types Rossi: the list moves to the first Rossi"));
    selectAll(window, customer);
    type(window, QStringLiteral("Rossi"));
    window.mark(QStringLiteral("Down gives the focus to the list; Down again moves to the next row"));
    press(window, Qt::Key_Down, Qt::NoModifier, {});
    press(window, Qt::Key_Down, Qt::NoModifier, {});
    if (!customer.DropDown()) return fail(problem, QStringLiteral("the customer's list is not dropped"));

    window.repaint();
    settle(window);
    if (!window.grab().save(screenshot, "PNG"))
        return fail(problem, QStringLiteral("cannot write the screenshot %1").arg(screenshot));

    window.mark(QStringLiteral("Enter in the list chooses its current row"));
    press(window, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    if (window.count(chosen) == chosenBefore) return fail(problem, QStringLiteral("Enter chose no customer"));
    if (customer.BoundText().isEmpty())
        return fail(problem, QStringLiteral("the chosen customer gave the control no value"));

    window.mark(QStringLiteral("the city: the user selects the text, types Ven and takes it with Enter"));
    if (!focusEditBox(window, city))
        return fail(problem, QStringLiteral("the city's edit box did not take the focus"));
    selectAll(window, city);
    type(window, QStringLiteral("Ven"));
    press(window, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    window.mark(QStringLiteral("values: customer %1, city %2").arg(customer.BoundText(), city.BoundText()));
    return true;
}

}  // namespace quorvel::demo
