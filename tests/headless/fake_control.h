// A stand-in for the control on the headless host: it creates the five
// children as the control does and writes everything they report into the
// site's log as markers, so a test compares one ordered log of the host's
// own lines and the children's events. Hooks let a test act inside a
// handler, where re-entrance happens.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "headless/site.h"

namespace quorvel::headless::testing {

class FakeControl {
public:
    using KeyHook = std::function<void(std::int16_t& keyCode, std::int16_t& shift)>;
    using Hook = std::function<void()>;

    explicit FakeControl(HeadlessSite& site);
    ~FakeControl();

    HeadlessSite& site;
    // The site's children, as the site made them.
    TextBox* text1;
    TextBox* text2;
    CommandButton* command1;
    DataControl* data1;
    Grid* grid;

    KeyHook text2KeyDown, gridKeyDown;
    std::function<void(std::int16_t& keyAscii)> text2KeyPress;
    Hook text2Change, gridMouseUp, buttonClick, enterFocus, exitFocus, resize, reposition;

private:
    struct TextSink : TextBoxEvents {
        TextSink(FakeControl& control, std::string n) : c(control), name(std::move(n)) {}
        void onChange() override;
        void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) override;
        void onKeyPress(std::int16_t& keyAscii) override;
        void onKeyUp(std::int16_t& keyCode, std::int16_t& shift) override;
        void onClick() override;
        void onDblClick() override;
        void onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        void onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        FakeControl& c;
        std::string name;
    };
    struct ButtonSink : CommandButtonEvents {
        explicit ButtonSink(FakeControl& control) : c(control) {}
        void onClick() override;
        void onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        FakeControl& c;
    };
    struct GridSink : GridEvents {
        explicit GridSink(FakeControl& control) : c(control) {}
        void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) override;
        void onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        void onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        FakeControl& c;
    };
    struct DataSink : DataControlEvents {
        explicit DataSink(FakeControl& control) : c(control) {}
        void onReposition() override;
        FakeControl& c;
    };
    struct SurfaceSink : SurfaceEvents {
        explicit SurfaceSink(FakeControl& control) : c(control) {}
        void onResize() override;
        void onPaint() override;
        void onEnterFocus() override;
        void onExitFocus() override;
        void onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override;
        FakeControl& c;
    };

    void mark(const std::string& line) { site.mark(line); }
    std::string gridRow() const;

    TextSink text1Sink_{*this, "Text1"};
    TextSink text2Sink_{*this, "Text2"};
    ButtonSink buttonSink_{*this};
    GridSink gridSink_{*this};
    DataSink dataSink_{*this};
    SurfaceSink surfaceSink_{*this};
    Subscription surface_;
};

}  // namespace quorvel::headless::testing
