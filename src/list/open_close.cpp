// Opening and closing the list. The grid is a child of the control that the
// closed rectangle clips away; opening enlarges (and where needed moves) the
// control on its container so that the grid shows, closing restores the
// closed rectangle. Both only apply a geometry set that the layout routine
// stored, in a fixed order, with the moving pieces hidden meanwhile.
#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"
#include "platform/key_codes.h"
#include "platform/text.h"

namespace quorvel {

namespace {

inline constexpr std::string_view kCodeListaChiudi = "    /M_010 ";
inline constexpr std::string_view kCodeListaApri = "    /M_011 ";

// After a failure half-way the edit box and the button can still be hidden,
// which would leave the control with nothing to click or type in. They are
// shown again; the report of the failure has already been given, so a
// refusal here is not reported a second time.
void showPiecesAgain(CommandButton& button, TextBox& edit) {
    try {
        button.setVisible(kTrue);
    } catch (const Failure&) {}
    try {
        edit.setVisible(kTrue);
    } catch (const Failure&) {}
}

}  // namespace

void Quorvel2000::ListaApri() {
    if (dataUnavailable == kTrue || listOpen == kTrue) return;
    // Resizing the control below brings the host back into the layout
    // routine at once; this flag keeps that call from measuring the open
    // rectangle as if it were the closed one.
    listMoving = kTrue;
    bool completed = false;
    runReported(kCodeListaApri, {}, [&] {
        Command1.setVisible(kFalse);
        Text2.setVisible(kFalse);

        DBGrid1.setTop(static_cast<float>(openGridTop));

        Command1.setTop(static_cast<float>(openButtonTop));
        Text2.setTop(static_cast<float>(openTextTop));
        Command1.setLeft(static_cast<float>(openButtonLeft));
        Text2.setLeft(static_cast<float>(openTextLeft));

        Extender& extender = site_.extender();
        extender.setTop(static_cast<float>(openTop));
        extender.setLeft(static_cast<float>(openLeft));

        HostSurface& surface = site_.surface();
        surface.setWidth(static_cast<float>(openWidth));
        surface.setHeight(static_cast<float>(openHeight));

        if (bringToFront != kFalse) extender.zOrder(0);

        DBGrid1.setCol(0);

        Command1.setVisible(kTrue);
        Text2.setVisible(kTrue);

        // The round trip makes the edit box lay itself out afresh at its new
        // place; it ends with the width it had.
        Text2.setWidth(Text2.width() + 10);
        Text2.setWidth(Text2.width() - 10);

        // What Escape puts back under the combo-box conventions.
        valueAtOpen = Text1.text();
        // Updated before Drop, so a handler reads the new state and a nested
        // open or close meets the entry guards.
        listOpen = kTrue;
        notify("DropDown");
        raise(events::Drop);
        completed = true;
    });
    if (!completed) showPiecesAgain(Command1, Text2);
    listMoving = kFalse;
}

void Quorvel2000::ListaChiudi() {
    // Any value but False counts as open, so a stray value can still close.
    if (dataUnavailable == kTrue || listOpen == kFalse) return;
    listMoving = kTrue;
    bool completed = false;
    runReported(kCodeListaChiudi, {}, [&] {
        Command1.setVisible(kFalse);
        Text2.setVisible(kFalse);

        // The reverse order of opening: height, width, Left, Top.
        HostSurface& surface = site_.surface();
        surface.setHeight(static_cast<float>(closedHeight));
        surface.setWidth(static_cast<float>(closedWidth));

        Extender& extender = site_.extender();
        extender.setLeft(static_cast<float>(closedLeft));
        extender.setTop(static_cast<float>(closedTop));

        DBGrid1.setTop(static_cast<float>(closedGridTop));

        Command1.setTop(static_cast<float>(closedButtonTop));
        Text2.setTop(static_cast<float>(closedTextTop));
        Text2.setLeft(static_cast<float>(closedTextLeft));
        Command1.setLeft(static_cast<float>(closedButtonLeft));

        Command1.setVisible(kTrue);
        Text2.setVisible(kTrue);

        listOpen = kFalse;
        notify("DropDown");
        raise(events::Drop);
        completed = true;
    });
    if (!completed) showPiecesAgain(Command1, Text2);
    listMoving = kFalse;
}

void Quorvel2000::buttonClick() {
    if (listOpen != kFalse) ListaChiudi();
    else ListaApri();
    Text2.setFocus();
    Variant text(Text2.text());
    const std::int32_t length = utf16Length(locale().textOf(UnNull(text)));
    // An empty box keeps its caret where it is.
    if (length > 0) Text2.setSelStart(length);
}

bool Quorvel2000::listKeyDown(std::int16_t& keyCode, std::int16_t& shift) {
    const bool closes = keyCode == key_code::kEscape && listOpen != kFalse;
    if (!closes && keyCode != key_code::kF4) return false;
    keyCode = 0;
    shift = 0;
    buttonClick();
    if (closes && keyboardConventions == kComboBoxKeys) restoreValueAtOpen();
    return true;
}

void Quorvel2000::restoreValueAtOpen() {
    if (listOpen != kFalse || Text1.text() == valueAtOpen) return;
    setBoundText(valueAtOpen);
    caretToEnd();
}

void Quorvel2000::dismissList() {
    if (keyboardConventions == kComboBoxKeys && listOpen != kFalse) ListaChiudi();
}

void Quorvel2000::buttonMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseDown, button, shift, x, y);
}
void Quorvel2000::buttonMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseMove, button, shift, x, y);
}
void Quorvel2000::buttonMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseUp, button, shift, x, y);
}

VBool Quorvel2000::DropDown() const { return listOpen; }

// The assignment moves the list to the state asked for (any value but False
// asks for open) and leaves listOpen to the operation that moved it, so
// listOpen always tells whether the list is shown: assigning the state the
// list already has moves nothing, and when the list cannot move (no usable
// data source, or a failure reported inside the move) the state stays as
// shown. The layout routine and every later toggle rely on that.
void Quorvel2000::setDropDown(VBool v) {
    const bool wantOpen = v != kFalse;
    if (wantOpen != (listOpen != kFalse)) {
        if (listOpen != kFalse) ListaChiudi();
        else ListaApri();
    }
    notify("DropDown");
}

}  // namespace quorvel
