// quorvel-example: one control on the headless host, on a small sample
// database. It types into the edit box, drops the list, chooses a row, and
// prints everything the control tells its host as it happens.
//
//   quorvel-example [--locale en-US|it-IT|system]
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "control/quorvel2000.h"
#include "headless/site.h"

namespace {

using quorvel::Locale;
using quorvel::Quorvel2000;
using quorvel::Variant;
using quorvel::headless::HeadlessSite;

const char* kSampleSql =
    "CREATE TABLE Customers (Code TEXT(8), Name TEXT(40), City TEXT(30), Balance REAL);"
    "INSERT INTO Customers VALUES ('C001', 'Amato Lucia', 'Napoli', 120.5);"
    "INSERT INTO Customers VALUES ('C002', 'Bianchi Marco', 'Milano', -30);"
    "INSERT INTO Customers VALUES ('C003', 'Colombo Anna', 'Torino', 0);"
    "INSERT INTO Customers VALUES ('C004', 'Romano Paolo', 'Roma', 42.25);"
    "INSERT INTO Customers VALUES ('C005', 'Rossi Giulia', 'Roma', 1000);"
    "INSERT INTO Customers VALUES ('C006', 'Russo Luca', 'Bari', 7.75);";

bool createSample(const std::string& path) {
    sqlite3* db = nullptr;
    char* message = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, kSampleSql, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) std::cerr << "cannot create the sample database: " << (message ? message : "") << "\n";
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

void step(HeadlessSite& site, const std::string& what) {
    site.mark("");
    site.mark("# " + what);
}

}  // namespace

int main(int argc, char** argv) {
    Locale locale = Locale::english();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--locale" && i + 1 < argc) {
            std::string name = argv[++i];
            locale = name == "it-IT"    ? Locale::italian()
                     : name == "system" ? Locale::fromEnvironment()
                                        : Locale::english();
        } else {
            std::cerr << "usage: quorvel-example [--locale en-US|it-IT|system]\n";
            return 2;
        }
    }

    const auto folder = std::filesystem::temp_directory_path() / "quorvel-example";
    std::filesystem::create_directories(folder);
    const std::string database = (folder / "customers.db").string();
    std::filesystem::remove(database);
    if (!createSample(database)) return 1;

    HeadlessSite site;
    site.setLocale(locale);
    site.setLogListener([](const std::string& line) { std::cout << line << "\n"; });
    site.setContainer(6000, 4500, 4500);

    Quorvel2000 control(site);
    step(site, "a new control, bound to Code, showing and searching Name");
    control.InitProperties();
    control.setColsField("Code;Name;City;Balance");
    control.setColsCaption("Code;Customer;City;Balance");
    control.setColsSize("700;1600;1000;900");
    control.setBoundField(Variant("Code"));
    control.setListSearchField(Variant("Name"));
    control.setListDataBaseName(database);
    control.setListRecordSource("SELECT * FROM Customers ORDER BY Name COLLATE FOLD");
    site.place(600, 600, 2595, 285);

    step(site, "focus in: the list drops");
    site.focusIn();
    step(site, "the user types R and o");
    site.type("Ro");
    step(site, "Enter chooses the current row");
    site.keyDown(13);
    site.keyUp(13);

    std::cout << "\nBoundText = " << control.BoundText() << "\nText = " << control.Text()
              << "\nDropDown = " << (control.DropDown() ? "True" : "False") << "\n";
    return 0;
}
