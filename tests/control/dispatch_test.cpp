#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>

#include "control/dispatch.h"
#include "platform/failure.h"
#include "support/control_fixture.h"
#include "support/failure_of.h"

namespace quorvel::testing {
namespace {

using quorvel::testing::failureOf;

class Dispatch : public ControlTest {
protected:
    // A configured control on a placed host, and the late-bound path to it;
    // every member reached through `run` is remembered.
    void SetUp() override {
        db = database(peopleSql());
        configuredControl(db, "People", Variant("Code"), Variant("Name"));
        site.place(0, 0, 2655, 285);
        site.clearLog();
        late = std::make_unique<ControlDispatch>(*control, site);
    }

    Variant run(std::string_view name, InvokeKind kind, std::vector<Variant> args = {}) {
        touched.insert(std::string(name));
        lastArguments = std::move(args);
        return late->invoke(ControlDispatch::idOfName(name), kind, lastArguments);
    }
    Variant get(std::string_view name) { return run(name, InvokeKind::PropertyGet); }
    void let(std::string_view name, Variant v) { run(name, InvokeKind::PropertyLet, {std::move(v)}); }
    void set(std::string_view name, Variant v) { run(name, InvokeKind::PropertySet, {std::move(v)}); }
    Variant call(std::string_view name, std::vector<Variant> args = {}) {
        return run(name, InvokeKind::Method, std::move(args));
    }

