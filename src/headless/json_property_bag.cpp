#include "headless/json_property_bag.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/failure.h"
#include "platform/font.h"
#include "platform/locale.h"

namespace quorvel::headless {

namespace {

using Json = nlohmann::ordered_json;

inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileAccessError = 75;
inline constexpr int kFormatVersion = 1;

// What a value of the document failed at; the caller adds the place.
struct BadValue {
    std::string reason;
};

[[noreturn]] void bad(std::string reason) { throw BadValue{std::move(reason)}; }

std::string shown(const Json& j) {
    std::string s = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (s.size() > 60) s = s.substr(0, 57) + "...";
    return s;
}

// --- base64, for the bytes of a picture ------------------------------------

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = std::uint32_t{bytes[i]} << 16;
        if (i + 1 < bytes.size()) n |= std::uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < bytes.size()) n |= bytes[i + 2];
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::vector<std::uint8_t> unbase64(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (text.size() % 4 != 0) bad("the picture's data is not base64");
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        int d[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + static_cast<std::size_t>(k)];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                d[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0 || (d[k] = digit(c)) < 0) bad("the picture's data is not base64");
        }
        std::uint32_t n = (std::uint32_t(d[0]) << 18) | (std::uint32_t(d[1]) << 12) |
                          (std::uint32_t(d[2]) << 6) | std::uint32_t(d[3]);
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        if (padding < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
        if (padding < 1) out.push_back(static_cast<std::uint8_t>(n));
    }
    return out;
}

// --- Numbers -----------------------------------------------------------------

// A JSON number too large for a double reads as infinity; no value holds it.
double number(const Json& j, const char* what) {
    if (!j.is_number()) bad(std::string("the ") + what + " is not a number: " + shown(j));
    const double d = j.get<double>();
    if (!std::isfinite(d)) bad(std::string("the ") + what + " is out of range: " + shown(j));
    return d;
}

std::int64_t wholeNumber(const Json& j, const char* what, std::int64_t low, std::int64_t high) {
    if (j.is_number_integer()) {
        std::int64_t v = j.is_number_unsigned()
                             ? static_cast<std::int64_t>(std::min<std::uint64_t>(
                                   j.get<std::uint64_t>(), std::numeric_limits<std::int64_t>::max()))
                             : j.get<std::int64_t>();
        if (v < low || v > high) bad(std::string("the ") + what + " is out of range: " + shown(j));
        return v;
    }
    bad(std::string("the ") + what + " is not a whole number: " + shown(j));
}

// A Single as the shortest decimal that reads back as the same Single, so
// that 8.25 stays 8.25 and 0.1 does not become 0.10000000149011612.
Json singleJson(float v) {
    if (!std::isfinite(v)) return Json(static_cast<double>(v));
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    double d = 0;
    std::from_chars(buf, end, d);
    return Json(d);
}

// A Single written as a decimal: the shortest decimal of the largest Single
// (3.4028235e+38) lies a little above it as a double and still reads as it.
// A number past the point where it would round to infinity does not read.
float singleOf(const Json& j, const char* what) {
    const double d = number(j, what);
    constexpr double kLargest = std::numeric_limits<float>::max();
    // Halfway between the largest Single and 2^128, where rounding goes to infinity.
    constexpr double kRoundsToInfinity = 3.4028235677973366e38;
    if (std::fabs(d) >= kRoundsToInfinity) bad(std::string("the ") + what + " is out of range: " + shown(j));
    if (std::fabs(d) > kLargest) return static_cast<float>(std::copysign(kLargest, d));
    return static_cast<float>(d);
}

// --- Colours -------------------------------------------------------------------
//
// The host's colour is a Long: an RGB value 0x00BBGGRR, or a reference to a
// system colour with the high bit set and the colour's index below.

bool isSystemColour(std::int32_t c) { return (static_cast<std::uint32_t>(c) & 0xFFFFFF00u) == 0x80000000u; }

Json colourJson(std::int32_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    char buf[16];
    if (isSystemColour(c)) {
        std::snprintf(buf, sizeof buf, "system:%u", u & 0xFFu);
        return Json(buf);
    }
    if ((u & 0xFF000000u) == 0) {
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
        return Json(buf);
    }
    return Json(c);
}

