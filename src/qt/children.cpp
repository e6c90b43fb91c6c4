#include "qt/children.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalBlocker>

#include <limits>

#include "platform/failure.h"
#include "platform/grid.h"
#include "platform/key_codes.h"
#include "qt/site.h"

namespace quorvel::qt {

namespace {

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

TwipsPoint twipsOf(const QWidget* widget, QPointF p) {
    return TwipsPoint{static_cast<float>(p.x() * twipsPerPixelX(widget)),
                      static_cast<float>(p.y() * twipsPerPixelY(widget))};
}

// --- QtChildWindow ------------------------------------------------------

template <class I>
double QtChildWindow<I>::tppX() const {
    return site_ ? site_->twipsPerPixelX() : twipsPerPixelX(widget_);
}

template <class I>
double QtChildWindow<I>::tppY() const {
    return site_ ? site_->twipsPerPixelY() : twipsPerPixelY(widget_);
}

template <class I>
float QtChildWindow<I>::left() const {
    return left_.read(widget_ ? widget_->x() : left_.pixel(), tppX());
}

template <class I>
void QtChildWindow<I>::setLeft(float v) {
    if (!std::isfinite(v)) fail(failure::kInvalidPropertyValue);
    left_.set(v, tppX());
    applyGeometry();
}

template <class I>
float QtChildWindow<I>::top() const {
    return top_.read(widget_ ? widget_->y() : top_.pixel(), tppY());
}

template <class I>
void QtChildWindow<I>::setTop(float v) {
    if (!std::isfinite(v)) fail(failure::kInvalidPropertyValue);
    top_.set(v, tppY());
    applyGeometry();
}

template <class I>
float QtChildWindow<I>::width() const {
    return width_.read(widget_ ? widget_->width() : width_.pixel(), tppX());
}

template <class I>
void QtChildWindow<I>::setWidth(float v) {
    checkSize(v);
    width_.set(v, tppX());
    applyGeometry();
}

template <class I>
float QtChildWindow<I>::height() const {
    return height_.read(widget_ ? widget_->height() : height_.pixel(), tppY());
}

template <class I>
void QtChildWindow<I>::setHeight(float v) {
    checkSize(v);
    height_.set(v, tppY());
    applyGeometry();
}

template <class I>
void QtChildWindow<I>::applyGeometry() {
    if (!widget_) return;
    widget_->setGeometry(left_.pixel(), top_.pixel(), width_.pixel(), height_.pixel());
}

template <class I>
void QtChildWindow<I>::setVisible(VBool v) {
    visible_ = v;
    if (!widget_) return;
    const bool show = v != kFalse;
    // A hidden widget takes no input. The focus stays inside the control,
    // on the surface, until someone gives it to a child again: Qt would
    // otherwise hand it to the next widget of the form, and the control
    // would see itself lose the focus in the middle of moving its pieces.
    if (!show && site_ && widget_->hasFocus()) site_->parkFocus();
    widget_->setVisible(show);
    if (show && site_) site_->childShown(widget_);
}

template <class I>
void QtChildWindow<I>::setTabIndex(std::int16_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    // Only the edit box is a tab stop on this host (see the site), so the
    // index orders nothing on screen; it is kept for whoever reads it.
    tabIndex_ = v;
}

template <class I>
void QtChildWindow<I>::setFocus() {
    if (!widget_ || visible_ == kFalse || !widget_->isEnabled())
        fail(failure::kInvalidProcedureCall, widget_ ? widget_->objectName().toStdString() +
                                                           " cannot take the focus"
                                                     : "The window is gone");
    widget_->setFocus(Qt::OtherFocusReason);
}

template class QtChildWindow<TextBox>;
template class QtChildWindow<CommandButton>;
template class QtChildWindow<Grid>;

// --- The edit box widget ------------------------------------------------

class EditWidget final : public QLineEdit {
public:
    EditWidget(QWidget* parent, QtTextBox& box) : QLineEdit(parent), box_(&box) {}
    void forget() { box_ = nullptr; }

