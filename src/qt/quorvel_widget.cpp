#include "qt/quorvel_widget.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "control/events.h"
#include "control/member_values.h"
#include "control/quorvel2000.h"
#include "qt/accessibility.h"
#include "qt/convert.h"
#include "qt/grid.h"
#include "qt/site.h"

namespace quorvel::qt {

namespace {

std::int16_t int16Of(const Variant& v) {
    try {
        return v.toInteger();
    } catch (const Failure&) { return 0; }
}

float singleOf(const Variant& v) {
    try {
        return v.toSingle();
    } catch (const Failure&) { return 0; }
}

// Writes a handler's value back into the raiser's variable, in the type the
// variable had.
void writeBack(Variant& target, double value) {
    switch (target.type()) {
        case Variant::Type::Single: target = Variant(static_cast<float>(value)); break;
        case Variant::Type::Double: target = Variant(value); break;
        case Variant::Type::Long: target = Variant(roundToLong(value)); break;
        default: target = Variant(roundToInteger(value)); break;
    }
}

}  // namespace

// Routes the site's calls to the widget's signals.
class QuorvelWidgetHost {
public:
    static void raise(QuorvelWidget& w, const EventDescription& event, std::span<Variant> args) {
        auto arg = [&](std::size_t i) -> Variant& {
            if (i >= args.size()) fail(failure::kInvalidProcedureCall, "Missing event argument");
            return args[i];
        };
        switch (event.dispid) {
            case events::Drop.dispid: emit w.Drop(); return;
            case events::Click.dispid: emit w.Click(); return;
            case events::DblClick.dispid: emit w.DblClick(); return;
            case events::BeenChosen.dispid: emit w.BeenChosen(); return;
            case events::MouseDown.dispid:
            case events::MouseMove.dispid:
            case events::MouseUp.dispid: {
                MouseEventArgs a{int16Of(arg(0)), int16Of(arg(1)), singleOf(arg(2)), singleOf(arg(3))};
                if (event.dispid == events::MouseDown.dispid) emit w.MouseDown(&a);
                else if (event.dispid == events::MouseMove.dispid) emit w.MouseMove(&a);
                else emit w.MouseUp(&a);
                writeBack(args[0], a.Button);
                writeBack(args[1], a.Shift);
                writeBack(args[2], a.X);
                writeBack(args[3], a.Y);
                return;
            }
            case events::KeyDown.dispid:
            case events::KeyUp.dispid: {
                KeyEventArgs a{int16Of(arg(0)), int16Of(arg(1))};
                if (event.dispid == events::KeyDown.dispid) emit w.KeyDown(&a);
                else emit w.KeyUp(&a);
                writeBack(args[0], a.KeyCode);
                writeBack(args[1], a.Shift);
                return;
            }
            case events::KeyPress.dispid: {
                KeyPressEventArgs a{int16Of(arg(0))};
                emit w.KeyPress(&a);
                writeBack(args[0], a.KeyAscii);
                return;
            }
            case events::Change.dispid: {
                emit w.Change();
                // What assistive tools read as the value: the edit box's
                // text, which the control has just changed.
                if (QLineEdit* edit = w.site_ ? w.site_->lineEdit("Text2") : nullptr) {
                    QAccessibleValueChangeEvent shown(&w, edit->text());
                    QAccessible::updateAccessibility(&shown);
                }
                return;
            }
            case events::Error.dispid: {
                ErrorEventArgs a{int16Of(arg(0)), int16Of(arg(1))};
                emit w.Error(&a);
                writeBack(args[0], a.DataErr);
                writeBack(args[1], a.Response);
                return;
            }
            case events::ListValidate.dispid: {
                ValidateEventArgs a{int16Of(arg(0)), int16Of(arg(1))};
                emit w.ListValidate(&a);
                writeBack(args[0], a.Action);
                writeBack(args[1], a.Save);
                return;
            }
            default: return;
        }
    }
};

QuorvelWidget::QuorvelWidget(QWidget* parent) : QWidget(parent) {
    // The surface takes no focus of its own: the edit box is the tab stop,
    // and focus given to the widget goes on to it (focusInEvent).
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    site_ = std::make_unique<QtSite>(this);
    site_->setEventHandler([this](const EventDescription& e, std::span<Variant> args) {
        QuorvelWidgetHost::raise(*this, e, args);
    });
    site_->setPropertyChangedHandler([this](std::string_view name) {
        const QString changed = toQString(name);
        emit propertyChanged(changed);
        if (changed == QLatin1String("KeyboardConventions")) followKeyboardConventions();
        if (changed == QLatin1String("DropDown")) listStateChanged();
        if (changed != QLatin1String("BoundText") || !control_) return;
        // The control tells of every write; the signal tells of changes.
        const QString value = BoundText();
        if (value == notifiedBoundText_) return;
        notifiedBoundText_ = value;
        emit BoundTextChanged(value);
    });
    site_->setEditRequestHandler([this](std::string_view name) {
        bool allow = true;
        emit editRequested(toQString(name), &allow);
        return allow;
    });
    site_->setTraceListener([this](const std::string& line) { emit traced(toQString(line)); });
    site_->setFailureHandler([this](const Failure& f) { reportFailure(f.number(), f.description()); });
    installAccessibility();
    control_ = std::make_unique<Quorvel2000>(*site_);
    guarded([&] { control_->InitProperties(); });
    listStateChanged();
    notifiedBoundText_ = BoundText();
    // The focus lives in the children, so Qt never tells the widget itself
    // that it went: an item delegate or a QDataWidgetMapper commits its
    // editor's value when the editor loses the focus, and hears it here.
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        auto within = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
        if (within(now) && !within(old)) holdPressedChild();
        if (old == this || !within(old) || within(now)) return;
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(this, &out);
    });
}