std::int32_t colourOf(const Json& j) {
    if (j.is_number()) {
        return static_cast<std::int32_t>(wholeNumber(j, "colour", std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
    }
    if (!j.is_string()) bad("a colour is \"#RRGGBB\", \"system:N\" or a number: " + shown(j));
    const std::string s = j.get<std::string>();
    auto hexValue = [&](std::string_view digits, int base) -> std::uint32_t {
        std::uint32_t v = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
        if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
            bad("a colour is \"#RRGGBB\", \"system:N\" or a number: " + shown(j));
        return v;
    };
    if (s.size() == 7 && s[0] == '#') {
        std::uint32_t rgb = hexValue(std::string_view(s).substr(1), 16);
        return static_cast<std::int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    }
    if (s.rfind("system:", 0) == 0) {
        std::uint32_t index = hexValue(std::string_view(s).substr(7), 10);
        if (index > 0xFF) bad("a system colour's index is 0 to 255: " + shown(j));
        return static_cast<std::int32_t>(0x80000000u | index);
    }
    bad("a colour is \"#RRGGBB\", \"system:N\" or a number: " + shown(j));
}

// --- Dates ---------------------------------------------------------------------

// The host's dates: 1 January 100 to 31 December 9999.
bool isDateSerial(double serial) { return serial >= -657434.0 && serial < 2958466.0; }

Json dateJson(double serial) {
    if (!isDateSerial(serial)) fail(failure::kInvalidPropertyValue);
    CivilDateTime t = civilFromSerial(serial);
    if (t.year < 1 || t.year > 9999 ||
        dateSerial(t.year, t.month, t.day, t.hour, t.minute, t.second) != serial)
        return Json(serial);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return Json(buf);
}

double dateOf(const Json& j) {
    if (j.is_number()) {
        const double serial = number(j, "date");
        if (!isDateSerial(serial)) bad("the date is out of range: " + shown(j));
        return serial;
    }
    if (!j.is_string()) bad("a date is \"YYYY-MM-DDTHH:MM:SS\" or a day number: " + shown(j));
    const std::string s = j.get<std::string>();
    int y, mo, d, h = 0, mi = 0, se = 0;
    char tail = 0;
    const int n = std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &se, &tail);
    if ((n != 3 && n != 6) || !isValidCivilDate(y, mo, d) || h > 23 || mi > 59 || se > 59 || h < 0 ||
        mi < 0 || se < 0)
        bad("a date is \"YYYY-MM-DDTHH:MM:SS\" or a day number: " + shown(j));
    return dateSerial(y, mo, d, h, mi, se);
}

// --- Fonts and pictures --------------------------------------------------------

Json fontJson(const Font& f) {
    const FontDescription& d = f.description();
    return Json{{"name", d.name},
                {"size", singleJson(d.size)},
                {"weight", d.weight},
                {"charset", d.charset},
                {"italic", d.italic},
                {"underline", d.underline},
                {"strikethrough", d.strikethrough}};
}

std::shared_ptr<Font> fontOf(const Json& j) {
    if (!j.is_object()) bad("a font is an object of its attributes: " + shown(j));
    FontDescription d;
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& k = it.key();
        const Json& v = it.value();
        if (k == "name") {
            if (!v.is_string()) bad("the font's name is not text: " + shown(v));
            d.name = v.get<std::string>();
        } else if (k == "size") {
            d.size = singleOf(v, "font's size");
        } else if (k == "weight") {
            d.weight = static_cast<std::int16_t>(wholeNumber(v, "font's weight", 0, 1000));
        } else if (k == "charset") {
            d.charset = static_cast<std::int16_t>(wholeNumber(v, "font's charset", 0, 255));
        } else if (k == "italic" || k == "underline" || k == "strikethrough") {
            if (!v.is_boolean()) bad("the font's " + k + " is not true or false: " + shown(v));
            (k == "italic" ? d.italic : k == "underline" ? d.underline : d.strikethrough) = v.get<bool>();
        }
        // Other attributes belong to a richer host's fonts; they are passed over.
    }
    return Font::make(std::move(d));
}

