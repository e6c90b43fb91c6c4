#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <limits>

#include "headless/json_property_bag.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "support/temp_dir.h"

namespace quorvel::headless {
namespace {

std::string failureText(const std::function<void()>& f, int* number = nullptr) {
    try {
        f();
    } catch (const Failure& e) {
        if (number) *number = e.number();
        return e.description();
    }
    return "(no failure)";
}

TEST(JsonPropertyBag, EveryTypeOfValueComesBackAsItWent) {
    auto font = Font::make({"DejaVu Sans", 9.75f, 700, 161, true, false, true});
    auto picture = std::make_shared<Picture>("gif", std::vector<std::uint8_t>{0, 1, 2, 254, 255});
    struct Case {
        const char* what;
        Variant value;
    };
    const Case cases[] = {
        {"text", Variant("Città;\"quoted\"")},
        {"empty text", Variant("")},
        {"Integer", Variant::integer(-32768)},
        {"Long", Variant::longValue(2147483647)},
        {"Single", Variant(0.1f)},
        {"Single, whole", Variant(1200.0f)},
        {"Double", Variant(1.0 / 3.0)},
        {"Double, whole", Variant(2.0)},
        {"Boolean True", Variant::boolean(true)},
        {"Boolean False", Variant::boolean(false)},
        {"Boolean of another value", Variant::booleanValue(1)},
        {"Date", Variant::date(dateSerial(1990, 1, 31))},
        {"Date and time", Variant::date(dateSerial(2024, 2, 29, 23, 59, 58))},
        {"Date with a fraction of a second", Variant::date(32874.123456789)},
        {"Empty", Variant()},
        {"Null", Variant::null()},
        {"no object", Variant(ObjectRef())},
    };
    JsonPropertyBag bag;
    for (const Case& k : cases) bag.writeProperty(k.what, k.value, Variant("default"));
    bag.writeProperty("font", Variant(font), Variant());
    bag.writeProperty("picture", Variant(picture), Variant());
    bag.writeProperty("colour", Variant::longValue(0x00E0FFFF), Variant::longValue(kSystemWindowBackground));
    bag.writeProperty("system colour", Variant::longValue(systemColor(15)),
                      Variant::longValue(kSystemWindowText));

    JsonPropertyBag back = JsonPropertyBag::parse(bag.dump());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(back.readProperty(k.what, Variant("absent")), k.value);
    }
    auto font2 = back.readProperty("font", Variant()).objectAs<Font>();
    ASSERT_NE(font2, nullptr);
    EXPECT_EQ(font2->description(), font->description());
    auto picture2 = back.readProperty("picture", Variant()).objectAs<Picture>();
    ASSERT_NE(picture2, nullptr);
    EXPECT_EQ(picture2->format(), "gif");
    EXPECT_EQ(picture2->bytes(), picture->bytes());
    EXPECT_EQ(back.readProperty("colour", Variant()), Variant::longValue(0x00E0FFFF));
    EXPECT_EQ(back.readProperty("system colour", Variant()), Variant::longValue(systemColor(15)));
    // Saved again, the document is the same.
    EXPECT_EQ(back.dump(), bag.dump());

