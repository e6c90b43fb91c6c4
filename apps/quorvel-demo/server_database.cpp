#include "server_database.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <stdexcept>

#include "engine/odbc_handle.h"
#include "platform/failure.h"

namespace quorvel::demo {

namespace {

// The engine's connection, read-write: the sample is loaded through it.
class Session {
public:
    explicit Session(const std::string& connect) : text_(engine::odbcConnectionString(connect)) {
        if (text_.empty()) throw std::runtime_error("--connect takes \"ODBC;\" and a connection string");
        try {
            server_ = engine::OdbcConnection(text_, 0, engine::OdbcConnection::Access::ReadWrite);
        } catch (const Failure& failure) {
            throw std::runtime_error("cannot load the sample: " + failure.description());
        }
    }

    // Runs one statement; with `count`, reads the first column of its first row.
    bool run(const std::string& sql, long* count = nullptr, bool mustSucceed = true) {
        engine::OdbcStatement stmt(server_);
        std::string text = sql;
        SQLRETURN rc = SQLExecDirect(stmt.handle(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            if (mustSucceed) fail(SQL_HANDLE_STMT, stmt.handle(), "loading the sample");
            return false;
        }
        if (count != nullptr) {
            SQLBIGINT value = 0;
            SQLLEN length = 0;
            if (!SQL_SUCCEEDED(SQLFetch(stmt.handle())) ||
                !SQL_SUCCEEDED(SQLGetData(stmt.handle(), 1, SQL_C_SBIGINT, &value, 0, &length)))
                return false;
            *count = static_cast<long>(value);
        }
        return true;
    }

    void autocommit(bool on) {
        SQLSetConnectAttr(
            server_.handle(), SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
            0);
    }
    void end(bool commit) {
        if (!SQL_SUCCEEDED(
                SQLEndTran(SQL_HANDLE_DBC, server_.handle(), commit ? SQL_COMMIT : SQL_ROLLBACK)) &&
            commit)
            fail(SQL_HANDLE_DBC, server_.handle(), "committing the sample");
    }

private:
    [[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, const std::string& what) const {
        std::string message =
            "cannot load the sample into '" + engine::describeConnection(text_) + "' (" + what + ")";
        for (const auto& d : engine::odbcDiagnostics(type, handle)) message += ": " + d.message;
        throw std::runtime_error(message);
    }

    std::string text_;
    engine::OdbcConnection server_;
};

std::string literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ServerSample loadSampleOnServer(const std::string& connect, int customers, std::uint64_t seed) {
    Session session(connect);
    ServerSample sample;
    if (session.run("SELECT count(*) FROM Customers", &sample.customers, false) && sample.customers > 0)
        return sample;
    session.autocommit(false);
    try {
        session.run("CREATE TABLE Cities (City VARCHAR(30) PRIMARY KEY, Country VARCHAR(30))");
        session.run(
            "CREATE TABLE Customers (Code VARCHAR(8) PRIMARY KEY, Name VARCHAR(40), City VARCHAR(30), "
            "BirthDate DATE, Balance NUMERIC(12, 2))");
        std::string cities = "INSERT INTO Cities VALUES ";
        for (std::size_t i = 0; i < sampleCities().size(); ++i)
            cities += (i ? ", (" : "(") + literal(sampleCities()[i].name) + ", " +
                      literal(sampleCities()[i].country) + ")";
        session.run(cities);
        // A thousand rows a statement: the generator's own text, quoted.
        CustomerGenerator generator(seed);
        for (int done = 0; done < customers;) {
            std::string insert = "INSERT INTO Customers VALUES ";
            for (int k = 0; k < 1000 && done < customers; ++k, ++done) {
                Customer c = generator.next();
                char balance[32];
                std::snprintf(balance, sizeof balance, "%.2f", c.balance);
                insert += (k ? ", (" : "(") + literal(c.code) + ", " + literal(c.name) + ", " +
                          literal(c.city) + ", DATE " + literal(c.birthDate) + ", " + balance + ")";
            }
            session.run(insert);
        }
        session.run("CREATE INDEX CustomersByName ON Customers (Name)");
        session.end(true);
    } catch (...) {
        session.end(false);
        throw;
    }
    sample.made = true;
    sample.customers = customers;
    return sample;
}

}  // namespace quorvel::demo
