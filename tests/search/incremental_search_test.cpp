// The incremental search: the operator, the criteria of each field class,
// what cannot be searched, the last record on no match, and KeyUp after
// every release whatever happened before it.
#include <gtest/gtest.h>

#include "host/keys.h"
#include "host/trace.h"
#include "platform/failure.h"
#include "search_fixture.h"

namespace quorvel::testing {
namespace {

using IncrementalSearch = SearchTest;
using host::key::kBackspace;

struct SearchCase {
    const char* what;
    Locale locale;
    const char* searchField;
    const char* typed;
    const char* criteria;   // "" when nothing may be searched
    std::int32_t position;  // the current record afterwards
};

// The text is in the box; one release (of Backspace, as good as any key)
// searches for it.
void releaseWith(headless::HeadlessSite& site, Quorvel2000& c, const std::string& text) {
    c.setText(text);
    site.clearLog();
    site.keyUp(kBackspace);
}

TEST_F(IncrementalSearch, TheOperatorAndValueFollowTheTypedTextAndTheFieldClass) {
    const Locale en = Locale::english(), it = Locale::italian();
    // The list starts on its first record, Amato (0); Verdi is the last (5).
    const SearchCase cases[] = {
        {"plain text", en, "Name", "Ros", "Name >= \"Ros\"", 4},
        {"empty text", en, "Name", "", "Name >= \"\"", 0},
        {"no case in the order", en, "Name", "ro", "Name >= \"ro\"", 3},
        {"star", en, "Name", "Ros*", "Name Like \"Ros*\"", 4},
        {"question mark", en, "Name", "R?mano", "Name Like \"R?mano\"", 3},
        {"digit sign", en, "Name", "R#", "Name Like \"R#\"", 5},
        {"digit sign among letters", en, "Name", "Ross#", "Name Like \"Ross#\"", 5},
        {"a set", en, "Name", "R[ae]s", "Name Like \"R[ae]s\"", 5},
        {"a ] with no [", en, "Name", "Verdi]", "Name Like \"Verdi]\"", 5},
        {"a [ after the first ]", en, "Name", "B]i[", "Name >= \"B]i[\"", 1},
        {"only the first ] counts", en, "Name", "]R[o]", "Name >= \"]R[o]\"", 0},
        {"a ] after a [", en, "Name", "Ross[i]", "Name Like \"Ross[i]\"", 4},
        {"a [ alone", en, "Name", "[", "Name >= \"[\"", 0},
        {"double quote", en, "Name", "O\"B", "Name >= \"O'B\"", 2},
        {"decimal comma", it, "Balance", "12,5", "Balance >= 12.5", 0},
        {"decimal point", en, "Balance", "12.5", "Balance >= 12.5", 0},
        {"a point ends an Italian number", it, "Balance", "7.75", "Balance >= 7", 0},
        {"fifteen digits at most", en, "Balance", "7.749999999999999", "Balance >= 7.75", 0},
        {"negative", it, "Balance", "-3,25", "Balance >= -3.25", 0},
        {"a wildcard in a number", en, "Balance", "1*", "", 0},
        {"empty number", it, "Balance", "", "", 0},
        {"day first", it, "Born", "07/12/1985", "Born >= #12/07/1985#", 0},
        {"month first", en, "Born", "12/07/1985", "Born >= #12/07/1985#", 0},
        {"a wildcard in a date", it, "Born", "07/12/*", "", 0},
        {"no such day", en, "Born", "02/30/1990", "", 0},
    };
    for (const SearchCase& t : cases) {
        SCOPED_TRACE(std::string(t.what) + " in " + t.locale.name());
        Quorvel2000& c = searchControl(Variant("Code"), Variant(t.searchField), t.locale);
        releaseWith(site, c, t.typed);
        const std::string keyUp = "event KeyUp KeyCode=Integer 8 Shift=Integer 0";
        if (*t.criteria == '\0') {
            EXPECT_EQ(log(), keyUp);
        } else {
            // Every case that ends on the last record got there by a miss.
            const std::string miss = t.position == 5 ? "|moveLast" : "";
            EXPECT_EQ(log(), std::string("find ") + t.criteria + miss + "|" + keyUp);
        }
        EXPECT_EQ(currentPosition(), t.position);
        EXPECT_EQ(c.members().findingByCode, kFalse);
    }
}

TEST_F(IncrementalSearch, AMissStandsOnTheLastRecordAndLeavingTakesIt) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setText("");
    site.caret(0);
    site.type("Zz");
    EXPECT_EQ(currentPosition(), 5);
    // The box keeps what was typed, the caret where the typing left it.
    EXPECT_EQ(c.Text(), "Zz");
    EXPECT_EQ(c.SelStart(), 2);
    EXPECT_EQ(c.BoundText(), "A01");