Json pictureJson(const Picture& p) { return Json{{"format", p.format()}, {"data", base64(p.bytes())}}; }

std::shared_ptr<Picture> pictureOf(const Json& j) {
    if (!j.is_object() || !j.contains("format") || !j["format"].is_string() || !j.contains("data") ||
        !j["data"].is_string())
        bad("a picture is {\"format\": ..., \"data\": base64}: " + shown(j));
    return std::make_shared<Picture>(j["format"].get<std::string>(), unbase64(j["data"].get<std::string>()));
}

// --- Values --------------------------------------------------------------------

Json valueJson(const JsonPropertyBag::Entry& e) {
    const Variant& v = e.value;
    switch (v.type()) {
        case Variant::Type::Empty: return Json{{"Empty", nullptr}};
        case Variant::Type::Null: return Json(nullptr);
        case Variant::Type::Integer: return Json{{"Integer", v.asInteger()}};
        case Variant::Type::Long:
            if (e.colour) return Json{{"Colour", colourJson(v.asLong())}};
            return Json(v.asLong());
        case Variant::Type::Single:
            if (!std::isfinite(v.asSingle())) fail(failure::kInvalidPropertyValue);
            return Json{{"Single", singleJson(v.asSingle())}};
        case Variant::Type::Double:
            if (!std::isfinite(v.asDouble())) fail(failure::kInvalidPropertyValue);
            return Json{{"Double", v.asDouble()}};
        case Variant::Type::Date: return Json{{"Date", dateJson(v.asDate())}};
        case Variant::Type::Boolean:
            if (v.asBoolean() == kTrue) return Json(true);
            if (v.asBoolean() == kFalse) return Json(false);
            return Json{{"Boolean", v.asBoolean()}};
        case Variant::Type::String: return Json(v.asString());
        case Variant::Type::Object: {
            const ObjectRef& o = v.asObject();
            if (!o) return Json{{"Nothing", nullptr}};
            if (auto f = v.objectAs<Font>()) return Json{{"Font", fontJson(*f)}};
            if (auto p = v.objectAs<Picture>()) return Json{{"Picture", pictureJson(*p)}};
            fail(failure::kInvalidPropertyValue,
                 "The value of \"" + e.name + "\" is an object that a form file cannot hold");
        }
    }
    return Json(nullptr);
}

JsonPropertyBag::Entry entryOf(const std::string& name, const Json& j) {
    JsonPropertyBag::Entry e{name, Variant(), false};
    if (j.is_null()) {
        e.value = Variant::null();
    } else if (j.is_string()) {
        e.value = Variant(j.get<std::string>());
    } else if (j.is_boolean()) {
        e.value = Variant::boolean(j.get<bool>());
    } else if (j.is_number_integer()) {
        e.value = Variant::longValue(
            static_cast<std::int32_t>(wholeNumber(j, "number", std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max())));
    } else if (j.is_number()) {
        e.value = Variant(number(j, "number"));
    } else if (j.is_object() && j.size() == 1) {
        const std::string& tag = j.begin().key();
        const Json& v = j.begin().value();
        if (tag == "Empty") {
            e.value = Variant();
        } else if (tag == "Nothing") {
            e.value = Variant(ObjectRef());
        } else if (tag == "Integer") {
            e.value = Variant::integer(static_cast<int>(wholeNumber(v, "Integer", -32768, 32767)));
        } else if (tag == "Long") {
            e.value = Variant::longValue(
                static_cast<std::int32_t>(wholeNumber(v, "Long", std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max())));
        } else if (tag == "Single") {
            e.value = Variant(singleOf(v, "Single"));
        } else if (tag == "Double") {
            e.value = Variant(number(v, "Double"));
        } else if (tag == "Boolean") {
            if (v.is_boolean()) e.value = Variant::boolean(v.get<bool>());
            else
                e.value = Variant::booleanValue(static_cast<VBool>(wholeNumber(v, "Boolean", -32768, 32767)));
        } else if (tag == "Colour") {
            e.value = Variant::longValue(colourOf(v));
            e.colour = true;
        } else if (tag == "Date") {
            e.value = Variant::date(dateOf(v));
        } else if (tag == "Font") {
            e.value = Variant(fontOf(v));
        } else if (tag == "Picture") {
            e.value = Variant(pictureOf(v));
        } else {
            bad("\"" + tag + "\" is not a type of value");
        }
    } else {
        bad("not a value: " + shown(j));
    }
    return e;
}

