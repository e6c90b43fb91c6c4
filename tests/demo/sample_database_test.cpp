// The demo's sample database: the same rows on every machine, all of them
// written, and never a partial file under the database's name.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "sample_database.h"
#include "support/temp_dir.h"

namespace quorvel::demo {
namespace {

using quorvel::testing::TempDir;

struct Db {
    explicit Db(const std::string& file) {
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Db() { sqlite3_close(db); }
    // Every row of the query, its columns as text.
    std::vector<std::vector<std::string>> rows(const std::string& sql) const {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        std::vector<std::vector<std::string>> out;
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                auto text = sqlite3_column_text(s, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(s);
        return out;
    }
    std::string value(const std::string& sql) const { return rows(sql).at(0).at(0); }
    sqlite3* db = nullptr;
};

TEST(SampleGenerator, SameSeedSameRowsAndPlausibleValues) {
    CustomerGenerator a, b;
    CustomerGenerator other(kSampleSeed + 1);
    std::set<std::string> cities;
    for (const City& c : sampleCities()) cities.insert(c.name);
    int differing = 0;
    std::set<std::string> names;
    for (int i = 1; i <= 2000; ++i) {
        Customer x = a.next(), y = b.next(), z = other.next();
        ASSERT_EQ(x.code, y.code);
        ASSERT_EQ(x.name, y.name);
        ASSERT_EQ(x.city, y.city);
        ASSERT_EQ(x.birthDate, y.birthDate);
        ASSERT_EQ(x.balance, y.balance);
        if (x.name != z.name || x.birthDate != z.birthDate) ++differing;
        names.insert(x.name);

        char code[16];
        std::snprintf(code, sizeof code, "C%06d", i);
        EXPECT_EQ(x.code, code);
        EXPECT_NE(x.name.find(' '), std::string::npos) << x.name;
        EXPECT_TRUE(cities.count(x.city)) << x.city;
        ASSERT_EQ(x.birthDate.size(), 10u) << x.birthDate;
        EXPECT_GE(x.birthDate, "1940-01-01");
        EXPECT_LE(x.birthDate, "2005-12-31");
        EXPECT_GE(x.balance, -5000.0);
        EXPECT_LE(x.balance, 25000.0);
        double cents = x.balance * 100.0;
        EXPECT_NEAR(cents, static_cast<double>(static_cast<long long>(cents + (cents < 0 ? -0.5 : 0.5))),
                    1e-6);
    }
    EXPECT_GT(differing, 1900) << "another seed gives other people";
    EXPECT_GT(names.size(), 500u) << "names vary";
}

TEST(SampleDatabase, HoldsEveryGeneratedRowInFiveColumns) {
    TempDir dir;
    const auto file = dir.path() / "customers.db";
    createSampleDatabase(file);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "customers.db.partial"));
    EXPECT_TRUE(isSampleDatabase(file));

    Db db(file.string());
    EXPECT_EQ(db.value("SELECT count(*) FROM Customers"), "100000");
    auto columns = db.rows("SELECT name, type FROM pragma_table_info('Customers') ORDER BY cid");
    std::vector<std::vector<std::string>> expected{{"Code", "TEXT(8)"},
                                                   {"Name", "TEXT(40)"},
                                                   {"City", "TEXT(30)"},
                                                   {"BirthDate", "DATE"},
                                                   {"Balance", "REAL"}};
    EXPECT_EQ(columns, expected);
    EXPECT_EQ(db.value("SELECT count(*) FROM Cities"), std::to_string(sampleCities().size()));
    EXPECT_EQ(db.value("SELECT count(*) FROM Customers WHERE City NOT IN (SELECT City FROM Cities)"), "0");
    EXPECT_EQ(db.value("SELECT count(DISTINCT Code) FROM Customers"), "100000");

    // The rows are the generator's, in its order: the first, the last.
    CustomerGenerator generator;
    Customer first = generator.next();
    auto row = db.rows("SELECT Code, Name, City, BirthDate FROM Customers WHERE rowid = 1").at(0);
    EXPECT_EQ(row, (std::vector<std::string>{first.code, first.name, first.city, first.birthDate}));
    Customer last;
    for (int i = 2; i <= kSampleCustomers; ++i) last = generator.next();
    EXPECT_EQ(db.value("SELECT Name FROM Customers WHERE Code = 'C100000'"), last.name);
    EXPECT_EQ(std::stod(db.value("SELECT Balance FROM Customers WHERE Code = 'C100000'")), last.balance);
}

TEST(SampleDatabase, ReplacesAnOldFileAndFailsCleanly) {
    TempDir dir;
    const auto file = dir.path() / "customers.db";
    { std::ofstream(file) << "not a database"; }
    EXPECT_FALSE(isSampleDatabase(file));
    EXPECT_FALSE(isSampleDatabase(dir.path() / "missing.db"));

    createSampleDatabase(file, 10);
    EXPECT_TRUE(isSampleDatabase(file));
    EXPECT_EQ(Db(file.string()).value("SELECT count(*) FROM Customers"), "10");

    createSampleDatabase(file, 0);
    EXPECT_FALSE(isSampleDatabase(file)) << "no customers: not a database the demo can show";

    const auto nowhere = dir.path() / "no such folder" / "customers.db";
    try {
        createSampleDatabase(nowhere, 10);
        FAIL() << "a database in a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(nowhere.string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

}  // namespace
}  // namespace quorvel::demo
