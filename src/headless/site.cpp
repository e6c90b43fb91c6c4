#include "headless/site.h"

#include <algorithm>
#include <cmath>

#include "engine/data_engine.h"
#include "host/surface_state.h"
#include "host/trace.h"
#include "platform/text.h"
#include "platform/failure.h"

namespace quorvel::headless {

using host::KeyStroke;
using host::virtualKeyOf;

namespace {

// A form as a designer first makes one: its client area is a little less
// tall than the form, by the caption and the borders.
constexpr float kContainerWidth = 9600;
constexpr float kContainerHeight = 7200;
constexpr float kContainerScaleHeight = 6720;
constexpr Color kButtonFace = systemColor(15);
// Where a press on a grid row lands horizontally: inside the first column.
constexpr float kGridClickX = 60;
// A handler that queues a key for every key it receives would never let the
// pump return; past this many deliveries the rest is dropped.
constexpr int kMaxKeysPerPump = 10000;

std::int32_t nextWindowHandle() {
    static std::int32_t next = 0x00010000;
    next += 0x10;
    return next;
}

// Every headless child keeps its state for the site: its place and focus.
ChildState& stateOf(ChildWindow& child) { return dynamic_cast<ChildState&>(child); }

[[noreturn]] void noSuchChild(std::string_view name) {
    fail(failure::kInvalidProcedureCall, "No child control named " + std::string(name));
}

class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

Target targetNamed(std::string_view name) {
    if (name == "text") return Target::Text;
    if (name == "button") return Target::Button;
    if (name == "surface") return Target::Surface;
    if (name == "grid") return Target::Grid;
    fail(failure::kInvalidProcedureCall, "No target named " + std::string(name));
}

// --- The surface, the extender and the container -------------------------

class HeadlessSite::Surface final : public host::SurfaceState {
public:
    explicit Surface(HeadlessSite& site) : SurfaceState(nextWindowHandle()), site_(site) {}

    float width() const override { return width_; }
    void setWidth(float v) override { setSize(v, height_); }
    float height() const override { return height_; }
    void setHeight(float v) override { setSize(width_, v); }
    // `always`: the resize runs even when the size is the same.
    void setSize(float w, float h, bool always = false) {
        if (!(w >= 0) || !(h >= 0) || std::isinf(w) || std::isinf(h)) fail(failure::kInvalidPropertyValue);
        if (w == width_ && h == height_ && !always) return;
        width_ = w;
        height_ = h;
        site_.surfaceResized();
    }
    void refresh() override {
        ++site_.refreshes_;
        site_.paint();
    }

private:
    HeadlessSite& site_;
    float width_ = 0;
    float height_ = 0;
};

class HeadlessSite::Box final : public Container {
public:
    float width() const override { return width_; }
    float height() const override { return height_; }
    float scaleHeight() const override {
        if (!scaleHeight_) fail(failure::kMethodNotSupported);
        return *scaleHeight_;
    }
    Color backColor() const override { return backColor_; }