    std::string db;
    std::unique_ptr<ControlDispatch> late;
    std::set<std::string> touched;
    std::vector<Variant> lastArguments;
};

TEST_F(Dispatch, EveryMemberAnswersThroughTheLateBoundPath) {
    Quorvel2000& c = *control;

    // Properties that take a value: the late-bound let lands on the typed
    // property (and its notification), the late-bound get reads it back.
    struct LetCase {
        const char* name;
        Variant value;
        Variant expected;
        std::function<bool()> typedSide;
    };
    const LetCase lets[] = {
        {"BackColor", Variant::longValue(0xFF), Variant::longValue(0xFF),
         [&] { return c.BackColor() == 0xFF; }},
        {"ForeColor", Variant::integer(0x80), Variant::longValue(0x80),
         [&] { return c.ForeColor() == 0x80; }},
        {"ColsCaption", Variant("Codice;Nome"), Variant("Codice;Nome"),
         [&] { return c.ColsCaption() == "Codice;Nome"; }},
        {"ColsField", Variant("Code;Name"), Variant("Code;Name"),
         [&] { return c.ColsField() == "Code;Name"; }},
        {"ColsFormat", Variant(";"), Variant(";"), [&] { return c.ColsFormat() == ";"; }},
        {"ColsSize", Variant::longValue(900), Variant("900"), [&] { return c.ColsSize() == "900"; }},
        {"Locked", Variant::integer(1), Variant::booleanValue(kTrue), [&] { return c.Locked() == kTrue; }},
        {"MarqueeStyle", Variant::integer(2), Variant::longValue(2), [&] { return c.MarqueeStyle() == 2; }},
        {"Text", Variant("Ro"), Variant("Ro"), [&] { return c.text2().text() == "Ro"; }},
        {"SelStart", Variant::integer(1), Variant::longValue(1), [&] { return c.SelStart() == 1; }},
        {"SelLength", Variant(1.0), Variant::longValue(1), [&] { return c.SelLength() == 1; }},
        // The inserted text is no longer selected.
        {"SelText", Variant("ss"), Variant(""), [&] { return c.Text() == "Rss"; }},
        {"BoundField", Variant("Code"), Variant("Code"),
         [&] { return c.members().boundFieldName == "Code"; }},
        {"ListSearchField", Variant::integer(1), Variant::integer(1),
         [&] { return c.members().searchFieldName == "Name"; }},
        {"Enabled", Variant::boolean(true), Variant::booleanValue(kTrue),
         [&] { return c.Enabled() == kTrue; }},
        {"CurrentX", Variant::longValue(12), Variant(12.0f), [&] { return c.CurrentX() == 12.0f; }},
        {"CurrentY", Variant("7.25"), Variant(7.25f), [&] { return c.CurrentY() == 7.25f; }},
        {"AutoRedraw", Variant("True"), Variant::booleanValue(kTrue),
         [&] { return c.AutoRedraw() == kTrue; }},
        {"DefColWidth", Variant(1200.0f), Variant(1200.0f), [&] { return c.DefColWidth() == 1200.0f; }},
        {"MaxLength", Variant::integer(20), Variant::longValue(20), [&] { return c.MaxLength() == 20; }},
        {"MousePointer", Variant::longValue(11), Variant::integer(11),
         [&] { return c.MousePointer() == 11; }},
        {"ScrollBars", Variant::integer(2), Variant::longValue(2), [&] { return c.ScrollBars() == 2; }},
        {"DropDownAuto", Variant::boolean(false), Variant::booleanValue(kFalse),
         [&] { return c.DropDownAuto() == kFalse; }},
        {"OnListOnly", Variant::integer(0), Variant::booleanValue(kFalse),
         [&] { return c.OnListOnly() == kFalse; }},
        {"ListHeight", Variant("3000"), Variant::longValue(3000), [&] { return c.ListHeight() == 3000; }},
        {"ListDataBaseName", Variant(db), Variant(db), [&] { return c.data1().databaseName() == db; }},
        {"ListRecordSource", Variant("People"), Variant("People"),
         [&] { return c.data1().recordSource() == "People"; }},
        {"Connect", Variant("Access 2000;"), Variant("Access 2000;"),
         [&] { return c.data1().connect() == "Access 2000;"; }},
        {"DefaultCursorType", Variant::longValue(1), Variant::integer(1),
         [&] { return c.data1().defaultCursorType() == 1; }},
        {"DefaultType", Variant::integer(1), Variant::integer(1),
         [&] { return c.data1().defaultType() == 1; }},
        {"Options", Variant::integer(64), Variant::integer(64), [&] { return c.data1().options() == 64; }},
        {"ListRecordsetType", Variant::integer(2), Variant::integer(2),
         [&] { return c.data1().recordsetType() == 2; }},
        {"ColsAlignment", Variant("0;1"), Variant("0;1"), [&] { return c.ColsAlignment() == "0;1"; }},
        {"ListForeColor", Variant::longValue(0x800000), Variant::longValue(0x800000),
         [&] { return c.ListForeColor() == 0x800000; }},
        {"FastMode", Variant::boolean(true), Variant::booleanValue(kTrue),
         [&] { return c.FastMode() == kTrue; }},
        {"ListBackColor", Variant::longValue(0xC0C0C0), Variant::longValue(0xC0C0C0),
         [&] { return c.ListBackColor() == 0xC0C0C0; }},
        {"BringToFront", Variant::boolean(false), Variant::booleanValue(kFalse),
         [&] { return c.BringToFront() == kFalse; }},
        {"About", Variant::null(), Variant::null(), [&] { return c.About().isNull(); }},
        {"SearchDisable", Variant::boolean(true), Variant::booleanValue(kTrue),
         [&] { return c.SearchDisable() == kTrue; }},
        {"KeyboardConventions", Variant::longValue(1), Variant::integer(1),
         [&] { return c.KeyboardConventions() == kComboBoxKeys; }},
        {"BoundText", Variant("B07"), Variant("B07"), [&] { return c.text1().text() == "B07"; }},
        {"DropDown", Variant::boolean(true), Variant::booleanValue(kTrue),
         [&] { return c.members().listOpen == kTrue; }},
    };
    for (const LetCase& k : lets) {
        SCOPED_TRACE(k.name);
        site.clearLog();
        let(k.name, k.value);
        EXPECT_TRUE(k.typedSide());
        EXPECT_EQ(get(k.name), k.expected);
        // The typed property ran: its notification went out.
        EXPECT_NE(site.log().find(std::string("notify ") + k.name), std::string::npos) << site.log();
    }

    // Object properties are assigned with set.
    auto font = Font::make({"Edit", 12.0f});
    auto body = Font::make({"Body", 9.0f});
    auto head = Font::make({"Head", 10.0f});
    auto icon = std::make_shared<Picture>("ico", std::vector<std::uint8_t>{0, 0, 1, 0});
    set("Font", Variant(font));
    set("ListBodyFont", Variant(body));
    set("ListHeadFont", Variant(head));
    set("MouseIcon", Variant(icon));
    EXPECT_EQ(c.Font(), font);
    EXPECT_EQ(get("Font"), Variant(ObjectRef(font)));
    EXPECT_EQ(get("ListBodyFont").objectAs<Font>(), body);
    EXPECT_EQ(get("ListHeadFont").objectAs<Font>(), head);
    EXPECT_EQ(get("MouseIcon").objectAs<Picture>(), icon);
    const auto recordset = c.ListRecordset();
    ASSERT_NE(recordset, nullptr);
    EXPECT_EQ(get("ListRecordset").objectAs<Recordset>(), recordset);
    set("ListRecordset", Variant(ObjectRef()));  // none: the data control reopens from its settings
    EXPECT_NE(c.ListRecordset(), nullptr);
    EXPECT_EQ(c.members().dataUnavailable, kFalse);

    // Read-only properties.
    EXPECT_EQ(get("BorderStyle"), Variant(c.BorderStyle()));
    EXPECT_EQ(get("Alignment"), Variant(c.Alignment()));
    EXPECT_EQ(get("Appearance"), Variant(c.Appearance()));
    EXPECT_EQ(get("hwnd"), Variant::longValue(c.hwnd()));
    EXPECT_EQ(get("Columns"), Variant(c.Columns()));
    EXPECT_EQ(run("Columns", InvokeKind::PropertyGet, {Variant::integer(0)}),
              Variant(c.Columns(Variant::integer(0))));

    // The value helpers take their argument by reference and leave it.
    EXPECT_TRUE(call("UnNull", {Variant::null()}).isEmpty());
    EXPECT_TRUE(lastArguments[0].isNull());
    EXPECT_EQ(call("UnNull2", {Variant("  ab ")}), Variant("ab"));
    EXPECT_EQ(call("UnNullxSQL", {Variant("a\"b")}), Variant("a'b"));
    EXPECT_EQ(call("Val2", {Variant::null()}), Variant::integer(0));
    EXPECT_EQ(call("ValxSQL", {Variant::null()}), Variant("0"));
    // A get of a method calls it, as hosts do for `x = c.Val2(v)`.
    EXPECT_EQ(run("ValxSQL", InvokeKind::PropertyGet, {Variant::integer(7)}), Variant("7"));

    // Methods without arguments.
    c.setFastMode(kFalse);
    c.setSearchDisable(kFalse);
    call("ListaChiudi");
    EXPECT_EQ(c.DropDown(), kFalse);
    site.clearLog();
    call("ListaApri");
    EXPECT_EQ(c.DropDown(), kTrue);
    EXPECT_TRUE(site.log().starts_with("notify DropDown|event Drop")) << site.log();
    call("ListaChiudi");
    EXPECT_EQ(c.DropDown(), kFalse);
    c.setColsField("Code;Name");
    call("AssettaGridDefault");
    call("AssettaGrid");
    EXPECT_EQ(c.dbGrid1().columns()->count(), 2);
    const int repaints = site.refreshCount();
    EXPECT_TRUE(call("Refresh").isEmpty());
    EXPECT_EQ(site.refreshCount(), repaints + 1);
    c.setBoundText("V33");
    call("ListRefresh");
    EXPECT_EQ(c.BoundText(), "V33");
    c.setListDataBaseName(dir.file("missing.db"));
    c.setListDataBaseName(db);
    EXPECT_EQ(c.members().dataUnavailable, kFalse);
    c.data1().setDatabaseName(dir.file("missing.db"));
    call("ImpostaDataControl");
    EXPECT_EQ(c.members().dataUnavailable, kTrue);

    std::set<std::string> all;
    for (const auto& m : idl::members()) all.insert(std::string(m.name));
    EXPECT_EQ(touched, all);
}

TEST_F(Dispatch, NoMemberNamedReachesText) {
    EXPECT_EQ(ControlDispatch::idOfName(""), 0);
    Variant value("Rossi");
    late->invoke(idl::kDispidText, InvokeKind::PropertyLet, std::span<Variant>(&value, 1));
    EXPECT_EQ(control->Text(), "Rossi");
    EXPECT_EQ(late->invoke(std::string_view(), InvokeKind::PropertyGet), Variant("Rossi"));
    EXPECT_EQ(late->get(""), Variant("Rossi"));
    // Names are found without regard to case.
    EXPECT_EQ(ControlDispatch::idOfName("lISThEIGHT"), 0x6803006E);
    EXPECT_EQ(late->get("LISTHEIGHT"), Variant::longValue(control->ListHeight()));
}

TEST_F(Dispatch, TheInterfaceRefusesWhatAMemberDoesNotTake) {
    Quorvel2000& c = *control;
    struct Case {
        const char* what;
        std::function<void()> call;
        int number;
    };
    const Case cases[] = {
        {"an unknown name", [&] { late->get("ListWidth"); }, 438},
        {"an unknown identifier", [&] { late->invoke(0x12345, InvokeKind::PropertyGet); }, 438},
        {"assigning BorderStyle", [&] { late->let("BorderStyle", Variant::integer(0)); }, 383},
        {"assigning Alignment", [&] { late->let("Alignment", Variant::integer(1)); }, 383},
        {"assigning Appearance", [&] { late->let("Appearance", Variant::integer(0)); }, 383},
        {"assigning hwnd", [&] { late->let("hwnd", Variant::longValue(1)); }, 383},
        {"assigning Columns", [&] { late->set("Columns", Variant(c.Columns())); }, 383},
        {"a let of an object property", [&] { late->let("Font", Variant(Font::make())); }, 438},
        {"a set of a value property", [&] { late->set("About", Variant(Font::make())); }, 438},
        {"assigning a method", [&] { late->let("ListaApri", Variant::integer(1)); }, 438},
        {"a value helper without its argument", [&] { late->call("UnNull"); }, 450},
        {"a method given an argument",
         [&] {
             std::array<Variant, 1> a{Variant::integer(1)};
             late->call("Refresh", a);
         },
         450},
        {"an index for a property without one",
         [&] {
             std::array<Variant, 1> a{Variant::integer(1)};
             late->get("Text", a);
         },
         450},
        {"two values for one let",
         [&] {
             std::array<Variant, 2> a{Variant("a"), Variant("b")};
             late->invoke("Text", InvokeKind::PropertyLet, a);
         },
         450},
        {"text where a number goes", [&] { late->let("ListHeight", Variant("tall")); }, 13},
        {"a number where an object goes", [&] { late->set("Font", Variant::integer(1)); }, 13},
        {"a picture where a font goes",
         [&] {
             late->set("ListBodyFont",
                       Variant(std::make_shared<Picture>("gif", std::vector<std::uint8_t>{})));
         },
         13},
        {"Null where text goes", [&] { late->let("ColsField", Variant::null()); }, 94},
        {"a number out of range", [&] { late->let("MousePointer", Variant::longValue(70000)); }, 6},
        {"keyboard conventions not known", [&] { late->let("KeyboardConventions", Variant::integer(2)); },
         380},
    };
    const std::string before = c.Text();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        site.clearLog();
        EXPECT_EQ(failureOf(k.call), k.number);
        EXPECT_EQ(site.log(), "") << "nothing was assigned, nothing notified";
    }
    EXPECT_EQ(c.Text(), before);
    EXPECT_EQ(c.ListHeight(), 2055);
}

TEST_F(Dispatch, AFailureOfTheMemberItselfComesBackUnchanged) {
    EXPECT_EQ(failureOf([&] { late->let("MaxLength", Variant::longValue(-1)); }), 380);
    EXPECT_EQ(failureOf([&] { late->let("ListRecordsetType", Variant::integer(7)); }), 380);
    EXPECT_EQ(site.log(), "");
}

TEST_F(Dispatch, ConversionsFollowTheHostsLocale) {
    site.setLocale(Locale::italian());
    late->let("CurrentX", Variant("12,5"));
    EXPECT_EQ(control->CurrentX(), 12.5f);
    late->let("ListHeight", Variant("2.500"));  // grouping, as the locale writes it
    EXPECT_EQ(control->ListHeight(), 2500);
    late->let("ColsSize", Variant(1.5));
    EXPECT_EQ(control->ColsSize(), "1,5");
    late->let("MaxLength", Variant(2.5));  // halves go to even
    EXPECT_EQ(control->MaxLength(), 2);
}

}  // namespace
}  // namespace quorvel::testing