    c.setDropDownAuto(kFalse);
    site.focusOut();
    EXPECT_EQ(c.BoundText(), "V33");
    EXPECT_EQ(c.Text(), "Verdi");
}

TEST_F(IncrementalSearch, TheSelectionSurvivesASearch) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setText("Rossi");
    site.caret(1, 3);
    site.clearLog();
    site.keyUp(host::key::kShift);
    EXPECT_EQ(log(), "find Name >= \"Rossi\"|event KeyUp KeyCode=Integer 16 Shift=Integer 0");
    EXPECT_EQ(currentPosition(), 4);
    EXPECT_EQ(c.SelStart(), 1);
    EXPECT_EQ(c.SelLength(), 3);
}

TEST_F(IncrementalSearch, SearchDisableMovesNothingButKeyUpStillComes) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setSearchDisable(kTrue);
    c.setText("");
    site.clearLog();
    site.type("V");
    EXPECT_EQ(log(),
              "event KeyDown KeyCode=Integer 86 Shift=Integer 0|"
              "event KeyPress KeyAscii=Integer 86|event Change|"
              "event KeyUp KeyCode=Integer 86 Shift=Integer 0");
    EXPECT_EQ(currentPosition(), 0);
}

TEST_F(IncrementalSearch, WithoutARecordsetEveryReleaseReports91AndRaisesKeyUp) {
    Quorvel2000& c = newControl();
    site.place(600, 300, 2595, 285);
    site.focusIn("Text2");
    site.clearLog();
    site.type("ab");
    const std::string report =
        "msgbox " + host::traceString("91    /M_003 \n\n" + standardDescription(failure::kObjectNotSet));
    EXPECT_EQ(site.log(),
              "event KeyDown KeyCode=Integer 65 Shift=Integer 0|"
              "event KeyPress KeyAscii=Integer 97|event Change|" +
                  report +
                  "|event KeyUp KeyCode=Integer 65 Shift=Integer 0|"
                  "event KeyDown KeyCode=Integer 66 Shift=Integer 0|"
                  "event KeyPress KeyAscii=Integer 98|event Change|" +
                  report + "|event KeyUp KeyCode=Integer 66 Shift=Integer 0");
    EXPECT_EQ(c.Text(), "ab");
    EXPECT_EQ(c.members().findingByCode, kFalse);
}

TEST_F(IncrementalSearch, AFindTheDataSourceRefusesIsReportedOncePerRelease) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    // A pattern whose set never closes cannot be read.
    releaseWith(site, c, "R[a-*");
    ASSERT_EQ(site.logLines().size(), 3u) << site.log();
    EXPECT_EQ(site.logLines()[0], "find Name Like \"R[a-*\"");
    EXPECT_TRUE(site.logLines()[1].starts_with("msgbox \"3075    /M_003 \\n\\n")) << site.log();
    EXPECT_EQ(site.logLines()[2], "event KeyUp KeyCode=Integer 8 Shift=Integer 0");
    EXPECT_EQ(c.members().findingByCode, kFalse);
}

TEST_F(IncrementalSearch, OutsideMirrorModeTypingLeavesTheValueAlone) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setText("");
    site.clearLog();
    site.type("B");
    EXPECT_EQ(log(),
              "event KeyDown KeyCode=Integer 66 Shift=Integer 0|"
              "event KeyPress KeyAscii=Integer 66|event Change|"
              "find Name >= \"B\"|event KeyUp KeyCode=Integer 66 Shift=Integer 0");
    EXPECT_EQ(c.BoundText(), "A01");
    EXPECT_EQ(currentPosition(), 1);
}

}  // namespace
}  // namespace quorvel::testing
