#include "qt/children.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalBlocker>

#include <limits>

#include "platform/failure.h"
#include "platform/grid.h"
#include "platform/key_codes.h"
#include "qt/site.h"

namespace quorvel::qt {

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
        fail(failure::kInvalidProcedureCall,
             widget_ ? widget_->objectName().toStdString() + " cannot take the focus" : "The window is gone");
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
        if (e->key() == Qt::Key_Escape && !taken) e->ignore();
        else e->accept();
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
    void contextMenuEvent(QContextMenuEvent* e) override {
        // The menu is the box's child and ends itself when closed: it runs
        // without a loop of its own, so the box may end while it is open.
        QPointer<QMenu> menu = createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // The menu's paste goes through the box, under MaxLength as the
        // paste key does.
        const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
        for (QAction* action : menu->actions()) {
            // Qt names the action only in its later versions; its text
            // (with the shortcut after a tab) is there in all of them.
            if (action->objectName() != QStringLiteral("edit-paste") && !action->text().startsWith(pasteText))
                continue;
            QObject::disconnect(action, nullptr, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] {
                if (!box_) return;
                if (box_->site()) box_->site()->guard([&] { box_->paste(); });
                else box_->paste();
            });
        }
        menu->popup(e->globalPos());
    }
    void paintEvent(QPaintEvent* e) override {
        if (box_) box_->syncFont();
        QLineEdit::paintEvent(e);
    }

private:
    bool routed() const { return box_ && box_->events() && box_->site() && box_->site()->connected(); }
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
    : EditBox(site, new EditWidget(surface, *this)), events_(&events), font_(Font::make()) {
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

void QtTextBox::pull() const {
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    const int caret = edit->cursorPosition();
    int anchor = caret;
    if (edit->hasSelectedText())
        anchor = caret == edit->selectionStart() ? edit->selectionEnd() : edit->selectionStart();
    edit_.load(toStdString(edit->text()), anchor, caret);
}

void QtTextBox::show(bool textChanged) {
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    QSignalBlocker block(edit);
    if (textChanged) edit->setText(toQString(edit_.text()));
    if (edit_.anchor() == edit_.caret()) edit->setCursorPosition(edit_.caret());
    else edit->setSelection(edit_.anchor(), edit_.caret() - edit_.anchor());
}

void QtTextBox::raiseChange() {
    if (events_) events_->onChange();
}

void QtTextBox::requireWindow() const {
    if (!lineEdit()) fail(failure::kObjectNotSet, "The edit box is gone");
}

std::string QtTextBox::asShown(const std::string& text) const { return toStdString(toQString(text)); }

void QtTextBox::userTextChanged() {
    // The user's own edits (typing, undoing) reach the change event here;
    // the program's writes and the model's edits show with the signal
    // blocked. The model keeps the text for when the widget is gone.
    if (!widget_) return;
    pull();
    if (!events_ || !site_ || !site_->connected()) return;
    site_->guard([&] { events_->onChange(); });
}

void QtTextBox::setLocked(VBool v) {
    EditBox::setLocked(v);
    if (QLineEdit* edit = lineEdit()) edit->setReadOnly(v != kFalse);
}

void QtTextBox::applyColours() {
    QLineEdit* edit = lineEdit();
    if (!edit) return;
    QPalette base = site_ && site_->surfaceWidget() ? site_->surfaceWidget()->palette() : edit->palette();
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
    if (!lineEdit()) return;
    pull();
    edited(edit_.typeUnit(unit));
}

void QtTextBox::paste() {
    if (!lineEdit()) return;
    pull();
    edited(edit_.paste(toStdString(QGuiApplication::clipboard()->text())));
}

void QtTextBox::ownKeyHandling(QKeyEvent* e, std::int16_t original, std::int16_t keyCode) {
    auto* edit = static_cast<EditWidget*>(lineEdit());
    if (!edit || keyCode == 0) return;
    // The widget's own paste would take the whole clipboard, past MaxLength.
    if (keyCode == original && e->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
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
    bool routed() const { return button_->events() && button_->site() && button_->site()->connected(); }
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

QToolButton* QtCommandButton::toolButton() const { return static_cast<QToolButton*>(widget_.data()); }

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
