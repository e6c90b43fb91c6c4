#include "qt_fixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>

#include "support/sqlite_files.h"

namespace quorvel::qt::testing {

std::string sortedPeopleSql() {
    return "CREATE TABLE People (Code TEXT(10), Name TEXT(50), Born DATE, Balance REAL);"
           "INSERT INTO People VALUES ('A01', 'Amato', '2001-07-04', 100);"
           "INSERT INTO People VALUES ('B07', 'Bianchi', '1985-12-07', -3.25);"
           "INSERT INTO People VALUES ('O''B', 'O''Brien', '1977-02-14', 0.5);"
           "INSERT INTO People VALUES ('R05', 'Romano', '1964-05-20', 7.75);"
           "INSERT INTO People VALUES ('R12', 'Rossi', '1970-03-15', 12.5);"
           "INSERT INTO People VALUES ('V33', 'Verdi', '1990-01-31', 0);";
}

QtControlTest::QtControlTest() : form(std::make_unique<QWidget>()) {
    form->resize(400, 300);
    outside = new QLineEdit(form.get());
    outside->setObjectName("outside");
    outside->setGeometry(250, 20, 100, 20);
    widget = new QuorvelWidget(form.get());
    // A message box would wait for a user: the test keeps the prompts.
    widget->setMessageBoxHandler([this](const QString& p) { messages.push_back(p.toStdString()); });
    widget->site().setRecording(true);
}

QtControlTest::~QtControlTest() { form.reset(); }

std::string QtControlTest::database(const std::string& sql, const std::string& name) {
    std::string path = dir.file(name);
    quorvel::testing::makeDatabase(path, sql);
    return path;
}

void QtControlTest::configure(const std::string& boundField, const std::string& searchField) {
    const std::string path = database(sortedPeopleSql());
    widget->setBoundField(QString::fromStdString(boundField));
    widget->setListSearchField(QString::fromStdString(searchField));
    widget->setListDataBaseName(QString::fromStdString(path));
    widget->setListRecordSource("People");
    widget->setGeometry(40, 20, 173, 19);
    showForm();
}

void QtControlTest::showForm() {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    outside->setFocus(Qt::ActiveWindowFocusReason);
    settle();
    ASSERT_EQ(QApplication::focusWidget(), outside);
}

void QtControlTest::focusEditBox() {
    edit()->setFocus(Qt::MouseFocusReason);
    settle();
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        if (done()) return true;
    } while (!deadline.hasExpired());
    return false;
}

void QtControlTest::settle() {
    EXPECT_TRUE(pumpUntil([this] { return site().pendingKeys() == 0; }));
}

int QtControlTest::currentViewRow() const {
    QModelIndex i = view()->currentIndex();
    return i.isValid() ? i.row() : -1;
}

int QtControlTest::currentRecord() const {
    auto rs = control().ListRecordset();
    return rs ? rs->absolutePosition() : -1;
}

}  // namespace quorvel::qt::testing
