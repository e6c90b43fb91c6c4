// QuorvelWidget: the multi-column, data-bound combo box as a Qt 6 widget.
//
// The widget is the control's own surface. It owns a QtSite (the Qt host of
// the platform interfaces) and the control itself, and presents the
// control's public interface the Qt way:
//
//   - a Q_PROPERTY for each public property, under the control's own name
//     (`ListRecordSource`, `BoundText`, ...), with a getter of that name and
//     a setter `set` + name. The accessors and the methods' bodies are made
//     from the member table (control/member_table.h); the Q_PROPERTY lines,
//     slots and signals below are spelled out for moc, and a test compares
//     them with the table;
//   - a signal for each of the control's 13 events, under the event's name;
//     an event's by-reference arguments come as a pointer to a small struct
//     that a slot connected directly (the default within the GUI thread) may
//     change: what it leaves there is what the control goes on with. A
//     queued connection would see the struct after it is gone: never queue
//     these signals;
//   - slots for the methods, and Q_INVOKABLE value helpers.
//
// Booleans are bool here (the control stores True as -1); colours are the
// host's 32-bit colour values, an RGB value 0x00BBGGRR or a system-colour
// reference with the high bit set, so that a colour that follows the
// palette survives a round trip (colorOf gives the QColor it shows as);
// fonts are QFont values, converted to and from the control's font objects.
//
// Failures. The control reports failures of its own operations itself, by
// its message box. A failure that would leave a setter, a slot or an input
// event of this widget (a value the control refuses, a field that is not
// there) never crosses into Qt: the widget keeps it as lastFailure() and
// emits failed().
//
// In a .ui form: place a QWidget and promote it to quorvel::qt::QuorvelWidget
// with header "qt/quorvel_widget.h". The control starts with first-time
// defaults; load() gives it a stored property set.
#pragma once

#include <QFont>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

#include "control/interface_description.h"
#include "control/member_table.h"
#include "platform/host.h"

namespace quorvel {
class Quorvel2000;
}

namespace quorvel::qt {

class QtSite;

using PicturePtr = std::shared_ptr<quorvel::Picture>;
using RecordsetPtr = std::shared_ptr<quorvel::Recordset>;
using ObjectPtr = std::shared_ptr<quorvel::Object>;

// The by-reference arguments of the events, named as the control names them.
struct MouseEventArgs {
    std::int16_t Button = 0;  // 1 left, 2 right, 4 middle
    std::int16_t Shift = 0;   // 1 Shift, 2 Ctrl, 4 Alt
    float X = 0;              // twips
    float Y = 0;
};
struct KeyEventArgs {
    std::int16_t KeyCode = 0;  // virtual-key code; 0 drops the key
    std::int16_t Shift = 0;
};
struct KeyPressEventArgs {
    std::int16_t KeyAscii = 0;  // a UTF-16 code unit; 0 drops the character
};
struct ErrorEventArgs {
    std::int16_t DataErr = 0;
    std::int16_t Response = 0;
};
struct ValidateEventArgs {
    std::int16_t Action = 0;
    std::int16_t Save = 0;
};

// The Qt type of each value type of the control's interface: what a
// property's getter returns (type) and its setter takes (param).
template <idl::ValueType T>
struct QtValue;
template <class V, class P = V>
struct QtValueAs {
    using type = V;
    using param = P;
};
template <>
struct QtValue<idl::ValueType::Boolean> : QtValueAs<bool> {};
template <>
struct QtValue<idl::ValueType::Integer> : QtValueAs<int> {};
template <>
struct QtValue<idl::ValueType::Long> : QtValueAs<int> {};
template <>
struct QtValue<idl::ValueType::Single> : QtValueAs<double> {};
template <>
struct QtValue<idl::ValueType::String> : QtValueAs<QString, const QString&> {};
template <>
struct QtValue<idl::ValueType::Variant> : QtValueAs<QVariant, const QVariant&> {};
// An RGB value 0x00BBGGRR or a system-colour reference with the high bit set.
template <>
struct QtValue<idl::ValueType::Colour> : QtValueAs<int> {};
template <>
struct QtValue<idl::ValueType::FontObject> : QtValueAs<QFont, const QFont&> {};
template <>
struct QtValue<idl::ValueType::PictureObject> : QtValueAs<PicturePtr> {};
template <>
struct QtValue<idl::ValueType::RecordsetObject> : QtValueAs<RecordsetPtr> {};
template <>
struct QtValue<idl::ValueType::Object> : QtValueAs<ObjectPtr> {};
template <>
struct QtValue<idl::ValueType::MarqueeStyle> : QtValueAs<int> {};
template <>
struct QtValue<idl::ValueType::ScrollBars> : QtValueAs<int> {};
template <idl::ValueType T>
using QtValueOf = typename QtValue<T>::type;
template <idl::ValueType T>
using QtParamOf = typename QtValue<T>::param;

struct FailureInfo {
    std::int32_t number = 0;  // 0: none yet
    QString description;
};

class QuorvelWidget : public QWidget {
    Q_OBJECT

