#include "qt/site.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTableView>

#include <new>

#include "engine/data_engine.h"
#include "host/surface_state.h"
#include "qt/children.h"
#include "qt/convert.h"
#include "qt/grid.h"

namespace quorvel::qt {

namespace {

const QEvent::Type kQueuedKeyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::int32_t nextWindowHandle() {
    static std::int32_t next = 0x00020000;
    next += 0x10;
    return next;
}

// The platform's mouse pointers by number.
Qt::CursorShape cursorOf(std::int16_t pointer) {
    switch (pointer) {
        case 2: return Qt::CrossCursor;
        case 3: return Qt::IBeamCursor;
        case 5:
        case 15: return Qt::SizeAllCursor;
        case 6: return Qt::SizeBDiagCursor;
        case 7: return Qt::SizeVerCursor;
        case 8: return Qt::SizeFDiagCursor;
        case 9: return Qt::SizeHorCursor;
        case 10: return Qt::UpArrowCursor;
        case 11: return Qt::WaitCursor;
        case 12: return Qt::ForbiddenCursor;
        case 13: return Qt::BusyCursor;
        case 14: return Qt::WhatsThisCursor;
        default: return Qt::ArrowCursor;
    }
}

}  // namespace

// The site's QObject side: the surface's event filter, the focus watch and
// the receiver of queued keys.
class SiteDispatcher final : public QObject {
public:
    explicit SiteDispatcher(QtSite& site) : site_(site) {
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget* old, QWidget* now) { site_.focusChanged(old, now); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != site_.surfaceWidget()) return false;
        switch (event->type()) {
            case QEvent::Resize: site_.surfaceResizedByQt(); break;
            case QEvent::Paint: site_.surfacePainted(); break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseMove: {
                auto* m = static_cast<QMouseEvent*>(event);
                std::int16_t button = event->type() == QEvent::MouseMove ? mouseButtonsOf(m->buttons())
                                                                         : mouseButtonOf(m->button());
                TwipsPoint p = twipsOf(site_.surfaceWidget(), m->position());
                site_.surfaceMouse(event->type(), button, shiftStateOf(m->modifiers()), p.x, p.y);
                break;
            }
            default: break;
        }
        return false;
    }
    void customEvent(QEvent* event) override {
        if (event->type() == kQueuedKeyEvent) site_.deliverQueuedKey();
    }

private:
    QtSite& site_;
};

// --- The surface, the extender and the container -------------------------

class QtSite::Surface final : public host::SurfaceState {
public:
    explicit Surface(QtSite& site) : SurfaceState(nextWindowHandle()), site_(site) {}

    float width() const override {
        QWidget* w = site_.surface_;
        return w ? width_.read(w->width(), site_.twipsPerPixelX()) : 0;
    }
    void setWidth(float v) override {
        checkSize(v);
        QWidget* w = site_.surface_;
        if (!w) fail(failure::kObjectNotSet);
        int px = width_.set(v, site_.twipsPerPixelX());
        w->resize(px, w->height());
        site_.resized();
    }
    float height() const override {
        QWidget* w = site_.surface_;
        return w ? height_.read(w->height(), site_.twipsPerPixelY()) : 0;
    }
    void setHeight(float v) override {
        checkSize(v);
        QWidget* w = site_.surface_;
        if (!w) fail(failure::kObjectNotSet);
        int px = height_.set(v, site_.twipsPerPixelY());
        w->resize(w->width(), px);
        site_.resized();
    }
    void refresh() override {
        ++site_.refreshes_;
        QWidget* w = site_.surface_;
        // A surface that is not on screen paints nothing; its paint handler
        // still runs, as a repaint asked for runs it.
        if (w && w->isVisible()) w->repaint();
        else site_.surfacePainted();
    }
    void showBackColor() override {
        QWidget* w = site_.surface_;
        if (!w) return;
        QPalette p = w->palette();
        p.setColor(QPalette::Window,
                   colorOf(backColor(), w->parentWidget() ? w->parentWidget()->palette() : p));
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }

private:
    void showEnabled() override {
        if (QWidget* w = site_.surface_) w->setEnabled(enabled() != kFalse);
    }
    void showCursor() override {
        QWidget* w = site_.surface_;
        if (!w) return;
        if (mousePointer() == 0) {
            w->unsetCursor();
            return;
        }
        if (mousePointer() == 99 && mouseIcon()) {
            QPixmap pixmap;
            const auto& bytes = mouseIcon()->bytes();
            pixmap.loadFromData(bytes.data(), static_cast<uint>(bytes.size()));
            if (!pixmap.isNull()) {
                w->setCursor(QCursor(pixmap));
                return;
            }
        }
        w->setCursor(cursorOf(mousePointer()));
    }