    const std::string text = bag.dump(-1);
    EXPECT_NE(text.find(R"("colour":{"Colour":"#FFFFE0"})"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("system colour":{"Colour":"system:15"})"), std::string::npos);
    EXPECT_NE(text.find(R"("Single":{"Single":0.1})"), std::string::npos);
    EXPECT_NE(text.find(R"("Date":{"Date":"1990-01-31T00:00:00"})"), std::string::npos);
    EXPECT_NE(text.find(R"("Long":2147483647)"), std::string::npos);
}

TEST(JsonPropertyBag, DefaultsAreNotStoredAndNamesKeepTheirOrder) {
    JsonPropertyBag bag;
    bag.writeProperty("b", Variant::longValue(1), Variant::longValue(0));
    bag.writeProperty("a", Variant("x"), Variant(""));
    bag.writeProperty("c", Variant::longValue(0), Variant::longValue(0));
    EXPECT_EQ(bag.names(), (std::vector<std::string>{"b", "a"}));
    // A default written later drops the earlier value; a new value keeps the place.
    bag.writeProperty("b", Variant::longValue(0), Variant::longValue(0));
    bag.writeProperty("a", Variant("y"), Variant(""));
    bag.writeProperty("b", Variant::longValue(2), Variant::longValue(0));
    EXPECT_EQ(bag.names(), (std::vector<std::string>{"a", "b"}));
    // Same type and value only: an Integer 0 is not the Long 0 default.
    bag.writeProperty("d", Variant::integer(0), Variant::longValue(0));
    EXPECT_TRUE(bag.contains("d"));
    // Names are exact.
    EXPECT_EQ(bag.readProperty("A", Variant("none")), Variant("none"));

    // A font or picture that looks like its default is the default: the
    // document keeps them by value.
    bag.writeProperty("font", Variant(Font::make({"Arial", 8.0f})), Variant(Font::make({"Arial", 8.0f})));
    EXPECT_FALSE(bag.contains("font"));
    bag.writeProperty("font", Variant(Font::make({"Arial", 9.0f})), Variant(Font::make({"Arial", 8.0f})));
    EXPECT_TRUE(bag.contains("font"));
}

TEST(JsonPropertyBag, AnObjectTheDocumentCannotHoldIsRefusedAndNotStored) {
    struct Opaque : Object {};
    JsonPropertyBag bag;
    int number = 0;
    const std::string why = failureText(
        [&] { bag.writeProperty("Recordset", Variant(std::make_shared<Opaque>()), Variant()); }, &number);
    EXPECT_EQ(number, 380);
    EXPECT_NE(why.find("\"Recordset\""), std::string::npos) << why;
    EXPECT_FALSE(bag.contains("Recordset"));
}

TEST(JsonPropertyBag, ValuesWrittenByHandReadAsTheirType) {
    JsonPropertyBag bag = JsonPropertyBag::parse(R"({
        "plain number": 3000, "fraction": 2.5, "yes": true, "nothing": null,
        "int": {"Integer": 7}, "bool one": {"Boolean": 1}, "bool word": {"Boolean": false},
        "rgb": {"Colour": "#FF8000"}, "number colour": {"Colour": 255},
        "day": {"Date": "2001-07-04"}, "serial": {"Date": 2.5},
        "font": {"Font": {"name": "Mono", "bold-ish": 3}},
        "empty": {"Empty": null}, "none": {"Nothing": null}
    })");
    EXPECT_EQ(bag.readProperty("plain number", Variant()), Variant::longValue(3000));
    EXPECT_EQ(bag.readProperty("fraction", Variant()), Variant(2.5));
    EXPECT_EQ(bag.readProperty("yes", Variant()), Variant::booleanValue(kTrue));
    EXPECT_TRUE(bag.readProperty("nothing", Variant()).isNull());
    EXPECT_EQ(bag.readProperty("int", Variant()), Variant::integer(7));
    EXPECT_EQ(bag.readProperty("bool one", Variant()), Variant::booleanValue(1));
    EXPECT_EQ(bag.readProperty("bool word", Variant()), Variant::booleanValue(kFalse));
    EXPECT_EQ(bag.readProperty("rgb", Variant()), Variant::longValue(0x000080FF));
    EXPECT_EQ(bag.readProperty("number colour", Variant()), Variant::longValue(255));
    EXPECT_EQ(bag.readProperty("day", Variant()), Variant::date(dateSerial(2001, 7, 4)));
    EXPECT_EQ(bag.readProperty("serial", Variant()), Variant::date(2.5));
    auto font = bag.readProperty("font", Variant()).objectAs<Font>();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->name(), "Mono");
    EXPECT_EQ(font->size(), FontDescription{}.size);
    EXPECT_TRUE(bag.readProperty("empty", Variant("x")).isEmpty());
    EXPECT_EQ(bag.readProperty("none", Variant()), Variant(ObjectRef()));
}

TEST(JsonPropertyBag, AMalformedDocumentNamesThePlaceAndLoadsNothing) {
    struct Case {
        const char* what;
        const char* text;
        const char* place;
    };
    const Case cases[] = {
        {"a missing comma", "{\n  \"a\": 1\n  \"b\": 2\n}", "bag.json: line 3, column 5"},
        {"a cut-off document", "{\"a\": ", "bag.json: line 1, column 7"},
        {"not an object", "[1, 2]", "bag.json: "},
        {"an unknown type", R"({"a": 1, "b": {"Matrix": 2}})", "key \"b\": \"Matrix\" is not a type"},
        {"a Long that is text", R"({"ListHeight": {"Long": "tall"}})",
         "key \"ListHeight\": the Long is not a whole number"},
        {"an Integer out of range", R"({"x": {"Integer": 40000}})", "key \"x\": the Integer is out of range"},
        {"a plain number out of range", R"({"x": 4294967296})", "key \"x\""},
        {"a bad colour", R"({"BackColor": {"Colour": "red"}})", "key \"BackColor\": a colour is"},
        {"a bad date", R"({"d": {"Date": "2001-02-30"}})", "key \"d\": a date is"},
        {"bad base64", R"({"p": {"Picture": {"format": "gif", "data": "@@@@"}}})",
         "key \"p\": the picture's data"},
        {"a two-member value", R"({"x": {"Integer": 1, "Long": 2}})", "key \"x\": not a value"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        int number = 0;
        JsonPropertyBag bag;
        bag.writeProperty("kept", Variant("yes"), Variant());
        const std::string why =
            failureText([&] { bag = JsonPropertyBag::parse(k.text, "bag.json"); }, &number);
        EXPECT_EQ(number, kFailureInvalidFileFormat);
        EXPECT_NE(why.find(k.place), std::string::npos) << why;
        // Nothing was taken over.
        EXPECT_EQ(bag.names(), (std::vector<std::string>{"kept"}));
    }
}

// Inputs the fuzz target of the loader found: each once crashed the host,
// left undefined behaviour behind, or gave a document that did not load.
TEST(JsonPropertyBag, ExtremeNumbersFailToLoadOrComeBackWhole) {
    struct Case {
        const char* what;
        const char* text;
        const char* place;
    };
    const Case refused[] = {
        // The JSON library throws another exception for this one.
        {"a number beyond any double", "{\"a\": 1,\n \"D\": 1e999}", "bag.json: line 2, column 7"},
        {"a Single past the largest", R"({"s": {"Single": 3.5e38}})",
         "key \"s\": the Single is out of range"},
        {"a font size past any Single", R"({"f": {"Font": {"size": 1e300}}})",
         "key \"f\": the font's size is out of range"},
        {"a day number past the dates", R"({"d": {"Date": 1e300}})", "key \"d\": the date is out of range"},
        {"a day number before the dates", R"({"d": {"Date": -700000}})",
         "key \"d\": the date is out of range"},
    };
    for (const Case& k : refused) {
        SCOPED_TRACE(k.what);
        int number = 0;
        const std::string why = failureText([&] { JsonPropertyBag::parse(k.text, "bag.json"); }, &number);
        EXPECT_EQ(number, kFailureInvalidFileFormat);
        EXPECT_NE(why.find(k.place), std::string::npos) << why;
    }

    // The largest Single is written as its shortest decimal, a little above
    // it as a double; it reads back as itself, and the save is stable.
    const float largest = std::numeric_limits<float>::max();
    JsonPropertyBag bag;
    bag.writeProperty("big", Variant(largest), Variant());
    bag.writeProperty("small", Variant(-largest), Variant());
    bag.writeProperty("first day", Variant::date(dateSerial(100, 1, 1)), Variant());
    bag.writeProperty("last moment", Variant::date(dateSerial(9999, 12, 31, 23, 59, 59)), Variant());
    JsonPropertyBag back = JsonPropertyBag::parse(bag.dump());
    EXPECT_EQ(back.readProperty("big", Variant()), Variant(largest));
    EXPECT_EQ(back.readProperty("small", Variant()), Variant(-largest));
    EXPECT_EQ(back.readProperty("first day", Variant()), Variant::date(dateSerial(100, 1, 1)));
    EXPECT_EQ(back.readProperty("last moment", Variant()),
              Variant::date(dateSerial(9999, 12, 31, 23, 59, 59)));
    EXPECT_EQ(back.dump(), bag.dump());

    // What a document cannot hold is refused when it is written, not found
    // out when the file is read again.
    const Variant unsavable[] = {Variant(std::numeric_limits<float>::infinity()), Variant::date(1e300),
                                 Variant::date(dateSerial(10000, 1, 1)),
                                 Variant::date(std::numeric_limits<double>::quiet_NaN())};
    for (const Variant& v : unsavable) {
        SCOPED_TRACE(v.debugString());
        int number = 0;
        failureText([&] { bag.writeProperty("odd", v, Variant()); }, &number);
        EXPECT_EQ(number, failure::kInvalidPropertyValue);
        EXPECT_FALSE(bag.contains("odd"));
    }
}

constexpr const char* kForm = R"({
  "format": "quorvel-form",
  "version": 1,
  "designer": {"grid": 120},
  "container": {"name": "Form1", "class": "Form", "properties": {"Caption": "Clienti"}, "layout": "free"},
  "controls": [
    {"name": "Quorvel20001", "class": "Quorvel2000", "classId": "{B40B980D-B19B-4056-81D2-C9B4DEBA0378}",
     "properties": {"ListHeight": 3000, "FutureKey": {"Integer": 5}}, "locked": true},
    {"name": "Quorvel20002", "class": "Quorvel2000", "properties": {}}
  ]
})";

