#include "list/column_list.h"

#include <cmath>

#include "platform/text.h"

namespace quorvel {

std::vector<std::string> columnListItems(std::string_view text) {
    if (!text.empty() && text.front() == ';') text.remove_prefix(1);
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(';', start);
        items.push_back(trimSpaces(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start)));
        // A separator that is the text's last character closes the list
        // instead of opening an empty item.
        if (end == std::string_view::npos || end + 1 == text.size()) break;
        start = end + 1;
    }
    return items;
}

double columnListNumber(const Variant& val2Result) { return std::trunc(std::fabs(val2Result.toDouble())); }

std::int16_t columnAlignmentCode(double number) {
    constexpr std::int16_t kGeneral = 3;
    if (number > kGeneral) return kGeneral;
    return static_cast<std::int16_t>(number);
}

}  // namespace quorvel
