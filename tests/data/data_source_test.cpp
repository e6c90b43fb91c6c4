#include <gtest/gtest.h>

#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

class DataSource : public ControlTest {
protected:
    std::string people() { return database(peopleSql()); }

    // The names and mirror mode that a configuration resolved.
    std::string resolved() const {
        const ControlMembers& m = control->members();
        return m.boundFieldName + "/" + std::to_string(m.boundFieldType) + " " + m.searchFieldName + "/" +
               std::to_string(m.searchFieldType) + (m.textIsBoundValue ? " mirror" : "");
    }
};

TEST_F(DataSource, TheBoundFieldIsFoundByNameOrIsTheFirstField) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("name"), Variant("City"));
    // Matched without regard to case, kept as it was set.
    EXPECT_EQ(resolved(), "name/10 City/10");
    EXPECT_EQ(c.members().dataUnavailable, kFalse);

    struct Case {
        const char* what;
        Variant boundField;
    };
    const Case firstField[] = {
        {"empty text", Variant("")},
        {"null", Variant::null()},
        {"no such field", Variant("Nowhere")},
        {"a number is read as a name", Variant(std::int16_t{2})},
        {"spaces around a name that is not there", Variant("  X  ")},
    };
    for (const Case& k : firstField) {
        SCOPED_TRACE(k.what);
        c.setBoundField(k.boundField);
        EXPECT_EQ(c.members().boundFieldName, "Code");
    }
    c.setBoundField(Variant("  Balance "));
    EXPECT_EQ(c.members().boundFieldName, "Balance");
    EXPECT_EQ(c.members().boundFieldType, 7);
}

TEST_F(DataSource, TheSearchFieldIsANameOrAZeroBasedNumber) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Name"), Variant(std::int16_t{0}));
    struct Case {
        const char* what;
        Variant searchField;
        const char* expected;
    };
    const Case cases[] = {
        {"0 is the first field", Variant(std::int16_t{0}), "Code"},
        {"\"0\" too", Variant("0"), "Code"},
        {"1.5 rounds to the even 2", Variant(1.5), "City"},
        {"2.5 rounds to the even 2", Variant(2.5), "City"},
        {"the last field", Variant(std::int16_t{5}), "Age"},
        {"the number of fields is past the end", Variant(std::int16_t{6}), "Name"},
        {"far past the end", Variant(100000), "Name"},
        {"a name in other case", Variant("born"), "born"},
        {"a name that is not there", Variant("Nowhere"), "Name"},
        {"empty is numeric and means field 0", Variant(), "Code"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        c.setListSearchField(k.searchField);
        EXPECT_EQ(c.members().searchFieldName, k.expected);
    }
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos);
}

TEST_F(DataSource, ANegativeSearchFieldNumberIsReportedAndKeepsThePreviousResolution) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Code"), Variant("Born"));
    ASSERT_EQ(resolved(), "Code/10 Born/8");
    site.clearLog();
    c.setListSearchField(Variant(std::int16_t{-1}));
    // The reopening copies the first record before the field lookup fails.
    EXPECT_EQ(site.logLines().front(), "notify ListSearchField");
    EXPECT_EQ(site.logLines().back().rfind("msgbox \"3265    /M_007 \\n\\n", 0), 0u) << site.log();
    EXPECT_EQ(resolved(), "Code/10 Born/8");
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
}

TEST_F(DataSource, MirrorModeNeedsTheSameFieldAndOnListOnlyFalse) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Code"), Variant("CODE"));
    EXPECT_EQ(resolved(), "Code/10 CODE/10");  // the same field, but OnListOnly is True
    c.setOnListOnly(kFalse);
    EXPECT_EQ(c.members().textIsBoundValue, kFalse);  // not until the next configuration
    c.ImpostaDataControl();
    EXPECT_EQ(c.members().textIsBoundValue, kTrue);
    c.setListSearchField(Variant("Name"));
    EXPECT_EQ(c.members().textIsBoundValue, kFalse);
}

TEST_F(DataSource, AMissingDatabaseFileMakesTheSourceUnavailableSilently) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Code"), Variant("Name"));
    const std::string missing = dir.file("missing.db");
    site.clearLog();
    c.setListDataBaseName(missing);
    EXPECT_EQ(site.log(), "notify ListDataBaseName");
    EXPECT_EQ(c.members().dataUnavailable, kTrue);
    EXPECT_FALSE(std::filesystem::exists(missing));  // never created in its place

    // Opening and closing the list do nothing until a configuration succeeds.
    c.ListaApri();
    EXPECT_EQ(c.DropDown(), kFalse);
    c.setListDataBaseName(database(peopleSql(), "other.db"));
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
}

TEST_F(DataSource, OtherOpeningFailuresAreReportedWithTheirNumber) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Code"), Variant("Name"));
    site.clearLog();
    c.setListRecordSource("NoSuchTable");
    ASSERT_EQ(site.logLines().size(), 2u);
    EXPECT_NE(site.logLines()[1].find("    /M_007 \\n\\n"), std::string::npos) << site.log();
    EXPECT_EQ(c.members().dataUnavailable, kFalse);  // keeps its value
}

TEST_F(DataSource, SettingsThatTakeEffectAtTheNextReopeningDoNotReopen) {
    Quorvel2000& c = configuredControl(people(), "People", Variant("Code"), Variant("Name"));
    auto before = c.ListRecordset();
    c.setOptions(4);
    c.setDefaultType(1);
    c.setDefaultCursorType(2);
    c.setListRecordsetType(2);
    EXPECT_EQ(c.ListRecordset(), before);
    EXPECT_EQ(site.log(),
              "notify Options|notify DefaultType|notify DefaultCursorType|notify ListRecordsetType");
    EXPECT_EQ(c.Options(), 4);
    EXPECT_EQ(c.ListRecordsetType(), 2);
}

TEST_F(DataSource, ListRefreshKeepsTheBoundValueAndLooksItUpAgain) {
    // An open list holds a read transaction; in WAL mode another connection
    // can still write meanwhile.
    const std::string path = database("PRAGMA journal_mode=WAL;" + peopleSql());
    Quorvel2000& c = configuredControl(path, "People", Variant("Code"), Variant("Name"));
    c.setBoundText("B07");
    ASSERT_EQ(c.Text(), "Bianchi");
    execSql(path, "DELETE FROM People WHERE Code = 'B07';");
    site.clearLog();
    c.ListRefresh();
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "");  // its record is gone: the lookup finds nothing
    EXPECT_EQ(c.ListRecordset()->recordCount(), 4);
}

}  // namespace
}  // namespace quorvel::testing