QuorvelWidget::~QuorvelWidget() {
    // The children go after the control: their focus moves and the events
    // of their ending reach nothing of this widget's any more.
    disconnect(focusWatch_);
    if (watchingOutside_) qApp->removeEventFilter(this);
    watchingOutside_ = false;
    letGoOfPress(false);
    // The control ends first: its registration with the site ends with it,
    // and none of the children's events reaches it after. The site and the
    // children's widgets end next, before the surface's own widget does.
    control_.reset();
    site_.reset();
}

Quorvel2000& QuorvelWidget::control() { return *control_; }
QtSite& QuorvelWidget::site() { return *site_; }

void QuorvelWidget::reportFailure(std::int32_t number, const std::string& description) const {
    lastFailure_ = FailureInfo{number, toQString(description)};
    emit const_cast<QuorvelWidget*>(this)->failed(number, lastFailure_.description);
}

template <class F>
void QuorvelWidget::guarded(F&& f) const {
    // Ending: the control is gone while the widget still answers Qt.
    if (!control_ || !site_) return;
    try {
        f();
    } catch (const Failure& failure) {
        reportFailure(failure.number(), failure.description());
    } catch (const std::bad_alloc&) {
        reportFailure(failure::kOutOfMemory, standardDescription(failure::kOutOfMemory));
    } catch (const std::exception& e) { reportFailure(failure::kInvalidProcedureCall, e.what()); }
}

template <class T, class F>
T QuorvelWidget::guardedValue(T fallback, F&& f) const {
    T out = fallback;
    guarded([&] { out = f(); });
    return out;
}

void QuorvelWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (site_->parkingFocus()) return;
    QLineEdit* edit = site_->lineEdit("Text2");
    if (edit && edit->isVisible() && edit->isEnabled()) edit->setFocus(event->reason());
}