bool sameValue(const Variant& a, const Variant& b) {
    if (a == b) return true;
    if (auto fa = a.objectAs<Font>(), fb = b.objectAs<Font>(); fa && fb)
        return fa->description() == fb->description();
    if (auto pa = a.objectAs<Picture>(), pb = b.objectAs<Picture>(); pa && pb)
        return pa->format() == pb->format() && pa->bytes() == pb->bytes();
    return false;
}

[[noreturn]] void invalid(std::string_view source, const std::string& where, const std::string& reason) {
    fail(kFailureInvalidFileFormat, std::string(source) + ": " + where + ": " + reason);
}

// "line L, column C" of a byte of the text.
std::string placeOf(std::string_view text, std::size_t at) {
    if (at > text.size()) at = text.size();
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// --- Reading the text ------------------------------------------------------------
//
// A document is checked whole before anything of it is read: it is JSON, no
// deeper than kMaxDocumentDepth levels (a value is copied and written out by
// recursion, so a deeper one would exhaust the stack), and no object in it
// has two members of one name (which would leave it open which one counts).
// Only then is it read, in pieces: members that this host does not know are
// kept as the text they were written as.

// The reader's place in the text, seen through the iterator the JSON
// library reads with: after each character read, how many were read.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, const char** reached) : at_(at), reached_(reached) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        *reached_ = at_;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

private:
    const char* at_;
    const char** reached_;
};

// Events of the library's reader, checked for depth and duplicate names;
// nothing is kept.
class Checker final : public nlohmann::json_sax<Json> {
public:
    Checker(std::string_view text, const char** reached) : text_(text), reached_(reached) {}

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override {
        names_.emplace_back();
        ++depth_;
        return deeper();
    }
    bool key(string_t& name) override {
        if (names_.back().insert(name).second) return true;
        // The reader stands after the name's closing quote; the place is
        // where the name opens.
        std::size_t close = read() - 1;
        std::size_t open = close;
        while (open > 0) {
            --open;
            if (text_[open] != '"') continue;
            std::size_t backslashes = 0;
            while (open > backslashes && text_[open - 1 - backslashes] == '\\') ++backslashes;
            if (backslashes % 2 == 0) break;
        }
        return stop(open, "a second member named " + shown(Json(name)));
    }
    bool end_object() override {
        names_.pop_back();
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        ++depth_;
        return deeper();
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& e) override {
        std::string reason = e.what();
        if (e.id == 406) {
            // A number too large for any type ("1e999"): the place is where
            // its text stands, which the library reads a character past.
            if (auto bracket = reason.find("] "); bracket != std::string::npos)
                reason = reason.substr(bracket + 2);
            std::size_t at = text_.substr(0, std::min(position, text_.size())).rfind(token);
            return stop(at == std::string_view::npos ? 0 : at, reason);
        }
        // The library's message repeats the place; keep what went wrong.
        if (auto colon = reason.find(": "); colon != std::string::npos) reason = reason.substr(colon + 2);
        return stop(position == 0 ? 0 : position - 1, reason);
    }

    std::size_t failedAt = 0;
    std::string failure;

private:
    std::size_t read() const { return static_cast<std::size_t>(*reached_ - text_.data()); }
    bool deeper() {
        if (depth_ <= kMaxDocumentDepth) return true;
        // The reader stands after the bracket that opens the level too many.
        return stop(read() - 1, "nested deeper than " + std::to_string(kMaxDocumentDepth) + " levels");
    }
    bool stop(std::size_t at, std::string reason) {
        failedAt = at;
        failure = std::move(reason);
        return false;
    }

    std::string_view text_;
    const char** reached_;
    // For each open object, the names of its members so far.
    std::vector<std::set<std::string>> names_;
    // For each open value, whether it is an object (or an array).
    std::size_t depth_ = 0;
};

