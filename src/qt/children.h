// The Qt children of the control: text boxes on QLineEdit and the command
// button on QToolButton, each an adapter that implements the platform's
// interface on its widget. The widgets are children of the control's
// surface; each adapter owns its widget and the site owns the adapters, so
// both end with the site.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

#include <cstdint>
#include <memory>
#include <string>

#include "host/text_edit.h"
#include "platform/children.h"
#include "qt/convert.h"

namespace quorvel::qt {

class QtSite;

// The ChildWindow part of an adapter: geometry in twips, visibility, tab
// position and focus, on one widget.
template <class Interface>
class QtChildWindow : public Interface {
public:
    QtChildWindow(QtSite& site, QWidget* widget) : site_(&site), widget_(widget) {}
    // The adapter owns its widget.
    ~QtChildWindow() override { delete widget_.data(); }
    QtChildWindow(const QtChildWindow&) = delete;
    QtChildWindow& operator=(const QtChildWindow&) = delete;

    float left() const override;
    void setLeft(float v) override;
    float top() const override;
    void setTop(float v) override;
    float width() const override;
    void setWidth(float v) override;
    float height() const override;
    void setHeight(float v) override;
    VBool visible() const override { return visible_; }
    void setVisible(VBool v) override;
    std::int16_t tabIndex() const override { return tabIndex_; }
    void setTabIndex(std::int16_t v) override;
    // Failure 5 when the widget is hidden, disabled or gone.
    void setFocus() override;

    QWidget* widget() const { return widget_; }
    // The site ends before the adapter: nothing reaches it any more.
    void detachSite() { site_ = nullptr; }
    QtSite* site() const { return site_; }

protected:
    double tppX() const;
    double tppY() const;
    void applyGeometry();

    QtSite* site_;
    QPointer<QWidget> widget_;
    TwipsCoordinate left_, top_, width_, height_;
    VBool visible_ = kTrue;
    std::int16_t tabIndex_ = 0;
};

class EditWidget;

class QtTextBox final : public host::EditBox<QtChildWindow<TextBox>> {
public:
    QtTextBox(QtSite& site, QWidget* surface, std::string name, TextBoxEvents& events);

    void setLocked(VBool v) override;
    Color backColor() const override { return backColor_; }
    void setBackColor(Color v) override;
    Color foreColor() const override { return foreColor_; }
    void setForeColor(Color v) override;
    std::shared_ptr<Font> font() const override { return font_; }
    void setFont(std::shared_ptr<Font> font) override;
    std::int16_t alignment() const override { return alignment_; }
    std::int16_t borderStyle() const override { return borderStyle_; }
    std::int16_t appearance() const override { return appearance_; }

    QLineEdit* lineEdit() const;
    // Re-applies the font object when someone changed it since.
    void syncFont();
    void applyColours();
    void disconnectEvents() { events_ = nullptr; }

    // The widget's input, routed to the events.
    // True when the control took the key (its handler cleared the code).
    bool keyDown(QKeyEvent* event);
    void keyUp(QKeyEvent* event);
    void userTextChanged();
    // The clipboard's text, pasted under the rules of typing.
    void paste();
    TextBoxEvents* events() const { return events_; }

private:
    // The line edit's text and selection, as the user left them.
    void pull() const override;
    // Puts the model's state on the line edit without its own signal.
    void show(bool textChanged) override;
    void raiseChange() override;
    void requireWindow() const override;
    std::string asShown(const std::string& text) const override;
    void typeUnit(char16_t unit);
    void ownKeyHandling(QKeyEvent* event, std::int16_t original, std::int16_t keyCode);

    TextBoxEvents* events_;
    Color backColor_ = kSystemWindowBackground;
    Color foreColor_ = kSystemWindowText;
    std::shared_ptr<Font> font_;
    std::uint64_t fontRevision_ = ~std::uint64_t{0};
    const Font* fontShown_ = nullptr;
    std::int16_t alignment_ = 0;
    std::int16_t borderStyle_ = 1;
    std::int16_t appearance_ = 1;
};

class QtCommandButton final : public QtChildWindow<CommandButton> {
public:
    QtCommandButton(QtSite& site, QWidget* surface, std::string name, CommandButtonEvents& events);

    std::string caption() const override { return caption_; }
    void setCaption(const std::string& v) override;
    std::int16_t style() const override { return style_; }
    // Failure 380 for anything but 0 and 1.
    void setStyle(std::int16_t v) override;
    std::shared_ptr<Picture> picture() const override { return picture_; }
    // A picture that Qt cannot decode shows as no picture.
    void setPicture(std::shared_ptr<Picture> v) override;

    QToolButton* toolButton() const;
    void disconnectEvents() { events_ = nullptr; }
    CommandButtonEvents* events() const { return events_; }

private:
    void show();

    CommandButtonEvents* events_;
    std::string caption_;
    std::int16_t style_ = 0;
    std::shared_ptr<Picture> picture_;
};

// Where a mouse event lands, in twips of the widget it came to.
struct TwipsPoint {
    float x;
    float y;
};
TwipsPoint twipsOf(const QWidget* widget, QPointF pixels);

}  // namespace quorvel::qt
