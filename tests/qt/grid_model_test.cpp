// The grid's item model under Qt's own model checks, through everything that
// replaces or moves its rows, on a list of a million records; and where a
// find's match shows in the view.
#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

using GridModel = QtControlTest;

constexpr int kRows = 200000;

TEST_F(GridModel, PassesQtsModelChecksThroughOpeningScrollingFindsRefreshesAndNewSources) {
    QElapsedTimer clock;
    clock.start();
    const std::string path = database(
        "CREATE TABLE Items (Code TEXT, Name TEXT, Price REAL);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
        "INSERT INTO Items SELECT printf('C%07d', i), printf('Item %07d', i), i / 100.0 FROM n;"
        "CREATE TABLE Few (Code TEXT, Name TEXT);"
        "INSERT INTO Few VALUES ('X1', 'Xeno'), ('Y2', 'Yale');"
        "CREATE TABLE Empty (Code TEXT, Name TEXT);");
    QAbstractItemModelTester tester(view()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    widget->setBoundField("Code");
    widget->setListSearchField("Code");
    widget->setDropDownAuto(false);
    widget->setListDataBaseName(QString::fromStdString(path));
    widget->setListRecordSource("Items");
    widget->setGeometry(40, 20, 173, 19);
    showForm();
    widget->ListaApri();
    settle();
    // The rows read in the background come in as insertions the tester checks.
    ASSERT_TRUE(pumpUntil([&] { return view()->model()->rowCount() == kRows; }));

    view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum() / 2);
    view()->repaint();
    view()->scrollToBottom();
    view()->repaint();

    // A find whose match is out of view shows it on the view's top line,
    // the records that follow it below.
    focusEditBox();
    QTest::keyClicks(edit(), "C005");
    settle();
    view()->repaint();
    EXPECT_EQ(currentViewRow(), 49999);
    EXPECT_EQ(view()->rowAt(0), 49999);
    // A step of one row from there scrolls no further than it must.
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(view(), Qt::Key_Down);
    EXPECT_EQ(currentViewRow(), 50000);
    EXPECT_EQ(view()->rowAt(0), 49999);

    widget->ListRefresh();
    settle();
    EXPECT_TRUE(pumpUntil([&] { return view()->model()->rowCount() == kRows; }));
    widget->setListRecordSource("Few");
    settle();
    EXPECT_EQ(view()->model()->rowCount(), 2);
    EXPECT_EQ(view()->model()->data(view()->model()->index(1, 1)).toString(), "Yale");
    widget->setListRecordSource("Empty");
    settle();
    EXPECT_EQ(view()->model()->rowCount(), 0);
    widget->setListRecordSource("NoSuchTable");
    settle();
    EXPECT_EQ(view()->model()->rowCount(), 0);
    widget->setListRecordSource("Few");
    settle();
    EXPECT_EQ(view()->model()->rowCount(), 2);
    RecordProperty("seconds", static_cast<int>(clock.elapsed() / 1000));
}

}  // namespace
}  // namespace quorvel::qt::testing
