// Ground of the fault tests: a control on the headless host over a real
// SQLite file made by the test, which the test then damages, locks, hides
// or replaces.
#pragma once

#include <sqlite3.h>

#include <string>

#include "support/control_fixture.h"
#include "host/keys.h"
#include "support/sqlite_files.h"

namespace quorvel::testing {

// Another program's connection to the list's file.
class OtherConnection {
public:
    // With a busy timeout, as applications open their connections: a commit
    // waits out the list's short reads (its index worker's slices) instead of
    // failing at once.
    explicit OtherConnection(const std::string& file) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db_, 2000);
    }
    ~OtherConnection() { sqlite3_close(db_); }
    OtherConnection(const OtherConnection&) = delete;
    OtherConnection& operator=(const OtherConnection&) = delete;
    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

class FaultTest : public ControlTest {
protected:
    // The people's file, and a control configured on its People table with
    // Code bound and Name searched, placed and with the bound value R12
    // ("Rossi" in the edit box); the log is cleared.
    Quorvel2000& listOnPeople() {
        good = database(peopleSql(), "people.db");
        site.setContainer(6000, 4500, 4200.0f);
        Quorvel2000& c = configuredControl(good, "People", Variant("Code"), Variant("Name"));
        site.place(600, 300, 2595, 285);
        backOnPeople(c);
        return c;
    }

    // The control as listOnPeople() left it: on the good file, the list
    // closed, the bound value R12; the log is cleared.
    void backOnPeople(Quorvel2000& c) {
        c.setListDataBaseName(good);
        c.setListRecordSource("People");
        if (c.DropDown() != kFalse) c.ListaChiudi();
        c.setBoundText("R12");
        site.clearLog();
    }

    // The message boxes shown since the log was last cleared.
    std::string messages() const {
        std::string out;
        for (const std::string& line : site.logLines())
            if (line.starts_with("msgbox ")) out += (out.empty() ? "" : "|") + line;
        return out;
    }

    // The control still does its everyday work: it configures onto the good
    // file again, the list opens, typing searches, Enter chooses.
    void expectUsableAgain(Quorvel2000& c) {
        c.setListDataBaseName(good);
        c.setListRecordSource("People");
        EXPECT_EQ(c.members().dataUnavailable, kFalse);
        if (c.DropDown() == kFalse) c.ListaApri();
        EXPECT_EQ(c.DropDown(), kTrue);
        site.focusIn("Text2");
        c.setText("");
        // A pattern: the list is in no order, and "Bia" alone would stop at
        // the first record at or after it.
        site.type("Bia*");
        site.stroke(host::KeyStroke{host::key::kEnter, 0, U'\r'});
        EXPECT_EQ(c.BoundText(), "B07");
        EXPECT_EQ(c.Text(), "Bianchi");
        const ControlMembers& m = c.members();
        EXPECT_EQ(m.findingByCode | m.skipBoundChange | m.skipNextKeyUp | m.listMoving | m.resizing, kFalse);
    }

    std::string good;
};

}  // namespace quorvel::testing