    QtSite& site_;
    TwipsCoordinate width_, height_;
};

// The surface's parent widget; a surface without one lies on the screen.
class QtSite::Box final : public Container {
public:
    explicit Box(QtSite& site) : site_(site) {}
    float width() const override {
        if (QWidget* p = parent()) return static_cast<float>(outer(p).width() * site_.twipsPerPixelX());
        return static_cast<float>(screen().width() * site_.twipsPerPixelX());
    }
    float height() const override {
        if (QWidget* p = parent()) return static_cast<float>(outer(p).height() * site_.twipsPerPixelY());
        return static_cast<float>(screen().height() * site_.twipsPerPixelY());
    }
    // The client area: what the control can cover.
    float scaleHeight() const override {
        if (QWidget* p = parent()) return static_cast<float>(p->height() * site_.twipsPerPixelY());
        return static_cast<float>(screen().height() * site_.twipsPerPixelY());
    }
    Color backColor() const override {
        QWidget* p = parent();
        QWidget* w = p ? p : site_.surface_.data();
        if (!w) return systemColor(15);
        return hostColorOf(w->palette().color(w->backgroundRole()));
    }

private:
    QWidget* parent() const { return site_.surface_ ? site_.surface_->parentWidget() : nullptr; }
    static QRect outer(QWidget* p) { return p->isWindow() ? p->frameGeometry() : p->geometry(); }
    QRect screen() const {
        QScreen* s = site_.surface_ ? site_.surface_->screen() : QGuiApplication::primaryScreen();
        return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    }
    QtSite& site_;
};

class QtSite::Ext final : public Extender {
public:
    explicit Ext(QtSite& site) : site_(site) {}
    float left() const override {
        QWidget* w = site_.surface_;
        return w ? left_.read(w->x(), site_.twipsPerPixelX()) : 0;
    }
    void setLeft(float v) override {
        if (!std::isfinite(v)) fail(failure::kInvalidPropertyValue);
        QWidget* w = site_.surface_;
        if (!w) fail(failure::kObjectNotSet);
        w->move(left_.set(v, site_.twipsPerPixelX()), w->y());
    }
    float top() const override {
        QWidget* w = site_.surface_;
        return w ? top_.read(w->y(), site_.twipsPerPixelY()) : 0;
    }
    void setTop(float v) override {
        if (!std::isfinite(v)) fail(failure::kInvalidPropertyValue);
        QWidget* w = site_.surface_;
        if (!w) fail(failure::kObjectNotSet);
        w->move(w->x(), top_.set(v, site_.twipsPerPixelY()));
    }
    Container& container() override { return *site_.container_; }
    void zOrder(std::int16_t position) override {
        if (position != 0 && position != 1) fail(failure::kInvalidPropertyValue);
        ++site_.zOrderCalls_;
        QWidget* w = site_.surface_;
        if (!w) return;
        if (position == 0) w->raise();
        else w->lower();
    }

private:
    QtSite& site_;
    TwipsCoordinate left_, top_;
};

// --- Construction --------------------------------------------------------

QtSite::QtSite(QWidget* surface)
    : SiteCore([this] {
          // Every list the control opens shows a long opening's progress.
          std::shared_ptr<DataControl> control = engine::createDataControl();
          if (openingProgress_) OpeningProgressView::watch(openingProgress_, *control);
          // The grid shows a large table's rows as they are read.
          engine::setBackgroundPositions(*control, true);
          return control;
      }),
      surface_(surface),
      surfaceImpl_(std::make_unique<Surface>(*this)),
      extender_(std::make_unique<Ext>(*this)),
      container_(std::make_unique<Box>(*this)),
      dispatcher_(std::make_unique<SiteDispatcher>(*this)) {
    if (!surface_) fail(failure::kObjectNotSet, "A Qt site needs a surface widget");
    openingProgress_ = std::make_shared<OpeningProgressView>(surface_);
    placeOn(*surfaceImpl_, *extender_);
    surface_->installEventFilter(dispatcher_.get());
    notifiedSize_ = surface_->size();
    surfaceImpl_->showBackColor();
    // A long session would grow a kept trace: a test turns it on.
    setRecording(false);
}