void QuorvelWidget::listStateChanged() {
    if (!control_) return;
    const bool open = control_->DropDown() != kFalse;
    if (QToolButton* button = site_->toolButton("Command1")) {
        // The button says what it does.
        const QString action = open ? tr("Close list") : tr("Open list");
        if (button->accessibleName() != action) {
            button->setAccessibleName(action);
            button->setToolTip(action);
        }
    }
    if (open == shownOpen_) return;
    shownOpen_ = open;
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void QuorvelWidget::followKeyboardConventions() {
    if (!control_) return;
    const bool combo = control_->KeyboardConventions() == kComboBoxKeys;
    if (QtGrid* grid = site_->grid("DBGrid1"))
        grid->setPressesMoveRow(combo ? Qt::LeftButton : Qt::AllButtons);
    if (combo == watchingOutside_) return;
    watchingOutside_ = combo;
    if (combo) qApp->installEventFilter(this);
    else qApp->removeEventFilter(this);
}

void QuorvelWidget::holdPressedChild() {
    // A click that brings the focus in may open the list, which hides and
    // shows the clicked edit box in the middle of the click: Qt then forgets
    // where the press went and drops the release, and the click raises
    // MouseDown alone. When the focus came to the edit box with a button
    // down, the box takes the mouse as its press reaches it, and holds it
    // until the release: the focusing click ends where it began, as every
    // later one does. A press elsewhere (a row of the list) is left to Qt.
    QLineEdit* edit = site_ ? site_->lineEdit("Text2") : nullptr;
    if (!edit || QApplication::focusWidget() != edit || pressHolder_) return;
    if (QGuiApplication::mouseButtons() == Qt::NoButton || QWidget::mouseGrabber()) return;
    pressHolder_ = edit;
    pressWindow_ = window();
    pressHeld_ = false;
    edit->installEventFilter(this);
    if (pressWindow_ != this) pressWindow_->installEventFilter(this);
    // The press reaches the box in this same turn of the event loop, or
    // went elsewhere.
    QTimer::singleShot(0, this, [this] {
        if (pressHolder_ && !pressHeld_) letGoOfPress(false);
    });
}

void QuorvelWidget::letGoOfPress(bool afterThisEvent) {
    QPointer<QWidget> holder = pressHolder_;
    pressHolder_ = nullptr;
    if (pressWindow_) pressWindow_->removeEventFilter(this);
    pressWindow_ = nullptr;
    pressHeld_ = false;
    if (!holder) return;
    holder->removeEventFilter(this);
    auto release = [holder] {
        if (holder && QWidget::mouseGrabber() == holder) holder->releaseMouse();
    };
    if (afterThisEvent) QTimer::singleShot(0, holder, release);
    else release();
}

bool QuorvelWidget::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (pressHolder_ && watched == pressHolder_) {
        if (type == QEvent::MouseButtonPress && !pressHeld_) {
            pressHeld_ = true;
            if (!QWidget::mouseGrabber() && pressHolder_->isVisible()) pressHolder_->grabMouse();
        } else if (type == QEvent::MouseButtonRelease) {
            letGoOfPress(true);
        } else if (type == QEvent::Hide || type == QEvent::FocusOut) {
            letGoOfPress(false);
        }
        return false;
    }
    // A modal window opened during the click: the mouse is its own.
    if (pressHolder_ && watched == pressWindow_ && (type == QEvent::WindowBlocked || type == QEvent::Hide))
        letGoOfPress(false);
    if (type != QEvent::MouseButtonPress && type != QEvent::WindowDeactivate) return false;
    if (!control_ || !watched->isWidgetType() || control_->DropDown() == kFalse) return false;
    auto* target = static_cast<QWidget*>(watched);
    const bool outside =
        type == QEvent::MouseButtonPress ? target != this && !isAncestorOf(target) : target == window();
    if (outside) guarded([&] { control_->dismissList(); });
    return false;
}

QSize QuorvelWidget::sizeHint() const {
    return QSize(static_cast<int>(std::lround(2580 / site_->twipsPerPixelX())),
                 static_cast<int>(std::lround(285 / site_->twipsPerPixelY())));
}

// --- Persistence and host settings ----------------------------------------

void QuorvelWidget::initProperties() {
    guarded([&] { control_->InitProperties(); });
    // The defaults tell nothing of the conventions: the Qt side follows them.
    followKeyboardConventions();
    listStateChanged();
    syncBoundText();
}

void QuorvelWidget::syncBoundText() {
    // A value set without the control's notification (the defaults, a load)
    // is the one the next change is told against.
    const QString value = BoundText();
    if (value == notifiedBoundText_) return;
    notifiedBoundText_ = value;
    emit BoundTextChanged(value);
}

void QuorvelWidget::load(PropertyBag& bag) {
    guarded([&] { control_->ReadProperties(bag); });
    followKeyboardConventions();
    listStateChanged();
    syncBoundText();
    // As a host sizes a control after loading it.
    guarded([&] { site_->resized(); });
}

void QuorvelWidget::save(PropertyBag& bag) {
    guarded([&] { control_->WriteProperties(bag); });
}

void QuorvelWidget::setControlLocale(const Locale& locale) { site_->setLocale(locale); }
const Locale& QuorvelWidget::controlLocale() const { return site_->locale(); }

void QuorvelWidget::setMessageBoxHandler(std::function<void(const QString&)> handler) {
    if (!handler) {
        site_->setMessageBoxHandler({});
        return;
    }
    site_->setMessageBoxHandler(
        [handler = std::move(handler)](const std::string& prompt) { handler(toQString(prompt)); });
}

