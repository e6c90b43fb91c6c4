// The demo's form file: the two controls' property sets go out to the file
// and come back, the database named relative to the data folder.
#include <gtest/gtest.h>

#include <memory>

#include "demo_form.h"
#include "headless/site.h"
#include "sample_database.h"
#include "support/temp_dir.h"

namespace quorvel::demo {
namespace {

using headless::FormDocument;
using headless::HeadlessSite;
using headless::JsonPropertyBag;
using quorvel::testing::TempDir;

TEST(DemoForm, PropertySetsRoundTripWithTheDatabaseRelativeToTheFolder) {
    TempDir dir;
    DataFolder data(dir.path() / "data");
    std::filesystem::create_directories(data.folder);
    createSampleDatabase(data.database, 200);

    FormDocument form;
    {
        HeadlessSite site;
        Quorvel2000 customer(site), city(site);
        customer.InitProperties();
        configureCustomer(customer, data.database.string());
        city.InitProperties();
        configureCity(city, data.database.string());
        storeControl(form, kCustomerControl, customer, data.folder);
        storeControl(form, kCityControl, city, data.folder);
    }
    ASSERT_EQ(form.controls().size(), 2u);
    auto& stored = form.findControl(kCustomerControl)->properties;
    EXPECT_EQ(stored.readProperty("ListDataBaseName", Variant("")).asString(), "customers.db");
    EXPECT_EQ(form.findControl(kCityControl)->className, "Quorvel2000");
    EXPECT_FALSE(form.findControl(kCityControl)->classId.empty());
    // A value the control does not know stays in the file.
    stored.writeProperty("Tooltip", Variant("kept"), Variant(""));
    form.writeFile(data.form);

    // The folder moves as a whole: the database is found beside the form.
    DataFolder moved(dir.path() / "moved");
    std::filesystem::rename(data.folder, moved.folder);
    FormDocument loaded = FormDocument::readFile(moved.form);
    HeadlessSite site;
    Quorvel2000 customer(site), city(site);
    ASSERT_TRUE(loadControl(loaded, kCustomerControl, customer, moved.folder));
    ASSERT_TRUE(loadControl(loaded, kCityControl, city, moved.folder));
    EXPECT_FALSE(loadControl(loaded, "Nobody", city, moved.folder));

    EXPECT_EQ(customer.ListDataBaseName(), moved.database.lexically_normal().string());
    EXPECT_EQ(customer.ColsField(), "Code;Name;City;BirthDate;Balance");
    EXPECT_EQ(customer.ColsFormat(), ";;;;dd/mm/yyyy;#,##0.00");
    EXPECT_EQ(customer.BoundField().asString(), "Code");
    EXPECT_EQ(customer.ListSearchField().asString(), "Name");
    EXPECT_EQ(city.OnListOnly(), kFalse);
    EXPECT_EQ(city.ListRecordSource(), "SELECT * FROM Cities ORDER BY City COLLATE FOLD");
    EXPECT_TRUE(customer.members().textIsBoundValue == kFalse);
    EXPECT_TRUE(city.members().textIsBoundValue == kTrue) << "the city control mirrors";

    // A value set in the running form is saved; the unknown value survives.
    customer.setBoundText("C000042");
    storeControl(loaded, kCustomerControl, customer, moved.folder);
    auto& again = loaded.findControl(kCustomerControl)->properties;
    EXPECT_EQ(again.readProperty("BoundText", Variant("")).asString(), "C000042");
    EXPECT_EQ(again.readProperty("Tooltip", Variant("")).asString(), "kept");
    EXPECT_EQ(again.readProperty("ListDataBaseName", Variant("")).asString(), "customers.db");
}

TEST(DemoForm, DatabaseNamesOutsideTheFolderStayAsTheyAre) {
    TempDir dir;
    const auto folder = dir.path() / "data";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(storedDatabaseName((folder / "sub" / "x.db").string(), folder), "sub/x.db");
    const std::string outside = (dir.path() / "other.db").string();
    EXPECT_EQ(storedDatabaseName(outside, folder), outside);
    EXPECT_EQ(storedDatabaseName("", folder), "");
    EXPECT_EQ(resolvedDatabaseName(outside, folder), outside);
    EXPECT_EQ(resolvedDatabaseName("sub/x.db", folder), (folder / "sub" / "x.db").string());
    EXPECT_EQ(resolvedDatabaseName("", folder), "");
}

TEST(DemoForm, DataFolderFollowsTheEnvironment) {
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_DATA_HOME", "/srv/xdg", 1);
    EXPECT_EQ(defaultDataFolder(), std::filesystem::path("/srv/xdg/quorvel-demo"));
    unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(defaultDataFolder(), std::filesystem::path(home) / ".local/share/quorvel-demo");
    }
    if (oldXdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace quorvel::demo