// Failure 321 with the line and column when the text is not a document
// that may be read.
void check(std::string_view text, std::string_view source) {
    const char* reached = text.data();
    Checker checker(text, &reached);
    const char* const begin = text.data();
    if (!Json::sax_parse(CountingIterator(begin, &reached), CountingIterator(begin + text.size(), &reached),
                         &checker))
        invalid(source, placeOf(text, checker.failedAt), checker.failure);
}

// The value of a checked document's text.
Json parsed(std::string_view text) { return Json::parse(text.begin(), text.end()); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) ++at;
    return at;
}

// Past the string that opens at `at`.
std::size_t skipString(std::string_view text, std::size_t at) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == '\\') ++at;
        else if (text[at] == '"') return at + 1;
    }
    return text.size();
}

// Past the value that starts at `at`, in a checked document.
std::size_t skipValue(std::string_view text, std::size_t at) {
    const char first = text[at];
    if (first == '"') return skipString(text, at);
    if (first != '{' && first != '[') {
        while (at < text.size() && !isBlank(text[at]) && text[at] != ',' && text[at] != '}' &&
               text[at] != ']')
            ++at;
        return at;
    }
    std::size_t depth = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            at = skipString(text, at);
            continue;
        }
        if (c == '{' || c == '[') ++depth;
        else if ((c == '}' || c == ']') && --depth == 0) return at + 1;
        ++at;
    }
    return at;
}

// A value of a checked document, by the place of its text.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view of(std::string_view text) const { return text.substr(begin, end - begin); }
};

struct Member {
    std::string name;
    Span key;  // the name as written, quotes and escapes included
    Span value;
};

// The members of the object that opens at `at`, in order.
std::vector<Member> membersOf(std::string_view text, std::size_t at) {
    std::vector<Member> members;
    at = skipBlanks(text, at + 1);
    while (at < text.size() && text[at] == '"') {
        Member m;
        m.key = {at, skipString(text, at)};
        m.name = parsed(m.key.of(text)).get<std::string>();
        at = skipBlanks(text, skipBlanks(text, m.key.end) + 1);  // past the colon
        m.value = {at, skipValue(text, at)};
        at = skipBlanks(text, m.value.end);
        if (at < text.size() && text[at] == ',') at = skipBlanks(text, at + 1);
        members.push_back(std::move(m));
    }
    return members;
}

// The elements of the array that opens at `at`, in order.
std::vector<Span> elementsOf(std::string_view text, std::size_t at) {
    std::vector<Span> elements;
    at = skipBlanks(text, at + 1);
    while (at < text.size() && text[at] != ']') {
        Span e{at, skipValue(text, at)};
        elements.push_back(e);
        at = skipBlanks(text, e.end);
        if (at < text.size() && text[at] == ',') at = skipBlanks(text, at + 1);
    }
    return elements;
}

// --- Writing the text ------------------------------------------------------------
//
// The layout of the library's own output: everything on one line without an
// indent, else one member or element a line, each level indented further.

std::string padding(int indent, int level) {
    return indent < 0 ? std::string() : std::string(static_cast<std::size_t>(indent * level), ' ');
}

// A value written by the library, to stand at `level`.
std::string nested(const std::string& dumped, int indent, int level) {
    if (indent < 0 || level == 0) return dumped;
    const std::string pad = "\n" + padding(indent, level);
    std::string out;
    out.reserve(dumped.size());
    // A written string holds no line break of its own: each is the layout's.
    for (char c : dumped) {
        if (c == '\n') out += pad;
        else out += c;
    }
    return out;
}

// An object or array of written members or elements, at `level`.
std::string composite(const std::vector<std::string>& items, char open, char close, int indent, int level) {
    std::string out(1, open);
    if (items.empty()) return out + close;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        if (indent >= 0) out += "\n" + padding(indent, level + 1);
        out += items[i];
    }
    if (indent >= 0) out += "\n" + padding(indent, level);
    return out + close;
}

std::string memberText(std::string_view key, std::string_view value, int indent) {
    std::string out(key);
    out += indent < 0 ? ":" : ": ";
    out += value;
    return out;
}

