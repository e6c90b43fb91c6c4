// The bound value: BoundText, the lookup of its record, mirror mode, fast
// mode and the failure trap of the bound-value handler.
#include <gtest/gtest.h>

#include "host/keys.h"
#include "platform/failure.h"
#include "search_fixture.h"

namespace quorvel::testing {
namespace {

using BoundValue = SearchTest;

TEST_F(BoundValue, AssigningANewValueRunsTheHandlerTwiceWithOneNotificationBetween) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setBoundText("R12");
    EXPECT_EQ(log(),
              "request BoundText allowed|"
              "event Change|notify BoundText|"  // inside the write: no lookup
              "notify BoundText|"               // the property's own
              "find Code = \"R12\"|event Change|event Change|notify BoundText");
    EXPECT_EQ(c.Text(), "Rossi");
    EXPECT_EQ(currentPosition(), 4);

    site.clearLog();
    c.setBoundText("R12");  // the same text: the explicit run alone
    EXPECT_EQ(log(),
              "request BoundText allowed|notify BoundText|find Code = \"R12\"|"
              "event Change|notify BoundText");
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    EXPECT_EQ(c.members().findingByCode, kFalse);
}

// A host that cancels the find's move keeps the record where it was: the
// find did not reach a record holding the value, and the edit box must not
// show the name of the record that stayed.
TEST_F(BoundValue, AFindTheHostCancelsIsNoMatch) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    const std::int32_t before = currentPosition();
    site.setEventArguments("ListValidate", {{"Action", Variant::integer(0)}});
    c.setBoundText("R12");
    EXPECT_EQ(currentPosition(), before);
    EXPECT_EQ(c.ListRecordset()->noMatch(), kTrue);
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "");
}

TEST_F(BoundValue, MirrorModeKeepsBothBoxesEqual) {
    // The search field is the bound field and typing may make values.
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Code"), Locale::english(), kFalse);
    ASSERT_EQ(c.members().textIsBoundValue, kTrue);
    c.setText("");
    site.clearLog();

    site.type("R");
    EXPECT_EQ(log(),
              "event KeyDown KeyCode=Integer 82 Shift=Integer 0|"
              "event KeyPress KeyAscii=Integer 82|"
              "event Change|notify BoundText|event Change|"
              "find Code >= \"R\"|event KeyUp KeyCode=Integer 82 Shift=Integer 0");
    EXPECT_EQ(c.BoundText(), "R");
    EXPECT_EQ(currentPosition(), 3);

    site.clearLog();
    c.setBoundText("B07");
    // The edit box's mirror write clears the skip, so the run inside the
    // write looks up already; the edit box itself is never written by a
    // lookup, only the list moves.
    EXPECT_EQ(log(),
              "request BoundText allowed|"
              "event Change|find Code = \"B07\"|event Change|notify BoundText|"
              "notify BoundText|find Code = \"B07\"|event Change|notify BoundText");
    EXPECT_EQ(c.Text(), "B07");
    EXPECT_EQ(currentPosition(), 1);

    site.clearLog();
    c.setBoundText("Z99");  // no record: the edit box still shows the value
    EXPECT_EQ(c.Text(), "Z99");
    EXPECT_EQ(currentPosition(), 1);
}

TEST_F(BoundValue, ARefusedEditRequestChangesNothing) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    site.setEditAnswer("BoundText", false);
    c.setBoundText("R12");
    EXPECT_EQ(log(), "request BoundText refused");
    EXPECT_EQ(c.BoundText(), "A01");
    EXPECT_EQ(c.Text(), "Amato");
}

TEST_F(BoundValue, AValueNoRecordHoldsEmptiesTheEditBox) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setBoundText("X00");
    EXPECT_EQ(c.Text(), "");
    EXPECT_EQ(log(),
              "request BoundText allowed|event Change|notify BoundText|notify BoundText|"
              "find Code = \"X00\"|event Change|event Change|notify BoundText");
}

TEST_F(BoundValue, AnEmptyListLeavesTheEditBoxAndStillRaisesChange) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"), Locale::english(), kTrue,
                                   "SELECT * FROM People WHERE 0");
    c.setText("Ro");
    site.clearLog();
    c.setBoundText("R12");
    EXPECT_EQ(c.Text(), "Ro");
    EXPECT_EQ(log(),
              "request BoundText allowed|event Change|notify BoundText|notify BoundText|"
              "event Change|notify BoundText");
}

TEST_F(BoundValue, ADoubleQuoteIsLookedUpAsAnApostrophe) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setBoundText("O\"B");
    EXPECT_NE(log().find("find Code = \"O'B\"|"), std::string::npos) << log();
    EXPECT_EQ(c.Text(), "O'Brien");
    // The value itself keeps what the host gave.
    EXPECT_EQ(c.BoundText(), "O\"B");
}

struct LookupCase {
    const char* what;
    Locale locale;
    const char* boundField;
    const char* value;
    const char* criteria;  // "" when nothing may be looked up
    const char* shown;     // the edit box afterwards
};

