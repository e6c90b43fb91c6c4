// The column lists of the grid: one ";"-separated item per column, in column
// order (ColsField, ColsCaption, ColsSize, ColsFormat, ColsAlignment).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace quorvel {

// The items of a list whose text has already been made null-safe, trimmed
// and quote-safe (the control passes it through UnNullxSQL first). One
// leading ";" is dropped and one trailing ";" adds no item, so "A;;B" has
// three items and "A;;" two; every item is trimmed of spaces.
std::vector<std::string> columnListItems(std::string_view text);

// A width or alignment item as the grid takes it: the number that Val2 read
// from the item, without its sign, cut to its whole part. Text that reads as
// no number has already become 0.
double columnListNumber(const Variant& val2Result);

// The grid knows four alignment codes; anything above the last one is
// taken as "general".
std::int16_t columnAlignmentCode(double number);

}  // namespace quorvel
