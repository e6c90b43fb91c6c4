// The widget as the editor of a foreign key: QDataWidgetMapper and item
// delegates read and write its USER property, the bound value.
#include <QDataWidgetMapper>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTest>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

class DataBinding : public QtControlTest {
protected:
    // Orders whose Customer column holds the people's codes.
    void mapOver(QAbstractItemModel& model) {
        mapper.setModel(&model);
        mapper.addMapping(widget, 1);
        mapper.toFirst();
    }
    // Types a name, chooses it with Enter and leaves the control.
    void chooseAndLeave(const char* typed) {
        focusEditBox();
        edit()->selectAll();
        QTest::keyClicks(edit(), typed);
        QTest::keyClick(edit(), Qt::Key_Return);
        outside->setFocus(Qt::TabFocusReason);
        settle();
    }
    void expectShown(const char* code, const char* name) {
        EXPECT_EQ(widget->BoundText(), code);
        EXPECT_EQ(widget->Text(), name);
    }
    QDataWidgetMapper mapper;
};

TEST_F(DataBinding, AMapperOverAStandardModelShowsEachRecordAndTakesTheChosenKey) {
    configure();
    QStandardItemModel orders(2, 2);
    orders.setItem(0, 1, new QStandardItem("B07"));
    orders.setItem(1, 1, new QStandardItem("R12"));
    QSignalSpy notified(widget, &QuorvelWidget::BoundTextChanged);
    mapOver(orders);
    expectShown("B07", "Bianchi");
    mapper.toNext();
    expectShown("R12", "Rossi");
    EXPECT_EQ(notified.count(), 2);
    EXPECT_EQ(notified.last().at(0).toString(), "R12");

    // The key, not the name, goes back into the model when the focus leaves.
    chooseAndLeave("Rom");
    EXPECT_EQ(orders.item(1, 1)->text(), "R05");
    mapper.toFirst();
    expectShown("B07", "Bianchi");
}

TEST_F(DataBinding, AMapperOverASqlTableModelWritesTheKeyIntoTheFile) {
    configure();
    const std::string file = database(
        "CREATE TABLE Orders (Id INTEGER PRIMARY KEY, Customer TEXT);"
        "INSERT INTO Orders VALUES (1, 'V33'), (2, 'A01');",
        "orders.db");
    const QString connection = "quorvel-binding";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(QString::fromStdString(file));
        ASSERT_TRUE(db.open());
        QSqlTableModel orders(nullptr, db);
        orders.setTable("Orders");
        orders.setEditStrategy(QSqlTableModel::OnManualSubmit);
        ASSERT_TRUE(orders.select());
        mapOver(orders);
        expectShown("V33", "Verdi");
        mapper.toLast();
        expectShown("A01", "Amato");

        chooseAndLeave("O'");
        ASSERT_TRUE(orders.submitAll());
        QSqlQuery read("SELECT Customer FROM Orders WHERE Id = 2", db);
        ASSERT_TRUE(read.next());
        EXPECT_EQ(read.value(0).toString(), "O'B");
        mapper.toFirst();
        expectShown("V33", "Verdi");
    }
    QSqlDatabase::removeDatabase(connection);
}

TEST_F(DataBinding, AnItemDelegateReadsAndWritesTheBoundValue) {
    configure();
    QStandardItemModel table(1, 1);
    table.setItem(0, 0, new QStandardItem("R12"));
    QStyledItemDelegate delegate;
    delegate.setEditorData(widget, table.index(0, 0));
    expectShown("R12", "Rossi");
    chooseAndLeave("Bi");
    delegate.setModelData(widget, &table, table.index(0, 0));
    EXPECT_EQ(table.item(0, 0)->text(), "B07");
}

}  // namespace
}  // namespace quorvel::qt::testing