    // The base class's handling, for the adapter's own key handling.
    void baseKeyPress(QKeyEvent* e) { QLineEdit::keyPressEvent(e); }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (!routed()) {
            QLineEdit::keyPressEvent(e);
            return;
        }
        QtSite* site = box_->site();
        QPointer<EditWidget> self(this);
        bool taken = false;
        site->guard([&] { taken = box_->keyDown(e); });
        // An Escape the control did not take (no list to close) goes on to
        // the window, where it may close a dialog.
        if (!self) return;
        if (e->key() == Qt::Key_Escape && !taken)
            e->ignore();
        else
            e->accept();
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (routed() && !e->isAutoRepeat()) box_->site()->guard([&] { box_->keyUp(e); });
        QLineEdit::keyReleaseEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        mouse(e, &TextBoxEvents::onMouseDown, mouseButtonOf(e->button()));
        QLineEdit::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        mouse(e, &TextBoxEvents::onMouseMove, mouseButtonsOf(e->buttons()));
        QLineEdit::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPointer<EditWidget> self(this);
        QLineEdit::mouseReleaseEvent(e);
        if (!self) return;
        mouse(e, &TextBoxEvents::onMouseUp, mouseButtonOf(e->button()));
        if (self && e->button() == Qt::LeftButton && routed())
            box_->site()->guard([&] { box_->events()->onClick(); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        QPointer<EditWidget> self(this);
        QLineEdit::mouseDoubleClickEvent(e);
        if (self && routed()) box_->site()->guard([&] { box_->events()->onDblClick(); });
    }
    void paintEvent(QPaintEvent* e) override {
        if (box_) box_->syncFont();
        QLineEdit::paintEvent(e);
    }

private:
    bool routed() const {
        return box_ && box_->events() && box_->site() && box_->site()->connected();
    }
    using MouseSink = void (TextBoxEvents::*)(std::int16_t&, std::int16_t&, float&, float&);
    void mouse(QMouseEvent* e, MouseSink sink, std::int16_t button) {
        if (!routed()) return;
        std::int16_t shift = shiftStateOf(e->modifiers());
        TwipsPoint p = twipsOf(this, e->position());
        box_->site()->guard([&] { (box_->events()->*sink)(button, shift, p.x, p.y); });
    }

    QtTextBox* box_;
};

// --- QtTextBox ----------------------------------------------------------

QtTextBox::QtTextBox(QtSite& site, QWidget* surface, std::string name, TextBoxEvents& events)
    : QtChildWindow<TextBox>(site, new EditWidget(surface, *this)),
      events_(&events),
      font_(Font::make()) {
    auto* edit = lineEdit();
    edit->setObjectName(toQString(name));
    // MaxLength limits what the user types, never what the program writes.
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setMouseTracking(true);
    edit->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { userTextChanged(); });
    setLeft(0);
    setTop(0);
    setWidth(1215);
    setHeight(285);
    syncFont();
    applyColours();
}

QLineEdit* QtTextBox::lineEdit() const { return static_cast<QLineEdit*>(widget_.data()); }

std::string QtTextBox::text() const {
    if (!widget_) return lastText_;
    return toStdString(lineEdit()->text());
}

void QtTextBox::write(const QString& text, int caret) {
    QLineEdit* edit = lineEdit();
    if (!edit) fail(failure::kObjectNotSet, "The edit box is gone");
    const bool changed = edit->text() != text;
    {
        QSignalBlocker block(edit);
        if (changed) edit->setText(text);
        edit->setCursorPosition(caret);
    }
    lastText_ = toStdString(text);
    // Last: the handler may write the box again, and nothing here may undo it.
    if (changed && events_) events_->onChange();
}

void QtTextBox::userTextChanged() {
    // The user's own edits (typing, pasting, undoing) reach the change event
    // here; the program's writes go through write() with the signal blocked.
    if (!widget_) return;
    lastText_ = toStdString(lineEdit()->text());
    if (!events_ || !site_ || !site_->connected()) return;
    site_->guard([&] { events_->onChange(); });
}

void QtTextBox::setText(const std::string& text) {
    QString q = toQString(text);
    if (widget_ && lineEdit()->text() == q) return;
    pendingHighSurrogate_ = 0;
    write(q, 0);
}

int QtTextBox::snap(const QString& text, int units) const {
    units = std::clamp(units, 0, static_cast<int>(text.size()));
    if (units > 0 && units < text.size() && text[units].isLowSurrogate() &&
        text[units - 1].isHighSurrogate())
        --units;
    return units;
}

std::int32_t QtTextBox::selStart() const {
    QLineEdit* edit = lineEdit();
    if (!edit) return 0;
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

std::int32_t QtTextBox::selLength() const {
    QLineEdit* edit = lineEdit();
    if (!edit) return 0;
    return edit->hasSelectedText() ? edit->selectionLength() : 0;
}

void QtTextBox::setSelStart(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    edit->setCursorPosition(snap(edit->text(), v));
}

void QtTextBox::setSelLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    const int start = selStart();
    const auto end64 = std::min<std::int64_t>(std::int64_t{start} + v, edit->text().size());
    int end = snap(edit->text(), static_cast<int>(end64));
    if (end < start) end = start;
    if (end == start) {
        edit->setCursorPosition(start);
        return;
    }
    // The caret at the selection's end, the anchor at its start.
    edit->setSelection(start, end - start);
}

std::string QtTextBox::selText() const {
    QLineEdit* edit = lineEdit();
    return edit ? toStdString(edit->selectedText()) : std::string();
}

void QtTextBox::setSelText(const std::string& text) {
    QLineEdit* edit = lineEdit();
    if (!edit) fail(failure::kObjectNotSet, "The edit box is gone");
    const int start = selStart();
    const int length = selLength();
    QString current = edit->text();
    QString insert = toQString(text);
    QString next = current.left(start) + insert + current.mid(start + length);
    write(next, start + static_cast<int>(insert.size()));
}

void QtTextBox::setLocked(VBool v) {
    locked_ = v;
    if (QLineEdit* edit = lineEdit()) edit->setReadOnly(v != kFalse);
}

void QtTextBox::setMaxLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    maxLength_ = v;
}

void QtTextBox::applyColours() {
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    QPalette base = site_ && site_->surfaceWidget() ? site_->surfaceWidget()->palette()
                                                    : edit->palette();
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, colorOf(backColor_, base));
    p.setColor(QPalette::Text, colorOf(foreColor_, base));
    edit->setPalette(p);
}

