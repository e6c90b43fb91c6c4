// The value helpers: host values (which may be null) turned into text,
// numbers and pieces of the criteria that the control hands to its list.
// They keep no state; the control's own code calls the same public methods
// that a host program can call.
#include <string>

#include "control/quorvel2000.h"
#include "platform/text.h"

namespace quorvel {

namespace {

// The code points of a UTF-8 text as separate strings, so that a separator
// is compared and replaced as one character whatever its encoding.
std::vector<std::string> characters(std::string_view s) {
    std::vector<std::string> out;
    std::int32_t units = utf16Length(s);
    for (std::int32_t i = 0; i < units;) {
        std::string c = utf16Mid(s, i, 1);
        if (c.empty()) c = utf16Mid(s, i, 2);  // the two halves of a surrogate pair
        i += utf16Length(c);
        out.push_back(std::move(c));
    }
    return out;
}

// Found afresh at every call, never cached: the host may change its locale
// while the control lives.
std::string decimalSeparatorOf(const Locale& locale) {
    return utf16Mid(locale.textOf(Variant(3.0f / 2.0f)), 1, 1);
}

}  // namespace

Variant Quorvel2000::UnNull(Variant& che) {
    if (che.isNull()) return Variant();
    return che;
}

Variant Quorvel2000::UnNull2(Variant& che2) {
    Variant value = UnNull(che2);
    return Variant(trimSpaces(locale().textOf(value)));
}

Variant Quorvel2000::UnNullxSQL(Variant& che3) {
    std::string s = UnNull2(che3).asString();
    // One byte for one byte: the text keeps its length.
    for (char& c : s)
        if (c == '"') c = '\'';
    return Variant(std::move(s));
}

Variant Quorvel2000::Val2(Variant& Cosa) {
    if (Cosa.isNull()) return Variant(std::int16_t{0});
    const std::string d = decimalSeparatorOf(locale());
    const std::string r = d == "," ? ";" : ",";
    const std::string s = locale().textOf(Cosa);
    if (utf16Length(s) <= 1) return Variant(Locale::numericParse(s));

    std::string rewritten;
    for (std::string& c : characters(s)) {
        if (d != "." && c == ".") c = r;
        if (c == d) c = ".";
        rewritten += c;
    }
    return Variant(Locale::numericParse(rewritten));
}

std::string Quorvel2000::ValxSQL(Variant& Cosa) {
    if (Cosa.isNull()) return "0";
    std::string s = locale().textOf(Variant(Val2(Cosa).toDouble()));
    if (utf16Length(locale().textOf(Cosa)) < 2) return s;
    const std::string d = decimalSeparatorOf(locale());
    if (std::size_t at = s.find(d); !d.empty() && at != std::string::npos) s.replace(at, d.size(), ".");
    return s;
}

}  // namespace quorvel