    // The edit box.
    Q_PROPERTY(int BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(int ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(int BorderStyle READ BorderStyle)
    Q_PROPERTY(int Alignment READ Alignment)
    Q_PROPERTY(int Appearance READ Appearance)
    Q_PROPERTY(bool Locked READ Locked WRITE setLocked)
    Q_PROPERTY(int SelStart READ SelStart WRITE setSelStart)
    Q_PROPERTY(int SelLength READ SelLength WRITE setSelLength)
    Q_PROPERTY(QString SelText READ SelText WRITE setSelText)
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE setMaxLength)
    // The control's surface.
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(double CurrentX READ CurrentX WRITE setCurrentX)
    Q_PROPERTY(double CurrentY READ CurrentY WRITE setCurrentY)
    Q_PROPERTY(bool AutoRedraw READ AutoRedraw WRITE setAutoRedraw)
    Q_PROPERTY(quorvel::qt::PicturePtr MouseIcon READ MouseIcon WRITE setMouseIcon)
    Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer)
    Q_PROPERTY(int hwnd READ hwnd)
    // The grid.
    Q_PROPERTY(int MarqueeStyle READ MarqueeStyle WRITE setMarqueeStyle)
    Q_PROPERTY(double DefColWidth READ DefColWidth WRITE setDefColWidth)
    Q_PROPERTY(int ScrollBars READ ScrollBars WRITE setScrollBars)
    Q_PROPERTY(QFont ListBodyFont READ ListBodyFont WRITE setListBodyFont)
    Q_PROPERTY(QFont ListHeadFont READ ListHeadFont WRITE setListHeadFont)
    Q_PROPERTY(int ListForeColor READ ListForeColor WRITE setListForeColor)
    Q_PROPERTY(int ListBackColor READ ListBackColor WRITE setListBackColor)
    Q_PROPERTY(quorvel::qt::ObjectPtr Columns READ Columns)
    // The column lists.
    Q_PROPERTY(QString ColsCaption READ ColsCaption WRITE setColsCaption)
    Q_PROPERTY(QString ColsField READ ColsField WRITE setColsField)
    Q_PROPERTY(QString ColsFormat READ ColsFormat WRITE setColsFormat)
    Q_PROPERTY(QString ColsSize READ ColsSize WRITE setColsSize)
    Q_PROPERTY(QString ColsAlignment READ ColsAlignment WRITE setColsAlignment)
    // Behaviour.
    Q_PROPERTY(bool DropDown READ DropDown WRITE setDropDown)
    Q_PROPERTY(bool DropDownAuto READ DropDownAuto WRITE setDropDownAuto)
    Q_PROPERTY(bool OnListOnly READ OnListOnly WRITE setOnListOnly)
    Q_PROPERTY(int ListHeight READ ListHeight WRITE setListHeight)
    Q_PROPERTY(bool FastMode READ FastMode WRITE setFastMode)
    Q_PROPERTY(bool BringToFront READ BringToFront WRITE setBringToFront)
    Q_PROPERTY(bool SearchDisable READ SearchDisable WRITE setSearchDisable)
    // 0 the control's own keys, 1 the conventions of Qt's combo box.
    Q_PROPERTY(int KeyboardConventions READ KeyboardConventions WRITE setKeyboardConventions)
    Q_PROPERTY(QVariant About READ About WRITE setAbout)
    // The bound value.
    Q_PROPERTY(QString BoundText READ BoundText WRITE setBoundText NOTIFY BoundTextChanged USER true)
    Q_PROPERTY(QVariant BoundField READ BoundField WRITE setBoundField)
    Q_PROPERTY(QVariant ListSearchField READ ListSearchField WRITE setListSearchField)
    // The data source.
    Q_PROPERTY(QString ListDataBaseName READ ListDataBaseName WRITE setListDataBaseName)
    Q_PROPERTY(QString ListRecordSource READ ListRecordSource WRITE setListRecordSource)
    Q_PROPERTY(QString Connect READ Connect WRITE setConnect)
    Q_PROPERTY(int DefaultCursorType READ DefaultCursorType WRITE setDefaultCursorType)
    Q_PROPERTY(int DefaultType READ DefaultType WRITE setDefaultType)
    Q_PROPERTY(int Options READ Options WRITE setOptions)
    Q_PROPERTY(int ListRecordsetType READ ListRecordsetType WRITE setListRecordsetType)
    Q_PROPERTY(quorvel::qt::RecordsetPtr ListRecordset READ ListRecordset WRITE setListRecordset)

public:
    // A newly placed control: first-time defaults, no data source yet.
    explicit QuorvelWidget(QWidget* parent = nullptr);
    ~QuorvelWidget() override;