    float width_ = kContainerWidth;
    float height_ = kContainerHeight;
    std::optional<float> scaleHeight_ = kContainerScaleHeight;
    Color backColor_ = kButtonFace;
};

class HeadlessSite::Ext final : public Extender {
public:
    explicit Ext(HeadlessSite& site) : site_(site) {}
    float left() const override { return left_; }
    void setLeft(float v) override { left_ = v; }
    float top() const override { return top_; }
    void setTop(float v) override { top_ = v; }
    Container& container() override { return *site_.container_; }
    void zOrder(std::int16_t position) override {
        if (position != 0 && position != 1) fail(failure::kInvalidPropertyValue);
        ++site_.zOrderCalls_;
        site_.lastZOrder_ = position;
    }

private:
    HeadlessSite& site_;
    float left_ = 0;
    float top_ = 0;
};

// --- Construction --------------------------------------------------------

HeadlessSite::HeadlessSite()
    : SiteCore(engine::createDataControl),
      surface_(std::make_unique<Surface>(*this)),
      extender_(std::make_unique<Ext>(*this)),
      container_(std::make_unique<Box>()) {
    placeOn(*surface_, *extender_);
}

HeadlessSite::~HeadlessSite() {
    // The children end while the site is whole.
    focus_ = nullptr;
    endChildren();
}

void HeadlessSite::childRetired(ChildWindow& child) {
    auto& state = dynamic_cast<ChildState&>(child);
    if (focus_ == &state) focus_ = nullptr;
    state.detachHost();
    if (auto* g = dynamic_cast<HeadlessGrid*>(&child)) g->binding().release();
}

Container& HeadlessSite::container() { return *container_; }

std::shared_ptr<Font> HeadlessSite::ambientFont() {
    if (sharedAmbientFont_) return sharedAmbientFont_;
    return Font::make(ambientDescription_);
}

void HeadlessSite::setContainer(float width, float height, std::optional<float> scaleHeight) {
    container_->width_ = width;
    container_->height_ = height;
    container_->scaleHeight_ = scaleHeight;
}

void HeadlessSite::setContainerBackColor(Color c) { container_->backColor_ = c; }

// --- Children ------------------------------------------------------------

std::unique_ptr<TextBox> HeadlessSite::makeTextBox(std::string_view name, TextBoxEvents& events) {
    return std::make_unique<HeadlessTextBox>(std::string(name), events, static_cast<ChildHost*>(this));
}

std::unique_ptr<CommandButton> HeadlessSite::makeCommandButton(std::string_view name,
                                                               CommandButtonEvents& events) {
    return std::make_unique<HeadlessCommandButton>(std::string(name), events, static_cast<ChildHost*>(this));
}

std::unique_ptr<Grid> HeadlessSite::makeGrid(std::string_view name, GridEvents& events) {
    return std::make_unique<HeadlessGrid>(std::string(name), events, static_cast<ChildHost*>(this));
}

ChildWindow& HeadlessSite::child(std::string_view name) const {
    ChildWindow* c = findChild(name);
    if (!c) noSuchChild(name);
    return *c;
}

bool HeadlessSite::hasChild(std::string_view name) const {
    return findChild(name) != nullptr || findDataControl(name) != nullptr;
}

HeadlessTextBox& HeadlessSite::textBox(std::string_view name) {
    auto* box = dynamic_cast<HeadlessTextBox*>(findChild(name));
    if (!box) noSuchChild(name);
    return *box;
}

HeadlessCommandButton& HeadlessSite::button(std::string_view name) {
    auto* b = dynamic_cast<HeadlessCommandButton*>(findChild(name));
    if (!b) noSuchChild(name);
    return *b;
}

HeadlessGrid& HeadlessSite::grid(std::string_view name) {
    auto* g = dynamic_cast<HeadlessGrid*>(findChild(name));
    if (!g) noSuchChild(name);
    return *g;
}

DataControl& HeadlessSite::dataControl(std::string_view name) {
    DataControl* dc = findDataControl(name);
    if (!dc) noSuchChild(name);
    return *dc;
}

ChildWindow& HeadlessSite::childFor(Target target) const {
    std::string_view name;
    switch (target) {
        case Target::Text: name = kEditBox; break;
        case Target::Button: name = kButton; break;
        case Target::Grid: name = kGrid; break;
        case Target::Surface: fail(failure::kInvalidProcedureCall, "The surface is no child");
    }
    return child(name);
}

// --- Surface calls -------------------------------------------------------

void HeadlessSite::sinkAttached() {
    // A control that starts here is sized by the next place, whatever size it has.
    sized_ = false;
}

void HeadlessSite::lastSinkDetached() {
    // The control is ending: user actions find no child of it afterwards
    // instead of calling into what it leaves behind.
    releaseChildren();
    focus_ = nullptr;
}

void HeadlessSite::surfaceResized() {
    forEachSink([](SurfaceEvents& s) { s.onResize(); });
}

bool HeadlessSite::surfaceEnabled() const { return surface_->enabled() != kFalse; }

void HeadlessSite::place(float left, float top, float width, float height) {
    extender_->setLeft(left);
    extender_->setTop(top);
    const bool first = !sized_;
    sized_ = true;
    surface_->setSize(width, height, first);
    paint();
}

void HeadlessSite::move(float left, float top) {
    extender_->setLeft(left);
    extender_->setTop(top);
    paint();
}

void HeadlessSite::paint() {
    forEachSink([](SurfaceEvents& s) { s.onPaint(); });
}

// --- Focus ---------------------------------------------------------------

void HeadlessSite::focusRequested(ChildState& child) {
    if (!child.canTakeFocus() || !surfaceEnabled()) {
        fail(failure::kInvalidProcedureCall, child.name() + " cannot take the focus");
    }
    bool entering = !inside_;
    focus_ = &child;
    inside_ = true;
    // After the focus arrived: the entry handler may move it on (to the
    // edit box), and that move must find the focus already inside.
    if (entering) forEachSink([](SurfaceEvents& s) { s.onEnterFocus(); });
}

void HeadlessSite::visibilityChanged(ChildState& child) {
    // A hidden window takes no input; the focus stays inside the control
    // but on no child until someone gives it one again.
    if (focus_ == &child && !child.canTakeFocus()) focus_ = nullptr;
}

std::string HeadlessSite::focusName() const { return focus_ ? focus_->name() : std::string(); }

void HeadlessSite::focusIn() {
    if (inside_ || !surfaceEnabled()) return;
    ChildWindow* best = nullptr;
    for (const auto& c : children()) {
        const ChildState& s = stateOf(*c.window);
        if (!s.canTakeFocus() || !s.showsOn(surface_->width(), surface_->height())) continue;
        if (!best || c.window->tabIndex() < best->tabIndex()) best = c.window.get();
    }
    focus_ = best ? &stateOf(*best) : nullptr;
    inside_ = true;
    forEachSink([](SurfaceEvents& s) { s.onEnterFocus(); });
}

void HeadlessSite::focusIn(std::string_view child) { focusRequested(stateOf(this->child(child))); }

void HeadlessSite::focusOut() {
    if (!inside_) return;
    focus_ = nullptr;
    inside_ = false;
    forEachSink([](SurfaceEvents& s) { s.onExitFocus(); });
}

ChildWindow* HeadlessSite::focusedWindow() const {
    if (!focus_) return nullptr;
    for (const auto& c : children())
        if (&stateOf(*c.window) == focus_) return c.window.get();
    return nullptr;
}

// --- Keys ----------------------------------------------------------------

void HeadlessSite::deliverKeyDown(ChildWindow& window, std::int16_t keyCode, std::int16_t shift) {
    if (auto* box = dynamic_cast<HeadlessTextBox*>(&window)) box->keyDown(keyCode, shift);
    else if (auto* g = dynamic_cast<HeadlessGrid*>(&window)) g->keyDown(keyCode, shift);
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(&window)) b->keyDown(keyCode, shift);
}

void HeadlessSite::deliverKeyPress(ChildWindow& window, char32_t character) {
    // Only an edit box takes characters; the grid and the button have no
    // character event.
    auto* box = dynamic_cast<HeadlessTextBox*>(&window);
    if (!box) return;
    if (character <= 0xFFFF) {
        box->keyPress(static_cast<std::int16_t>(static_cast<std::uint16_t>(character)));
        return;
    }
    char32_t v = character - 0x10000;
    box->keyPress(static_cast<std::int16_t>(static_cast<std::uint16_t>(0xD800 + (v >> 10))));
    box->keyPress(static_cast<std::int16_t>(static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF))));
}

