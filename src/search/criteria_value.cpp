// Criteria values for the list's lookups. The tests of date and number come
// before any conversion: a text that is no date has no "mm/dd/yyyy" form, and
// ValxSQL would turn any non-numeric text into 0 and find the wrong record.
#include "search/criteria_value.h"

#include "control/quorvel2000.h"
#include "platform/data.h"

namespace quorvel {

CriteriaClass criteriaClassOf(std::int16_t fieldType) {
    switch (fieldType) {
        case field_type::kText:
        case field_type::kMemo:
        case field_type::kFixedText: return CriteriaClass::Text;
        case field_type::kDate:
        case field_type::kTime:
        case field_type::kTimestamp: return CriteriaClass::Date;
        default: return CriteriaClass::Number;
    }
}

std::optional<std::string> criteriaValue(Quorvel2000& control, const Locale& locale, std::int16_t fieldType,
                                         Variant& value) {
    switch (criteriaClassOf(fieldType)) {
        case CriteriaClass::Text:
            // UnNullxSQL has turned every inner double quote into an
            // apostrophe, so the value cannot close its own quotes.
            return "\"" + control.UnNullxSQL(value).asString() + "\"";
        case CriteriaClass::Date:
            if (!locale.isDate(value)) return std::nullopt;
            // Read in the user's order, written month first whatever it is.
            return "#" + locale.formatDate(value, "mm/dd/yyyy") + "#";
        case CriteriaClass::Number:
            if (!locale.isNumeric(value)) return std::nullopt;
            return control.ValxSQL(value);
    }
    return std::nullopt;
}

}  // namespace quorvel
