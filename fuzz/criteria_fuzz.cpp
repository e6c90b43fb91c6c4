// The criteria of a find, from any text: it parses, or it fails with 3075
// (malformed) or 3070 (no such field) and nothing else. What parses names a
// field that is there and carries a finite value, and writing it back as the
// control writes it ("field op value", the name as it stands) or in the
// form "[field] op value" parses to the very same criteria, unless a longer
// field name stands at the start of that text: the longest name wins.
//
// Input: the criteria on the first line; each further line is one more
// field name beside the fixed ones (so names with spaces, brackets and
// operators inside them get tried too).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/criteria.h"
#include "engine/data_engine.h"
#include "engine/like_pattern.h"
#include "fuzz_check.h"
#include "platform/failure.h"
#include "platform/text.h"

using namespace quorvel;
using namespace quorvel::engine;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

std::string_view opText(CriteriaOp op) {
    switch (op) {
        case CriteriaOp::Equal: return " = ";
        case CriteriaOp::GreaterOrEqual: return " >= ";
        case CriteriaOp::Like: return " Like ";
    }
    return " ? ";
}

std::string canonicalValue(const CriteriaValue& v) {
    if (v.kind != CriteriaValue::Kind::Text) return v.text;
    std::string out = "\"";
    for (char c : v.text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

bool sameCriteria(const Criteria& a, const Criteria& b) {
    if (a.fieldIndex != b.fieldIndex || a.op != b.op || a.value.kind != b.value.kind ||
        a.value.text != b.value.text)
        return false;
    // Text values carry no number; the others must agree bit for bit.
    return a.value.kind == CriteriaValue::Kind::Text || a.value.number == b.value.number;
}

// `written` (criteria for the field `meant`, whose name takes its first
// `nameLength` bytes) parses to `first` again, or to the field of a longer
// name that stands at its start followed by an operator.
void checkWritten(std::string_view criteria, const std::string& written, std::size_t nameLength,
                  const Criteria& first, const std::vector<std::string>& names);

// Parses, or checks that the failure is one of the two a criteria may give.
bool tryParse(std::string_view text, const std::vector<std::string>& names, Criteria& out) {
    try {
        out = parseCriteria(text, names);
        return true;
    } catch (const Failure& f) {
        check(
            f.number() == failure_code::kCriteriaSyntax || f.number() == failure_code::kUnknownCriteriaField,
            "criteria failed with a number other than 3075 or 3070", shown(text));
        check(!f.description().empty(), "criteria failure without a description", shown(text));
        return false;
    }
}

void checkWritten(std::string_view criteria, const std::string& written, std::size_t nameLength,
                  const Criteria& first, const std::vector<std::string>& names) {
    const std::string story = shown(criteria) + " -> " + shown(written);
    Criteria again;
    check(tryParse(written, names, again), "criteria written back do not parse", story);
    const std::string& meant = names[static_cast<std::size_t>(first.fieldIndex)];
    const std::string& got = names[static_cast<std::size_t>(again.fieldIndex)];
    if (equalsIgnoringCase(got, meant)) {
        check(sameCriteria(first, again), "criteria written back parse to other criteria", story);
        return;
    }
    const bool longerNameFirst = got.size() >= nameLength && got.size() <= written.size() &&
                                 equalsIgnoringCase(std::string_view(written).substr(0, got.size()), got);
    check(longerNameFirst, "criteria written back name another field, not by a longer name", story);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = {"Code", "Name", "City", "Order Date", "Amount"};
    std::size_t end = input.find('\n');
    std::string_view criteria = input.substr(0, end);
    while (end != std::string_view::npos && names.size() < 12) {
        std::size_t next = input.find('\n', end + 1);
        names.emplace_back(input.substr(end + 1, next == std::string_view::npos ? next : next - end - 1));
        end = next;
    }

    Criteria first;
    if (!tryParse(criteria, names, first)) return 0;

    check(first.fieldIndex >= 0 && static_cast<std::size_t>(first.fieldIndex) < names.size(),
          "criteria names a field outside the list", shown(criteria));
    switch (first.value.kind) {
        case CriteriaValue::Kind::Text: break;
        case CriteriaValue::Kind::Number:
            check(std::isfinite(first.value.number) && !first.value.text.empty(),
                  "a number value that is not finite or has no text", shown(criteria));
            break;
        case CriteriaValue::Kind::Date:
            // Years 100 to 9999: the host's range of dates.
            check(std::isfinite(first.value.number) && first.value.number >= -657435.0 &&
                      first.value.number < 2958466.0,
                  "a date value outside the range of dates", shown(criteria));
            check(first.value.text.size() >= 2 && first.value.text.front() == '#' &&
                      first.value.text.back() == '#',
                  "a date value whose text is not between # signs", shown(criteria));
            break;
    }

    const std::string& field = names[static_cast<std::size_t>(first.fieldIndex)];
    const std::string tail = std::string(opText(first.op)) + canonicalValue(first.value);
    checkWritten(criteria, field + tail, field.size(), first, names);
    if (field.find(']') == std::string::npos)
        checkWritten(criteria, "[" + field + "]" + tail, field.size() + 2, first, names);

    // A Like value is a pattern: it compiles, or fails as a malformed criteria.
    if (first.op == CriteriaOp::Like && first.value.kind == CriteriaValue::Kind::Text) {
        try {
            (void)LikePattern::compile(first.value.text);
        } catch (const Failure& f) {
            check(f.number() == failure_code::kCriteriaSyntax,
                  "a pattern failed with a number other than 3075", shown(first.value.text));
        }
    }
    return 0;
}
