#include "demo_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <iostream>
#include <utility>

#include "platform/failure.h"
#include "qt/quorvel_widget.h"

namespace quorvel::demo {

namespace {

// The form's geometry, in pixels at the usual 96 DPI (15 twips a pixel).
constexpr int kFormWidth = 640;
constexpr int kFormHeight = 300;
constexpr int kLabelLeft = 16;
constexpr int kControlLeft = 110;
constexpr int kCustomerWidth = 300;
constexpr int kCityWidth = 180;
constexpr int kControlHeight = 22;

const char* kDefaultCaption = "Quorvel demo: customers";

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

DemoWindow::DemoWindow(DataFolder folder, headless::FormDocument form, const Locale& locale, bool logMessages,
                       QWidget* parent)
    : QWidget(parent), data_(std::move(folder)), form_(std::move(form)), messagesLogged_(logMessages) {
    auto caption = form_.container().properties.readProperty("Caption", Variant(kDefaultCaption));
    setWindowTitle(qs(caption.type() == Variant::Type::String ? caption.asString() : kDefaultCaption));

    auto* layout = new QVBoxLayout(this);

    // The controls' container: the controls move and grow on it by
    // themselves (the list drops by enlarging its control), so it has no
    // layout of its own and is large enough for a dropped list.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFixedSize(kFormWidth, kFormHeight);
    frame->setAutoFillBackground(true);
    formArea_ = frame;
    layout->addWidget(frame, 0, Qt::AlignLeft);

    customer_ = addControl(kCustomerControl, tr("Customer"), 16, locale);
    customer_->resize(kCustomerWidth, kControlHeight);
    city_ = addControl(kCityControl, tr("City"), 56, locale);
    city_->resize(kCityWidth, kControlHeight);

    values_ = new QLabel(frame);
    values_->setGeometry(kLabelLeft, kFormHeight - 30, kFormWidth - 2 * kLabelLeft, 22);
    // Below the controls, so that a dropped list covers it.
    values_->lower();

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(tr("Events and notifications, as they happen:"), this), 1);
    // The keyboard option: the control's own keys, or a combo box's
    // (saved with the form).
    comboKeys_ = new QCheckBox(tr("Combo-box keys"), this);
    comboKeys_->setToolTip(
        tr("Alt+Down or F4 opens the list, Up and Down move its row, "
           "Escape puts the value back, Ctrl toggles nothing"));
    heading->addWidget(comboKeys_);
    auto* clear = new QPushButton(tr("Clear log"), this);
    auto* save = new QPushButton(tr("Save form"), this);
    heading->addWidget(clear);
    heading->addWidget(save);
    layout->addLayout(heading);

    log_ = new QPlainTextEdit(this);
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setMaximumBlockCount(5000);
    log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    log_->setMinimumHeight(200);
    layout->addWidget(log_, 1);

    connect(clear, &QPushButton::clicked, log_, &QPlainTextEdit::clear);
    connect(save, &QPushButton::clicked, this, [this] {
        QString error;
        if (saveForm(&error)) mark(tr("form saved to %1").arg(QString::fromStdString(data_.form.string())));
        else QMessageBox::warning(this, windowTitle(), error);
    });

    // The property sets: from the form file, or the first settings.
    const std::string database = data_.database.string();
    for (auto [name, widget] : {std::pair{kCustomerControl, customer_}, std::pair{kCityControl, city_}}) {
        if (auto bag = loadableProperties(form_, name, data_.folder)) {
            mark(tr("%1: the property set from the form file").arg(qs(name)));
            widget->load(*bag);
            if (widget->BoundText().isEmpty()) mark(tr("%1: no value loaded").arg(qs(name)));
            else
                mark(tr("%1: loaded value %2, shown as %3")
                         .arg(qs(name), widget->BoundText(), widget->Text()));
            continue;
        }
        firstSettings_ = true;
        mark(tr("%1: first settings").arg(qs(name)));
        try {
            if (name == kCustomerControl) configureCustomer(widget->control(), database);
            else configureCity(widget->control(), database);
        } catch (const Failure& f) {
            append(name, QStringLiteral("# first settings failed: %1 %2")
                             .arg(f.number())
                             .arg(QString::fromStdString(f.description())));
        }
    }
    showValues();
    comboKeys_->setChecked(customer_->KeyboardConventions() == 1);
    connect(comboKeys_, &QCheckBox::toggled, this, [this](bool on) {
        for (qt::QuorvelWidget* widget : {customer_, city_}) widget->setKeyboardConventions(on ? 1 : 0);
        mark(on ? tr("combo-box keys") : tr("the control's own keys"));
    });

