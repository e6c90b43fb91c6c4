// What assistive tools (screen readers, magnifiers) learn of the widget.
//
// QuorvelWidget reports itself as a combo box: its name from accessibleName
// or from the label whose buddy it is (or whose buddy is inside it), its
// value the edit box's text, its state expanded or collapsed with the list,
// one action that opens or closes the list. Its children are Qt's own: the
// edit box, the drop-down button (named "Open list" or "Close list", with
// the same tooltip) and the list's table. When the list's current row moves
// while the focus stays in the edit box, the table announces the cell that
// is now active, as a combo box's popup does.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>

class QLabel;
class QModelIndex;
class QTableView;

namespace quorvel::qt {

class QuorvelWidget;

// Gives QuorvelWidget its interface. Qt keeps the factories of the process;
// installing again adds nothing.
void installAccessibility();

// The view's current cell moved while the focus is elsewhere in the control.
void announceActiveCell(QTableView* view, const QModelIndex& index);

class QuorvelAccessible final : public QAccessibleWidget {
public:
    explicit QuorvelAccessible(QuorvelWidget* widget);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QStringList actionNames() const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    QuorvelWidget* combo() const;
    // The widget with its control and site: not while it is ending, when an
    // assistive tool may still ask; then the answers are the defaults.
    bool live() const;
    QString buddyText() const;

    // The label found last: asked first, before the window's labels.
    mutable QPointer<QLabel> buddyLabel_;
};

}  // namespace quorvel::qt
