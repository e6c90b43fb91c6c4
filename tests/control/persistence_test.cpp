#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/json_property_bag.h"
#include "headless/property_bag.h"
#include "platform/failure.h"
#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

using headless::FormDocument;
using headless::JsonPropertyBag;
using headless::MemoryPropertyBag;

// The keys in the order in which a control saves them.
const std::vector<std::string> kSavedKeys = {"BackColor",
                                             "ForeColor",
                                             "ListBodyFont",
                                             "ListHeadFont",
                                             "Font",
                                             "ColsCaption",
                                             "ColsField",
                                             "ColsFormat",
                                             "ColsSize",
                                             "BoundText",
                                             "Locked",
                                             "MarqueeStyle",
                                             "SelStart",
                                             "SelLength",
                                             "SelText",
                                             "Text",
                                             "BoundField",
                                             "ListSearchField",
                                             "DropDown",
                                             "DataBindings",
                                             "Enabled",
                                             "CurrentX",
                                             "CurrentY",
                                             "AutoRedraw",
                                             "DefColWidth",
                                             "MaxLength",
                                             "MouseIcon",
                                             "MousePointer",
                                             "ScrollBars",
                                             "DropDownAuto",
                                             "OnListOnly",
                                             "ListHeight",
                                             "ListDataBaseName",
                                             "ListRecordSource",
                                             "Connect",
                                             "DefaultCursorType",
                                             "DefaultType",
                                             "Options",
                                             "ListRecordsetType",
                                             "ColsAlignment",
                                             "ListForeColor",
                                             "FastMode",
                                             "ListBackColor",
                                             "BringToFront",
                                             "SearchDisable"};

std::shared_ptr<Picture> somePicture() {
    return std::make_shared<Picture>("gif", std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1, 2});
}

class Persistence : public ControlTest {
protected:
    // A second host, for a control loaded from what the first one saved.
    headless::HeadlessSite otherSite;
};

TEST_F(Persistence, AnEmptyBagLoadsTheDefaultsInTheLoadingOrder) {
    site.setAmbientFontDescription({"Arial", 11.0f});
    Quorvel2000& c = bareControl();
    site.clearLog();
    MemoryPropertyBag bag;
    c.ReadProperties(bag);

    // Text1 takes "Text1" from BoundText (no lookup: loading set the skip
    // flag), then "" from DataBindings (a full run, with no data source yet).
    EXPECT_EQ(site.log(),
              "notify ListBodyFont|notify ListHeadFont|notify Font|"
              "event Change|notify BoundText|"  // BoundText into Text1
              "event Change|"                   // Text into Text2
              "event Change|notify BoundText|"  // DataBindings into Text1
              "notify MouseIcon|notify ListRecordset");
    EXPECT_EQ(c.BoundText(), "");
    EXPECT_EQ(c.Text(), "Text2");
    EXPECT_EQ(c.ListHeight(), 2055);
    EXPECT_EQ(c.Connect(), "Access");
    EXPECT_EQ(c.DropDownAuto(), kTrue);
    EXPECT_EQ(c.OnListOnly(), kTrue);
    EXPECT_EQ(c.BringToFront(), kTrue);
    EXPECT_EQ(c.FastMode(), kFalse);
    EXPECT_EQ(c.SearchDisable(), kFalse);
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(c.BoundField(), Variant::integer(0));
    EXPECT_EQ(c.ListSearchField(), Variant::integer(0));
    EXPECT_EQ(c.BackColor(), kSystemWindowBackground);
    EXPECT_EQ(c.ForeColor(), kSystemWindowText);
    EXPECT_EQ(c.ListBackColor(), kSystemWindowBackground);
    EXPECT_EQ(c.ListForeColor(), kSystemWindowText);
    EXPECT_EQ(c.MarqueeStyle(), 4);
    EXPECT_EQ(c.ScrollBars(), 3);
    EXPECT_EQ(c.DefaultType(), 2);
    EXPECT_EQ(c.ListRecordsetType(), 1);
    EXPECT_EQ(c.Enabled(), kTrue);
    EXPECT_EQ(c.MouseIcon(), nullptr);
    // Each font is the ambient font fetched afresh: three objects.
    EXPECT_EQ(c.ListBodyFont()->name(), "Arial");
    EXPECT_EQ(c.Font()->size(), 11.0f);
    EXPECT_NE(c.ListBodyFont(), c.ListHeadFont());
    EXPECT_NE(c.ListHeadFont(), c.Font());
    // No database is named: the configuration fails silently.
    EXPECT_EQ(c.members().dataUnavailable, kTrue);
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
}

