// A long opening on the Qt host: its progress over the control, the user's
// input dropped while it runs, and Escape cancelling it.
#include <QAbstractItemModel>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

// A million records sorted by an unindexed key: several of the hook's calls.
const char* kSlow =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
    "SELECT printf('C%07d', (i * 7919) % 1000003) AS Code, 'Name ' || i AS Name FROM c ORDER BY Code";

class OpeningProgressTest : public QtControlTest {};

TEST_F(OpeningProgressTest, ProgressShowsWhileTheUsersInputIsDroppedAndEscapeCancels) {
    configure();
    site().setOpeningProgressDelay(std::chrono::milliseconds(0));
    auto* other = new QPushButton("Other", form.get());
    other->setGeometry(250, 60, 80, 24);
    other->show();
    int clicks = 0;
    QObject::connect(other, &QPushButton::clicked, [&] { ++clicks; });

    // Runs inside the opening, at the first delivery of Qt's events.
    QString shown;
    QTimer::singleShot(0, form.get(), [&] {
        if (QLabel* overlay = site().openingProgressOverlay()) shown = overlay->text();
        QTest::mouseClick(other, Qt::LeftButton);
    });
    widget->setListRecordSource(kSlow);
    settle();
    EXPECT_TRUE(shown.startsWith("Reading records...")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("Esc cancels")) << shown.toStdString();
    EXPECT_EQ(clicks, 0) << "a click during the opening reaches no widget";
    EXPECT_EQ(site().openingProgressOverlay(), nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(view()->model()->rowCount(), 1000000);
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(clicks, 1) << "the form answers again afterwards";

    QTimer::singleShot(0, form.get(), [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    widget->setListRecordSource(QString(kSlow) + " LIMIT 999999");
    settle();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("3059"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("was cancelled after"), std::string::npos) << messages[0];
    EXPECT_EQ(site().openingProgressOverlay(), nullptr);

    widget->setListRecordSource("People");
    settle();
    EXPECT_EQ(view()->model()->rowCount(), 6);
    EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
}  // namespace quorvel::qt::testing
