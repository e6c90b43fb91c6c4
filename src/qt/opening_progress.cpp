#include "qt/opening_progress.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include <algorithm>

#include "engine/data_engine.h"

namespace quorvel::qt {

// While Qt's events are delivered from inside an opening: drops the user's
// input to the held windows and notes Escape; refuses their closing, and
// holds back the deletion of what carries the control and the
// application's quit, each cancelling the opening.
class OpeningProgressView::InputGate final : public QObject {
public:
    explicit InputGate(OpeningProgressView& view) : view_(view) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputGate() override {
        QCoreApplication::instance()->removeEventFilter(this);
        // What was held back comes again: once the opening has unwound, or
        // at its next delivery of events, which holds it back again. The
        // deletion is posted from a timer, as from any handler, so that the
        // next delivery of posted events carries it out.
        for (const auto& object : deletions_) {
            if (!object) continue;
            QTimer::singleShot(0, object, [target = object.data()] {
                QCoreApplication::postEvent(target, new QDeferredDeleteEvent());
            });
        }
        if (quit_) QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    }
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Close:
                if (!view_.holds(watched)) return false;
                event->ignore();  // an accepted close would go on
                view_.cancel_ = true;
                return true;
            case QEvent::DeferredDelete:
                if (!view_.carriesControl(watched)) return false;
                if (std::find(deletions_.begin(), deletions_.end(), watched) == deletions_.end())
                    deletions_.emplace_back(watched);
                view_.cancel_ = true;
                return true;
            case QEvent::Quit:
                if (watched != QCoreApplication::instance()) return false;
                quit_ = true;
                view_.cancel_ = true;
                return true;
            case QEvent::KeyPress:
                if (!view_.holds(watched)) return false;
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) view_.cancel_ = true;
                return true;
            // Releases are not dropped: what was pressed before the opening
            // would stay down.
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::InputMethod:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TabletPress:
            case QEvent::TabletMove:
            case QEvent::NativeGesture:
            case QEvent::Gesture:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: return view_.holds(watched);
            default: return false;
        }
    }

private:
    OpeningProgressView& view_;
    std::vector<QPointer<QObject>> deletions_;
    bool quit_ = false;
};

// The end of an opening, success or failure: the data control tells its
// observers the recordset was replaced.
class OpeningProgressView::EndWatch final : public DataControlObserver {
public:
    EndWatch(OpeningProgressView& view, DataControl& control)
        : view_(view), subscription_(control.addObserver(*this)) {}
    void recordsetReplaced() override { view_.end(); }
    void currentRecordMoved() override {}

private:
    OpeningProgressView& view_;
    Subscription subscription_;
};

OpeningProgressView::OpeningProgressView(QWidget* surface) : surface_(surface) {}

OpeningProgressView::~OpeningProgressView() { delete overlay_.data(); }

void OpeningProgressView::watch(const std::shared_ptr<OpeningProgressView>& view, DataControl& control) {
    std::weak_ptr<OpeningProgressView> weak = view;
    engine::setOpeningProgress(control, [weak](std::int64_t records) {
        auto self = weak.lock();
        return self == nullptr || self->progressed(records);
    });
    view->ends_.push_back(std::make_unique<EndWatch>(*view, control));
}

QLabel* OpeningProgressView::overlay() const {
    return overlay_ && overlay_->isVisible() ? overlay_.data() : nullptr;
}

bool OpeningProgressView::progressed(std::int64_t records) {
    auto now = std::chrono::steady_clock::now();
    if (!running_) {
        // The first call comes one reporting interval into the opening.
        running_ = true;
        cancel_ = false;
        started_ = now - std::chrono::milliseconds(50);
        held_.clear();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible()) held_.emplace_back(window);
        }
    }
    if (now - started_ >= delay_) show(records);
    {
        InputGate gate(*this);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // The control went with its surface: nothing may read on for it.
    if (!surface_) cancel_ = true;
    return !cancel_;
}

bool OpeningProgressView::holds(QObject* object) const {
    QWidget* own = surface_ ? surface_->window() : nullptr;
    for (QObject* o = object; o != nullptr; o = o->parent()) {
        if (o->isWidgetType()) {
            QWidget* window = static_cast<QWidget*>(o)->window();
            return window == own || std::find(held_.begin(), held_.end(), window) != held_.end();
        }
        if (auto* handle = qobject_cast<QWindow*>(o)) {
            if (own && own->windowHandle() == handle) return true;
            return std::any_of(held_.begin(), held_.end(),
                               [handle](const QPointer<QWidget>& w) { return w && w->windowHandle() == handle; });
        }
    }
    // On no window: whose input it is cannot be told.
    return true;
}

bool OpeningProgressView::carriesControl(QObject* object) const {
    for (QObject* o = surface_; o != nullptr; o = o->parent()) {
        if (o == object) return true;
    }
    return false;
}

void OpeningProgressView::show(std::int64_t records) {
    QWidget* area = surface_;
    if (area == nullptr) return;
    for (QTableView* grid : area->findChildren<QTableView*>()) {
        if (grid->isVisible()) {
            area = grid;
            break;
        }
    }
    if (!overlay_ || overlay_->parentWidget() != area) {
        delete overlay_.data();
        overlay_ = new QLabel(area);
        overlay_->setObjectName("openingProgress");
        overlay_->setAlignment(Qt::AlignCenter);
        overlay_->setAutoFillBackground(true);
        overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QString text = records > 0 ? QObject::tr("Reading records... %1 - Esc cancels")
                                     .arg(QLocale().toString(static_cast<qlonglong>(records)))
                               : QObject::tr("Reading records... - Esc cancels");
    overlay_->setText(text);
    overlay_->setGeometry(area->rect());
    overlay_->raise();
    overlay_->show();
}

void OpeningProgressView::end() {
    running_ = false;
    held_.clear();
    if (overlay_) overlay_->hide();
}

}  // namespace quorvel::qt
