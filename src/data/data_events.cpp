// The data control's notifications: its data errors and validation notices
// go to the host as the control's own events; a move of the current record
// copies that record into the bound value and the edit box.
#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"

namespace quorvel {

namespace {
inline constexpr std::string_view kCodeReposition = "    /M_001 ";
}  // namespace

void Quorvel2000::dataError(std::int16_t& dataErr, std::int16_t& response) {
    raise(events::Error, dataErr, response);
}

void Quorvel2000::dataValidate(std::int16_t& action, std::int16_t& save) {
    raise(events::ListValidate, action, save);
}

void Quorvel2000::dataReposition() {
    runReported(kCodeReposition, {}, [&] {
        if (findingByCode != kFalse) {
            // The control's own lookup moved the record; the boxes stay.
            findingByCode = kFalse;
            return;
        }
        if (searchDisable != kFalse || fastMode != kFalse) return;
        if (keepStoredValue_ != kFalse) return;

        // A field that the recordset lacks, no current record or no
        // recordset at all skip the one statement; the next still runs.
        const std::initializer_list<std::int32_t> skipped = {
            failure::kItemNotFound, failure::kNoCurrentRecord, failure::kObjectNotSet};
        skipSilently(skipped, [&] {
            skipBoundChange = kTrue;
            Variant value = listRecordset()->fields().item(boundFieldName).value();
            Text1.setText(locale().textOf(UnNull(value)));
        });
        skipSilently(skipped, [&] {
            skipNextKeyUp = kTrue;
            Variant value = listRecordset()->fields().item(searchFieldName).value();
            Text2.setText(locale().textOf(UnNull(value)));
        });
    });
    skipNextKeyUp = kFalse;
    skipBoundChange = kFalse;
}

}  // namespace quorvel
