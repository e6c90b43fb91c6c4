// The grid's notifications: a key going down (Enter or Ctrl chooses the
// current row) and the mouse, whose button-up queues an Enter so that a
// click on a row chooses that row once the grid has moved to it.
#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"
#include "platform/key_codes.h"
#include "platform/text.h"

namespace quorvel {

void Quorvel2000::gridKeyDown(std::int16_t& keyCode, std::int16_t& shift) {
    if (listKeyDown(keyCode, shift)) return;
    const std::int16_t k = keyCode;
    const bool combo = keyboardConventions == kComboBoxKeys;
    // The edit box passes Ctrl to ask for a choice followed by the
    // drop-down button's toggle, whatever DropDownAuto holds. Under the
    // combo-box conventions Ctrl is no key of the list's, and Enter chooses
    // and closes.
    if (k != key_code::kEnter && (combo || k != key_code::kControl)) return;

    if (!chooseCurrentRow()) {
        keyCode = 0;
        shift = 0;
        return;
    }

    if (combo) {
        if (listOpen != kFalse) ListaChiudi();
        Text2.setFocus();
        caretToEnd();
    } else if (k == key_code::kControl || dropDownAuto != kFalse) {
        buttonClick();
    } else {
        Text2.setFocus();
        caretToEnd();
    }

    keyCode = 0;
    shift = 0;
}

void Quorvel2000::caretToEnd() {
    Variant text(Text2.text());
    const std::int32_t length = utf16Length(locale().textOf(UnNull(text)));
    if (length > 0) Text2.setSelStart(length);
}

bool Quorvel2000::chooseCurrentRow() {
    auto fieldText = [this](const std::string& name) {
        Variant value = listRecordset()->fields().item(name).value();
        return locale().textOf(UnNull(value));
    };

    // With no record to choose (no recordset, none current, a field the
    // recordset lacks) nothing is chosen and both boxes stay as they are;
    // the key was still meant for the control, not for the grid.
    try {
        fieldText(boundFieldName);
        fieldText(searchFieldName);
    } catch (const Failure& f) {
        if (f.number() != failure::kObjectNotSet && f.number() != failure::kNoCurrentRecord &&
            f.number() != failure::kItemNotFound)
            throw;
        return false;
    }

    // The change handler of Text1 takes the new text as the value without
    // looking the record up again, and clears the flag itself. When the row
    // holds the value already (the grid's move copied it), the write changes
    // nothing and no handler runs: the scope clears the flag then, which
    // would otherwise swallow the lookup of the next, unrelated change.
    {
        FlagScope noLookup(skipBoundChange);
        Text1.setText(fieldText(boundFieldName));
    }
    // The release of the key that chose the row must not start a search.
    skipNextKeyUp = kTrue;
    Text2.setText(fieldText(searchFieldName));

    raise(events::BeenChosen);
    return true;
}

void Quorvel2000::gridMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseDown, button, shift, x, y);
}

void Quorvel2000::gridMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseMove, button, shift, x, y);
}

void Quorvel2000::gridMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
    raise(events::MouseUp, button, shift, x, y);
    // Under the combo-box conventions only the left button chooses.
    if (keyboardConventions == kComboBoxKeys && button != key_code::kLeftButton) return;
    // Delivered after this handler and the grid's own handling of the click
    // have returned, when the grid's current row is the clicked one; it
    // comes back as an Enter in the grid and chooses that row.
    site_.sendKeys("{ENTER}");
}

}  // namespace quorvel