TEST_F(Persistence, SavingWritesTheKeysInTheirOrderAndChangesNothing) {
    const std::string db = database(peopleSql());
    Quorvel2000& c = configuredControl(db, "People", Variant("Code"), Variant("Name"));
    site.place(0, 0, 2655, 285);
    // Every value away from its default. Fast mode and no search first, so
    // that the reconfigurations below leave the boxes as written.
    c.setFastMode(kTrue);
    c.setSearchDisable(kTrue);
    c.setBackColor(0x00E0FFFF);
    c.setForeColor(0x00800000);
    c.setListBodyFont(Font::make({"Body", 9.0f}));
    c.setListHeadFont(Font::make({"Head", 10.0f}));
    c.setFont(Font::make({"Edit", 12.0f}));
    c.setColsCaption("Codice;Nome");
    c.setColsField("Code;Name");
    c.setColsFormat(";");
    c.setColsSize("900;1500");
    c.setLocked(kTrue);
    c.setMarqueeStyle(2);
    c.setText("Bianchi");
    c.setSelStart(1);
    c.setSelLength(3);
    c.text1().setText("B07");
    c.setListSearchField(Variant::integer(1));
    c.setEnabled(kFalse);
    c.setCurrentX(12.5f);
    c.setCurrentY(7.25f);
    c.setAutoRedraw(kTrue);
    c.setDefColWidth(1200.0f);
    c.setMaxLength(20);
    c.setMouseIcon(somePicture());
    c.setMousePointer(11);
    c.setScrollBars(2);
    c.setDropDownAuto(kFalse);
    c.setOnListOnly(kFalse);
    c.setListHeight(3000);
    c.setConnect("Access 2000;");
    c.setDefaultCursorType(1);
    c.setDefaultType(1);
    c.setOptions(64);
    c.setListRecordsetType(2);
    c.setColsAlignment("0;1");
    c.setListForeColor(0x00000080);
    c.setListBackColor(0x00C0C0C0);
    c.setBringToFront(kFalse);
    c.ListaApri();
    ASSERT_EQ(c.DropDown(), kTrue) << "the list must open for DropDown to be saved";

    site.clearLog();
    const ControlMembers before = c.members();
    JsonPropertyBag bag;
    c.WriteProperties(bag);

    EXPECT_EQ(bag.names(), kSavedKeys);
    EXPECT_EQ(bag.readProperty("BoundText", Variant()), Variant("B07"));
    EXPECT_EQ(bag.readProperty("DataBindings", Variant()), Variant("B07"));
    EXPECT_EQ(bag.readProperty("SelText", Variant()), Variant("ian"));
    EXPECT_EQ(bag.readProperty("BoundField", Variant()), Variant("Code"));
    EXPECT_EQ(bag.readProperty("ListSearchField", Variant()), Variant::integer(1));
    EXPECT_EQ(bag.readProperty("DropDown", Variant()), Variant::booleanValue(kTrue));
    EXPECT_EQ(bag.readProperty("CurrentX", Variant()), Variant(12.5f));
    EXPECT_EQ(bag.readProperty("MousePointer", Variant()), Variant::integer(11));
    EXPECT_EQ(bag.readProperty("ListRecordsetType", Variant()), Variant::integer(2));
    EXPECT_EQ(bag.readProperty("BackColor", Variant()), Variant::longValue(0x00E0FFFF));
    // Saving is a pure read.
    EXPECT_EQ(site.log(), "");
    EXPECT_EQ(c.members().listOpen, before.listOpen);
    EXPECT_EQ(c.BoundText(), "B07");
    EXPECT_EQ(c.Text(), "Bianchi");
}

