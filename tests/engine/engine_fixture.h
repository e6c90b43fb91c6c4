// Shared ground of the engine tests: a real database of people made in a
// temporary folder, a data control opened on it, and a log of everything
// the data control tells its events and observers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/data_engine.h"
#include "platform/data.h"
#include "platform/failure.h"
#include "support/failure_of.h"
#include "support/sqlite_files.h"
#include "support/temp_dir.h"

namespace quorvel::engine::testing {

// The people, in an order that no column is sorted by. Position 0 has a Null
// name, position 5 a Null city: a Null must match nothing.
inline constexpr const char* kPeopleSql = R"sql(
CREATE TABLE people(id INTEGER PRIMARY KEY, name VARCHAR(40), city TEXT, born DATE,
                    score REAL, active BOOLEAN);
INSERT INTO people VALUES
 (1, NULL,       'Roma',   NULL,                  NULL,  NULL),
 (2, 'Rossi',    'Roma',   '1980-05-01',          7.5,   1),
 (3, 'bianchi',  'Milano', '1975-12-07',          6.0,   0),
 (4, 'ÉCOLE',    'Paris',  '2026-12-07',          12,    1),
 (5, 'Straße',   'Berlin', '2001-01-01 10:30:00', 9.25,  1),
 (6, 'Rosa',     NULL,     '2026-12-07',          3.0,   0),
 (7, 'école',    'Lyon',   '1999-02-28',          5,     0),
 (8, 'Ross',     'Roma',   '1980-05-01',          7.5,   1),
 (9, 'Zeta 12',  'Napoli', '2026-12-08',          -1.5e3, 0);
CREATE VIEW romans AS SELECT id, name FROM people WHERE city = 'Roma';
CREATE TABLE empty(id INTEGER PRIMARY KEY, name TEXT);
)sql";

// Every notification in order: "replaced", "reposition", "moved",
// "validate <action>", "error <dataErr>".
class Recorder : public DataControlEvents, public DataControlObserver {
public:
    void onError(std::int16_t& dataErr, std::int16_t& response) override {
        add("error " + std::to_string(dataErr));
        if (errorResponse) response = *errorResponse;
    }
    void onReposition() override {
        add("reposition");
        if (duringReposition) duringReposition();
    }
    void onValidate(std::int16_t& action, std::int16_t& save) override {
        add("validate " + std::to_string(action) + (save ? " save" : ""));
        if (validateAction) action = *validateAction;
    }
    void recordsetReplaced() override { add("replaced"); }
    void currentRecordMoved() override { add("moved"); }

    std::string take() {
        std::string out = log;
        log.clear();
        return out;
    }

    std::string log;
    std::optional<std::int16_t> errorResponse;
    std::optional<std::int16_t> validateAction;
    std::function<void()> duringReposition;

private:
    void add(const std::string& entry) { log += (log.empty() ? "" : "|") + entry; }
};

using quorvel::testing::descriptionOf;
using quorvel::testing::failureOf;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir.file("people.db");
        quorvel::testing::makeDatabase(file, kPeopleSql);
        original = quorvel::testing::fileBytes(file);
        control = createDataControl();
        recorderEvents = control->setEvents(recorder);
        recorderObserver = control->addObserver(recorder);
    }

    // Whatever a test did, the list never changed its database.
    void TearDown() override {
        EXPECT_EQ(quorvel::testing::fileBytes(file), original) << "the database file changed";
    }

    // Opens the record source and returns its recordset; the log is cleared.
    Recordset& open(const std::string& source) {
        control->setDatabaseName(file);
        control->setRecordSource(source);
        control->refresh();
        recorder.take();
        return *control->recordset();
    }

    // The position that a find makes current, or -1 for NoMatch.
    std::int32_t found(Recordset& rs, const std::string& criteria) {
        rs.findFirst(criteria);
        return rs.noMatch() ? -1 : rs.absolutePosition();
    }

    quorvel::testing::TempDir dir;
    std::string file;
    std::string original;
    Recorder recorder;
    std::shared_ptr<DataControl> control;
    Subscription recorderEvents;
    Subscription recorderObserver;
};

}  // namespace quorvel::engine::testing
