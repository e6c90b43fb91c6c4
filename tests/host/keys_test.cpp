#include <gtest/gtest.h>

#include <vector>

#include "host/keys.h"
#include "host/trace.h"
#include "platform/failure.h"
#include "platform/locale.h"

namespace quorvel::host {
namespace {

TEST(SendKeys, ReadsNamesModifiersGroupsAndRepeats) {
    struct Case {
        const char* what;
        const char* keys;
        std::vector<KeyStroke> expected;
    };
    const Case cases[] = {
        {"Enter by name and by tilde", "{ENTER}~", {{13, 0, 13}, {13, 0, 13}}},
        {"plain characters", "a1 ", {{'A', 0, 'a'}, {'1', 0, '1'}, {32, 0, ' '}}},
        {"shift makes a capital", "+a", {{'A', 1, 'A'}}},
        {"ctrl makes a control character", "^c", {{'C', 2, 3}}},
        {"alt types nothing", "%f", {{'F', 4, 0}}},
        {"a group holds the modifier", "+(ab)c", {{'A', 1, 'A'}, {'B', 1, 'B'}, {'C', 0, 'c'}}},
        {"named keys with a repeat", "{left 2}{DEL}", {{37, 0, 0}, {37, 0, 0}, {46, 0, 0}}},
        {"braces quote special characters", "{+}{}}{~}", {{187, 0, '+'}, {221, 0, '}'}, {192, 0, '~'}}},
        {"function keys", "{F1}{F16}", {{112, 0, 0}, {127, 0, 0}}},
        {"a character without a key", "è", {{231, 0, U'è'}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parseSendKeys(c.keys), c.expected);
    }
}

TEST(SendKeys, RefusesWhatDoesNotRead) {
    for (const char* bad : {"{NOPE}", "{ENTER", "a}", "(ab", "ab)", "{LEFT x}", "{F17}", "{}"}) {
        SCOPED_TRACE(bad);
        try {
            parseSendKeys(bad);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& f) { EXPECT_EQ(f.number(), 5); }
    }
}

TEST(Trace, WritesValuesAsTheRunnerPrintsThem) {
    struct Case {
        Variant value;
        const char* expected;
    };
    const Case cases[] = {
        {Variant(), "Empty"},
        {Variant::null(), "Null"},
        {Variant::integer(-3), "Integer -3"},
        {Variant::longValue(40000), "Long 40000"},
        {Variant(1.5f), "Single 1.5"},
        {Variant(0.1), "Double 0.1"},
        {Variant(3.0), "Double 3"},
        {Variant::boolean(true), "Boolean True"},
        {Variant::booleanValue(1), "Boolean 1"},
        {Variant("a\"b\\\n"), "String \"a\\\"b\\\\\\n\""},
        {Variant::date(dateSerial(2026, 12, 7)), "Date #12/07/2026#"},
        {Variant::date(dateSerial(2026, 12, 7, 9, 5, 30)), "Date #12/07/2026 09:05:30#"},
        {Variant(ObjectRef()), "Nothing"},
        {Variant(ObjectRef(std::make_shared<Object>())), "Object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(traceValue(c.value), c.expected);
    }
}

}  // namespace
}  // namespace quorvel::host
