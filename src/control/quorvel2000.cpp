// Creation, first-time initialisation and the routing of the children's
// events to the handlers that own them.
#include "control/quorvel2000.h"

namespace quorvel {

Quorvel2000::Quorvel2000(ControlSite& site)
    : site_(site),
      Text1(site.createTextBox("Text1", text1Sink_)),
      Text2(site.createTextBox("Text2", text2Sink_)),
      Command1(site.createCommandButton("Command1", command1Sink_)),
      Data1(site.createDataControl("Data1", data1Sink_)),
      DBGrid1(site.createGrid("DBGrid1", gridSink_)) {
    applyDesignTimeSettings();
    surfaceSubscription_ = site_.attach(surfaceSink_);
}

Quorvel2000::~Quorvel2000() = default;

void Quorvel2000::InitProperties() {
    colsCaption = "";
    colsField = "";
    colsFormat = "";
    colsSize = "";
    boundField = Variant(std::int16_t{0});
    listSearchField = Variant(std::int16_t{0});
    listOpen = kFalse;
    dropDownAuto = kTrue;
    onListOnly = kTrue;
    listHeight = 2055;
    colsAlignment = "";
    fastMode = kFalse;
    bringToFront = kTrue;
    about = Variant(std::int16_t{0});
    searchDisable = kFalse;
    keyboardConventions = kOwnKeys;
}

void Quorvel2000::Refresh() { site_.surface().refresh(); }

// --- Event routing ------------------------------------------------------

void Quorvel2000::Text1Sink::onChange() { c.boundValueChanged(); }

void Quorvel2000::Text2Sink::onChange() { c.editChanged(); }
void Quorvel2000::Text2Sink::onKeyDown(std::int16_t& k, std::int16_t& s) { c.editKeyDown(k, s); }
void Quorvel2000::Text2Sink::onKeyPress(std::int16_t& k) { c.editKeyPress(k); }
void Quorvel2000::Text2Sink::onKeyUp(std::int16_t& k, std::int16_t& s) { c.editKeyUp(k, s); }
void Quorvel2000::Text2Sink::onClick() { c.editClick(); }
void Quorvel2000::Text2Sink::onDblClick() { c.editDblClick(); }
void Quorvel2000::Text2Sink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.editMouseDown(b, s, x, y);
}
void Quorvel2000::Text2Sink::onMouseMove(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.editMouseMove(b, s, x, y);
}
void Quorvel2000::Text2Sink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.editMouseUp(b, s, x, y);
}

void Quorvel2000::Command1Sink::onClick() { c.buttonClick(); }
void Quorvel2000::Command1Sink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.buttonMouseDown(b, s, x, y);
}
void Quorvel2000::Command1Sink::onMouseMove(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.buttonMouseMove(b, s, x, y);
}
void Quorvel2000::Command1Sink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.buttonMouseUp(b, s, x, y);
}

void Quorvel2000::Data1Sink::onError(std::int16_t& e, std::int16_t& r) { c.dataError(e, r); }
void Quorvel2000::Data1Sink::onReposition() { c.dataReposition(); }
void Quorvel2000::Data1Sink::onValidate(std::int16_t& a, std::int16_t& s) { c.dataValidate(a, s); }

void Quorvel2000::GridSink::onKeyDown(std::int16_t& k, std::int16_t& s) { c.gridKeyDown(k, s); }
void Quorvel2000::GridSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.gridMouseDown(b, s, x, y);
}
void Quorvel2000::GridSink::onMouseMove(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.gridMouseMove(b, s, x, y);
}
void Quorvel2000::GridSink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.gridMouseUp(b, s, x, y);
}

void Quorvel2000::SurfaceSink::onResize() { c.resizeLayout(); }
void Quorvel2000::SurfaceSink::onPaint() { c.paintSurface(); }
void Quorvel2000::SurfaceSink::onEnterFocus() { c.enterFocus(); }
void Quorvel2000::SurfaceSink::onExitFocus() { c.exitFocus(); }
void Quorvel2000::SurfaceSink::onMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.surfaceMouseDown(b, s, x, y);
}
void Quorvel2000::SurfaceSink::onMouseMove(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.surfaceMouseMove(b, s, x, y);
}
void Quorvel2000::SurfaceSink::onMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) {
    c.surfaceMouseUp(b, s, x, y);
}

}  // namespace quorvel
