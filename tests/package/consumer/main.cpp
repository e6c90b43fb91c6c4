// A program built against an installed Quorvel: it makes a SQLite file, puts
// a control on the headless host, opens the list on that file, searches it
// by typing and checks the row it lands on. With a module path as its second
// argument it also loads the installed component-server module.
//
//   quorvel-consumer FOLDER [MODULE]
#include <dlfcn.h>
#include <sqlite3.h>

#include <filesystem>
#include <iostream>
#include <string>

#include <quorvel/control/quorvel2000.h>  // both include styles are installed
#include "headless/site.h"
#include "platform/failure.h"

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
        "INSERT INTO Customers VALUES ('C002', 'Bianchi Marco', 'Milano');"
        "INSERT INTO Customers VALUES ('C004', 'Romano Paolo', 'Roma');"
        "INSERT INTO Customers VALUES ('C005', 'Rossi Giulia', 'Roma');";
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: quorvel-consumer FOLDER [MODULE]\n";
        return 2;
    }
    const std::string database = (std::filesystem::path(argv[1]) / "customers.db").string();
    std::filesystem::remove(database);
    if (!makeDatabase(database)) {
        std::cerr << "cannot create " << database << "\n";
        return 1;
    }

    try {
        quorvel::headless::HeadlessSite site;
        site.setLocale(quorvel::Locale::english());
        site.setContainer(6000, 4500, 4500);
        quorvel::Quorvel2000 control(site);
        control.InitProperties();
        control.setColsField("Code;Name;City");
        control.setBoundField(quorvel::Variant("Code"));
        control.setListSearchField(quorvel::Variant("Name"));
        control.setListDataBaseName(database);
        control.setListRecordSource("SELECT * FROM Customers ORDER BY Name COLLATE FOLD");
        site.place(600, 600, 2595, 285);

        site.focusIn();
        site.type("Ros");
        expect(control.DropDown(), "typing drops the list");
        site.keyDown(13);
        site.keyUp(13);
        expect(control.BoundText() == "C005", "typing Ros and Enter binds Rossi Giulia's key C005",
               control.BoundText());
        expect(control.Text() == "Rossi Giulia", "the edit box shows the chosen row's name", control.Text());
        expect(!control.DropDown(), "Enter closes the list");
    } catch (const quorvel::Failure& failure) {
        std::cerr << "failure " << failure.number() << ": " << failure.description() << "\n";
        return 1;
    }

    if (argc > 2) {
        void* module = ::dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
        expect(module != nullptr, "the module loads", module ? "" : ::dlerror());
        if (module) {
            expect(::dlsym(module, "DllGetClassObject") != nullptr, "the module has its class factory");
            ::dlclose(module);
        }
    }
    return failures == 0 ? 0 : 1;
}
