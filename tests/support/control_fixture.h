// A control on the headless host, with SQLite files in a temporary folder:
// the ground most of the control's tests stand on.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "control/quorvel2000.h"
#include "headless/site.h"
#include "support/temp_dir.h"

namespace quorvel::testing {

// Runs the statements on a new or existing SQLite file; a failing statement
// fails the test that asked for it.
void execSql(const std::string& path, const std::string& sql);

// A table `People` (Code TEXT, Name TEXT, City TEXT, Born DATE, Balance
// REAL, Age INTEGER) of five records, in an order that is not sorted by any
// of its fields, with one Null city.
std::string peopleSql();

class ControlTest : public ::testing::Test {
protected:
    ControlTest();
    ~ControlTest() override;

    // A control created on the site and given its first-time defaults.
    Quorvel2000& newControl();
    // A control created on the site with nothing more (no defaults).
    Quorvel2000& bareControl();

    // A SQLite file in the test's folder made by the statements.
    std::string database(const std::string& sql, const std::string& name = "list.db");

    // newControl(), then the list's data source: the database file, the
    // record source, the bound and the search field; the site's log is
    // cleared afterwards.
    Quorvel2000& configuredControl(const std::string& databasePath, const std::string& recordSource,
                                   const Variant& boundField, const Variant& searchField);

    headless::HeadlessSite site;
    TempDir dir;
    std::unique_ptr<Quorvel2000> control;
};

}  // namespace quorvel::testing
