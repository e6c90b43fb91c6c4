#include "qt/opening_progress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTableView>

#include "engine/data_engine.h"

namespace quorvel::qt {

// Drops the user's input to every object while Qt's events are delivered
// from inside an opening, and notes Escape.
class OpeningProgressView::InputGate final : public QObject {
public:
    explicit InputGate(bool& cancel) : cancel_(cancel) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputGate() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) cancel_ = true;
                return true;
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::InputMethod:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TouchCancel:
            case QEvent::TabletPress:
            case QEvent::TabletMove:
            case QEvent::TabletRelease:
            case QEvent::NativeGesture:
            case QEvent::Gesture:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: return true;
            default: return false;
        }
    }

private:
    bool& cancel_;
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
    }
    if (now - started_ >= delay_) show(records);
    {
        InputGate gate(cancel_);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return !cancel_;
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
    if (overlay_) overlay_->hide();
}

}  // namespace quorvel::qt
