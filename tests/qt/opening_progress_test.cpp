// A long opening on the Qt host: its progress over the control, the user's
// input dropped while it runs, and Escape cancelling it.
#include <QAbstractItemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
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

// Closing the form, or deleting the control later, from code that runs
// during the opening (a timer here) would take the control with it while
// the opening is on its stack: the form stays, the opening is cancelled as
// by Escape, and the deletion comes once it has unwound.
TEST_F(OpeningProgressTest, ClosingTheFormOrDeletingTheControlDuringAnOpeningCancelsIt) {
    configure();
    form->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> alive(form.get());
    QPointer<QuorvelWidget> control(widget);
    bool closed = true;
    QTimer::singleShot(0, form.get(), [&] {
        closed = form->close();
        widget->deleteLater();
    });
    widget->setListRecordSource(kSlow);
    if (alive.isNull()) (void)form.release();  // deleted: the fixture must not delete it again
    ASSERT_FALSE(alive.isNull());
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("3059"), std::string::npos) << messages[0];
    EXPECT_TRUE(pumpUntil([&] { return control.isNull(); }));
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_TRUE(form->close()) << "closing works again afterwards";
}

// What the user must be able to finish during an opening: a button pressed
// before it, and dialogs opened in it (by a timer here), by mouse and key.
TEST_F(OpeningProgressTest, APressMadeBeforeAndADialogOpenedDuringAnOpeningGetTheirInput) {
    configure();
    auto* other = new QPushButton("Other", form.get());
    other->setGeometry(250, 60, 80, 24);
    other->show();
    QTest::mousePress(other, Qt::LeftButton);
    std::vector<int> answers;
    bool stuck = true;
    QTimer::singleShot(0, form.get(), [&] {
        QTest::mouseRelease(other, Qt::LeftButton);
        stuck = other->isDown();
        for (bool byKey : {false, true}) {
            QMessageBox box(QMessageBox::NoIcon, "Note", "During the opening", QMessageBox::Ok, form.get());
            QTimer::singleShot(0, &box, [&box, byKey] {
                if (byKey) QTest::keyClick(&box, Qt::Key_Return);
                else QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
            });
            QTimer::singleShot(3000, &box, [&box] { box.done(-1); });  // the input never came
            answers.push_back(box.exec());
        }
    });
    widget->setListRecordSource(kSlow);
    settle();
    EXPECT_FALSE(stuck);
    EXPECT_EQ(answers, (std::vector<int>{QMessageBox::Ok, QMessageBox::Ok}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(view()->model()->rowCount(), 1000000);
}

}  // namespace
}  // namespace quorvel::qt::testing