TEST_F(Persistence, TheBoundValueIsStoredUnderTheKeyWhoseDefaultItMisses) {
    Quorvel2000& c = newControl();
    struct Case {
        const char* what;
        std::string text;
        bool underBoundText, underDataBindings;
    };
    const Case cases[] = {
        {"the default of BoundText", "Text1", false, true},
        {"the default of DataBindings", "", true, false},
        {"neither default", "R12", true, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        c.text1().setText(k.text);
        MemoryPropertyBag bag;
        c.WriteProperties(bag);
        EXPECT_EQ(bag.contains("BoundText"), k.underBoundText);
        EXPECT_EQ(bag.contains("DataBindings"), k.underDataBindings);

        // Either way the text comes back.
        headless::HeadlessSite host;
        Quorvel2000 loaded(host);
        loaded.ReadProperties(bag);
        EXPECT_EQ(loaded.BoundText(), k.text);
    }
}

TEST_F(Persistence, VariantSettingsComeBackAsTheTypeTheyWereSavedAs) {
    struct Case {
        const char* what;
        Variant value;
    };
    const Case cases[] = {
        {"a field name", Variant("Name")},
        {"an ordinal", Variant::integer(2)},
        {"an ordinal saved as Long", Variant::longValue(2)},
        {"a number as text", Variant("2")},
        {"Null", Variant::null()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        // A host holds one control: each case has hosts of its own.
        headless::HeadlessSite savingHost, loadingHost;
        Quorvel2000 c(savingHost);
        c.InitProperties();
        c.setBoundField(k.value);
        c.setListSearchField(k.value);
        // Through a document, so that the type survives the file as well.
        FormDocument form;
        c.WriteProperties(form.addControl("Quorvel20001", "Quorvel2000").properties);
        FormDocument reread = FormDocument::parse(form.dump());

        Quorvel2000 loaded(loadingHost);
        loaded.ReadProperties(reread.findControl("Quorvel20001")->properties);
        EXPECT_EQ(loaded.BoundField(), k.value);
        EXPECT_EQ(loaded.ListSearchField(), k.value);
    }
}

TEST_F(Persistence, StoredValuesAreConvertedToTheTypeOfTheirPlace) {
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("ListRecordsetType", Variant::longValue(2), Variant());
    bag.writeProperty("ListHeight", Variant("3000"), Variant());
    bag.writeProperty("DropDownAuto", Variant::integer(0), Variant());
    bag.writeProperty("OnListOnly", Variant("False"), Variant());
    bag.writeProperty("Locked", Variant::integer(1), Variant());
    bag.writeProperty("ColsSize", Variant::longValue(900), Variant());
    bag.writeProperty("MousePointer", Variant(11.0), Variant());
    bag.writeProperty("BackColor", Variant::integer(255), Variant());
    bag.writeProperty("About", Variant("never read"), Variant());
    site.clearLog();
    c.ReadProperties(bag);

    EXPECT_EQ(c.data1().recordsetType(), 2);
    EXPECT_EQ(c.ListRecordsetType(), 2);
    EXPECT_EQ(c.ListHeight(), 3000);
    EXPECT_EQ(c.DropDownAuto(), kFalse);
    EXPECT_EQ(c.OnListOnly(), kFalse);
    EXPECT_EQ(c.Locked(), kTrue);
    EXPECT_EQ(c.ColsSize(), "900");
    EXPECT_EQ(c.MousePointer(), 11);
    EXPECT_EQ(c.BackColor(), 255);
    EXPECT_TRUE(c.About().isEmpty());
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos);
}

TEST_F(Persistence, AMissingDatabaseFileLeavesTheListUnavailableWithoutAMessage) {
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("ListDataBaseName", Variant(dir.file("missing.db")), Variant(""));
    bag.writeProperty("ListRecordSource", Variant("People"), Variant(""));
    bag.writeProperty("SearchDisable", Variant::boolean(true), Variant::boolean(false));
    c.ReadProperties(bag);

    EXPECT_EQ(site.log().find("msgbox"), std::string::npos) << site.log();
    EXPECT_EQ(c.members().dataUnavailable, kTrue);
    // The keys after the recordset were still loaded: the failure stayed
    // inside the configuration.
    EXPECT_EQ(c.SearchDisable(), kTrue);
    EXPECT_EQ(c.ListDataBaseName(), dir.file("missing.db"));

    site.clearLog();
    c.ListaApri();
    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(site.log(), "");
}

TEST_F(Persistence, ASavedOpenListIsReadButTheListStaysClosedAndLaysOut) {
    const std::string db = database(peopleSql());
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("DropDown", Variant::boolean(true), Variant::boolean(false));
    bag.writeProperty("ListDataBaseName", Variant(db), Variant(""));
    bag.writeProperty("ListRecordSource", Variant("People"), Variant(""));
    c.ReadProperties(bag);
    site.place(600, 600, 2655, 285);

    EXPECT_EQ(c.DropDown(), kFalse);
    EXPECT_EQ(c.members().closedHeight, 285) << "the layout ran";
    site.clearLog();
    c.setDropDown(kTrue);
    EXPECT_EQ(c.DropDown(), kTrue);
    EXPECT_NE(site.log().find("event Drop"), std::string::npos) << site.log();
    c.setDropDown(kFalse);
    // Closing puts the control back where the host placed it, not at 0,0.
    EXPECT_EQ(site.extender().left(), 600);
    EXPECT_EQ(site.extender().top(), 600);
    EXPECT_EQ(site.surface().width(), 2655);
    EXPECT_EQ(site.surface().height(), 285);
}

// A form reopened: the stored value comes back with its record's search
// text, not the first record's key, and the host is never told otherwise.
TEST_F(Persistence, LoadingKeepsTheStoredBoundValueAndShowsItsRecord) {
    const std::string db = database(peopleSql());
    struct Case {
        const char* stored;
        const char* text;  // the edit box after loading
    };
    for (const Case& k : {Case{"V33", "Verdi"}, Case{"Z99", ""}}) {
        SCOPED_TRACE(k.stored);
        headless::HeadlessSite host;
        std::vector<std::string> changes;
        Quorvel2000 c(host);
        host.setEventHandler("Change", [&](headless::EventCall&) { changes.push_back(c.BoundText()); });
        MemoryPropertyBag bag;
        bag.writeProperty("BoundText", Variant(k.stored), Variant("Text1"));
        bag.writeProperty("DataBindings", Variant(k.stored), Variant(""));
        bag.writeProperty("Text", Variant("Verdi"), Variant("Text2"));
        bag.writeProperty("BoundField", Variant("Code"), Variant::integer(0));
        bag.writeProperty("ListSearchField", Variant("Name"), Variant::integer(0));
        bag.writeProperty("ListDataBaseName", Variant(db), Variant(""));
        bag.writeProperty("ListRecordSource", Variant("People"), Variant(""));
        c.ReadProperties(bag);

        EXPECT_EQ(c.BoundText(), k.stored);
        EXPECT_EQ(c.Text(), k.text);
        for (const std::string& v : changes) EXPECT_NE(v, "R12") << "the first record's key reached the host";
        EXPECT_EQ(host.log().find("msgbox"), std::string::npos) << host.log();
    }
}

TEST_F(Persistence, GridSettingsStoredAsTextConvertAsAnAssignmentDoes) {
    const std::string db = database(peopleSql());
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("ScrollBars", Variant("2"), Variant());
    bag.writeProperty("MarqueeStyle", Variant("3"), Variant());
    bag.writeProperty("DefColWidth", Variant("1200"), Variant());
    bag.writeProperty("ListForeColor", Variant("255"), Variant());
    bag.writeProperty("ListDataBaseName", Variant(db), Variant());
    bag.writeProperty("ListRecordSource", Variant("People"), Variant());
    c.ReadProperties(bag);
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos) << site.log();
    EXPECT_EQ(c.ScrollBars(), 2);
    EXPECT_EQ(c.MarqueeStyle(), 3);
    EXPECT_EQ(c.DefColWidth(), 1200.0f);
    EXPECT_EQ(c.ListForeColor(), 255);
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
    EXPECT_NE(c.data1().recordset(), nullptr) << "the data source was configured";

    // A value the grid refuses still stops loading.
    Quorvel2000 other(otherSite);
    MemoryPropertyBag refused;
    refused.writeProperty("ScrollBars", Variant("vertical"), Variant());
    other.ReadProperties(refused);
    EXPECT_EQ(otherSite.logLines().back(), "msgbox \"13    /M_005 \\n\\nType mismatch\"");
}

