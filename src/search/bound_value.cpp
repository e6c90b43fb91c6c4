// The bound value: the hidden box Text1 holds the control's value, published
// as BoundText. A change of it looks the value up in the list (the record
// whose bound field equals it) and shows that record's search text in the
// edit box; in mirror mode the edit box is the value itself and the lookup
// only moves the list.
#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"
#include "search/criteria_value.h"

namespace quorvel {

namespace {
inline constexpr std::string_view kCodeBoundValue = "    /M_002 ";
}  // namespace

void Quorvel2000::boundValueChanged() {
    // Set by the fast-mode exit below: outside mirror mode a fast control
    // does nothing at all for a new value, not even its Change.
    bool endsHere = false;
    runReported(kCodeBoundValue, {failure::kObjectNotSet}, [&] {
        if (textIsBoundValue != kFalse) {
            // Our own write of the edit box must not start a search; the
            // scope clears the flag on the failure path too.
            FlagScope noSearch(skipNextKeyUp);
            Text2.setText(Text1.text());
        }
        if (fastMode != kFalse) {
            if (textIsBoundValue == kFalse) endsHere = true;
            return;
        }
        if (skipBoundChange != kFalse) {
            // The writer has placed the list already, or needs no lookup.
            skipBoundChange = kFalse;
            return;
        }
        Variant text(Text1.text());
        Variant s = UnNull(text);
        std::shared_ptr<Recordset> held = listRecordset();
        Recordset& recordset = *held;
        if (recordset.recordCount() < 1) return;

        findingByCode = kTrue;
        std::optional<std::string> value = criteriaValue(*this, locale(), boundFieldType, s);
        if (!value) return;

        // The reposition raised inside the find consumes the flag, so it is
        // set again right before the call that moves the record.
        findingByCode = kTrue;
        recordset.findFirst(boundFieldName + " = " + *value);
        if (textIsBoundValue != kFalse) return;
        if (recordset.noMatch() != kFalse) {
            Text2.setText("");
            return;
        }
        Variant found = recordset.fields().item(searchFieldName).value();
        Text2.setText(locale().textOf(UnNull(found)));
    });
    if (endsHere) return;

    findingByCode = kFalse;
    if (quietBoundRefresh != kFalse) return;
    raise(events::Change);
    notify("BoundText");
}

std::string Quorvel2000::BoundText() const { return Text1.text(); }

void Quorvel2000::setBoundText(const std::string& v) {
    if (!site_.canPropertyChange("BoundText")) return;
    {
        // The run inside the write skips the lookup; the explicit run below
        // makes it. The scope also clears the flag when the write fails, so
        // a stale flag cannot swallow the next real change.
        FlagScope noLookup(skipBoundChange);
        Text1.setText(v);
        notify("BoundText");
    }
    boundValueChanged();
}

Variant Quorvel2000::BoundField() const { return boundField; }

void Quorvel2000::setBoundField(const Variant& v) {
    boundField = v;
    notify("BoundField");
    ImpostaDataControl();
}

Variant Quorvel2000::ListSearchField() const { return listSearchField; }

void Quorvel2000::setListSearchField(const Variant& v) {
    listSearchField = v;
    notify("ListSearchField");
    ImpostaDataControl();
}

}  // namespace quorvel