std::vector<JsonPropertyBag::Entry> entriesOf(const Json& j, std::string_view source,
                                              const std::string& where) {
    if (!j.is_object()) invalid(source, where, "the properties are not an object");
    std::vector<JsonPropertyBag::Entry> entries;
    entries.reserve(j.size());
    for (auto it = j.begin(); it != j.end(); ++it) {
        try {
            entries.push_back(entryOf(it.key(), it.value()));
        } catch (const BadValue& b) {
            invalid(source, where + (where.empty() ? "" : ", ") + "key \"" + it.key() + "\"", b.reason);
        }
    }
    return entries;
}

Json entriesJson(const std::vector<JsonPropertyBag::Entry>& entries) {
    Json j = Json::object();
    for (const auto& e : entries) j[e.name] = valueJson(e);
    return j;
}

std::string dumpJson(const Json& j, int indent) {
    try {
        return j.dump(indent);
    } catch (const Json::type_error&) {
        fail(failure::kInvalidPropertyValue, "A text to be saved is not valid UTF-8");
    }
}

// The container or a control: the object at `value` in a checked document.
FormDocument::Part partOf(std::string_view text, Span value, std::string_view source,
                          const std::string& where, bool isControl) {
    if (text[value.begin] != '{') invalid(source, where, "not an object");
    FormDocument::Part part;
    for (const Member& m : membersOf(text, value.begin)) {
        const std::string& k = m.name;
        auto textOf = [&](std::string& out) {
            const Json v = parsed(m.value.of(text));
            if (!v.is_string()) invalid(source, where, "\"" + k + "\" is not text");
            out = v.get<std::string>();
        };
        if (k == "name") textOf(part.name);
        else if (k == "class") textOf(part.className);
        else if (k == "classId") textOf(part.classId);
        else if (k == "properties")
            part.properties = JsonPropertyBag(entriesOf(parsed(m.value.of(text)), source, where));
        else part.unknownMembers.push_back({k, std::string(m.key.of(text)), std::string(m.value.of(text))});
    }
    if (isControl && part.name.empty()) invalid(source, where, "a control needs a \"name\"");
    return part;
}

// The unknown members as they were written, after the known ones.
void appendUnknown(std::vector<std::string>& members, const std::vector<FormDocument::RawMember>& unknown,
                   int indent) {
    for (const auto& m : unknown) members.push_back(memberText(m.key, m.value, indent));
}

std::string partText(const FormDocument::Part& part, int indent, int level) {
    std::vector<std::string> members;
    auto add = [&](const char* key, const Json& value) {
        members.push_back(memberText(key, nested(dumpJson(value, indent), indent, level + 1), indent));
    };
    if (!part.name.empty()) add("\"name\"", Json(part.name));
    if (!part.className.empty()) add("\"class\"", Json(part.className));
    if (!part.classId.empty()) add("\"classId\"", Json(part.classId));
    add("\"properties\"", entriesJson(part.properties.entries()));
    appendUnknown(members, part.unknownMembers, indent);
    return composite(members, '{', '}', indent, level);
}

}  // namespace

// --- JsonPropertyBag -------------------------------------------------------------

JsonPropertyBag JsonPropertyBag::parse(std::string_view text, std::string_view source) {
    check(text, source);
    return JsonPropertyBag(entriesOf(parsed(text), source, ""));
}

std::string JsonPropertyBag::dump(int indent) const { return dumpJson(entriesJson(entries_), indent); }

Variant JsonPropertyBag::readProperty(std::string_view name, const Variant& defaultValue) {
    for (const Entry& e : entries_)
        if (e.name == name) return e.value;
    return defaultValue;
}

void JsonPropertyBag::writeProperty(std::string_view name, const Variant& value,
                                    const Variant& defaultValue) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == name; });
    if (sameValue(value, defaultValue)) {
        if (it != entries_.end()) entries_.erase(it);
        return;
    }
    // A property whose default is a system colour is a colour property: the
    // document writes its value as a colour, which reads back as the Long.
    const bool colour =
        value.type() == Variant::Type::Long &&
        ((it != entries_.end() && it->colour) ||
         (defaultValue.type() == Variant::Type::Long && isSystemColour(defaultValue.asLong())));
    Entry e{std::string(name), value, colour};
    // Refuse an object the document cannot hold before anything is stored.
    (void)valueJson(e);
    if (it != entries_.end()) {
        *it = std::move(e);
        return;
    }
    entries_.push_back(std::move(e));
}

