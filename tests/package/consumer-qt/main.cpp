// A Qt program built against an installed Quorvel: a form with the control
// bound to a SQLite file it makes, shown on whatever platform Qt runs on
// (the package test runs it offscreen).
//
//   quorvel-qt-consumer FOLDER
#include <sqlite3.h>

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>

#include <filesystem>
#include <iostream>
#include <string>

#include "qt/quorvel_widget.h"

namespace {

int failures = 0;

void expect(bool ok, const std::string& what, const std::string& actual = {}) {
    std::cout << (ok ? "ok    " : "FAIL  ") << what;
    if (!ok && !actual.empty()) std::cout << " (got " << actual << ")";
    std::cout << "\n";
    if (!ok) ++failures;
}

bool makeDatabase(const std::string& path) {
    const char* sql =
        "CREATE TABLE Customers (Code TEXT(8), Name TEXT(40), City TEXT(30));"
        "INSERT INTO Customers VALUES ('C001', 'Amato Lucia', 'Napoli');"
        "INSERT INTO Customers VALUES ('C004', 'Romano Paolo', 'Roma');";
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: quorvel-qt-consumer FOLDER\n";
        return 2;
    }
    const std::string database = (std::filesystem::path(argv[1]) / "qt-customers.db").string();
    std::filesystem::remove(database);
    if (!makeDatabase(database)) return 1;

    QApplication app(argc, argv);
    QWidget form;
    auto* layout = new QFormLayout(&form);
    auto* customer = new quorvel::qt::QuorvelWidget;
    QString lastPrompt;
    customer->setMessageBoxHandler([&](const QString& prompt) { lastPrompt = prompt; });
    customer->setColsField("Code;Name;City");
    customer->setBoundField("Code");
    customer->setListSearchField("Name");
    customer->setListDataBaseName(QString::fromStdString(database));
    customer->setListRecordSource("SELECT * FROM Customers ORDER BY Name COLLATE FOLD");
    layout->addRow("Customer", customer);
    layout->addRow("Notes", new QLineEdit);
    form.show();
    QApplication::processEvents();

    expect(customer->isVisible(), "the control shows on the form");
    expect(customer->ListRecordSource() == "SELECT * FROM Customers ORDER BY Name COLLATE FOLD",
           "the record source is kept");
    customer->setDropDown(true);
    QApplication::processEvents();
    expect(customer->DropDown(), "the list drops on the SQLite file");
    expect(customer->lastFailure().number == 0, "no failure",
           customer->lastFailure().description.toStdString());
    expect(lastPrompt.isEmpty(), "no message box", lastPrompt.toStdString());
    return failures == 0 ? 0 : 1;
}