// The order of loading matters to what the loaded control does.
TEST_F(Persistence, LoadingOrderDecidesSilenceAndMirrorMode) {
    const std::string db = database(peopleSql());
    // A Change handler failing with 91 while the stored Text is written:
    // loading stops silently and the data source counts as unavailable.
    {
        Quorvel2000& c = bareControl();
        site.setEventHandler("Change", [](headless::EventCall&) { fail(failure::kObjectNotSet); });
        MemoryPropertyBag bag;
        bag.writeProperty("ListDataBaseName", Variant(db), Variant());
        c.ReadProperties(bag);
        EXPECT_EQ(site.log().find("msgbox"), std::string::npos) << site.log();
        EXPECT_EQ(c.members().dataUnavailable, kTrue);
        site.clearEventHandler("Change");
    }
    // The default OnListOnly (True, not stored) is in place before the
    // configuration: with one field for the value and the search, typing
    // searches and leaves the value alone.
    Quorvel2000 c(otherSite);
    MemoryPropertyBag bag;
    bag.writeProperty("BoundField", Variant("Name"), Variant::integer(0));
    bag.writeProperty("ListSearchField", Variant("Name"), Variant::integer(0));
    bag.writeProperty("ListDataBaseName", Variant(db), Variant());
    bag.writeProperty("ListRecordSource", Variant("People"), Variant());
    c.ReadProperties(bag);
    const std::string before = c.BoundText();
    otherSite.focusIn("Text2");
    otherSite.type("Ro");
    EXPECT_EQ(c.BoundText(), before);
    EXPECT_EQ(c.members().textIsBoundValue, kFalse);
}

