#include "engine/criteria.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/data_engine.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

[[noreturn]] void malformed(std::string_view criteria, std::string_view why) {
    fail(failure_code::kCriteriaSyntax,
         "Syntax error in criteria expression '" + std::string(criteria) + "': " + std::string(why) + ".");
}

struct OpToken {
    std::string_view text;
    CriteriaOp op;
};
constexpr OpToken kOps[] = {
    {" >= ", CriteriaOp::GreaterOrEqual},
    {" = ", CriteriaOp::Equal},
    {" like ", CriteriaOp::Like},
};

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The operator starting at `at`, if one does.
std::optional<OpToken> opAt(std::string_view text, std::size_t at) {
    for (const OpToken& token : kOps) {
        if (at + token.text.size() <= text.size() &&
            equalsAsciiNoCase(text.substr(at, token.text.size()), token.text))
            return token;
    }
    return std::nullopt;
}

int fieldNamed(std::string_view name, std::span<const std::string> fieldNames) {
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (equalsIgnoringCase(fieldNames[i], name)) return static_cast<int>(i);
    }
    return -1;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

CriteriaValue quotedText(std::string_view criteria, std::string_view value) {
    char quote = value.front();
    CriteriaValue result;
    result.kind = CriteriaValue::Kind::Text;
    std::size_t i = 1;
    while (true) {
        if (i >= value.size()) malformed(criteria, "the text value has no closing quote");
        char c = value[i];
        if (c == quote) {
            if (i + 1 < value.size() && value[i + 1] == quote) {
                result.text += quote;
                i += 2;
                continue;
            }
            if (i + 1 != value.size()) malformed(criteria, "something follows the quoted text");
            return result;
        }
        result.text += c;
        ++i;
    }
}

CriteriaValue number(std::string_view criteria, std::string_view value) {
    // The grammar is checked by hand first: from_chars alone would also take
    // "inf", "nan" and hexadecimal forms.
    std::size_t i = 0, n = value.size();
    if (i < n && (value[i] == '-' || value[i] == '+')) ++i;
    std::size_t digitsBefore = 0, digitsAfter = 0;
    while (i < n && value[i] >= '0' && value[i] <= '9') ++i, ++digitsBefore;
    if (i < n && value[i] == '.') {
        ++i;
        while (i < n && value[i] >= '0' && value[i] <= '9') ++i, ++digitsAfter;
    }
    if (digitsBefore + digitsAfter == 0)
        malformed(criteria, "the value is neither a quoted text, a number nor a #date#");
    if (i < n && (value[i] == 'e' || value[i] == 'E')) {
        ++i;
        if (i < n && (value[i] == '-' || value[i] == '+')) ++i;
        std::size_t exponentDigits = 0;
        while (i < n && value[i] >= '0' && value[i] <= '9') ++i, ++exponentDigits;
        if (exponentDigits == 0) malformed(criteria, "the number's exponent has no digits");
    }
    if (i != n) malformed(criteria, "the number is followed by other characters");

    std::string_view digits = value;
    if (digits.front() == '+') digits.remove_prefix(1);
    CriteriaValue result;
    result.kind = CriteriaValue::Kind::Number;
    result.text = std::string(value);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), result.number);
    if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(result.number))
        malformed(criteria, "the number is out of range");
    return result;
}

// Reads an unsigned run of 1 to `maxDigits` digits.
bool readNumber(std::string_view text, std::size_t& at, std::size_t maxDigits, int& out,
                std::size_t* count = nullptr) {
    std::size_t start = at;
    out = 0;
    while (at < text.size() && at - start < maxDigits && text[at] >= '0' && text[at] <= '9')
        out = out * 10 + (text[at++] - '0');
    if (count != nullptr) *count = at - start;
    return at > start;
}

CriteriaValue date(std::string_view criteria, std::string_view value) {
    std::string_view body = trimmed(value.substr(1, value.size() - 2));
    std::size_t at = 0;
    int first = 0, second = 0, third = 0;
    std::size_t firstDigits = 0, thirdDigits = 0;
    auto bad = [&]() { malformed(criteria, "\"" + std::string(value) + "\" is not a valid date"); };
    if (!readNumber(body, at, 4, first, &firstDigits)) bad();
    if (at >= body.size()) bad();
    char separator = body[at];
    if (separator != '/' && separator != '.' && separator != '-') bad();
    ++at;
    if (!readNumber(body, at, 2, second)) bad();
    if (at >= body.size() || body[at] != separator) bad();
    ++at;
    if (!readNumber(body, at, 4, third, &thirdDigits)) bad();

    int year = 0, month = 0, day = 0;
    if (firstDigits == 4) {
        year = first, month = second, day = third;
    } else {
        month = first, day = second, year = third;
        if (firstDigits > 2) bad();
        // Two digits pick the century; three or four are the year as
        // written, as the locale reads a date the user is still typing.
        if (thirdDigits <= 2) year += year < 30 ? 2000 : 1900;
    }
    if (!isValidCivilDate(year, month, day)) bad();

    int hour = 0, minute = 0, second2 = 0;
    if (at < body.size()) {
        if (body[at] != ' ') bad();
        while (at < body.size() && body[at] == ' ') ++at;
        if (!readNumber(body, at, 2, hour)) bad();
        if (at >= body.size() || body[at] != ':') bad();
        ++at;
        if (!readNumber(body, at, 2, minute)) bad();
        if (at < body.size() && body[at] == ':') {
            ++at;
            if (!readNumber(body, at, 2, second2)) bad();
        }
        while (at < body.size() && body[at] == ' ') ++at;
        std::string_view rest = body.substr(at);
        if (equalsAsciiNoCase(rest, "PM") || equalsAsciiNoCase(rest, "AM")) {
            if (hour < 1 || hour > 12) bad();
            bool pm = equalsAsciiNoCase(rest, "PM");
            if (hour == 12) hour = 0;
            if (pm) hour += 12;
        } else if (!rest.empty()) {
            bad();
        }
        if (hour > 23 || minute > 59 || second2 > 59) bad();
    }
    CriteriaValue result;
    result.kind = CriteriaValue::Kind::Date;
    result.text = std::string(value);
    double serial = dateSerial(year, month, day);
    double fraction = (hour * 3600.0 + minute * 60.0 + second2) / 86400.0;
    result.number = serial < 0 ? serial - fraction : serial + fraction;
    return result;
}

