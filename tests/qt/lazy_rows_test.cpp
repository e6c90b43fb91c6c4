// The grid reads only the rows it shows: opening a long list, moving to its
// far end and painting reads a screenful of cells, not the recordset.
#include <QTest>

#include "qt/grid.h"
#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

using LazyRows = QtControlTest;

constexpr int kRows = 200000;

TEST_F(LazyRows, OpeningAndPaintingALongListReadsOnlyTheRowsShown) {
    const std::string path = database(
        "CREATE TABLE Items (Code TEXT, Name TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
        "INSERT INTO Items SELECT printf('C%06d', i), printf('Item %06d', i) FROM n;");
    widget->setBoundField("Code");
    widget->setListSearchField("Code");
    widget->setDropDownAuto(false);
    widget->setListDataBaseName(QString::fromStdString(path));
    widget->setListRecordSource("Items");
    widget->setGeometry(40, 20, 173, 19);
    showForm();
    QtGrid* grid = site().grid("DBGrid1");
    ASSERT_NE(grid, nullptr);
    grid->model().resetCellsRead();

    widget->ListaApri();
    view()->repaint();
    settle();
    // The first rows show at once; the others come as the table is read.
    EXPECT_GT(view()->model()->rowCount(), 0);
    EXPECT_TRUE(pumpUntil([&] { return view()->model()->rowCount() == kRows; }));
    const auto firstScreen = grid->model().cellsRead();
    EXPECT_GT(firstScreen, 0) << "the open list shows its first rows";
    EXPECT_LT(firstScreen, 500);

    // A search near the end: the view follows and reads that screen only.
    focusEditBox();
    QTest::keyClicks(edit(), "C19999");
    view()->repaint();
    settle();
    EXPECT_EQ(currentViewRow(), 199989);
    EXPECT_LT(grid->model().cellsRead(), 2000);
    EXPECT_EQ(view()->model()->data(view()->model()->index(199989, 1)).toString(), "Item 199990");
}

}  // namespace
}  // namespace quorvel::qt::testing
