#include "fake_control.h"

namespace quorvel::headless::testing {

namespace {

std::string mouse(const char* what, std::int16_t b, std::int16_t s, float x, float y) {
    return std::string(what) + " " + std::to_string(b) + " " + std::to_string(s) + " " +
           std::to_string(static_cast<int>(x)) + " " + std::to_string(static_cast<int>(y));
}

}  // namespace

FakeControl::FakeControl(HeadlessSite& s) : site(s) {
    text1 = &site.createTextBox("Text1", text1Sink_);
    text2 = &site.createTextBox("Text2", text2Sink_);
    command1 = &site.createCommandButton("Command1", buttonSink_);
    data1 = &site.createDataControl("Data1", dataSink_);
    grid = &site.createGrid("DBGrid1", gridSink_);

    text2->setLeft(0), text2->setTop(0), text2->setWidth(2400), text2->setHeight(285);
    text2->setTabIndex(1);
    text1->setVisible(kFalse);
    text1->setTabIndex(2);
    command1->setLeft(2400), command1->setWidth(180), command1->setHeight(285);
    command1->setTabIndex(3);
    // Below the closed control, clipped away, like the closed list.
    grid->setTop(360), grid->setWidth(2655), grid->setHeight(2055);
    grid->setTabIndex(0);
    grid->setDataSource(data1);

    surface_ = site.attach(surfaceSink_);
    site.surface().setWidth(2580);
    site.surface().setHeight(285);
    site.clearLog();
}

FakeControl::~FakeControl() = default;

std::string FakeControl::gridRow() const { return "row=" + std::to_string(site.grid("DBGrid1").row()); }

void FakeControl::TextSink::onChange() {
    c.mark(name + " change " + c.site.textBox(name).text());
    if (name == "Text2" && c.text2Change) c.text2Change();
}
void FakeControl::TextSink::onKeyDown(std::int16_t& k, std::int16_t& s) {
    c.mark(name + " keydown " + std::to_string(k) + " " + std::to_string(s));
    if (name == "Text2" && c.text2KeyDown) c.text2KeyDown(k, s);
}
void FakeControl::TextSink::onKeyPress(std::int16_t& a) {
    c.mark(name + " keypress " + std::to_string(a));
    if (name == "Text2" && c.text2KeyPress) c.text2KeyPress(a);
}
void FakeControl::TextSink::onKeyUp(std::int16_t& k, std::int16_t& s) {
    c.mark(name + " keyup " + std::to_string(k) + " " + std::to_string(s));
}
void FakeControl::TextSink::onClick() { c.mark(name + " click"); }
void FakeControl::TextSink::onDblClick() { c.mark(name + " dblclick"); }
void FakeControl::TextSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark(name + " " + mouse("mousedown", b, s, x, y));
}
void FakeControl::TextSink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark(name + " " + mouse("mouseup", b, s, x, y));
}

void FakeControl::ButtonSink::onClick() {
    c.mark("Command1 click focus=" + c.site.focusName());
    if (c.buttonClick) c.buttonClick();
}
void FakeControl::ButtonSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark("Command1 " + mouse("mousedown", b, s, x, y));
}

void FakeControl::GridSink::onKeyDown(std::int16_t& k, std::int16_t& s) {
    c.mark("DBGrid1 keydown " + std::to_string(k) + " " + std::to_string(s) + " " + c.gridRow());
    if (c.gridKeyDown) c.gridKeyDown(k, s);
}
void FakeControl::GridSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark("DBGrid1 " + mouse("mousedown", b, s, x, y) + " " + c.gridRow());
}
void FakeControl::GridSink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark("DBGrid1 " + mouse("mouseup", b, s, x, y) + " " + c.gridRow());
    if (c.gridMouseUp) c.gridMouseUp();
}

void FakeControl::DataSink::onReposition() {
    c.mark("Data1 reposition " + c.gridRow());
    if (c.reposition) c.reposition();
}

void FakeControl::SurfaceSink::onResize() {
    c.mark("resize " + std::to_string(static_cast<int>(c.site.surface().width())) + "x" +
           std::to_string(static_cast<int>(c.site.surface().height())));
    if (c.resize) c.resize();
}
void FakeControl::SurfaceSink::onPaint() { c.mark("paint"); }
void FakeControl::SurfaceSink::onEnterFocus() {
    c.mark("enter focus=" + c.site.focusName());
    if (c.enterFocus) c.enterFocus();
}
void FakeControl::SurfaceSink::onExitFocus() {
    c.mark("exit");
    if (c.exitFocus) c.exitFocus();
}
void FakeControl::SurfaceSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.mark("surface " + mouse("mousedown", b, s, x, y));
}

}  // namespace quorvel::headless::testing
