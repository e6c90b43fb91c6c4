// The criteria of a find: `field op value`, parsed into a field, an operator
// and a typed value. The text is read here and nowhere else; nothing of it
// ever reaches SQL.
//
//   field  a field's name exactly as the recordset has it, whatever it holds
//          ("[Code]", " Lead", "Min >= Max"): the names are tried at the
//          start of the text, longest first, and the first followed by an
//          operator and a value wins. Otherwise a name in [brackets], or a
//          bare name (it may hold spaces) with blanks around it
//   op     " = ", " >= " or " Like " (Like in any letter case)
//   value  "text" (a doubled "" stands for one "; 'text' also reads),
//          a number with "." as decimal point and an optional exponent,
//          or a date between # signs, month first, "/", "." or "-" between
//          its parts, optionally with a time ("#12/07/2026 10:30:00#",
//          "#12.07.2026#"); a year-first "#2026-12-07#" reads too
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

enum class CriteriaOp : std::uint8_t { Equal, GreaterOrEqual, Like };

struct CriteriaValue {
    enum class Kind : std::uint8_t { Text, Number, Date };
    Kind kind = Kind::Text;
    std::string text;   // Text: the text; Number: the literal as written
    double number = 0;  // Number: the value; Date: the serial
};

struct Criteria {
    int fieldIndex = -1;
    CriteriaOp op = CriteriaOp::Equal;
    CriteriaValue value;
};

// A recordset's field names, with the order the parser tries them in at
// the start of a criteria (longest first), worked out once.
class CriteriaFields {
public:
    CriteriaFields() = default;
    explicit CriteriaFields(std::vector<std::string> names);
    const std::vector<std::string>& names() const { return names_; }
    const std::vector<std::size_t>& longestFirst() const { return longestFirst_; }

private:
    std::vector<std::string> names_;
    std::vector<std::size_t> longestFirst_;
};

// Parses `criteria` against the recordset's field names (compared without
// regard to case). Failure 3075 for a malformed criteria, 3070 for a field
// that is not there.
Criteria parseCriteria(std::string_view criteria, const CriteriaFields& fields);
Criteria parseCriteria(std::string_view criteria, std::span<const std::string> fieldNames);

}  // namespace quorvel::engine
