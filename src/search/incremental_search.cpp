// The incremental search: after every key release in the edit box the list's
// current record moves to the first record, in the recordset's own order,
// whose search field is at or after the typed text, or matches it as a
// pattern when the text holds wildcards. The edit box itself is never
// written here: its text, caret and selection stay as the user left them.
//
// The search is one FindFirst; the control keeps no copy of the list and
// walks no records of its own, so its cost is the data source's find.
#include <string>
#include <string_view>

#include "control/events.h"
#include "control/quorvel2000.h"
#include "search/criteria_value.h"

namespace quorvel {

namespace {

inline constexpr std::string_view kCodeSearch = "    /M_003 ";

// The 1-based position of the first `c` in s, 0 when there is none.
std::size_t positionOf(std::string_view s, char c) {
    std::size_t at = s.find(c);
    return at == std::string_view::npos ? 0 : at + 1;
}

// " Like " when the text holds a wildcard of the data source's pattern
// syntax, " >= " otherwise. A "]" counts when it comes after the first "["
// or when there is no "[" at all (a missing one is position 0); a "[" that
// only follows the first "]" does not.
std::string_view searchOperator(std::string_view s) {
    if (s.empty()) return " >= ";
    if (s.find_first_of("#*?") != std::string_view::npos) return " Like ";
    if (positionOf(s, ']') > positionOf(s, '[')) return " Like ";
    return " >= ";
}

}  // namespace

void Quorvel2000::editKeyUp(std::int16_t& keyCode, std::int16_t& shift) {
    runReported(kCodeSearch, {}, [&] {
        if (skipNextKeyUp != kFalse) {
            // The release of the key whose press wrote the edit box.
            skipNextKeyUp = kFalse;
            return;
        }
        if (searchDisable != kFalse) return;

        Variant text(Text2.text());
        Variant s = UnNull(text);
        const std::string_view op = searchOperator(s.asString());
        std::shared_ptr<Recordset> held = listRecordset();
        Recordset& recordset = *held;
        if (recordset.recordCount() < 1) return;

        findingByCode = kTrue;
        std::optional<std::string> value = criteriaValue(*this, locale(), searchFieldType, s);
        if (!value) return;

        // Each call that can move the record raises the reposition inside
        // it, which consumes the flag: set it afresh before each one.
        findingByCode = kTrue;
        recordset.findFirst(searchFieldName + std::string(op) + *value);
        if (recordset.noMatch() != kFalse) {
            // Everything sorts before the text: stand on the last record.
            findingByCode = kTrue;
            recordset.moveLast(0);
        }
    });
    findingByCode = kFalse;
    raise(events::KeyUp, keyCode, shift);
}

void Quorvel2000::editChanged() {
    if (textIsBoundValue != kFalse) {
        // The edit box is the value: copy it without a lookup of its own
        // (the handler of Text1 skips it while the flag is set).
        FlagScope noLookup(skipBoundChange);
        Text1.setText(Text2.text());
    }
    raise(events::Change);
}

}  // namespace quorvel