TEST_F(Persistence, AFailureWhileLoadingIsReportedAndTheRestIsLeftAsCreated) {
    const std::string db = database(peopleSql());
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("DropDownAuto", Variant::boolean(false), Variant());
    bag.writeProperty("ListHeight", Variant("tall"), Variant());
    bag.writeProperty("ListDataBaseName", Variant(db), Variant());
    bag.writeProperty("ListRecordSource", Variant("People"), Variant());
    site.clearLog();
    c.ReadProperties(bag);

    const auto& log = site.logLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "msgbox \"13    /M_005 \\n\\nType mismatch\"");
    EXPECT_EQ(c.DropDownAuto(), kFalse);  // before the failing key
    EXPECT_EQ(c.members().listHeight, 0);
    EXPECT_EQ(c.ListDataBaseName(), "");  // after it
    EXPECT_EQ(c.Connect(), "Access 2000;");
    // The end of loading still ran; the configuration did not.
    EXPECT_EQ(c.members().skipBoundChange, kFalse);
    EXPECT_EQ(c.members().skipNextKeyUp, kFalse);
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
    EXPECT_EQ(c.data1().recordset(), nullptr);
}

TEST_F(Persistence, AStoredSelectionIsInsertedBeforeTheTextReplacesIt) {
    // Sel* load before Text: the stored SelText lands in the edit box (and
    // raises Change), then the stored Text replaces the whole text.
    Quorvel2000& c = bareControl();
    MemoryPropertyBag bag;
    bag.writeProperty("SelText", Variant("ian"), Variant(""));
    bag.writeProperty("Text", Variant("Bianchi"), Variant("Text2"));
    c.ReadProperties(bag);
    EXPECT_EQ(c.Text(), "Bianchi");
    EXPECT_EQ(c.SelLength(), 0);
}