TEST(FormDocument, HoldsTheContainerAndItsControlsEachWithItsBag) {
    FormDocument form = FormDocument::parse(kForm);
    EXPECT_EQ(form.container().name, "Form1");
    EXPECT_EQ(form.container().className, "Form");
    EXPECT_EQ(form.container().properties.readProperty("Caption", Variant()), Variant("Clienti"));
    ASSERT_EQ(form.controls().size(), 2u);
    FormDocument::Part* first = form.findControl("Quorvel20001");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->classId, "{B40B980D-B19B-4056-81D2-C9B4DEBA0378}");
    EXPECT_EQ(first->properties.readProperty("ListHeight", Variant()), Variant::longValue(3000));
    EXPECT_EQ(form.findControl("Quorvel20003"), nullptr);

    // A control saves into its bag; the keys nobody read stay, and so do the
    // members of the document this host does not know.
    first->properties.writeProperty("ListHeight", Variant::longValue(2500), Variant::longValue(2055));
    FormDocument::Part& added = form.addControl("Quorvel20003", "Quorvel2000");
    added.properties.writeProperty("Text", Variant("Rossi"), Variant("Text2"));
    const std::string saved = form.dump();
    FormDocument again = FormDocument::parse(saved);
    EXPECT_EQ(again.dump(), saved);
    EXPECT_EQ(again.findControl("Quorvel20001")->properties.readProperty("FutureKey", Variant()),
              Variant::integer(5));
    EXPECT_EQ(again.findControl("Quorvel20001")->properties.readProperty("ListHeight", Variant()),
              Variant::longValue(2500));
    EXPECT_EQ(again.findControl("Quorvel20003")->properties.readProperty("Text", Variant()),
              Variant("Rossi"));
    EXPECT_NE(saved.find("\"designer\""), std::string::npos);
    EXPECT_NE(saved.find("\"layout\": \"free\""), std::string::npos);
    EXPECT_NE(saved.find("\"locked\": true"), std::string::npos);

    int number = 0;
    failureText([&] { form.addControl("Quorvel20001", "Quorvel2000"); }, &number);
    EXPECT_EQ(number, 5);
}