CriteriaValue parseValue(std::string_view criteria, std::string_view value) {
    value = trimmed(value);
    if (value.empty()) malformed(criteria, "the value is missing");
    if (value.front() == '"' || value.front() == '\'') return quotedText(criteria, value);
    if (value.front() == '#') {
        if (value.size() < 2 || value.back() != '#') malformed(criteria, "the date has no closing #");
        return date(criteria, value);
    }
    return number(criteria, value);
}

// The criteria as the control writes them: a field's name as the recordset
// has it, then the operator and the value. Longest names first, so a field
// "Min >= Max" wins over a field "Min" on "Min >= Max >= 3". A name followed
// by an operator but not by a value that reads is passed over for a shorter
// one; when none reads, that value's failure is the answer.
std::optional<Criteria> parseAfterFieldName(std::string_view criteria, const CriteriaFields& fields,
                                            std::optional<Failure>& valueFailure) {
    const std::vector<std::string>& fieldNames = fields.names();
    for (std::size_t i : fields.longestFirst()) {
        const std::string& name = fieldNames[i];
        if (name.size() > criteria.size() || !equalsIgnoringCase(criteria.substr(0, name.size()), name))
            continue;
        auto op = opAt(criteria, name.size());
        if (!op) continue;
        try {
            Criteria result;
            result.value = parseValue(criteria, criteria.substr(name.size() + op->text.size()));
            result.fieldIndex = static_cast<int>(i);
            result.op = op->op;
            return result;
        } catch (const Failure& failure) {
            if (!valueFailure) valueFailure = failure;
        }
    }
    return std::nullopt;
}

// Bracketed names, and bare names with blanks around them or around the operator.
Criteria parseOtherForms(std::string_view criteria, std::span<const std::string> fieldNames) {
    std::string_view text = trimmed(criteria);
    Criteria result;

    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos) malformed(criteria, "the field name's \"[\" is not closed");
        std::string_view name = text.substr(1, close - 1);
        // The operator keeps its spaces: "[Name] >= ..." has one before it.
        std::size_t at = close + 1;
        auto op = opAt(text, at);
        if (!op) malformed(criteria, "no operator \" = \", \" >= \" or \" Like \" follows the field name");
        result.fieldIndex = fieldNamed(name, fieldNames);
        if (result.fieldIndex < 0)
            fail(failure_code::kUnknownCriteriaField,
                 "The criteria names '" + std::string(name) + "', which is not a field of the recordset.");
        result.op = op->op;
        result.value = parseValue(criteria, text.substr(at + op->text.size()));
        return result;
    }

    // A bare name may hold spaces, so every operator position is tried in
    // turn; the first that leaves a field's name before it wins.
    std::optional<std::size_t> firstOpAt;
    std::optional<OpToken> firstOp;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != ' ') continue;
        auto op = opAt(text, at);
        if (!op) continue;
        if (!firstOpAt) firstOpAt = at, firstOp = op;
        int index = fieldNamed(trimmed(text.substr(0, at)), fieldNames);
        if (index < 0) continue;
        result.fieldIndex = index;
        result.op = op->op;
        result.value = parseValue(criteria, text.substr(at + op->text.size()));
        return result;
    }
    if (!firstOpAt) malformed(criteria, "no operator \" = \", \" >= \" or \" Like \" was found");
    std::string name(trimmed(text.substr(0, *firstOpAt)));
    if (name.empty()) malformed(criteria, "the field name is missing");
    fail(failure_code::kUnknownCriteriaField,
         "The criteria names '" + name + "', which is not a field of the recordset.");
}

}  // namespace

CriteriaFields::CriteriaFields(std::vector<std::string> names)
    : names_(std::move(names)), longestFirst_(names_.size()) {
    for (std::size_t i = 0; i < longestFirst_.size(); ++i) longestFirst_[i] = i;
    std::stable_sort(longestFirst_.begin(), longestFirst_.end(),
                     [&](std::size_t a, std::size_t b) { return names_[a].size() > names_[b].size(); });
}

Criteria parseCriteria(std::string_view criteria, std::span<const std::string> fieldNames) {
    return parseCriteria(criteria,
                         CriteriaFields(std::vector<std::string>(fieldNames.begin(), fieldNames.end())));
}

Criteria parseCriteria(std::string_view criteria, const CriteriaFields& fields) {
    std::span<const std::string> fieldNames = fields.names();
    std::optional<Failure> valueFailure;
    if (auto parsed = parseAfterFieldName(criteria, fields, valueFailure)) return *parsed;
    if (!valueFailure) return parseOtherForms(criteria, fieldNames);
    // A field of the recordset stands at the start: its value is what is wrong,
    // unless the text reads in another form after all.
    try {
        return parseOtherForms(criteria, fieldNames);
    } catch (const Failure&) { throw *valueFailure; }
}

}  // namespace quorvel::engine
