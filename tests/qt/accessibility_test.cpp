// What assistive tools read of the widget, and the events they hear, on the
// offscreen platform with Qt's accessibility turned on.
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

struct Heard {
    QAccessible::Event type;
    QObject* object;
    int child;
    QVariant value;
};
std::vector<Heard> heard;
void hear(QAccessibleEvent* e) {
    QVariant value;
    if (e->type() == QAccessible::ValueChanged) value = static_cast<QAccessibleValueChangeEvent*>(e)->value();
    heard.push_back({e->type(), e->object(), e->child(), value});
}

class Accessibility : public QtControlTest {
protected:
    void SetUp() override {
        QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
        ASSERT_NE(platform, nullptr);
        platform->setActive(true);
        QAccessible::installUpdateHandler(hear);
        heard.clear();
    }
    void TearDown() override {
        QAccessible::installUpdateHandler(nullptr);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
    }
    QAccessibleInterface* childWithRole(QAccessibleInterface* parent, QAccessible::Role role) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->role() == role) return parent->child(i);
        return nullptr;
    }
    bool heardOn(QAccessible::Event type, QObject* object) {
        return std::any_of(heard.begin(), heard.end(),
                           [&](const Heard& h) { return h.type == type && h.object == object; });
    }
};

// An assistive tool may read the widget while it ends (its children going
// raise events): it once read a control already gone.
QuorvelWidget* readWhileHearing = nullptr;
void hearAndRead(QAccessibleEvent* e) {
    hear(e);
    if (!readWhileHearing) return;
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(readWhileHearing);
    if (!combo) return;
    (void)combo->state();
    (void)combo->text(QAccessible::Value);
    (void)combo->text(QAccessible::Name);
    (void)combo->actionInterface()->localizedActionDescription(QAccessibleActionInterface::showMenuAction());
}

TEST_F(Accessibility, AnEndingWidgetAnswersWithDefaults) {
    configure();
    focusEditBox();
    control().ListaApri();
    readWhileHearing = widget;
    QAccessible::installUpdateHandler(hearAndRead);
    delete widget;
    widget = nullptr;
    readWhileHearing = nullptr;
    QAccessible::installUpdateHandler(hear);
    EXPECT_FALSE(heard.empty());
}

// The value event once carried the text shown before the change.
TEST_F(Accessibility, TheValueEventCarriesTheTextNowShown) {
    configure();
    for (const char* key : {"R12", "B07"}) {
        heard.clear();
        widget->setBoundText(key);
        auto last = std::find_if(heard.rbegin(), heard.rend(), [&](const Heard& h) {
            return h.type == QAccessible::ValueChanged && h.object == widget;
        });
        ASSERT_NE(last, heard.rend()) << key;
        EXPECT_EQ(last->value.toString(), edit()->text()) << key;
    }
}

TEST_F(Accessibility, AComboBoxNamedByItsLabelWithItsValueStateButtonAndList) {
    auto* label = new QLabel("&Customer", form.get());
    label->setBuddy(widget);
    configure();
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->role(), QAccessible::ComboBox);
    EXPECT_EQ(combo->text(QAccessible::Name), "Customer");
    widget->setAccessibleName("Cliente");
    EXPECT_EQ(combo->text(QAccessible::Name), "Cliente") << "accessibleName comes first";
    widget->setBoundText("B07");
    EXPECT_EQ(combo->text(QAccessible::Value), "Bianchi");
    EXPECT_TRUE(combo->state().collapsed);

    QAccessibleInterface* button = childWithRole(combo, QAccessible::Button);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), "Open list");
    EXPECT_EQ(this->button()->toolTip(), "Open list");
    QAccessibleInterface* table = childWithRole(combo, QAccessible::Table);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->object(), view());

    // Opening: expanded, heard, and the button names its new action.
    heard.clear();
    focusEditBox();
    ASSERT_TRUE(widget->DropDown());
    EXPECT_TRUE(combo->state().expanded);
    EXPECT_FALSE(combo->state().collapsed);
    EXPECT_TRUE(heardOn(QAccessible::StateChanged, widget));
    EXPECT_EQ(button->text(QAccessible::Name), "Close list");

    // A find moves the row while the focus stays in the edit box: the table
    // announces the cell now active.
    heard.clear();
    edit()->selectAll();
    QTest::keyClicks(edit(), "Ro");
    ASSERT_EQ(QApplication::focusWidget(), edit());
    auto announced = std::find_if(heard.begin(), heard.end(), [&](const Heard& h) {
        return h.type == QAccessible::ActiveDescendantChanged && h.object == view();
    });
    ASSERT_NE(announced, heard.end());
    QAccessibleInterface* cell = table->child(announced->child);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "R05");

    // The value and the action.
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_TRUE(heardOn(QAccessible::ValueChanged, widget));
    EXPECT_EQ(combo->text(QAccessible::Value), "Romano");
    ASSERT_EQ(combo->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::showMenuAction()});
    combo->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(widget->DropDown());
}

}  // namespace
}  // namespace quorvel::qt::testing
