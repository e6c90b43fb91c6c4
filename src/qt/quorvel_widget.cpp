#include "qt/quorvel_widget.h"

#include <QFocusEvent>
#include <QLineEdit>

#include "control/events.h"
#include "control/quorvel2000.h"
#include "qt/convert.h"
#include "qt/site.h"

namespace quorvel::qt {

namespace {

std::int16_t int16Of(const Variant& v) {
    try {
        return v.toInteger();
    } catch (const Failure&) {
        return 0;
    }
}

float singleOf(const Variant& v) {
    try {
        return v.toSingle();
    } catch (const Failure&) {
        return 0;
    }
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

std::int16_t integerArgument(int v) { return roundToInteger(v); }

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
            case 1: emit w.Drop(); return;
            case 2: emit w.Click(); return;
            case 3: emit w.DblClick(); return;
            case 4: emit w.BeenChosen(); return;
            case 5: case 6: case 7: {
                MouseEventArgs a{int16Of(arg(0)), int16Of(arg(1)), singleOf(arg(2)), singleOf(arg(3))};
                if (event.dispid == 5) emit w.MouseDown(&a);
                else if (event.dispid == 6) emit w.MouseMove(&a);
                else emit w.MouseUp(&a);
                writeBack(args[0], a.Button);
                writeBack(args[1], a.Shift);
                writeBack(args[2], a.X);
                writeBack(args[3], a.Y);
                return;
            }
            case 8: case 10: {
                KeyEventArgs a{int16Of(arg(0)), int16Of(arg(1))};
                if (event.dispid == 8) emit w.KeyDown(&a);
                else emit w.KeyUp(&a);
                writeBack(args[0], a.KeyCode);
                writeBack(args[1], a.Shift);
                return;
            }
            case 9: {
                KeyPressEventArgs a{int16Of(arg(0))};
                emit w.KeyPress(&a);
                writeBack(args[0], a.KeyAscii);
                return;
            }
            case 11: emit w.Change(); return;
            case 12: {
                ErrorEventArgs a{int16Of(arg(0)), int16Of(arg(1))};
                emit w.Error(&a);
                writeBack(args[0], a.DataErr);
                writeBack(args[1], a.Response);
                return;
            }
            case 13: {
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
    site_->setPropertyChangedHandler(
        [this](std::string_view name) { emit propertyChanged(toQString(name)); });
    site_->setEditRequestHandler([this](std::string_view name) {
        bool allow = true;
        emit editRequested(toQString(name), &allow);
        return allow;
    });
    site_->setTraceListener([this](const std::string& line) { emit traced(toQString(line)); });
    site_->setFailureHandler(
        [this](const Failure& f) { reportFailure(f.number(), f.description()); });
    control_ = std::make_unique<Quorvel2000>(*site_);
    guarded([&] { control_->InitProperties(); });
}

QuorvelWidget::~QuorvelWidget() {
    // The children's widgets live until the site ends; none of their events
    // may reach the control once it is gone.
    site_->disconnectControl();
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
    try {
        f();
    } catch (const Failure& failure) {
        reportFailure(failure.number(), failure.description());
    } catch (const std::bad_alloc&) {
        reportFailure(failure::kOutOfMemory, standardDescription(failure::kOutOfMemory));
    } catch (const std::exception& e) {
        reportFailure(failure::kInvalidProcedureCall, e.what());
    }
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

QSize QuorvelWidget::sizeHint() const {
    return QSize(static_cast<int>(std::lround(2580 / site_->twipsPerPixelX())),
                 static_cast<int>(std::lround(285 / site_->twipsPerPixelY())));
}

// --- Persistence and host settings ----------------------------------------

void QuorvelWidget::initProperties() { guarded([&] { control_->InitProperties(); }); }

void QuorvelWidget::load(PropertyBag& bag) {
    guarded([&] { control_->ReadProperties(bag); });
    // As a host sizes a control after loading it.
    guarded([&] { site_->resized(); });
}

void QuorvelWidget::save(PropertyBag& bag) { guarded([&] { control_->WriteProperties(bag); }); }

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

// --- Properties -----------------------------------------------------------

#define QV_GET(Type, fallback, expr) return guardedValue<Type>(fallback, [&] { return expr; })
#define QV_SET(stmt) guarded([&] { stmt; })

int QuorvelWidget::BackColor() const { QV_GET(int, 0, control_->BackColor()); }
void QuorvelWidget::setBackColor(int v) { QV_SET(control_->setBackColor(v)); }
int QuorvelWidget::ForeColor() const { QV_GET(int, 0, control_->ForeColor()); }
void QuorvelWidget::setForeColor(int v) { QV_SET(control_->setForeColor(v)); }
QFont QuorvelWidget::Font() const {
    QV_GET(QFont, QFont(), [&] {
        auto f = control_->Font();
        return f ? qFontOf(f->description()) : QFont();
    }());
}
void QuorvelWidget::setFont(const QFont& v) {
    QWidget::setFont(v);
    QV_SET(control_->setFont(quorvel::Font::make(fontDescriptionOf(v))));
}
int QuorvelWidget::BorderStyle() const { QV_GET(int, 0, control_->BorderStyle()); }
int QuorvelWidget::Alignment() const { QV_GET(int, 0, control_->Alignment()); }
int QuorvelWidget::Appearance() const { QV_GET(int, 0, control_->Appearance()); }
bool QuorvelWidget::Locked() const { QV_GET(bool, false, control_->Locked() != kFalse); }
void QuorvelWidget::setLocked(bool v) { QV_SET(control_->setLocked(toVBool(v))); }
int QuorvelWidget::SelStart() const { QV_GET(int, 0, control_->SelStart()); }
void QuorvelWidget::setSelStart(int v) { QV_SET(control_->setSelStart(v)); }
int QuorvelWidget::SelLength() const { QV_GET(int, 0, control_->SelLength()); }
void QuorvelWidget::setSelLength(int v) { QV_SET(control_->setSelLength(v)); }
QString QuorvelWidget::SelText() const { QV_GET(QString, QString(), toQString(control_->SelText())); }
void QuorvelWidget::setSelText(const QString& v) { QV_SET(control_->setSelText(toStdString(v))); }
QString QuorvelWidget::Text() const { QV_GET(QString, QString(), toQString(control_->Text())); }
void QuorvelWidget::setText(const QString& v) { QV_SET(control_->setText(toStdString(v))); }
int QuorvelWidget::MaxLength() const { QV_GET(int, 0, control_->MaxLength()); }
void QuorvelWidget::setMaxLength(int v) { QV_SET(control_->setMaxLength(v)); }

bool QuorvelWidget::Enabled() const { QV_GET(bool, false, control_->Enabled() != kFalse); }
void QuorvelWidget::setEnabled(bool v) { QV_SET(control_->setEnabled(toVBool(v))); }
double QuorvelWidget::CurrentX() const { QV_GET(double, 0.0, control_->CurrentX()); }
void QuorvelWidget::setCurrentX(double v) { QV_SET(control_->setCurrentX(static_cast<float>(v))); }
double QuorvelWidget::CurrentY() const { QV_GET(double, 0.0, control_->CurrentY()); }
void QuorvelWidget::setCurrentY(double v) { QV_SET(control_->setCurrentY(static_cast<float>(v))); }
bool QuorvelWidget::AutoRedraw() const { QV_GET(bool, false, control_->AutoRedraw() != kFalse); }
void QuorvelWidget::setAutoRedraw(bool v) { QV_SET(control_->setAutoRedraw(toVBool(v))); }
PicturePtr QuorvelWidget::MouseIcon() const { QV_GET(PicturePtr, nullptr, control_->MouseIcon()); }
void QuorvelWidget::setMouseIcon(PicturePtr v) { QV_SET(control_->setMouseIcon(std::move(v))); }
int QuorvelWidget::MousePointer() const { QV_GET(int, 0, control_->MousePointer()); }
void QuorvelWidget::setMousePointer(int v) {
    QV_SET(control_->setMousePointer(integerArgument(v)));
}
int QuorvelWidget::hwnd() const { QV_GET(int, 0, control_->hwnd()); }

int QuorvelWidget::MarqueeStyle() const { QV_GET(int, 0, control_->MarqueeStyle()); }
void QuorvelWidget::setMarqueeStyle(int v) { QV_SET(control_->setMarqueeStyle(v)); }
double QuorvelWidget::DefColWidth() const { QV_GET(double, 0.0, control_->DefColWidth()); }
void QuorvelWidget::setDefColWidth(double v) {
    QV_SET(control_->setDefColWidth(static_cast<float>(v)));
}
int QuorvelWidget::ScrollBars() const { QV_GET(int, 0, control_->ScrollBars()); }
void QuorvelWidget::setScrollBars(int v) { QV_SET(control_->setScrollBars(v)); }
QFont QuorvelWidget::ListBodyFont() const {
    QV_GET(QFont, QFont(), [&] {
        auto f = control_->ListBodyFont();
        return f ? qFontOf(f->description()) : QFont();
    }());
}
void QuorvelWidget::setListBodyFont(const QFont& v) {
    QV_SET(control_->setListBodyFont(quorvel::Font::make(fontDescriptionOf(v))));
}
QFont QuorvelWidget::ListHeadFont() const {
    QV_GET(QFont, QFont(), [&] {
        auto f = control_->ListHeadFont();
        return f ? qFontOf(f->description()) : QFont();
    }());
}
void QuorvelWidget::setListHeadFont(const QFont& v) {
    QV_SET(control_->setListHeadFont(quorvel::Font::make(fontDescriptionOf(v))));
}
int QuorvelWidget::ListForeColor() const { QV_GET(int, 0, control_->ListForeColor()); }
void QuorvelWidget::setListForeColor(int v) { QV_SET(control_->setListForeColor(v)); }
int QuorvelWidget::ListBackColor() const { QV_GET(int, 0, control_->ListBackColor()); }
void QuorvelWidget::setListBackColor(int v) { QV_SET(control_->setListBackColor(v)); }
ObjectPtr QuorvelWidget::Columns() const { QV_GET(ObjectPtr, nullptr, control_->Columns()); }
ObjectPtr QuorvelWidget::Columns(const QVariant& index) const {
    QV_GET(ObjectPtr, nullptr, control_->Columns(fromQVariant(index)));
}

QString QuorvelWidget::ColsCaption() const { QV_GET(QString, QString(), toQString(control_->ColsCaption())); }
void QuorvelWidget::setColsCaption(const QString& v) { QV_SET(control_->setColsCaption(toStdString(v))); }
QString QuorvelWidget::ColsField() const { QV_GET(QString, QString(), toQString(control_->ColsField())); }
void QuorvelWidget::setColsField(const QString& v) { QV_SET(control_->setColsField(toStdString(v))); }
QString QuorvelWidget::ColsFormat() const { QV_GET(QString, QString(), toQString(control_->ColsFormat())); }
void QuorvelWidget::setColsFormat(const QString& v) { QV_SET(control_->setColsFormat(toStdString(v))); }
QString QuorvelWidget::ColsSize() const { QV_GET(QString, QString(), toQString(control_->ColsSize())); }
void QuorvelWidget::setColsSize(const QString& v) { QV_SET(control_->setColsSize(toStdString(v))); }
QString QuorvelWidget::ColsAlignment() const {
    QV_GET(QString, QString(), toQString(control_->ColsAlignment()));
}
void QuorvelWidget::setColsAlignment(const QString& v) {
    QV_SET(control_->setColsAlignment(toStdString(v)));
}

bool QuorvelWidget::DropDown() const { QV_GET(bool, false, control_->DropDown() != kFalse); }
void QuorvelWidget::setDropDown(bool v) { QV_SET(control_->setDropDown(toVBool(v))); }
bool QuorvelWidget::DropDownAuto() const { QV_GET(bool, false, control_->DropDownAuto() != kFalse); }
void QuorvelWidget::setDropDownAuto(bool v) { QV_SET(control_->setDropDownAuto(toVBool(v))); }
bool QuorvelWidget::OnListOnly() const { QV_GET(bool, false, control_->OnListOnly() != kFalse); }
void QuorvelWidget::setOnListOnly(bool v) { QV_SET(control_->setOnListOnly(toVBool(v))); }
int QuorvelWidget::ListHeight() const { QV_GET(int, 0, control_->ListHeight()); }
void QuorvelWidget::setListHeight(int v) { QV_SET(control_->setListHeight(v)); }
bool QuorvelWidget::FastMode() const { QV_GET(bool, false, control_->FastMode() != kFalse); }
void QuorvelWidget::setFastMode(bool v) { QV_SET(control_->setFastMode(toVBool(v))); }
bool QuorvelWidget::BringToFront() const { QV_GET(bool, false, control_->BringToFront() != kFalse); }
void QuorvelWidget::setBringToFront(bool v) { QV_SET(control_->setBringToFront(toVBool(v))); }
bool QuorvelWidget::SearchDisable() const { QV_GET(bool, false, control_->SearchDisable() != kFalse); }
void QuorvelWidget::setSearchDisable(bool v) { QV_SET(control_->setSearchDisable(toVBool(v))); }
QVariant QuorvelWidget::About() const { QV_GET(QVariant, QVariant(), toQVariant(control_->About())); }
void QuorvelWidget::setAbout(const QVariant& v) { QV_SET(control_->setAbout(fromQVariant(v))); }

QString QuorvelWidget::BoundText() const { QV_GET(QString, QString(), toQString(control_->BoundText())); }
void QuorvelWidget::setBoundText(const QString& v) { QV_SET(control_->setBoundText(toStdString(v))); }
QVariant QuorvelWidget::BoundField() const { QV_GET(QVariant, QVariant(), toQVariant(control_->BoundField())); }
void QuorvelWidget::setBoundField(const QVariant& v) { QV_SET(control_->setBoundField(fromQVariant(v))); }
QVariant QuorvelWidget::ListSearchField() const {
    QV_GET(QVariant, QVariant(), toQVariant(control_->ListSearchField()));
}
void QuorvelWidget::setListSearchField(const QVariant& v) {
    QV_SET(control_->setListSearchField(fromQVariant(v)));
}

QString QuorvelWidget::ListDataBaseName() const {
    QV_GET(QString, QString(), toQString(control_->ListDataBaseName()));
}
void QuorvelWidget::setListDataBaseName(const QString& v) {
    QV_SET(control_->setListDataBaseName(toStdString(v)));
}
QString QuorvelWidget::ListRecordSource() const {
    QV_GET(QString, QString(), toQString(control_->ListRecordSource()));
}
void QuorvelWidget::setListRecordSource(const QString& v) {
    QV_SET(control_->setListRecordSource(toStdString(v)));
}
QString QuorvelWidget::Connect() const { QV_GET(QString, QString(), toQString(control_->Connect())); }
void QuorvelWidget::setConnect(const QString& v) { QV_SET(control_->setConnect(toStdString(v))); }
int QuorvelWidget::DefaultCursorType() const { QV_GET(int, 0, control_->DefaultCursorType()); }
void QuorvelWidget::setDefaultCursorType(int v) {
    QV_SET(control_->setDefaultCursorType(integerArgument(v)));
}
int QuorvelWidget::DefaultType() const { QV_GET(int, 0, control_->DefaultType()); }
void QuorvelWidget::setDefaultType(int v) { QV_SET(control_->setDefaultType(integerArgument(v))); }
int QuorvelWidget::Options() const { QV_GET(int, 0, control_->Options()); }
void QuorvelWidget::setOptions(int v) { QV_SET(control_->setOptions(integerArgument(v))); }
int QuorvelWidget::ListRecordsetType() const { QV_GET(int, 0, control_->ListRecordsetType()); }
void QuorvelWidget::setListRecordsetType(int v) {
    QV_SET(control_->setListRecordsetType(integerArgument(v)));
}
RecordsetPtr QuorvelWidget::ListRecordset() const { QV_GET(RecordsetPtr, nullptr, control_->ListRecordset()); }
void QuorvelWidget::setListRecordset(RecordsetPtr v) { QV_SET(control_->setListRecordset(std::move(v))); }

// --- Value helpers and methods ---------------------------------------------

QVariant QuorvelWidget::UnNull(const QVariant& che) {
    QV_GET(QVariant, QVariant(), [&] {
        Variant v = fromQVariant(che);
        return toQVariant(control_->UnNull(v));
    }());
}
QVariant QuorvelWidget::UnNull2(const QVariant& che2) {
    QV_GET(QVariant, QVariant(), [&] {
        Variant v = fromQVariant(che2);
        return toQVariant(control_->UnNull2(v));
    }());
}
QVariant QuorvelWidget::UnNullxSQL(const QVariant& che3) {
    QV_GET(QVariant, QVariant(), [&] {
        Variant v = fromQVariant(che3);
        return toQVariant(control_->UnNullxSQL(v));
    }());
}
QVariant QuorvelWidget::Val2(const QVariant& Cosa) {
    QV_GET(QVariant, QVariant(), [&] {
        Variant v = fromQVariant(Cosa);
        return toQVariant(control_->Val2(v));
    }());
}
QString QuorvelWidget::ValxSQL(const QVariant& Cosa) {
    QV_GET(QString, QString(), [&] {
        Variant v = fromQVariant(Cosa);
        return toQString(control_->ValxSQL(v));
    }());
}

void QuorvelWidget::ImpostaDataControl() { QV_SET(control_->ImpostaDataControl()); }
void QuorvelWidget::ListaApri() { QV_SET(control_->ListaApri()); }
void QuorvelWidget::ListaChiudi() { QV_SET(control_->ListaChiudi()); }
void QuorvelWidget::AssettaGrid() { QV_SET(control_->AssettaGrid()); }
void QuorvelWidget::AssettaGridDefault() { QV_SET(control_->AssettaGridDefault()); }
void QuorvelWidget::Refresh() { QV_SET(control_->Refresh()); }
void QuorvelWidget::ListRefresh() { QV_SET(control_->ListRefresh()); }

#undef QV_GET
#undef QV_SET

}  // namespace quorvel::qt