    // The control and its host, for what the Qt interface does not cover
    // (the control's own typed interface throws Failure as the platform
    // does).
    quorvel::Quorvel2000& control();
    QtSite& site();

    // --- Persistence ----------------------------------------------------
    // First-time defaults, as for a newly placed instance.
    void initProperties();
    // Loads a stored property set (the control reports what it cannot load
    // by its message box), then lays the control out at its current size.
    void load(quorvel::PropertyBag& bag);
    // Writes the property set; defaults are not stored.
    void save(quorvel::PropertyBag& bag);

    // --- Host settings --------------------------------------------------
    // The locale of the control's conversions (numbers, dates, criteria).
    void setControlLocale(const quorvel::Locale& locale);
    const quorvel::Locale& controlLocale() const;
    // Replaces the modal message box (a test, a log window). With none set
    // the widget shows a QMessageBox with an OK button only.
    void setMessageBoxHandler(std::function<void(const QString& prompt)> handler);

    FailureInfo lastFailure() const { return lastFailure_; }

    // The closed control's size, for a layout that asks.
    QSize sizeHint() const override;

    // The colour a host colour value shows as: RGB values as they are,
    // system-colour references from this widget's palette.
    QColor colorOf(int hostColor) const;
    static int hostColorOf(const QColor& color);

    // --- Properties -----------------------------------------------------
    // Each property of the member table (control/member_table.h): a getter
    // of its name, and a setter `set` + name unless it is read-only, in the
    // Qt type of its value (QtValue below). Some say more than their type:
    //   setFont        also the surface's own font, so that a form's font
    //                  setting reaches the edit box;
    //   setEnabled     the control's Enabled, which is also the widget's
    //                  enabled state;
    //   setDropDown    opens or closes the list to the state asked for;
    //   BoundField, ListSearchField
    //                  a field name (QString) or a zero-based field number
    //                  (int);
    //   Columns        the grid's columns collection; with an index (a
    //                  number, or a column's field or caption) one column,
    //                  none when the index names no column.
#ifndef Q_MOC_RUN
#define QV_DECLARE_MethodNone(Name, T)
#define QV_DECLARE_PropertyGet(Name, T) QtValueOf<T> Name() const;
#define QV_DECLARE_PropertyGetLet(Name, T) QV_DECLARE_PropertyGet(Name, T) void set##Name(QtParamOf<T> v);
#define QV_DECLARE_PropertyGetSet(Name, T) QV_DECLARE_PropertyGetLet(Name, T)
#define QV_DECLARE(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    QV_DECLARE_##Kind##Access(Name, idl::ValueType::Type)
    QUORVEL_MEMBERS(QV_DECLARE)
#undef QV_DECLARE_MethodNone
#undef QV_DECLARE_PropertyGet
#undef QV_DECLARE_PropertyGetLet
#undef QV_DECLARE_PropertyGetSet
#undef QV_DECLARE
#endif
    ObjectPtr Columns(const QVariant& index) const;

