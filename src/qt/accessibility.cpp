#include "qt/accessibility.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include "qt/quorvel_widget.h"
#include "qt/site.h"

namespace quorvel::qt {

namespace {

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className != QLatin1String("quorvel::qt::QuorvelWidget") || !object || !object->isWidgetType())
        return nullptr;
    return new QuorvelAccessible(static_cast<QuorvelWidget*>(object));
}

// A label's text as it reads: "&Customer" is "Customer", "&&" is "&".
QString withoutMnemonic(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'&') {
            out += u'&';
            ++i;
        }
    }
    return out;
}

}  // namespace

void installAccessibility() {
    // Qt's list of factories belongs to the process; one entry serves every
    // widget.
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

void announceActiveCell(QTableView* view, const QModelIndex& index) {
    if (!view || !index.isValid() || !QAccessible::isActive()) return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    if (!cells) return;
    QAccessibleInterface* cell = cells->cellAt(index.row(), index.column());
    if (!cell) return;
    QAccessibleEvent event(table, QAccessible::ActiveDescendantChanged);
    event.setChild(table->indexOfChild(cell));
    QAccessible::updateAccessibility(&event);
}

QuorvelAccessible::QuorvelAccessible(QuorvelWidget* widget)
    : QAccessibleWidget(widget, QAccessible::ComboBox) {}

QuorvelWidget* QuorvelAccessible::combo() const { return static_cast<QuorvelWidget*>(widget()); }

bool QuorvelAccessible::live() const {
    const QuorvelWidget* w = combo();
    return w && w->control_ && w->site_;
}

QString QuorvelAccessible::buddyText() const {
    const QWidget* w = widget();
    if (!w) return {};
    auto names = [w](const QLabel* label) {
        const QWidget* buddy = label ? label->buddy() : nullptr;
        return buddy && (buddy == w || w->isAncestorOf(buddy));
    };
    if (!names(buddyLabel_)) {
        buddyLabel_ = nullptr;
        for (QLabel* label : w->window()->findChildren<QLabel*>()) {
            if (!names(label)) continue;
            buddyLabel_ = label;
            break;
        }
    }
    return buddyLabel_ ? withoutMnemonic(buddyLabel_->text()) : QString();
}

QString QuorvelAccessible::text(QAccessible::Text t) const {
    switch (t) {
        case QAccessible::Name: {
            QString name = widget()->accessibleName();
            if (name.isEmpty()) name = buddyText();
            return name;
        }
        case QAccessible::Value: {
            if (!live()) return {};
            const QLineEdit* edit = combo()->site().lineEdit("Text2");
            return edit ? edit->text() : QString();
        }
        default: return QAccessibleWidget::text(t);
    }
}

QAccessible::State QuorvelAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    if (!live()) return s;
    const bool open = combo()->DropDown();
    s.expandable = true;
    s.expanded = open;
    s.collapsed = !open;
    s.editable = !combo()->Locked();
    s.hasPopup = true;
    // The edit box holds the focus for the control.
    const QWidget* focus = QApplication::focusWidget();
    s.focusable = true;
    s.focused = focus && (focus == widget() || widget()->isAncestorOf(focus));
    return s;
}

QStringList QuorvelAccessible::actionNames() const { return {showMenuAction()}; }

QString QuorvelAccessible::localizedActionDescription(const QString& name) const {
    if (name != showMenuAction() || !live()) return {};
    return combo()->DropDown() ? QuorvelWidget::tr("Close list") : QuorvelWidget::tr("Open list");
}

void QuorvelAccessible::doAction(const QString& name) {
    if (name == showMenuAction() && live()) combo()->setDropDown(!combo()->DropDown());
}

QStringList QuorvelAccessible::keyBindingsForAction(const QString& name) const {
    if (name != showMenuAction()) return {};
    return {QStringLiteral("F4")};
}

}  // namespace quorvel::qt