QColor QuorvelWidget::colorOf(int hostColor) const { return qt::colorOf(hostColor, palette()); }
int QuorvelWidget::hostColorOf(const QColor& color) { return qt::hostColorOf(color); }

// --- Properties and methods, from the member table --------------------------

namespace {

// A value of the control's interface as the widget hands it out.
template <idl::ValueType T>
QtValueOf<T> toQt(const idl::ControlValueOf<T>& v) {
    using VT = idl::ValueType;
    if constexpr (T == VT::Boolean) return v != kFalse;
    else if constexpr (T == VT::Single) return static_cast<double>(v);
    else if constexpr (T == VT::String) return toQString(v);
    else if constexpr (T == VT::Variant) return toQVariant(v);
    else if constexpr (T == VT::FontObject) return v ? qFontOf(v->description()) : QFont();
    else return v;
}

// A value given to the widget as the control's interface takes it; Failure
// 6 for a number the control's 16-bit Integer cannot hold.
template <idl::ValueType T>
idl::ControlValueOf<T> fromQt(QtParamOf<T> v) {
    using VT = idl::ValueType;
    if constexpr (T == VT::Boolean) return toVBool(v);
    else if constexpr (T == VT::Integer) return roundToInteger(v);
    else if constexpr (T == VT::Single) return static_cast<float>(v);
    else if constexpr (T == VT::String) return toStdString(v);
    else if constexpr (T == VT::Variant) return fromQVariant(v);
    else if constexpr (T == VT::FontObject) return quorvel::Font::make(fontDescriptionOf(v));
    else return v;
}

}  // namespace

template <>
void QuorvelWidget::beforeWrite<&Quorvel2000::setFont, QFont>(const QFont& v) {
    QWidget::setFont(v);
}

// A method without a result takes nothing and is a slot; a value helper
// takes its one argument by reference, here a copy.
#define QV_METHOD_None(Name)                \
    void QuorvelWidget::Name() {            \
        guarded([&] { control_->Name(); }); \
    }
#define QV_METHOD_RESULT(Name, T)                                \
    QtValueOf<T> QuorvelWidget::Name(const QVariant& argument) { \
        return guardedValue<QtValueOf<T>>({}, [&] {              \
            Variant v = fromQVariant(argument);                  \
            return toQt<T>(control_->Name(v));                   \
        });                                                      \
    }
#define QV_METHOD_Variant(Name) QV_METHOD_RESULT(Name, idl::ValueType::Variant)
#define QV_METHOD_String(Name) QV_METHOD_RESULT(Name, idl::ValueType::String)
#define QV_DEFINE_MethodNone(Name, Type) QV_METHOD_##Type(Name)
#define QV_DEFINE_PropertyGet(Name, Type)                                      \
    QtValueOf<idl::ValueType::Type> QuorvelWidget::Name() const {              \
        return guardedValue<QtValueOf<idl::ValueType::Type>>(                  \
            {}, [&] { return toQt<idl::ValueType::Type>(control_->Name()); }); \
    }
#define QV_DEFINE_PropertyGetLet(Name, Type)                                                             \
    QV_DEFINE_PropertyGet(Name, Type) void QuorvelWidget::set##Name(QtParamOf<idl::ValueType::Type> v) { \
        beforeWrite<&Quorvel2000::set##Name>(v);                                                         \
        guarded([&] { control_->set##Name(fromQt<idl::ValueType::Type>(v)); });                          \
    }
#define QV_DEFINE_PropertyGetSet(Name, Type) QV_DEFINE_PropertyGetLet(Name, Type)
#define QV_DEFINE(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description) \
    QV_DEFINE_##Kind##Access(Name, Type)

QUORVEL_MEMBERS(QV_DEFINE)

#undef QV_METHOD_None
#undef QV_METHOD_RESULT
#undef QV_METHOD_Variant
#undef QV_METHOD_String
#undef QV_DEFINE_MethodNone
#undef QV_DEFINE_PropertyGet
#undef QV_DEFINE_PropertyGetLet
#undef QV_DEFINE_PropertyGetSet
#undef QV_DEFINE

ObjectPtr QuorvelWidget::Columns(const QVariant& index) const {
    return guardedValue<ObjectPtr>(nullptr, [&] { return control_->Columns(fromQVariant(index)); });
}

}  // namespace quorvel::qt
