// The classifier of record sources, from any text: it accepts one query
// that cannot write, or refuses with a number a record source may give, and
// it always ends. What it accepts reads only (stepping it changes nothing
// and the file stays as it was), returns columns, has no parameters and
// holds no NUL: nothing after a character the statement reader stops at is
// ever taken for SQL.
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/data_engine.h"
#include "engine/record_source.h"
#include "engine/sqlite_handle.h"
#include "fuzz_check.h"
#include "platform/failure.h"

using namespace quorvel;
using namespace quorvel::engine;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE People(Code TEXT PRIMARY KEY, Name TEXT, City TEXT, Born DATE, Balance REAL);
INSERT INTO People VALUES ('R12', 'Rossi', 'Roma', '1980-05-01', 12.5), ('B07', 'Bianchi', 'Milano', NULL, 0);
CREATE TABLE Pairs(a INTEGER, b TEXT, PRIMARY KEY (a, b)) WITHOUT ROWID;
CREATE VIEW Romans AS SELECT * FROM People WHERE City = 'Roma';
CREATE VIRTUAL TABLE Notes USING fts5(body);
INSERT INTO Notes VALUES ('one two'), ('two three');
CREATE TRIGGER Touch AFTER UPDATE ON People BEGIN UPDATE People SET Balance = 0; END;
)sql";

// A file of people made once per run in a folder of its own, and the
// list's read-only connection to it.
struct Ground {
    std::string folder;
    std::string path;
    Connection db;
    struct stat before {};

    Ground() {
        char pattern[] = "/tmp/quorvel-fuzz-source-XXXXXX";
        folder = ::mkdtemp(pattern);
        path = folder + "/people.db";
        sqlite3* writer = nullptr;
        sqlite3_open(path.c_str(), &writer);
        check(sqlite3_exec(writer, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK,
              "the schema does not build");
        sqlite3_close(writer);
        db = Connection(path);
        sqlite3* handle = db.get();
        sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
        // A statement accepted runs for a bounded number of steps.
        sqlite3_progress_handler(handle, 1000, &Ground::tick, this);
        ::stat(path.c_str(), &before);
    }

    static int tick(void* self) { return ++static_cast<Ground*>(self)->ticks > 200 ? 1 : 0; }

    int ticks = 0;
};

bool mayRefuseWith(std::int32_t number) {
    switch (number) {
        case failure_code::kReadOnly:
        case failure_code::kTooFewParameters:
        case failure_code::kTableNotFound:
        case failure_code::kRecordSourceSyntax:
        case failure_code::kEngineFailure:
        case failure::kOutOfMemory: return true;
        default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Ground ground;
    std::string_view source = trimmedSource(std::string_view(reinterpret_cast<const char*>(data), size));
    if (source.empty()) return 0;
    // Both readings of the text stay in it.
    (void)isStatement(source);
    (void)unquotedName(source);

    sqlite3* db = ground.db.get();
    sqlite3_int64 changes = sqlite3_total_changes64(db);
    Statement stmt;
    try {
        stmt = prepareRecordSource(ground.db, source, source);
    } catch (const Failure& f) {
        check(mayRefuseWith(f.number()), "a record source failed with an unexpected number",
              std::to_string(f.number()) + " " + shown(source));
        check(!f.description().empty(), "a refusal without a description", shown(source));
        check(sqlite3_total_changes64(db) == changes, "refusing a record source changed something",
              shown(source));
        return 0;
    }
    check(source.find('\0') == std::string_view::npos, "a record source with a NUL was accepted",
          shown(source));
    check(sqlite3_stmt_readonly(stmt.get()) != 0, "an accepted record source could write", shown(source));
    check(sqlite3_column_count(stmt.get()) > 0, "an accepted record source returns no columns",
          shown(source));
    check(sqlite3_bind_parameter_count(stmt.get()) == 0, "an accepted record source has parameters",
          shown(source));

    ground.ticks = 0;
    for (int rows = 0; rows < 100 && sqlite3_step(stmt.get()) == SQLITE_ROW; ++rows) {}
    stmt = Statement();
    check(sqlite3_total_changes64(db) == changes, "running an accepted record source changed something",
          shown(source));
    struct stat after {};
    ::stat(ground.path.c_str(), &after);
    check(after.st_size == ground.before.st_size && after.st_mtim.tv_sec == ground.before.st_mtim.tv_sec &&
              after.st_mtim.tv_nsec == ground.before.st_mtim.tv_nsec,
          "running an accepted record source wrote the file", shown(source));
    return 0;
}
