// The widget API: properties through Qt's meta-object system, events as
// signals whose slots change the by-reference arguments, the property set
// saved and loaded, failures kept instead of thrown.
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "control/interface_description.h"
#include "control/member_table.h"
#include "headless/json_property_bag.h"
#include "qt/convert.h"
#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

using WidgetApi = QtControlTest;

// The Qt type a member's value or result has on the widget.
template <idl::ValueType T>
QMetaType qtTypeOf() {
    if constexpr (T == idl::ValueType::None) return QMetaType::fromType<void>();
    else return QMetaType::fromType<QtValueOf<T>>();
}

// The Q_PROPERTY lines, slots and signals are the widget's only hand-spelled
// copy of the interface (moc must read them): each is checked here against
// the member table and the events, by name, type and access, both ways.
TEST_F(WidgetApi, TheMetaObjectMatchesTheMemberTableAndTheEvents) {
    std::map<std::string, QMetaType> qtTypes;
#define QV_QT_TYPE(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    qtTypes[#Name] = qtTypeOf<idl::ValueType::Type>();
    QUORVEL_MEMBERS(QV_QT_TYPE)
#undef QV_QT_TYPE

    const QMetaObject* meta = widget->metaObject();
    auto ownMethod = [&](const std::string& name) -> std::optional<QMetaMethod> {
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            if (meta->method(i).name() == name.c_str()) return meta->method(i);
        return std::nullopt;
    };
    std::set<std::string> expectedProperties, expectedMethods;
    for (const auto& m : idl::members()) {
        const std::string name(m.name);
        SCOPED_TRACE(name);
        if (m.kind == idl::MemberKind::Property) {
            expectedProperties.insert(name);
            const int i = meta->indexOfProperty(name.c_str());
            ASSERT_GE(i, meta->propertyOffset());
            const QMetaProperty p = meta->property(i);
            EXPECT_EQ(p.metaType(), qtTypes.at(name)) << p.typeName();
            EXPECT_TRUE(p.isReadable());
            EXPECT_EQ(p.isWritable(), m.hasAccess(idl::kLet) || m.hasAccess(idl::kSet));
            EXPECT_EQ(p.isUser(), m.hasFlag(idl::kDefaultBind))
                << "data binding reads the default-bind property";
            continue;
        }
        // A method without a result is a slot; a value helper is invokable
        // with its one argument.
        expectedMethods.insert(name);
        const auto method = ownMethod(name);
        ASSERT_TRUE(method.has_value());
        EXPECT_EQ(method->access(), QMetaMethod::Public);
        EXPECT_EQ(method->returnMetaType(), qtTypes.at(name));
        EXPECT_EQ(method->parameterCount(), static_cast<int>(m.arguments.size()));
        if (m.type == idl::ValueType::None) {
            EXPECT_EQ(method->methodType(), QMetaMethod::Slot);
        } else {
            EXPECT_EQ(method->methodType(), QMetaMethod::Method);
            EXPECT_EQ(method->parameterMetaType(0), QMetaType::fromType<QVariant>());
        }
    }
    EXPECT_EQ(expectedProperties.size(), 52u);
    for (const auto& e : idl::events()) {
        const std::string name(e.event->name);
        SCOPED_TRACE(name);
        const auto signal = ownMethod(name);
        ASSERT_TRUE(signal.has_value());
        EXPECT_EQ(signal->methodType(), QMetaMethod::Signal);
        // By-reference arguments come as one pointer to a struct.
        EXPECT_EQ(signal->parameterCount(), e.event->argumentCount > 0 ? 1 : 0);
        expectedMethods.insert(name);
    }

    // And nothing beyond them, but the widget's own signals.
    for (const char* own : {"propertyChanged", "BoundTextChanged", "editRequested", "traced", "failed"})
        expectedMethods.insert(own);
    std::set<std::string> properties, methods;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        properties.insert(meta->property(i).name());
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        methods.insert(meta->method(i).name().toStdString());
    EXPECT_EQ(properties, expectedProperties);
    EXPECT_EQ(methods, expectedMethods);
}

TEST_F(WidgetApi, PropertiesReadAndWriteThroughTheMetaObject) {
    EXPECT_TRUE(widget->setProperty("ColsField", "Name;Code"));
    EXPECT_EQ(widget->property("ColsField").toString(), "Name;Code");
    EXPECT_TRUE(widget->setProperty("ListHeight", 1500));
    EXPECT_EQ(widget->ListHeight(), 1500);
    EXPECT_TRUE(widget->setProperty("DropDownAuto", false));
    EXPECT_EQ(widget->control().DropDownAuto(), kFalse);
    EXPECT_TRUE(widget->setProperty("DropDownAuto", true));
    EXPECT_EQ(widget->control().DropDownAuto(), kTrue) << "True is -1 inside the control";
    // Colours stay host colours: a system colour survives the round trip
    // and shows as the palette's colour.
    widget->setBackColor(static_cast<int>(systemColor(15)));
    EXPECT_EQ(widget->BackColor(), static_cast<int>(systemColor(15)));
    EXPECT_EQ(widget->colorOf(widget->BackColor()), widget->palette().color(QPalette::Button));
    widget->setForeColor(0x0000FF);
    EXPECT_EQ(edit()->palette().color(QPalette::Text), QColor(255, 0, 0));
    // A font reaches the edit box.
    QFont f("DejaVu Sans", 14);
    f.setBold(true);
    widget->setFont(f);
    EXPECT_EQ(widget->Font().pointSizeF(), 14);
    EXPECT_TRUE(widget->Font().bold());
    EXPECT_EQ(edit()->font().pointSizeF(), 14);
    // Read-only ones are refused by the meta-object.
    EXPECT_FALSE(widget->setProperty("BorderStyle", 0));
    EXPECT_EQ(widget->BorderStyle(), 1);
}