void QtTextBox::setBackColor(Color v) {
    backColor_ = v;
    applyColours();
}

void QtTextBox::setForeColor(Color v) {
    foreColor_ = v;
    applyColours();
}

void QtTextBox::setFont(std::shared_ptr<Font> font) {
    if (!font) fail(failure::kInvalidPropertyValue);
    font_ = std::move(font);
    syncFont();
}

void QtTextBox::syncFont() {
    QLineEdit* edit = lineEdit();
    if (!edit || !font_) return;
    if (fontShown_ == font_.get() && fontRevision_ == font_->revision()) return;
    fontShown_ = font_.get();
    fontRevision_ = font_->revision();
    edit->setFont(qFontOf(font_->description()));
}

void QtTextBox::typeUnit(char16_t unit) {
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    if (isHighSurrogate(unit)) {
        pendingHighSurrogate_ = unit;
        return;
    }
    char16_t high = pendingHighSurrogate_;
    pendingHighSurrogate_ = 0;
    if (unit == key_code::kBackspace) {
        if (locked_ != kFalse) return;
        if (edit->hasSelectedText()) {
            setSelText("");
            return;
        }
        int caret = edit->cursorPosition();
        if (caret == 0) return;
        int from = caret - 1;
        QString t = edit->text();
        if (from > 0 && t[from].isLowSurrogate() && t[from - 1].isHighSurrogate()) --from;
        write(t.left(from) + t.mid(caret), from);
        return;
    }
    if (unit < 32 || unit == 127) return;
    QString typed;
    if (isLowSurrogate(unit)) {
        // A lone half of a pair is no character: nothing to insert.
        if (high == 0) return;
        typed = QString(QChar(high)) + QChar(unit);
    } else {
        typed = QString(QChar(unit));
    }
    if (locked_ != kFalse) return;
    const std::int64_t after = edit->text().size() - selLength() + typed.size();
    if (maxLength_ > 0 && after > maxLength_) return;
    setSelText(toStdString(typed));
}

void QtTextBox::ownKeyHandling(QKeyEvent* e, std::int16_t original, std::int16_t keyCode) {
    auto* edit = static_cast<EditWidget*>(lineEdit());
    if (!edit || keyCode == 0) return;
    if (keyCode == original) {
        edit->baseKeyPress(e);
        return;
    }
    int qtKey = qtKeyOf(keyCode);
    if (qtKey == Qt::Key_unknown) return;
    QKeyEvent changed(QEvent::KeyPress, qtKey, e->modifiers());
    edit->baseKeyPress(&changed);
}