void HeadlessSite::deliverKeyUp(ChildWindow& window, std::int16_t keyCode, std::int16_t shift) {
    if (auto* box = dynamic_cast<HeadlessTextBox*>(&window)) box->keyUp(keyCode, shift);
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(&window)) b->keyUp(keyCode, shift);
}

void HeadlessSite::stroke(const KeyStroke& s) {
    // Safe for the whole stroke: a child the handlers replace stays with
    // the site.
    ChildWindow* down = focusedWindow();
    if (down) {
        deliverKeyDown(*down, s.keyCode, s.shift);
        // The character goes where the key went down, as a keyboard's
        // translation of a key into a character does.
        if (s.character != 0) deliverKeyPress(*down, s.character);
    }
    if (ChildWindow* up = focusedWindow()) deliverKeyUp(*up, s.keyCode, s.shift);
}

void HeadlessSite::pumpKeys() {
    // A pump asked for by a handler during delivery: the running pump goes
    // on with the queue in order.
    if (pumping_) return;
    ScopedFlag pumping(pumping_);
    int delivered = 0;
    while (!keys_.empty()) {
        if (++delivered > kMaxKeysPerPump) {
            keys_.clear();
            append("sendkeys dropped");
            return;
        }
        KeyStroke s = keys_.front();
        keys_.pop_front();
        stroke(s);
    }
}

void HeadlessSite::requireFocusInside() const {
    if (!inside_)
        fail(failure::kInvalidProcedureCall,
             "The focus is outside the control: the keys reach none of its windows");
}

void HeadlessSite::type(std::string_view text) {
    requireFocusInside();
    for (char32_t c : decodeUtf8(text)) stroke(KeyStroke{virtualKeyOf(c), 0, c});
}

void HeadlessSite::keyDown(std::int16_t keyCode, std::int16_t shift) {
    requireFocusInside();
    if (auto w = focusedWindow()) deliverKeyDown(*w, keyCode, shift);
}

void HeadlessSite::keyPress(std::int16_t keyAscii) {
    requireFocusInside();
    auto w = focusedWindow();
    if (!w) return;
    if (auto* box = dynamic_cast<HeadlessTextBox*>(w)) box->keyPress(keyAscii);
}

void HeadlessSite::keyUp(std::int16_t keyCode, std::int16_t shift) {
    requireFocusInside();
    if (auto w = focusedWindow()) deliverKeyUp(*w, keyCode, shift);
}