    // The window's size as last saved.
    auto twips = [this](const char* key, int dpi) {
        Variant v = form_.container().properties.readProperty(key, Variant::longValue(0));
        return v.type() == Variant::Type::Long ? static_cast<int>(v.asLong() * dpi / 1440) : 0;
    };
    const int w = twips("Width", logicalDpiX()), h = twips("Height", logicalDpiY());
    if (w > 0 && h > 0) resize(w, h);
}

DemoWindow::~DemoWindow() = default;

qt::QuorvelWidget* DemoWindow::addControl(std::string_view name, const QString& label, int top,
                                          const Locale& locale) {
    auto* caption = new QLabel(label, formArea_);
    caption->setGeometry(kLabelLeft, top + 2, kControlLeft - kLabelLeft - 8, kControlHeight);

    auto* widget = new qt::QuorvelWidget(formArea_);
    widget->setObjectName(qs(name));
    widget->move(kControlLeft, top);
    caption->setBuddy(widget);
    widget->setControlLocale(locale);
    if (messagesLogged_) {
        // The site traces the prompt already; say it where the caller of a
        // script sees it too.
        widget->setMessageBoxHandler([source = std::string(name)](const QString& prompt) {
            std::cerr << "quorvel-demo: message of " << source << ": " << prompt.toStdString() << "\n";
        });
    }
    const std::string source(name);
    connect(widget, &qt::QuorvelWidget::traced, this,
            [this, source](const QString& line) { append(source, line); });
    connect(widget, &qt::QuorvelWidget::Change, this, &DemoWindow::showValues);
    connect(widget, &qt::QuorvelWidget::BeenChosen, this, &DemoWindow::showValues);
    return widget;
}

void DemoWindow::mark(const QString& text) {
    lastSource_.clear();
    append({}, QStringLiteral("# ") + text);
}

void DemoWindow::append(std::string_view source, const QString& line) {
    // The lines are the host's trace as it is; a comment line says which
    // control the following lines come from whenever that changes.
    if (!source.empty() && source != lastSource_) {
        lastSource_ = std::string(source);
        const QString heading = QStringLiteral("# ") + qs(source);
        lines_.append(heading);
        if (log_) log_->appendPlainText(heading);
    }
    lines_.append(line);
    if (log_) log_->appendPlainText(line);
}

void DemoWindow::showValues() {
    if (!values_ || !customer_ || !city_) return;
    values_->setText(tr("Bound values:  customer code %1,  city %2")
                         .arg(customer_->BoundText().isEmpty() ? tr("(none)") : customer_->BoundText(),
                              city_->BoundText().isEmpty() ? tr("(none)") : city_->BoundText()));
}

namespace {

// Passes writes on, but for the names given: what the bag already holds of
// those stays as it is.
class SessionFilteredBag final : public PropertyBag {
public:
    SessionFilteredBag(PropertyBag& inner, const std::vector<std::string>& skipped)
        : inner_(inner), skipped_(skipped) {}
    Variant readProperty(std::string_view name, const Variant& defaultValue) override {
        return inner_.readProperty(name, defaultValue);
    }
    void writeProperty(std::string_view name, const Variant& value, const Variant& defaultValue) override {
        for (const auto& skipped : skipped_)
            if (skipped == name) return;
        inner_.writeProperty(name, value, defaultValue);
    }

private:
    PropertyBag& inner_;
    const std::vector<std::string>& skipped_;
};

}  // namespace

bool DemoWindow::saveForm(QString* error) {
    try {
        auto& container = form_.container();
        if (container.name.empty()) container.name = std::string(kFormName);
        if (container.className.empty()) container.className = "Form";
        const double twipsX = 1440.0 / logicalDpiX(), twipsY = 1440.0 / logicalDpiY();
        container.properties.writeProperty("Caption", Variant(windowTitle().toStdString()), Variant(""));
        container.properties.writeProperty(
            "Width", Variant::longValue(static_cast<std::int32_t>(width() * twipsX)), Variant::longValue(0));
        container.properties.writeProperty("Height",
                                           Variant::longValue(static_cast<std::int32_t>(height() * twipsY)),
                                           Variant::longValue(0));
        for (auto [name, widget] : {std::pair{kCustomerControl, customer_}, std::pair{kCityControl, city_}}) {
            storeProperties(form_, name, data_.folder, [this, widget](PropertyBag& inner) {
                SessionFilteredBag bag(inner, sessionOnly_);
                widget->save(bag);
                // A list that happens to be dropped while saving is not a
                // setting: the form opens with its lists closed.
                bag.writeProperty("DropDown", Variant::boolean(false), Variant::boolean(false));
            });
        }
        form_.writeFile(data_.form);
        return true;
    } catch (const Failure& f) {
        if (error)
            *error = tr("The form file %1 was not saved: %2 %3")
                         .arg(QString::fromStdString(data_.form.string()))
                         .arg(f.number())
                         .arg(QString::fromStdString(f.description()));
        return false;
    }
}

void DemoWindow::closeEvent(QCloseEvent* event) {
    QString error;
    if (!saveForm(&error)) {
        if (messagesLogged_) std::cerr << "quorvel-demo: " << error.toStdString() << "\n";
        else QMessageBox::warning(this, windowTitle(), error);
    }
    event->accept();
}

}  // namespace quorvel::demo