TEST_F(BoundValue, NumbersAndDatesAreWrittenAsTheListReadsThem) {
    const Locale en = Locale::english(), it = Locale::italian();
    const LookupCase cases[] = {
        {"decimal comma", it, "Balance", "12,5", "Balance = 12.5", "Rossi"},
        {"decimal point", en, "Balance", "12.5", "Balance = 12.5", "Rossi"},
        {"negative", it, "Balance", "-3,25", "Balance = -3.25", "Bianchi"},
        {"an integer", it, "Balance", "0", "Balance = 0", "Verdi"},
        {"empty number", it, "Balance", "", "", "Amato"},
        {"text in a number field", en, "Balance", "abc", "", "Amato"},
        {"day first", it, "Born", "07/12/1985", "Born = #12/07/1985#", "Bianchi"},
        {"month first", en, "Born", "12/07/1985", "Born = #12/07/1985#", "Bianchi"},
        {"no such day", it, "Born", "31/02/1990", "", "Amato"},
        {"empty date", en, "Born", "", "", "Amato"},
    };
    for (const LookupCase& t : cases) {
        SCOPED_TRACE(std::string(t.what) + " in " + t.locale.name());
        Quorvel2000& c = searchControl(Variant(t.boundField), Variant("Name"), t.locale);
        c.setBoundText(t.value);
        const std::string lookup = std::string("find ") + t.criteria;
        if (*t.criteria) EXPECT_NE(log().find(lookup + "|"), std::string::npos) << log();
        else EXPECT_EQ(log().find("find"), std::string::npos) << log();
        EXPECT_EQ(c.Text(), t.shown);
        EXPECT_EQ(log().find("msgbox"), std::string::npos) << log();
        // Change and the notification end every run, lookup or not.
        EXPECT_TRUE(log().ends_with("event Change|notify BoundText")) << log();
    }
}

TEST_F(BoundValue, FastModeLooksNothingUpUntilItEndsQuietly) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setFastMode(kTrue);
    site.clearLog();
    c.setBoundText("R12");
    EXPECT_EQ(log(), "request BoundText allowed|notify BoundText");
    EXPECT_EQ(c.Text(), "Amato");

    site.clearLog();
    c.setFastMode(kFalse);
    // The edit box catches up; only its own Change tells the host.
    EXPECT_EQ(log(), "notify FastMode|find Code = \"R12\"|event Change");
    EXPECT_EQ(c.Text(), "Rossi");
    EXPECT_EQ(c.members().quietBoundRefresh, kFalse);
}

TEST_F(BoundValue, WithoutARecordsetTheLookupIsSkippedSilently) {
    Quorvel2000& c = newControl();
    site.clearLog();
    c.setBoundText("R12");
    EXPECT_EQ(site.log(),
              "request BoundText allowed|event Change|notify BoundText|"
              "notify BoundText|event Change|notify BoundText");
    EXPECT_EQ(c.members().findingByCode, kFalse);
}

TEST_F(BoundValue, AnyOtherFailureIsReportedAndTheRunStillEnds) {
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    c.setFastMode(kTrue);
    c.setBoundText("R12");
    // The host's Change handler fails inside the lookup's write of the edit
    // box, which is inside the handler's trap.
    site.setEventHandler(
        "Change", [](headless::EventCall&) { throw Failure(failure::kTypeMismatch, "Type mismatch"); });
    site.clearLog();
    c.setFastMode(kFalse);
    EXPECT_EQ(log(),
              "notify FastMode|find Code = \"R12\"|event Change|"
              "msgbox \"13    /M_002 \\n\\nType mismatch\"");
    EXPECT_EQ(c.members().findingByCode, kFalse);
    EXPECT_EQ(c.members().quietBoundRefresh, kFalse);
}

TEST_F(BoundValue, AFailedMirrorWriteLeavesNoStaleSkipBehind) {
    // A host whose Change handler failed inside the mirror write used to
    // leave skipNextKeyUp set, and the user's next key release searched
    // nothing.
    Quorvel2000& c = searchControl(Variant("Code"), Variant("Name"));
    // Into mirror mode while the boxes still differ (A01, Amato).
    c.setOnListOnly(kFalse);
    c.setListSearchField(Variant("Code"));
    ASSERT_EQ(c.members().textIsBoundValue, kTrue);
    ASSERT_EQ(c.Text(), "Amato");
    site.setEventHandler(
        "Change", [](headless::EventCall&) { throw Failure(failure::kTypeMismatch, "Type mismatch"); });
    site.clearLog();
    c.setFastMode(kFalse);  // the quiet run writes the edit box once
    EXPECT_EQ(log(), "notify FastMode|event Change|msgbox \"13    /M_002 \\n\\nType mismatch\"");
    EXPECT_EQ(c.Text(), "A01");
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
    EXPECT_EQ(c.members().skipBoundChange, kFalse);

    site.clearEventHandler("Change");
    site.clearLog();
    site.keyUp(host::key::kShift);
    EXPECT_EQ(log(), "find Code >= \"A01\"|event KeyUp KeyCode=Integer 16 Shift=Integer 0");
}

}  // namespace
}  // namespace quorvel::testing
