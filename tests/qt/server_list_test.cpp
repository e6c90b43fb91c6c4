// The widget's list on a database server: the same session on real widgets
// traces the same on a PostgreSQL database as on a SQLite file.
#include <QTest>

#include "qt_fixture.h"
#include "support/pg_cluster.h"

namespace quorvel::qt::testing {
namespace {

using quorvel::testing::PgCluster;
using ListOnAServer = QtControlTest;

TEST_F(ListOnAServer, TypingRoThenEnterTracesAsOnAFile) {
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready()) GTEST_SKIP() << cluster.problem();
    cluster.recreate(
        "qtpeople",
        "CREATE TABLE People (Code VARCHAR(10), Name VARCHAR(50), Born DATE, Balance DOUBLE PRECISION);"
        "INSERT INTO People VALUES ('A01', 'Amato', '2001-07-04', 100), ('B07', 'Bianchi', '1985-12-07',"
        " -3.25), ('O''B', 'O''Brien', '1977-02-14', 0.5), ('R05', 'Romano', '1964-05-20', 7.75),"
        " ('R12', 'Rossi', '1970-03-15', 12.5), ('V33', 'Verdi', '1990-01-31', 0);");
    auto session = [&] {
        focusEditBox();
        widget->ListaApri();
        widget->setText("");
        site().clearTrace();
        QTest::keyClicks(edit(), "Ro");
        QTest::keyClick(edit(), Qt::Key_Return);
        settle();
        return site().trace();
    };
    configure();
    const std::string onFile = session();

    // Onto the server: the database by name (a missing file until Connect
    // changes), then Connect.
    outside->setFocus(Qt::ActiveWindowFocusReason);
    settle();
    widget->setListDataBaseName("qtpeople");
    control().setConnect(cluster.connect());
    ASSERT_NE(control().ListRecordset(), nullptr);
    EXPECT_EQ(session(), onFile);
    EXPECT_EQ(control().BoundText(), "R05");
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace quorvel::qt::testing
