#include <gtest/gtest.h>

#include "fake_control.h"
#include "headless/grid.h"
#include "headless/site.h"
#include "platform/failure.h"
#include "support/headless_database.h"
#include "support/temp_dir.h"

namespace quorvel::headless {
namespace {

using testing::FakeControl;

template <class F>
int failureOf(F&& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.number();
    }
    return 0;
}

std::string describe(Columns& columns) {
    std::string out;
    for (std::int32_t i = 0; i < columns.count(); ++i) {
        auto c = columns.item(i);
        if (i) out += ",";
        out += c->dataField() + ":" + c->caption() + ":" + std::to_string(int(c->width()));
    }
    return out;
}

class GridModelTest : public ::testing::Test {
protected:
    GridEvents events;
    HeadlessGrid grid{"DBGrid1", events};
};

TEST_F(GridModelTest, ColumnsInsertAtTheirIndexAndAreFoundByFieldOrCaption) {
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
}

TEST_F(GridModelTest, AColumnRemovedFromTheGridNoLongerChangesIt) {
    host::GridColumns& model = grid.columnModel();
    auto kept = grid.columns()->item(0);
    grid.columns()->remove(0);
    std::uint64_t before = model.revision();
    kept->setCaption("gone");
    EXPECT_EQ(model.revision(), before);
    grid.columns()->item(0)->setCaption("here");
    EXPECT_EQ(model.revision(), before + 1);
}

TEST_F(GridModelTest, SettingsByDispatchIdConvertLikeTheGridsOwnProperties) {
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
    EXPECT_EQ(grid.setting(grid_dispid::kColumns).objectAs<Columns>(), grid.columns());
    grid.setSetting(grid_dispid::kColumns, Variant::integer(0));
    EXPECT_EQ(grid.columns()->count(), 0);
    EXPECT_NO_THROW(grid.setCol(0));  // opening a list without columns
}

TEST_F(GridModelTest, ClearingTheLayoutWithoutADataSourceLeavesNoColumns) {
    grid.clearFields();
    grid.rebind();
    EXPECT_EQ(grid.columns()->count(), 0);
    EXPECT_TRUE(grid.columnModel().automatic());
    grid.columns()->add(0);
    EXPECT_FALSE(grid.columnModel().automatic());
}

// A grid bound to a real data control over a SQLite file of 30 people.
class BoundGridTest : public ::testing::Test {
protected:
    BoundGridTest() {
        std::string sql =
            "CREATE TABLE People(Code INTEGER, Name TEXT, City TEXT);"
            "CREATE TABLE Towns(Town TEXT, Province TEXT);"
            "INSERT INTO Towns VALUES('Roma','RM');";
        for (int i = 0; i < 30; ++i) {
            sql += "INSERT INTO People VALUES(" + std::to_string(i) + ",'P" + std::to_string(i) +
                   "','C');";
        }
        testing::execSql(db, sql);
        control.data1->setDatabaseName(db);
        control.data1->setRecordSource("People");
        control.data1->refresh();
        site.clearLog();
    }
    HeadlessGrid& grid() { return site.grid("DBGrid1"); }
    std::int32_t record() { return control.data1->recordset()->absolutePosition(); }

    quorvel::testing::TempDir dir;
    std::string db = dir.file("people.db");
    HeadlessSite site;
    FakeControl control{site};
};

TEST_F(BoundGridTest, TheGridRowIsTheCurrentRecordBothWays) {
    EXPECT_EQ(grid().rowCount(), 30);
    EXPECT_EQ(grid().row(), 0);
    site.gridRow(5);
    EXPECT_EQ(record(), 5);
    site.gridRow(5);  // already there: no reposition
    control.data1->recordset()->moveLast();
    EXPECT_EQ(grid().row(), 29);
    // The grid scrolled so that the current row shows.
    EXPECT_LE(grid().topRow(), 29);
    EXPECT_GT(grid().topRow() + grid().visibleRows(), 29);
    control.data1->recordset()->moveFirst();
    EXPECT_EQ(grid().topRow(), 0);
    EXPECT_EQ(failureOf([&] { site.gridRow(30); }), 3021);
    EXPECT_EQ(site.log(), "Data1 reposition row=5|Data1 reposition row=29|Data1 reposition row=0");
    EXPECT_EQ(grid().binding().cell(3, 0), Variant());  // the fresh grid's columns show no field
}

TEST_F(BoundGridTest, AClearedLayoutBuildsOneColumnPerFieldAndFollowsANewRecordset) {
    grid().setDefColWidth(900);
    grid().clearFields();
    grid().rebind();
    EXPECT_EQ(describe(*grid().columns()), "Code:Code:900,Name:Name:900,City:City:900");
    EXPECT_EQ(grid().binding().cell(7, 1), Variant("P7"));
    EXPECT_EQ(grid().columnModel().visibleWidth(), 2700);

    control.data1->setRecordSource("Towns");
    control.data1->refresh();
    EXPECT_EQ(describe(*grid().columns()), "Town:Town:900,Province:Province:900");

    // A layout defined column by column stays when the recordset changes.
    grid().columns()->remove(1);
    control.data1->setRecordSource("People");
    control.data1->refresh();
    EXPECT_EQ(describe(*grid().columns()), "Town:Town:900");
}

TEST_F(BoundGridTest, TheGridsOwnKeysMoveTheRowUnlessTheHandlerTookTheKey) {
    control.gridKeyDown = [](std::int16_t& k, std::int16_t&) {
        if (k == 13) k = 0;
    };
    site.gridKey(40);  // Down
    site.gridKey(13);  // taken by the handler
    site.gridKey(34);  // Page Down
    std::int32_t page = grid().visibleRows();
    EXPECT_EQ(grid().row(), 1 + page);
    site.gridKey(35);  // End
    site.gridKey(40);  // past the last row: stays
    EXPECT_EQ(grid().row(), 29);
    site.gridKey(33);  // Page Up
    EXPECT_EQ(grid().row(), 29 - page);
    site.gridKey(36);  // Home
    site.gridKey(38);  // before the first row: stays
    EXPECT_EQ(grid().row(), 0);
    site.gridKey(39);  // Right: the next column
    EXPECT_EQ(grid().col(), 1);
    EXPECT_EQ(site.focusName(), "DBGrid1");
}

TEST_F(BoundGridTest, AClickMovesTheRowBeforeTheReleaseAndItsQueuedEnterComesAfter) {
    // As the control does: the release queues an Enter that chooses the row
    // and sends the focus back to the edit box.
    control.gridMouseUp = [&] { site.sendKeys("{ENTER}"); };
    control.gridKeyDown = [&](std::int16_t& k, std::int16_t& s) {
        if (k != 13) return;
        control.text2->setFocus();
        k = 0;
        s = 0;
    };
    site.surface().setHeight(2500);
    site.focusIn("Text2");
    site.clearLog();
    site.gridClick(3);
    // y = heading 225 + 3 rows of 225 + half a row.
    EXPECT_EQ(site.log(),
              "DBGrid1 mousedown 1 0 60 1012 row=0|Data1 reposition row=3"
              "|DBGrid1 mouseup 1 0 60 1012 row=3|sendkeys \"{ENTER}\""
              "|DBGrid1 keydown 13 0 row=3|Text2 keyup 13 0");
    EXPECT_EQ(site.focusName(), "Text2");
    EXPECT_EQ(record(), 3);
}

}  // namespace
}  // namespace quorvel::headless