TEST(FormDocument, RefusesWhatIsNotAFormOfThisHost) {
    struct Case {
        const char* what;
        const char* text;
        const char* place;
    };
    const Case cases[] = {
        {"another format", R"({"format": "spreadsheet"})", "\"format\""},
        {"a later version", R"({"format": "quorvel-form", "version": 2})", "\"version\""},
        {"controls not a list", R"({"controls": {}})", "\"controls\""},
        {"a control without a name", R"({"controls": [{"class": "Quorvel2000"}]})", "controls[0]"},
        {"two controls of one name", R"({"controls": [{"name": "A"}, {"name": "A"}]})", "controls[1] \"A\""},
        {"a bad value in a control", R"({"controls": [{"name": "Q1", "properties": {"x": {"Long": 1.5}}}]})",
         "controls[0] \"Q1\", key \"x\""},
        {"a bad value in the container", R"({"container": {"properties": {"x": {"Nope": 1}}}})",
         "container, key \"x\""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        int number = 0;
        const std::string why = failureText([&] { FormDocument::parse(k.text, "form.json"); }, &number);
        EXPECT_EQ(number, kFailureInvalidFileFormat);
        EXPECT_NE(why.find(std::string("form.json: ") + k.place), std::string::npos) << why;
    }
}

TEST(FormDocument, FilesAreReadWholeAndReplacedWhole) {
    quorvel::testing::TempDir dir;
    const std::string path = dir.file("form.json");
    int number = 0;
    failureText([&] { FormDocument::readFile(path); }, &number);
    EXPECT_EQ(number, 53);

    FormDocument form = FormDocument::parse(kForm);
    form.writeFile(path);
    EXPECT_EQ(FormDocument::readFile(path).dump(), form.dump());
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    // A link planted under a name the save might use is never written through.
    const std::string victim = dir.file("victim");
    {
        std::ofstream out(victim);
        out << "victim";
    }
    for (const char* name : {"form.json.new", "form.json.saving", "form.json.tmp"})
        std::filesystem::create_symlink(victim, dir.file(name));
    ::chmod(path.c_str(), 0640);
    form.addControl("Quorvel20009", "Quorvel2000");
    form.writeFile(path);
    EXPECT_EQ(FormDocument::readFile(path).dump(), form.dump());
    std::ifstream victimIn(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victimIn), {}), "victim");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("form.json.new")));
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5);
    failureText([&] { form.writeFile(dir.file("no-folder/form.json")); }, &number);
    EXPECT_EQ(number, 75);

    {
        std::ofstream out(path);
        out << "{\"controls\": [";
    }
    const std::string why = failureText([&] { FormDocument::readFile(path); }, &number);
    EXPECT_EQ(number, kFailureInvalidFileFormat);
    EXPECT_EQ(why.rfind("form.json: line 1", 0), 0u) << why;
}