bool QtTextBox::keyDown(QKeyEvent* e) {
    const std::int16_t original = virtualKeyOf(*e);
    std::int16_t keyCode = original;
    std::int16_t shift = shiftStateOf(e->modifiers());
    QPointer<QWidget> alive(widget_);
    if (events_) events_->onKeyDown(keyCode, shift);
    if (!alive) return true;
    const bool taken = original != 0 && keyCode == 0;

    // What the key types, as the platform's character event brings it:
    // Backspace, Enter and Escape type their control characters; with Ctrl
    // a letter types its control character and the widget's own shortcut
    // (copy, paste, select all) runs; with Alt nothing is typed.
    const auto mods = e->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool alt = mods.testFlag(Qt::AltModifier);
    std::u16string units;
    switch (e->key()) {
        case Qt::Key_Backspace: units = u"\b"; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: units = u"\r"; break;
        case Qt::Key_Escape: units = u"\x1b"; break;
        default:
            if (alt) break;
            if (ctrl) {
                if (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
                    units.push_back(static_cast<char16_t>(e->key() - Qt::Key_A + 1));
                break;
            }
            for (QChar c : e->text())
                if (c.unicode() >= 32 && c.unicode() != 127) units.push_back(c.unicode());
            break;
    }

    const bool shortcut = ctrl || alt;
    if (units.empty() || shortcut) ownKeyHandling(e, original, keyCode);
    if (!alive) return true;
    for (char16_t unit : units) {
        std::int16_t keyAscii = static_cast<std::int16_t>(unit);
        if (events_) events_->onKeyPress(keyAscii);
        if (!alive) return true;
        if (keyAscii == 0 || shortcut) continue;
        typeUnit(static_cast<char16_t>(keyAscii));
        if (!alive) return true;
    }
    return taken;
}

void QtTextBox::keyUp(QKeyEvent* e) {
    std::int16_t keyCode = virtualKeyOf(*e);
    std::int16_t shift = shiftStateOf(e->modifiers());
    if (events_) events_->onKeyUp(keyCode, shift);
}

// --- The button ---------------------------------------------------------

class ButtonWidget final : public QToolButton {
public:
    ButtonWidget(QWidget* parent, QtCommandButton& button) : QToolButton(parent), button_(&button) {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        mouse(e, &CommandButtonEvents::onMouseDown, mouseButtonOf(e->button()));
        QToolButton::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        mouse(e, &CommandButtonEvents::onMouseMove, mouseButtonsOf(e->buttons()));
        QToolButton::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPointer<ButtonWidget> self(this);
        mouse(e, &CommandButtonEvents::onMouseUp, mouseButtonOf(e->button()));
        // The click (the clicked signal) comes after the button-up event.
        if (self) QToolButton::mouseReleaseEvent(e);
    }

private:
    bool routed() const {
        return button_->events() && button_->site() && button_->site()->connected();
    }
    using MouseSink = void (CommandButtonEvents::*)(std::int16_t&, std::int16_t&, float&, float&);
    void mouse(QMouseEvent* e, MouseSink sink, std::int16_t button) {
        if (!routed()) return;
        std::int16_t shift = shiftStateOf(e->modifiers());
        // In the button's own coordinates.
        TwipsPoint p = twipsOf(this, e->position());
        button_->site()->guard([&] { (button_->events()->*sink)(button, shift, p.x, p.y); });
    }

    QtCommandButton* button_;
};

QtCommandButton::QtCommandButton(QtSite& site, QWidget* surface, std::string name,
                                 CommandButtonEvents& events)
    : QtChildWindow<CommandButton>(site, new ButtonWidget(surface, *this)), events_(&events) {
    QToolButton* b = toolButton();
    b->setObjectName(toQString(name));
    // The click hands the focus to the edit box itself; a button that took
    // the focus first would make the control see it leave the edit box.
    b->setFocusPolicy(Qt::NoFocus);
    b->setMouseTracking(true);
    QObject::connect(b, &QToolButton::clicked, b, [this] {
        if (events_ && site_ && site_->connected()) site_->guard([&] { events_->onClick(); });
    });
    setLeft(0);
    setTop(0);
    setWidth(1215);
    setHeight(375);
}

QToolButton* QtCommandButton::toolButton() const {
    return static_cast<QToolButton*>(widget_.data());
}

void QtCommandButton::setCaption(const std::string& v) {
    caption_ = v;
    show();
}

void QtCommandButton::setStyle(std::int16_t v) {
    if (v != 0 && v != 1) fail(failure::kInvalidPropertyValue);
    style_ = v;
    show();
}

void QtCommandButton::setPicture(std::shared_ptr<Picture> v) {
    picture_ = std::move(v);
    show();
}

void QtCommandButton::show() {
    QToolButton* b = toolButton();
    if (!b) return;
    b->setText(toQString(caption_));
    QPixmap pixmap;
    if (picture_ && !picture_->bytes().empty()) {
        const auto& bytes = picture_->bytes();
        QByteArray format = QByteArray::fromStdString(picture_->format()).toUpper();
        pixmap.loadFromData(bytes.data(), static_cast<uint>(bytes.size()),
                            format.isEmpty() ? nullptr : format.constData());
    }
    b->setIcon(QIcon(pixmap));
    if (!pixmap.isNull()) b->setIconSize(pixmap.size());
    const bool graphical = style_ == 1 && !pixmap.isNull();
    b->setToolButtonStyle(graphical ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
}

}  // namespace quorvel::qt