QtSite::~QtSite() {
    // The children end first, after the site stopped listening to Qt: a
    // widget that goes with the focus reaches no handler, and what an
    // adapter asks of the site as it ends finds it whole.
    connected_ = false;
    if (surface_) surface_->removeEventFilter(dispatcher_.get());
    endChildren();
}

double QtSite::twipsPerPixelX() const { return qt::twipsPerPixelX(surface_); }
double QtSite::twipsPerPixelY() const { return qt::twipsPerPixelY(surface_); }

bool QtSite::surfaceEnabled() const { return surfaceImpl_->enabled() != kFalse; }

std::shared_ptr<Font> QtSite::ambientFont() {
    QWidget* from = surface_ && surface_->parentWidget() ? surface_->parentWidget() : surface_.data();
    return Font::make(fontDescriptionOf(from ? from->font() : QApplication::font()));
}

namespace {

// The child's widget; its events reach no control any more.
QWidget* disconnectChild(ChildWindow& child) {
    if (auto* box = dynamic_cast<QtTextBox*>(&child)) {
        box->disconnectEvents();
        return box->widget();
    }
    if (auto* b = dynamic_cast<QtCommandButton*>(&child)) {
        b->disconnectEvents();
        return b->widget();
    }
    if (auto* g = dynamic_cast<QtGrid*>(&child)) {
        g->disconnectEvents();
        return g->widget();
    }
    return nullptr;
}

}  // namespace

void QtSite::lastSinkDetached() {
    // The control is ending: no widget's event reaches it any more. Its data
    // controls' notifications ended with its registration.
    for (const auto& c : children()) disconnectChild(*c.window);
}

void QtSite::childRetired(ChildWindow& child) {
    QWidget* w = disconnectChild(child);
    if (!w) return;
    // Its focus goes where a hidden child's goes: parked on the surface.
    if (w->hasFocus() && connected_) parkFocus();
    w->hide();
}

// --- The message box and the failures -----------------------------------

void QtSite::showMessageBox(const std::string& prompt) {
    // The application's own title: the message is the control's, not a
    // window of its own.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), toQString(prompt),
                    QMessageBox::Ok, surface_ ? surface_->window() : nullptr);
    box.exec();
}

void QtSite::guard(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& failure) { reportFailure(failure); } catch (const std::bad_alloc&) {
        reportFailure(Failure(failure::kOutOfMemory, standardDescription(failure::kOutOfMemory)));
    } catch (const std::exception& e) { reportFailure(Failure(failure::kInvalidProcedureCall, e.what())); }
}

void QtSite::reportFailure(const Failure& failure) {
    if (failureHandler_) {
        auto handler = failureHandler_;
        handler(failure);
        return;
    }
    qWarning("Quorvel: unhandled failure %d: %s", failure.number(), failure.description().c_str());
}

// --- Keys ----------------------------------------------------------------

void QtSite::keysQueued(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        QCoreApplication::postEvent(dispatcher_.get(), new QEvent(kQueuedKeyEvent));
}

void QtSite::deliverQueuedKey() {
    if (keys_.empty()) return;
    host::KeyStroke s = keys_.front();
    keys_.pop_front();
    // Whoever has the focus now, as a keyboard's keys reach it.
    QWidget* target = QApplication::focusWidget();
    if (!target) return;
    int key = qtKeyOf(s.keyCode);
    QString text;
    if (s.character != 0) text = QString::fromUcs4(&s.character, 1);
    if (key == Qt::Key_unknown && text.isEmpty()) return;
    Qt::KeyboardModifiers mods = modifiersOf(s.shift);
    QPointer<QWidget> alive(target);
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(target, &press);
    // The release reaches whoever holds the focus when it comes.
    QWidget* up = QApplication::focusWidget();
    if (!up) return;
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QCoreApplication::sendEvent(up, &release);
}

