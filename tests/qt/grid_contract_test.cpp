// One contract, both hosts' grids: the columns, the settings with their
// checks, the current column, and the binding that builds a cleared layout
// from the recordset's fields and follows a new recordset.
#include <QWidget>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/data_engine.h"
#include "headless/grid.h"
#include "platform/failure.h"
#include "qt/grid.h"
#include "qt/site.h"
#include "support/failure_of.h"
#include "support/sqlite_files.h"
#include "support/temp_dir.h"

namespace quorvel::qt::testing {
namespace {

using quorvel::testing::failureOf;

std::string describe(Columns& columns) {
    std::string out;
    for (std::int32_t i = 0; i < columns.count(); ++i) {
        auto c = columns.item(i);
        if (i) out += ",";
        out += c->dataField() + ":" + c->caption() + ":" + std::to_string(int(c->width()));
    }
    return out;
}

struct HeadlessHost {
    GridEvents events;
    headless::HeadlessGrid grid{"DBGrid1", events};
};

struct QtHost {
    QWidget surface;
    QtSite site{&surface};
    GridEvents events;
    QtGrid& grid = dynamic_cast<QtGrid&>(site.createGrid("DBGrid1", events));
};

template <class Host>
class GridContract : public ::testing::Test {
protected:
    Host host;
};

using Hosts = ::testing::Types<HeadlessHost, QtHost>;
TYPED_TEST_SUITE(GridContract, Hosts);

TYPED_TEST(GridContract, ColumnsInsertAtTheirIndexAndAreFoundByFieldOrCaption) {
    auto& grid = this->host.grid;
    Columns& cols = *grid.columns();
    EXPECT_EQ(cols.count(), 2);  // a fresh grid's two empty columns
    cols.remove(0);
    cols.remove(0);
    cols.add(0)->setDataField("Name");
    cols.add(0)->setDataField("Code");
    grid.setDefColWidth(800);
    auto city = cols.add(2);
    city->setDataField("City");
    city->setCaption("Town");
    EXPECT_EQ(describe(cols), "Code::1215,Name::1215,City:Town:800");
    EXPECT_EQ(cols.item(Variant("name")), cols.item(1));
    EXPECT_EQ(cols.item(Variant("TOWN")), cols.item(2));
    EXPECT_EQ(cols.item(Variant::integer(2)), cols.item(2));
    EXPECT_EQ(grid.columnsItem(std::nullopt), grid.columns());
    EXPECT_EQ(grid.columnsItem(Variant("City")), cols.item(2));

    EXPECT_EQ(failureOf([&] { cols.add(4); }), 9);
    EXPECT_EQ(failureOf([&] { cols.remove(3); }), 9);
    EXPECT_EQ(failureOf([&] { cols.item(Variant("Nowhere")); }), 9);
    EXPECT_EQ(failureOf([&] { cols.item(Variant::null()); }), 9);
    EXPECT_EQ(failureOf([&] { city->setWidth(-1); }), 380);
    EXPECT_EQ(failureOf([&] { city->setAlignment(4); }), 380);
    EXPECT_EQ(city->alignment(), 3);
    EXPECT_EQ(city->visible(), kTrue);

    // A column removed from the grid no longer changes it.
    host::GridColumns& model = grid.columnModel();
    auto kept = cols.item(0);
    cols.remove(0);
    std::uint64_t before = model.revision();
    kept->setCaption("gone");
    EXPECT_EQ(model.revision(), before);
    cols.item(0)->setCaption("here");
    EXPECT_EQ(model.revision(), before + 1);
}

TYPED_TEST(GridContract, SettingsByDispatchIdConvertLikeTheGridsOwnProperties) {
    auto& grid = this->host.grid;
    EXPECT_EQ(failureOf([&] { grid.setting(999); }), 438);
    EXPECT_EQ(failureOf([&] { grid.setSetting(999, Variant::integer(1)); }), 438);
    grid.setSetting(grid_dispid::kAllowUpdate, Variant::integer(1));
    EXPECT_EQ(grid.setting(grid_dispid::kAllowUpdate), Variant::boolean(true));
    EXPECT_EQ(failureOf([&] { grid.setSetting(grid_dispid::kCaption, Variant::integer(1)); }), 13);
    EXPECT_EQ(failureOf([&] { grid.setSetting(grid_dispid::kHeadFont, Variant("Arial")); }), 13);
    grid.setSetting(grid_dispid::kRowHeight, Variant::longValue(kRowHeightFromFont));
    EXPECT_EQ(grid.setting(grid_dispid::kRowHeight), Variant::longValue(kRowHeightFromFont));

    // The typed properties and the store are one value.
    grid.setSetting(grid_dispid::kDefColWidth, Variant::integer(900));
    EXPECT_EQ(grid.defColWidth(), 900);
    grid.setMarqueeStyle(4);
    EXPECT_EQ(grid.setting(grid_dispid::kMarqueeStyle), Variant::longValue(4));
    auto font = Font::make();
    grid.setSetting(grid_dispid::kFont, Variant(font));
    EXPECT_EQ(grid.font(), font);

    // The current column and the columns themselves.
    grid.setSetting(grid_dispid::kCol, Variant::integer(1));
    EXPECT_EQ(grid.col(), 1);
    EXPECT_EQ(failureOf([&] { grid.setCol(2); }), 380);
    EXPECT_EQ(grid.setting(grid_dispid::kColumns).template objectAs<Columns>(), grid.columns());
    grid.setSetting(grid_dispid::kColumns, Variant::integer(0));
    EXPECT_EQ(grid.columns()->count(), 0);
    EXPECT_NO_THROW(grid.setCol(0));  // opening a list without columns
}

TYPED_TEST(GridContract, AClearedLayoutBuildsOneColumnPerFieldAndFollowsANewRecordset) {
    auto& grid = this->host.grid;
    // Without a data source the cleared layout has no columns.
    grid.clearFields();
    grid.rebind();
    EXPECT_EQ(grid.columns()->count(), 0);
    EXPECT_TRUE(grid.columnModel().automatic());
    grid.columns()->add(0);
    EXPECT_FALSE(grid.columnModel().automatic()) << "a column added lays the grid out by hand";

    quorvel::testing::TempDir dir;
    const std::string db = dir.file("people.db");
    quorvel::testing::makeDatabase(db,
                                   "CREATE TABLE People(Code INTEGER, Name TEXT, City TEXT);"
                                   "CREATE TABLE Towns(Town TEXT, Province TEXT);"
                                   "INSERT INTO Towns VALUES('Roma','RM');"
                                   "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                                   "WHERE i < 29) INSERT INTO People SELECT i, 'P' || i, 'C' FROM n;");
    auto data = engine::createDataControl();
    data->setDatabaseName(db);
    data->setRecordSource("People");
    data->refresh();
    grid.setDataSource(data.get());
    grid.setDefColWidth(900);
    grid.clearFields();
    grid.rebind();
    EXPECT_EQ(describe(*grid.columns()), "Code:Code:900,Name:Name:900,City:City:900");
    EXPECT_EQ(grid.binding().cell(7, 1), Variant("P7"));
    EXPECT_EQ(grid.columnModel().visibleWidth(), 2700);

    // The row is the current record, both ways.
    grid.binding().moveTo(5);
    EXPECT_EQ(data->recordset()->absolutePosition(), 5);
    data->recordset()->moveLast();
    EXPECT_EQ(grid.row(), 29);
    EXPECT_EQ(failureOf([&] { grid.binding().moveTo(30); }), 3021);

    data->setRecordSource("Towns");
    data->refresh();
    EXPECT_EQ(describe(*grid.columns()), "Town:Town:900,Province:Province:900");

    // A layout defined column by column stays when the recordset changes.
    grid.columns()->remove(1);
    EXPECT_FALSE(grid.columnModel().automatic());
    data->setRecordSource("People");
    data->refresh();
    EXPECT_EQ(describe(*grid.columns()), "Town:Town:900");
    grid.setDataSource(nullptr);
}

}  // namespace
}  // namespace quorvel::qt::testing
