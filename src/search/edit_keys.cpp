// The edit box's keys and mouse. Four keys mean something to the control:
// Enter chooses the list's current record, Ctrl drops the list down or folds
// it up, Up and Down hand the focus to the grid. Everything else reaches the
// host as the control's own event with the edit box's own variables, so
// what the host's handler leaves in them is what the edit box goes on with;
// after the host, Escape closes an open list and F4 toggles it.
//
// Under the combo-box conventions (KeyboardConventions) every key reaches the
// host first, and what it leaves decides: Alt+Down and F4 open the list,
// Escape closes it and puts back the value it opened with, Up and Down open
// a folded list and move the row of an open one while the focus stays here,
// Enter chooses the current row and closes the list, and Ctrl is a key like
// any other.
#include <algorithm>

#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"
#include "platform/key_codes.h"

namespace quorvel {

void Quorvel2000::editKeyDown(std::int16_t& keyCode, std::int16_t& shift) {
    if (keyboardConventions == kComboBoxKeys) {
        editComboKeyDown(keyCode, shift);
        return;
    }
    // The key code alone decides: Shift+Enter is Enter, Ctrl+Up is Up, and
    // every press of Ctrl (auto-repeat included) toggles the list.
    switch (keyCode) {
        case key_code::kEnter: {
            keyCode = 0;
            shift = 0;
            // Enter here does what Ctrl does in the grid: choose the row and
            // then toggle the list. The grid's handler writes 0 into its
            // arguments, so it gets variables of its own, not the edit box's.
            std::int16_t chooseCode = key_code::kControl;
            std::int16_t chooseShift = key_code::kShiftBit;
            gridKeyDown(chooseCode, chooseShift);
            return;
        }
        case key_code::kControl:
            keyCode = 0;
            shift = 0;
            buttonClick();
            return;
        case key_code::kUp:
        case key_code::kDown:
            keyCode = 0;
            shift = 0;
            // The arrow only moves the focus; the grid's current row stays.
            DBGrid1.setFocus();
            return;
        default:
            raise(events::KeyDown, keyCode, shift);
            // Escape and F4 are the host's first: its handler may take them.
            listKeyDown(keyCode, shift);
    }
}

void Quorvel2000::editComboKeyDown(std::int16_t& keyCode, std::int16_t& shift) {
    raise(events::KeyDown, keyCode, shift);
    const std::int16_t k = keyCode;
    const bool alt = (shift & key_code::kAltBit) != 0;
    const bool open = listOpen != kFalse;
    auto take = [&] {
        keyCode = 0;
        shift = 0;
    };
    switch (k) {
        case key_code::kF4:
        case key_code::kEscape: listKeyDown(keyCode, shift); return;
        case key_code::kUp:
        case key_code::kDown:
            take();
            // Whatever the arrow does (also nothing, at the list's end), its
            // release must not search for the edit box's text.
            skipNextKeyUp = kTrue;
            if (alt) {
                // Alt+Down opens, Alt+Up closes; neither moves the row.
                if ((k == key_code::kDown) != open) buttonClick();
            } else if (!open) {
                buttonClick();
            } else {
                stepRow(k == key_code::kDown ? 1 : -1);
            }
            return;
        case key_code::kEnter:
            take();
            if (!chooseCurrentRow()) return;
            if (listOpen != kFalse) ListaChiudi();
            Text2.setFocus();
            caretToEnd();
            return;
        default: return;
    }
}

void Quorvel2000::stepRow(int delta) {
    if (dataUnavailable != kFalse) return;
    std::shared_ptr<Recordset> rs;
    skipSilently({failure::kObjectNotSet}, [&] { rs = listRecordset(); });
    if (!rs) return;
    const std::int32_t count = rs->recordCount();
    if (count <= 0) return;
    const std::int32_t from = rs->absolutePosition();
    const std::int32_t to = from < 0 ? 0 : std::clamp<std::int32_t>(from + delta, 0, count - 1);
    if (to == from) return;
    // The move shows the record in both boxes, as a move of the grid's row
    // does; the release of the arrow must not search for that text again.
    skipSilently({failure::kNoCurrentRecord}, [&] { rs->setAbsolutePosition(to); });
    skipNextKeyUp = kTrue;
    caretToEnd();
}

void Quorvel2000::editKeyPress(std::int16_t& keyAscii) { raise(events::KeyPress, keyAscii); }

void Quorvel2000::editClick() {
    raise(events::Click);
    if (dropDownAuto != kFalse) ListaApri();
}

void Quorvel2000::editDblClick() { raise(events::DblClick); }

// The positions stay the edit box's own, relative to the edit box.
void Quorvel2000::editMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseDown, button, shift, x, y);
}

void Quorvel2000::editMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseMove, button, shift, x, y);
}

void Quorvel2000::editMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseUp, button, shift, x, y);
}

}  // namespace quorvel