// --- Children ------------------------------------------------------------

std::unique_ptr<TextBox> QtSite::makeTextBox(std::string_view name, TextBoxEvents& events) {
    return std::make_unique<QtTextBox>(*this, surface_, std::string(name), events);
}

std::unique_ptr<CommandButton> QtSite::makeCommandButton(std::string_view name, CommandButtonEvents& events) {
    return std::make_unique<QtCommandButton>(*this, surface_, std::string(name), events);
}

std::unique_ptr<Grid> QtSite::makeGrid(std::string_view name, GridEvents& events) {
    return std::make_unique<QtGrid>(*this, surface_, std::string(name), events);
}

template <class Adapter>
Adapter* QtSite::adapter(std::string_view name) const {
    // A control made again on the same site replaced the first one's
    // children of the same names.
    return dynamic_cast<Adapter*>(findChild(name));
}

QLineEdit* QtSite::lineEdit(std::string_view name) const {
    auto* box = adapter<QtTextBox>(name);
    return box ? box->lineEdit() : nullptr;
}

QToolButton* QtSite::toolButton(std::string_view name) const {
    auto* b = adapter<QtCommandButton>(name);
    return b ? b->toolButton() : nullptr;
}

QtGrid* QtSite::grid(std::string_view name) const { return adapter<QtGrid>(name); }

QTableView* QtSite::tableView(std::string_view name) const {
    QtGrid* g = grid(name);
    return g ? g->view() : nullptr;
}

// --- Surface calls -------------------------------------------------------

void QtSite::resized() {
    if (surface_) notifiedSize_ = surface_->size();
    // Inside the control's own size change: its failures are its caller's.
    forEachSink([](SurfaceEvents& s) { s.onResize(); });
}

void QtSite::surfaceResizedByQt() {
    // A resize that the site made itself was handed on when it was made; a
    // hidden widget's resize event comes later, at showing.
    if (!surface_ || surface_->size() == notifiedSize_) return;
    notifiedSize_ = surface_->size();
    guard([&] { forEachSink([](SurfaceEvents& s) { s.onResize(); }); });
}

void QtSite::surfacePainted() {
    if (!connected_) return;
    guard([&] { forEachSink([](SurfaceEvents& s) { s.onPaint(); }); });
}

void QtSite::surfaceMouse(int type, std::int16_t button, std::int16_t shift, float x, float y) {
    if (!connected_) return;
    guard([&] {
        forEachSink([&](SurfaceEvents& s) {
            if (type == QEvent::MouseButtonPress) s.onMouseDown(button, shift, x, y);
            else if (type == QEvent::MouseButtonRelease) s.onMouseUp(button, shift, x, y);
            else s.onMouseMove(button, shift, x, y);
        });
    });
}

// --- Focus ---------------------------------------------------------------

bool QtSite::inside(QWidget* w) const {
    return w && surface_ && (w == surface_ || surface_->isAncestorOf(w));
}

void QtSite::parkFocus() {
    if (!surface_) return;
    parkedFrom_ = QApplication::focusWidget();
    parking_ = true;
    surface_->setFocus(Qt::OtherFocusReason);
    parking_ = false;
}

void QtSite::childShown(QWidget* child) {
    if (!child || child != parkedFrom_) return;
    parkedFrom_ = nullptr;
    if (surface_ && surface_->hasFocus()) child->setFocus(Qt::OtherFocusReason);
}

void QtSite::focusChanged(QWidget*, QWidget* now) {
    if (!connected_) return;
    // No widget at all: the window lost its activation, or the focus was
    // cleared. Neither moves the focus out of the control; the window's
    // return brings it back to where it was.
    if (!now) return;
    const bool in = inside(now);
    if (in == focusInside_) return;
    focusInside_ = in;
    // After the focus arrived: the entry handler may move it on (to the edit
    // box), and that move must find the focus already inside.
    if (in) guard([&] { forEachSink([](SurfaceEvents& s) { s.onEnterFocus(); }); });
    else guard([&] { forEachSink([](SurfaceEvents& s) { s.onExitFocus(); }); });
}

}  // namespace quorvel::qt