void HeadlessSite::keyDown(std::string_view child, std::int16_t keyCode, std::int16_t shift) {
    deliverKeyDown(this->child(child), keyCode, shift);
}

void HeadlessSite::keyPress(std::string_view child, std::int16_t keyAscii) {
    textBox(child).keyPress(keyAscii);
}

void HeadlessSite::keyUp(std::string_view child, std::int16_t keyCode, std::int16_t shift) {
    deliverKeyUp(this->child(child), keyCode, shift);
}

// --- Mouse and clicks ----------------------------------------------------

void HeadlessSite::click(Target target) {
    if (target == Target::Surface || target == Target::Grid)
        fail(failure::kInvalidProcedureCall, "Nothing to click there");
    ChildWindow* keep = &childFor(target);
    focusRequested(stateOf(*keep));
    if (auto* box = dynamic_cast<HeadlessTextBox*>(keep)) box->click();
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(keep)) b->click();
}

void HeadlessSite::dblClick(Target target) {
    if (target == Target::Surface || target == Target::Grid)
        fail(failure::kInvalidProcedureCall, "Nothing to click there");
    ChildWindow* keep = &childFor(target);
    focusRequested(stateOf(*keep));
    if (auto* box = dynamic_cast<HeadlessTextBox*>(keep)) {
        box->dblClick();
        return;
    }
    if (auto* b = dynamic_cast<HeadlessCommandButton*>(keep)) {
        b->click();
        b->click();
    }
}

void HeadlessSite::mouseDown(Target target, std::int16_t button, std::int16_t shift, float x, float y) {
    if (target == Target::Surface) {
        forEachSink([&](SurfaceEvents& s) { s.onMouseDown(button, shift, x, y); });
        return;
    }
    ChildWindow* keep = &childFor(target);
    focusRequested(stateOf(*keep));
    if (auto* box = dynamic_cast<HeadlessTextBox*>(keep)) box->mouseDown(button, shift, x, y);
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(keep)) b->mouseDown(button, shift, x, y);
    else if (auto* g = dynamic_cast<HeadlessGrid*>(keep)) g->mouseDown(button, shift, x, y);
}

void HeadlessSite::mouseMove(Target target, std::int16_t button, std::int16_t shift, float x, float y) {
    if (target == Target::Surface) {
        forEachSink([&](SurfaceEvents& s) { s.onMouseMove(button, shift, x, y); });
        return;
    }
    ChildWindow* keep = &childFor(target);
    if (auto* box = dynamic_cast<HeadlessTextBox*>(keep)) box->mouseMove(button, shift, x, y);
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(keep)) b->mouseMove(button, shift, x, y);
    else if (auto* g = dynamic_cast<HeadlessGrid*>(keep)) g->mouseMove(button, shift, x, y);
}

void HeadlessSite::mouseUp(Target target, std::int16_t button, std::int16_t shift, float x, float y) {
    if (target == Target::Surface) {
        forEachSink([&](SurfaceEvents& s) { s.onMouseUp(button, shift, x, y); });
        return;
    }
    ChildWindow* keep = &childFor(target);
    if (auto* box = dynamic_cast<HeadlessTextBox*>(keep)) box->mouseUp(button, shift, x, y);
    else if (auto* b = dynamic_cast<HeadlessCommandButton*>(keep)) b->mouseUp(button, shift, x, y);
    else if (auto* g = dynamic_cast<HeadlessGrid*>(keep)) g->mouseUp(button, shift, x, y);
}

void HeadlessSite::caret(std::int32_t start, std::int32_t length) {
    HeadlessTextBox& box = textBox(kEditBox);
    box.setSelStart(start);
    box.setSelLength(length);
}

// --- The grid ------------------------------------------------------------

void HeadlessSite::gridRow(std::int32_t row) {
    HeadlessGrid& g = grid(kGrid);
    if (row < 0 || row >= g.rowCount()) fail(failure::kNoCurrentRecord);
    g.binding().moveTo(row);
}

void HeadlessSite::gridKey(std::int16_t keyCode, std::int16_t shift) {
    ChildWindow* keep = &childFor(Target::Grid);
    focusRequested(stateOf(*keep));
    static_cast<HeadlessGrid&>(*keep).keyDown(keyCode, shift);
}

void HeadlessSite::gridClick(std::int32_t row) {
    ChildWindow* keep = &childFor(Target::Grid);
    auto& g = static_cast<HeadlessGrid&>(*keep);
    if (row < 0 || row >= g.rowCount()) fail(failure::kNoCurrentRecord);
    float y = g.scrollToRow(row);
    mouseDown(Target::Grid, 1, 0, kGridClickX, y);
    mouseUp(Target::Grid, 1, 0, kGridClickX, y);
    pumpKeys();
}

}  // namespace quorvel::headless