    // --- Value helpers --------------------------------------------------
    // Null-safe text, numbers and criteria pieces, as the control's own
    // helpers give them (in the control's locale).
    Q_INVOKABLE QVariant UnNull(const QVariant& che);
    Q_INVOKABLE QVariant UnNull2(const QVariant& che2);
    Q_INVOKABLE QVariant UnNullxSQL(const QVariant& che3);
    Q_INVOKABLE QVariant Val2(const QVariant& Cosa);
    Q_INVOKABLE QString ValxSQL(const QVariant& Cosa);

public slots:
    void ImpostaDataControl();
    void ListaApri();
    void ListaChiudi();
    void AssettaGrid();
    void AssettaGridDefault();
    void Refresh();
    void ListRefresh();

signals:
    // The control's events, in the order of their identifiers.
    void Drop();
    void Click();
    void DblClick();
    void BeenChosen();
    void MouseDown(quorvel::qt::MouseEventArgs* args);
    void MouseMove(quorvel::qt::MouseEventArgs* args);
    void MouseUp(quorvel::qt::MouseEventArgs* args);
    void KeyDown(quorvel::qt::KeyEventArgs* args);
    void KeyPress(quorvel::qt::KeyPressEventArgs* args);
    void KeyUp(quorvel::qt::KeyEventArgs* args);
    void Change();
    void Error(quorvel::qt::ErrorEventArgs* args);
    void ListValidate(quorvel::qt::ValidateEventArgs* args);

    // The control told its host that a property changed.
    void propertyChanged(const QString& name);
    // The bound value changed (BoundText's notify signal). BoundText is the
    // widget's USER property: what QDataWidgetMapper and item delegates
    // read and write, so that the control edits a key column.
    void BoundTextChanged(const QString& boundText);
    // The control asks whether a property may change; a slot that sets
    // *allow to false stops the change. Connect directly.
    void editRequested(const QString& name, bool* allow);
    // Every event and notification as one line of the host's trace format
    // ("event KeyDown KeyCode=Integer 82 Shift=Integer 0", "notify
    // BoundText"), in the order they happen: what an event log shows.
    void traced(const QString& line);
    // A failure that left one of this widget's calls or input events.
    void failed(int number, const QString& description);

protected:
    void focusInEvent(QFocusEvent* event) override;
    // Under the combo-box conventions: a press outside the control or its
    // window losing activation closes the list.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class QuorvelWidgetHost;
    friend class QuorvelAccessible;
    template <class F>
    void guarded(F&& f) const;
    template <class T, class F>
    T guardedValue(T fallback, F&& f) const;
    // What a property's setter does to the QWidget itself before the control
    // has the value: nothing, but for Font.
    template <auto Setter, class V>
    void beforeWrite(const V&) {}
    void reportFailure(std::int32_t number, const std::string& description) const;
    // Takes up the keyboard conventions the control holds now.
    void followKeyboardConventions();
    // Tells BoundTextChanged of a value that changed without the control's
    // notification.
    void syncBoundText();
    // The list opened or closed: the button's name and tooltip, and the
    // expanded state assistive tools read.
    void listStateChanged();
    // The focus came to the edit box with a mouse button down: the box
    // keeps the mouse from its press until the release (or until it is
    // hidden, loses the focus or its window is blocked by a modal one).
    void holdPressedChild();
    void letGoOfPress(bool afterThisEvent);

    std::unique_ptr<QtSite> site_;
    std::unique_ptr<quorvel::Quorvel2000> control_;
    mutable FailureInfo lastFailure_;
    QString notifiedBoundText_;
    bool watchingOutside_ = false;
    QMetaObject::Connection focusWatch_;
    QPointer<QWidget> pressHolder_;
    // The window of the held press, and whether the press reached the box.
    QPointer<QWidget> pressWindow_;
    bool pressHeld_ = false;
    bool shownOpen_ = false;
};

}  // namespace quorvel::qt

Q_DECLARE_METATYPE(quorvel::qt::PicturePtr)
Q_DECLARE_METATYPE(quorvel::qt::RecordsetPtr)
Q_DECLARE_METATYPE(quorvel::qt::ObjectPtr)