std::string nestedArrays(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// Documents that once crashed the host (a stack overflow copying or writing
// a deep value) or that leave open which of two values counts.
TEST(FormDocument, DeepOrAmbiguousDocumentsAreRefusedWithThePlace) {
    const std::string deep = nestedArrays(100000);
    const std::string form = R"({"format": "quorvel-form", "controls": [{"name": "Q", "properties": {}}], )";
    struct Case {
        const char* what;
        std::string text;
        const char* place;
    };
    const std::vector<Case> cases = {
        {"a bag nested 100 000 levels", "{\"a\": " + deep + "}",
         "line 1, column 262: nested deeper than 256 levels"},
        {"a form's unknown member so nested", form + "\"x\": " + deep + "}",
         "line 1, column 335: nested deeper"},
        {"a form's unknown control member so nested", R"({"controls": [{"name": "Q", "x": )" + deep + "}]}",
         "line 1, column 287: nested deeper"},
        {"two values of one name in a bag", "{\"a\": 1,\n \"a\": 2}",
         "line 2, column 2: a second member named \"a\""},
        {"a second \"controls\"", form + "\n\"controls\": []}",
         "line 2, column 1: a second member named \"controls\""},
        {"a name written with an escape", R"({"x": {"\"k": 1, "\u0022k": 2}})",
         "column 18: a second member named \"\\\"k\""},
        {"two sizes of a font", R"({"f": {"Font": {"size": 8, "size": 9}}})",
         "column 28: a second member named \"size\""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        for (bool asForm : {false, true}) {
            int number = 0;
            const std::string why = failureText(
                [&] {
                    if (asForm) FormDocument::parse(k.text, "f.json");
                    else JsonPropertyBag::parse(k.text, "f.json");
                },
                &number);
            EXPECT_EQ(number, kFailureInvalidFileFormat);
            EXPECT_EQ(why.rfind("f.json: line ", 0), 0u) << why;
            EXPECT_NE(why.find(k.place), std::string::npos) << why;
        }
    }
    // The deepest document allowed reads and saves.
    const std::string deepest = form + "\"x\": " + nestedArrays(kMaxDocumentDepth - 1) + "}";
    EXPECT_NE(FormDocument::parse(deepest).dump().find(nestedArrays(kMaxDocumentDepth - 1)),
              std::string::npos);
}

TEST(FormDocument, UnknownMembersAreKeptExactlyAsWritten) {
    const std::string exact[] = {
        R"("big": 123456789012345678901234567890)",
        R"("zero": -0)",
        R"("float": 1.50E+02)",
        R"("text": "caf\u00e9 \/ \"q\"")",
        R"("\u0041lias": {"b": [1, 2.0, -0.0],   "a": null})",
        R"("deep": )" + nestedArrays(250),
    };
    std::string members;
    for (const std::string& m : exact) members += m + ",\n    ";
    const std::string text = R"({"format": "quorvel-form", )" + members + R"("container": {)" + members +
                             R"("properties": {}},
        "controls": [{"name": "Q", )" +
                             members + R"("properties": {"ListHeight": 900}}]})";
    FormDocument form = FormDocument::parse(text);
    const std::string saved = form.dump();
    for (const std::string& m : exact) {
        SCOPED_TRACE(m);
        std::size_t count = 0;
        for (std::size_t at = saved.find(m); at != std::string::npos; at = saved.find(m, at + 1)) ++count;
        EXPECT_EQ(count, 3u);
    }
    EXPECT_EQ(FormDocument::parse(saved).dump(), saved);
    EXPECT_EQ(form.findControl("Q")->properties.readProperty("ListHeight", Variant()),
              Variant::longValue(900));

    // Written out, a document grows by no more than its known members' own
    // layout: 300 deep values (the 83 KB form that was once saved as 3.2 GB).
    std::string bulky = R"({"format": "quorvel-form", "controls": [)";
    for (int i = 0; i < 300; ++i)
        bulky += std::string(i ? "," : "") + R"({"name": "Q)" + std::to_string(i) + R"(", "x": )" +
                 nestedArrays(120) + "}";
    bulky += "]}";
    const std::string bulkySaved = FormDocument::parse(bulky).dump();
    EXPECT_LT(bulkySaved.size(), bulky.size() * 3 / 2) << bulky.size() << " became " << bulkySaved.size();
}

}  // namespace
}  // namespace quorvel::headless
