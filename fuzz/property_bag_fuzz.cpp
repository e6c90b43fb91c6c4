// The property-bag documents and form files, from any text: a document
// either loads, or fails with 321 and a description that starts with the
// source's name. One that loads saves without failure, and a save of what
// was loaded from the first save is that save again, byte for byte, with
// the same names in the same order holding the same values.
//
// Deep documents are made from small inputs: the input is also read nested
// some hundreds of levels (around the depth a document may have) inside a
// bag's value and inside an unknown member of a form, which must fail with
// 321 or load; and a form saves to no more than a few times its size, so
// unknown members are never blown up by the layout of the save.
//
// Input: the document's text, read both as a bag and as a form file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "headless/json_property_bag.h"
#include "platform/failure.h"
#include "platform/font.h"

using namespace quorvel;
using namespace quorvel::headless;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

constexpr std::string_view kSource = "fuzz.json";

template <class Document>
std::optional<Document> load(std::string_view text, const char* what) {
    try {
        return Document::parse(text, kSource);
    } catch (const Failure& f) {
        check(f.number() == kFailureInvalidFileFormat, what, shown(text.substr(0, 200)));
        check(f.description().rfind(std::string(kSource) + ": ", 0) == 0,
              "a failure to load does not name its source", f.description());
        return std::nullopt;
    }
}

template <class Document>
std::string save(const Document& document, std::string_view text, const char* what) {
    try {
        return document.dump();
    } catch (const Failure& f) {
        quorvel::fuzz::broken(what, shown(text.substr(0, 200)) + ": " + f.description());
    }
}

bool sameValue(const Variant& a, const Variant& b) {
    if (a == b) return true;
    // Doubles are compared by value: NaN cannot be in a document.
    if (auto fa = a.objectAs<Font>(), fb = b.objectAs<Font>(); fa && fb)
        return fa->description() == fb->description();
    if (auto pa = a.objectAs<Picture>(), pb = b.objectAs<Picture>(); pa && pb)
        return pa->format() == pb->format() && pa->bytes() == pb->bytes();
    return false;
}

void sameBag(const JsonPropertyBag& a, const JsonPropertyBag& b, std::string_view text) {
    check(a.size() == b.size(), "a bag read back has another number of values", shown(text.substr(0, 200)));
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto& x = a.entries()[i];
        const auto& y = b.entries()[i];
        check(x.name == y.name, "a bag read back has its names in another order", shown(x.name));
        check(sameValue(x.value, y.value), "a value read back is another",
              shown(x.name) + ": " + x.value.debugString() + " then " + y.value.debugString());
    }
}

// The input nested `depth` levels deep, in arrays or objects.
std::string nestedIn(std::string_view text, std::size_t depth, bool objects) {
    std::string out;
    out.reserve(text.size() + depth * 8);
    for (std::size_t i = 0; i < depth; ++i) out += objects ? "{\"k\":" : "[";
    out += text;
    for (std::size_t i = 0; i < depth; ++i) out += objects ? '}' : ']';
    return out;
}

void checkDocument(std::string_view text);

void checkDeep(std::string_view text) {
    // The first byte chooses a depth on either side of the limit.
    const auto choice = static_cast<unsigned char>(text.empty() ? 0 : text[0]);
    const std::size_t depth = kMaxDocumentDepth - 8 + choice % 16 + (choice >= 240 ? 100000 : 0);
    const std::string deep = nestedIn(text.empty() ? "0" : text.substr(1), depth, choice & 1);
    checkDocument("{\"b\": " + deep + "}");
    checkDocument(R"({"format": "quorvel-form", "controls": [{"name": "Q", "x": )" + deep +
                  "}], \"y\": " + deep + "}");
}

void checkDocument(std::string_view text) {
    if (auto bag = load<JsonPropertyBag>(text, "a bag failed to load with a number other than 321")) {
        const std::string first = save(*bag, text, "a bag that loaded does not save");
        auto again = load<JsonPropertyBag>(first, "a saved bag does not load again");
        check(again.has_value(), "a saved bag does not load again", shown(first.substr(0, 200)));
        sameBag(*bag, *again, text);
        const std::string second = save(*again, text, "a bag read back does not save");
        check(first == second, "a bag saved, loaded and saved again is another document",
              shown(first.substr(0, 200)) + " then " + shown(second.substr(0, 200)));
    }

    if (auto form = load<FormDocument>(text, "a form failed to load with a number other than 321")) {
        const std::string first = save(*form, text, "a form that loaded does not save");
        auto again = load<FormDocument>(first, "a saved form does not load again");
        check(again.has_value(), "a saved form does not load again", shown(first.substr(0, 200)));
        check(again->controls().size() == form->controls().size(), "a form read back has other controls",
              shown(text.substr(0, 200)));
        sameBag(form->container().properties, again->container().properties, text);
        for (std::size_t i = 0; i < form->controls().size(); ++i) {
            check(form->controls()[i].name == again->controls()[i].name,
                  "a control read back has another name", shown(form->controls()[i].name));
            sameBag(form->controls()[i].properties, again->controls()[i].properties, text);
        }
        const std::string second = save(*again, text, "a form read back does not save");
        check(first == second, "a form saved, loaded and saved again is another document",
              shown(first.substr(0, 200)) + " then " + shown(second.substr(0, 200)));
        // Known values may take a longer form ({"Double": 100000.0} for 1e5,
        // every attribute of a font), laid out one a line; nothing else grows.
        check(first.size() <= 32 * text.size() + 1024, "a saved form is many times its document",
              std::to_string(text.size()) + " bytes became " + std::to_string(first.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    checkDocument(text);
    checkDeep(text);
    return 0;
}