bool JsonPropertyBag::contains(std::string_view name) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == name; });
}

std::vector<std::string> JsonPropertyBag::names() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) out.push_back(e.name);
    return out;
}

// --- FormDocument ------------------------------------------------------------------

FormDocument::FormDocument() = default;

FormDocument FormDocument::parse(std::string_view text, std::string_view source) {
    check(text, source);
    const std::size_t start = skipBlanks(text, text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    if (start >= text.size() || text[start] != '{')
        invalid(source, "line 1, column 1", "a form file is a JSON object");
    FormDocument form;
    for (const Member& m : membersOf(text, start)) {
        const std::string& k = m.name;
        if (k == "format") {
            const Json v = parsed(m.value.of(text));
            if (v != "quorvel-form") invalid(source, "\"format\"", "not a Quorvel form: " + shown(v));
        } else if (k == "version") {
            const Json v = parsed(m.value.of(text));
            if (!v.is_number_integer() || v.get<std::int64_t>() < 1 || v.get<std::int64_t>() > kFormatVersion)
                invalid(source, "\"version\"", "a version this host does not read: " + shown(v));
        } else if (k == "container") {
            form.container_ = partOf(text, m.value, source, "container", false);
        } else if (k == "controls") {
            if (text[m.value.begin] != '[') invalid(source, "\"controls\"", "not an array");
            const std::vector<Span> elements = elementsOf(text, m.value.begin);
            for (std::size_t i = 0; i < elements.size(); ++i) {
                std::string where = "controls[" + std::to_string(i) + "]";
                if (text[elements[i].begin] == '{') {
                    for (const Member& e : membersOf(text, elements[i].begin)) {
                        if (e.name != "name") continue;
                        const Json name = parsed(e.value.of(text));
                        if (name.is_string()) where += " \"" + name.get<std::string>() + "\"";
                    }
                }
                Part part = partOf(text, elements[i], source, where, true);
                if (form.findControl(part.name)) invalid(source, where, "a second control of that name");
                form.controls_.push_back(std::move(part));
            }
        } else {
            form.unknownMembers_.push_back({k, std::string(m.key.of(text)), std::string(m.value.of(text))});
        }
    }
    return form;
}

FormDocument FormDocument::readFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) fail(kFileNotFound, "File not found: " + file.string());
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) fail(kFileAccessError, "Cannot read " + file.string());
    std::stringstream text;
    text << in.rdbuf();
    return parse(text.str(), file.filename().string());
}

std::string FormDocument::dump(int indent) const {
    std::vector<std::string> members = {memberText("\"format\"", "\"quorvel-form\"", indent),
                                        memberText("\"version\"", std::to_string(kFormatVersion), indent),
                                        memberText("\"container\"", partText(container_, indent, 1), indent)};
    std::vector<std::string> controls;
    for (const Part& p : controls_) controls.push_back(partText(p, indent, 2));
    members.push_back(memberText("\"controls\"", composite(controls, '[', ']', indent, 1), indent));
    appendUnknown(members, unknownMembers_, indent);
    return composite(members, '{', '}', indent, 0);
}

void FormDocument::writeFile(const std::filesystem::path& file) const { replaceFile(file, dump() + "\n"); }

FormDocument::Part* FormDocument::findControl(std::string_view name) {
    for (Part& p : controls_)
        if (p.name == name) return &p;
    return nullptr;
}

FormDocument::Part& FormDocument::addControl(std::string name, std::string className, std::string classId) {
    if (findControl(name))
        fail(failure::kInvalidProcedureCall, "A control named " + name + " is already there");
    Part p;
    p.name = std::move(name);
    p.className = std::move(className);
    p.classId = std::move(classId);
    controls_.push_back(std::move(p));
    return controls_.back();
}

// --- Files -------------------------------------------------------------------------

}  // namespace quorvel::headless