TEST_F(WidgetApi, ASlotChangesTheEventsArguments) {
    configure();
    widget->setDropDownAuto(false);
    focusEditBox();
    widget->setText("");
    // Every typed character upper-cased; digits dropped.
    QObject::connect(widget, &QuorvelWidget::KeyPress, [](KeyPressEventArgs* a) {
        if (a->KeyAscii >= 'a' && a->KeyAscii <= 'z')
            a->KeyAscii = static_cast<std::int16_t>(a->KeyAscii - 32);
        if (a->KeyAscii >= '0' && a->KeyAscii <= '9') a->KeyAscii = 0;
    });
    QTest::keyClicks(edit(), "ro1s");
    EXPECT_EQ(edit()->text(), "ROS");
    // KeyCode 0 in KeyDown drops the key's own handling: Home moves nothing.
    QObject::connect(widget, &QuorvelWidget::KeyDown, [](KeyEventArgs* a) {
        if (a->KeyCode == 36) a->KeyCode = 0;
    });
    QTest::keyClick(edit(), Qt::Key_Home);
    EXPECT_EQ(edit()->cursorPosition(), 3);
    QTest::keyClick(edit(), Qt::Key_Left);
    EXPECT_EQ(edit()->cursorPosition(), 2);
}

TEST_F(WidgetApi, ThePropertySetRoundTripsThroughAJsonBag) {
    configure();
    widget->setColsField("Name;Code");
    widget->setColsCaption("Nome;Codice");
    widget->setColsSize("1500;800");
    widget->setListHeight(1800);
    headless::JsonPropertyBag bag;
    widget->save(bag);
    EXPECT_TRUE(bag.contains("ColsField"));
    EXPECT_TRUE(bag.contains("ListDataBaseName"));

    QWidget otherForm;
    otherForm.resize(400, 300);
    auto* copy = new QuorvelWidget(&otherForm);
    copy->setGeometry(40, 20, 173, 19);
    std::vector<std::string> prompts;
    copy->setMessageBoxHandler([&](const QString& p) { prompts.push_back(p.toStdString()); });
    headless::JsonPropertyBag again = headless::JsonPropertyBag::parse(bag.dump());
    copy->load(again);
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(copy->ColsField(), "Name;Code");
    EXPECT_EQ(copy->ListHeight(), 1800);
    EXPECT_EQ(copy->ListRecordSource(), "People");
    EXPECT_EQ(copy->site().tableView("DBGrid1")->model()->rowCount(), 6);
    EXPECT_EQ(copy->site().tableView("DBGrid1")->model()->headerData(0, Qt::Horizontal).toString(), "Nome");
}

TEST_F(WidgetApi, FailuresAreKeptAndSignalledNeverThrown) {
    QSignalSpy failed(widget, &QuorvelWidget::failed);
    widget->setMaxLength(-1);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toInt(), 380);
    EXPECT_EQ(widget->lastFailure().number, 380);
    EXPECT_EQ(widget->MaxLength(), 0);
    // A value the control's Integer cannot hold.
    widget->setOptions(70000);
    EXPECT_EQ(widget->lastFailure().number, 6);
    // The control's own report goes to the message box, which the test
    // answers: a database that is not there.
    widget->setListDataBaseName(QString::fromStdString(dir.file("missing.db")));
    widget->setListRecordSource("People");
    EXPECT_TRUE(messages.empty()) << "a missing file marks the list unavailable silently";
    widget->setListDataBaseName(QString::fromStdString(database("CREATE TABLE T (A TEXT);", "t.db")));
    widget->setListRecordSource("Nowhere");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find("/M_007"), std::string::npos) << messages.back();
}

TEST_F(WidgetApi, GeometryIsInTwipsAtTheScreensDpi) {
    configure();
    EXPECT_DOUBLE_EQ(site().twipsPerPixelX(), 1440.0 / widget->logicalDpiX());
    ASSERT_EQ(widget->logicalDpiX(), 96);
    EXPECT_EQ(site().surface().width(), 2595);
    EXPECT_EQ(site().extender().left(), 600);
    EXPECT_EQ(site().extender().top(), 300);
    // The edit box fills the closed control but for the button.
    EXPECT_EQ(control().text2().width(), 2415);
    EXPECT_EQ(edit()->width(), 161);
    EXPECT_EQ(button()->geometry(), QRect(161, 0, 12, 19));
    // A value that is no whole pixel reads back as given.
    control().text2().setTop(305);
    EXPECT_EQ(control().text2().top(), 305);
    EXPECT_EQ(edit()->y(), 20);
    // Hidden: the size still reaches the control's layout at once.
    widget->hide();
    site().surface().setWidth(3000);
    EXPECT_EQ(control().text2().width(), 3000 - 180);
}

TEST_F(WidgetApi, APromotedWidgetNeedsOnlyAParent) {
    // What uic writes for a promoted widget.
    QWidget page;
    auto* w = new QuorvelWidget(&page);
    w->setObjectName("quorvel1");
    w->setGeometry(10, 10, 173, 19);
    EXPECT_EQ(w->parentWidget(), &page);
    EXPECT_EQ(w->Text(), "");
    EXPECT_EQ(w->BoundText(), "");
    EXPECT_TRUE(w->DropDownAuto());
    EXPECT_EQ(w->ListHeight(), 2055);
    EXPECT_EQ(w->sizeHint(), QSize(172, 19));
}

}  // namespace
}  // namespace quorvel::qt::testing
