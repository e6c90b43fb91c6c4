#include <gtest/gtest.h>

#include "fake_control.h"
#include "headless/grid.h"
#include "headless/site.h"
#include "platform/failure.h"
#include "support/failure_of.h"
#include "support/headless_database.h"
#include "support/temp_dir.h"

namespace quorvel::headless {
namespace {

using testing::FakeControl;

using quorvel::testing::failureOf;

// A grid bound to a real data control over a SQLite file of 30 people.
class BoundGridTest : public ::testing::Test {
protected:
    BoundGridTest() {
        std::string sql =
            "CREATE TABLE People(Code INTEGER, Name TEXT, City TEXT);"
            "CREATE TABLE Towns(Town TEXT, Province TEXT);"
            "INSERT INTO Towns VALUES('Roma','RM');";
        for (int i = 0; i < 30; ++i) {
            sql += "INSERT INTO People VALUES(" + std::to_string(i) + ",'P" + std::to_string(i) + "','C');";
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
