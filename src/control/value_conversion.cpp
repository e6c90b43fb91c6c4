#include "control/value_conversion.h"

#include "platform/data.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel {

namespace {

// The number that a string stands for in the locale; Failure 13 when the
// locale does not read all of it as a number.
double numberOfText(const std::string& s, const Locale& locale) {
    if (!locale.isNumeric(Variant(s))) fail(failure::kTypeMismatch);
    const std::string& dec = locale.decimalSeparator();
    const std::string group = dec == "," ? "." : ",";
    std::string plain;
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, dec.size(), dec) == 0) {
            plain += '.';
            i += dec.size();
        } else if (s.compare(i, group.size(), group) == 0) {
            i += group.size();
        } else {
            plain += s[i++];
        }
    }
    return Locale::numericParse(plain);
}

// A value as a number of the host's kind: strings through the locale, the
// rest as Variant converts them (Null 94, objects 13).
Variant numeric(const Variant& v, const Locale& locale) {
    if (v.isString()) return Variant(numberOfText(v.asString(), locale));
    if (v.isObject()) fail(failure::kTypeMismatch);
    return v;
}

}  // namespace

VBool booleanFrom(const Variant& v, const Locale& locale) {
    // Members keep what they are given: a stored Boolean of 1 stays 1.
    if (v.type() == Variant::Type::Boolean) return v.asBoolean();
    if (v.isString()) {
        const std::string word = upperForNames(trimSpaces(v.asString()));
        if (word == "TRUE") return kTrue;
        if (word == "FALSE") return kFalse;
    }
    return toVBool(numeric(v, locale).toDouble() != 0.0);
}

std::int16_t integerFrom(const Variant& v, const Locale& locale) { return numeric(v, locale).toInteger(); }

std::int32_t longFrom(const Variant& v, const Locale& locale) { return numeric(v, locale).toLong(); }

float singleFrom(const Variant& v, const Locale& locale) { return numeric(v, locale).toSingle(); }

std::string textFrom(const Variant& v, const Locale& locale) {
    if (v.isNull()) fail(failure::kInvalidUseOfNull);
    return locale.textOf(v);
}

namespace {

template <class T>
std::shared_ptr<T> objectFrom(const Variant& v) {
    if (!v.isObject()) fail(failure::kTypeMismatch);
    if (!v.asObject()) return nullptr;
    auto typed = v.objectAs<T>();
    if (!typed) fail(failure::kTypeMismatch);
    return typed;
}

}  // namespace

std::shared_ptr<Font> fontFrom(const Variant& v) { return objectFrom<Font>(v); }
std::shared_ptr<Picture> pictureFrom(const Variant& v) { return objectFrom<Picture>(v); }
std::shared_ptr<Recordset> recordsetFrom(const Variant& v) { return objectFrom<Recordset>(v); }

}  // namespace quorvel