// Every key away from its default except the selection, which loading
// cannot give back (the text is written after it). FastMode keeps the
// reopened list from overwriting the stored value and text.
constexpr const char* kCustomised = R"({
  "BackColor": {"Colour": "#FFFFE0"},
  "ForeColor": {"Colour": "#000080"},
  "ListBodyFont": {"Font": {"name": "Body", "size": 9, "weight": 700, "charset": 0,
                            "italic": false, "underline": false, "strikethrough": false}},
  "ListHeadFont": {"Font": {"name": "Head", "size": 10.5, "weight": 400, "charset": 0,
                            "italic": true, "underline": false, "strikethrough": false}},
  "Font": {"Font": {"name": "Edit", "size": 12, "weight": 400, "charset": 0,
                    "italic": false, "underline": true, "strikethrough": false}},
  "ColsCaption": "Codice;Nome",
  "ColsField": "Code;Name",
  "ColsFormat": ";",
  "ColsSize": "900;1500",
  "BoundText": "B07",
  "Locked": true,
  "MarqueeStyle": 2,
  "Text": "Bianchi",
  "BoundField": "Code",
  "ListSearchField": {"Integer": 1},
  "DataBindings": "B07",
  "Enabled": false,
  "CurrentX": {"Single": 12.5},
  "CurrentY": {"Single": 0.1},
  "AutoRedraw": true,
  "DefColWidth": {"Single": 1200},
  "MaxLength": 20,
  "MouseIcon": {"Picture": {"format": "gif", "data": "R0lGODlhAQI="}},
  "MousePointer": {"Integer": 11},
  "ScrollBars": 2,
  "DropDownAuto": false,
  "OnListOnly": false,
  "ListHeight": 3000,
  "ListDataBaseName": "@DB@",
  "ListRecordSource": "People",
  "Connect": "Access 2000;",
  "DefaultCursorType": {"Integer": 1},
  "DefaultType": {"Integer": 1},
  "Options": {"Integer": 64},
  "ListRecordsetType": {"Integer": 2},
  "ColsAlignment": "0;1",
  "ListForeColor": {"Colour": "#800000"},
  "FastMode": true,
  "ListBackColor": {"Colour": "system:15"},
  "BringToFront": false,
  "SearchDisable": true
})";

TEST_F(Persistence, AFullyCustomisedControlSurvivesSaveAndLoadWhole) {
    const std::string db = database(peopleSql());
    std::string text = kCustomised;
    text.replace(text.find("@DB@"), 4, db);
    const JsonPropertyBag stored = JsonPropertyBag::parse(text, "customised");

    Quorvel2000& first = bareControl();
    JsonPropertyBag input = stored;
    first.ReadProperties(input);
    EXPECT_EQ(site.log().find("msgbox"), std::string::npos) << site.log();
    EXPECT_EQ(first.members().dataUnavailable, kFalse);
    EXPECT_EQ(first.members().boundFieldName, "Code");
    EXPECT_EQ(first.members().searchFieldName, "Name");
    EXPECT_EQ(first.BoundText(), "B07");
    EXPECT_EQ(first.Text(), "Bianchi");

    JsonPropertyBag saved;
    first.WriteProperties(saved);
    // Nothing lost and nothing added on the way in and out.
    EXPECT_EQ(saved.dump(), stored.dump());

    FormDocument form;
    FormDocument::Part& part = form.addControl("Quorvel20001", "Quorvel2000");
    part.properties = saved;
    FormDocument reread = FormDocument::parse(form.dump(), "form");
    Quorvel2000 second(otherSite);
    second.ReadProperties(reread.findControl("Quorvel20001")->properties);
    JsonPropertyBag savedAgain;
    second.WriteProperties(savedAgain);
    EXPECT_EQ(savedAgain.dump(), saved.dump());
}

}  // namespace
}  // namespace quorvel::testing
