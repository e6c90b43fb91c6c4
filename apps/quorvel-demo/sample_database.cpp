#include "sample_database.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace quorvel::demo {

namespace {

constexpr std::array<std::string_view, 48> kItalianSurnames{
    "Rossi",      "Russo",  "Ferrari",  "Esposito", "Bianchi",  "Romano",    "Colombo",  "Ricci",
    "Marino",     "Greco",  "Bruno",    "Gallo",    "Conti",    "De Luca",   "Mancini",  "Costa",
    "Giordano",   "Rizzo",  "Lombardi", "Moretti",  "Barbieri", "Fontana",   "Santoro",  "Mariani",
    "Rinaldi",    "Caruso", "Ferrara",  "Galli",    "Martini",  "Leone",     "Longo",    "Gentile",
    "Martinelli", "Vitale", "Lombardo", "Serra",    "Coppola",  "De Santis", "D'Angelo", "Marchetti",
    "Parisi",     "Villa",  "Conte",    "Ferraro",  "Ferri",    "Fabbri",    "Bianco",   "Amato"};
constexpr std::array<std::string_view, 40> kEnglishSurnames{
    "Smith",   "Jones",   "Williams", "Taylor",   "Brown",    "Davies",   "Evans",  "Wilson",
    "Thomas",  "Johnson", "Roberts",  "Robinson", "Thompson", "Wright",   "Walker", "White",
    "Edwards", "Hughes",  "Green",    "Hall",     "Lewis",    "Harris",   "Clarke", "Patel",
    "Jackson", "Wood",    "Turner",   "Martin",   "Cooper",   "Hill",     "Ward",   "Morris",
    "Moore",   "Clark",   "Lee",      "King",     "Baker",    "Harrison", "Morgan", "O'Brien"};
constexpr std::array<std::string_view, 40> kItalianForenames{
    "Giulia",    "Marco",      "Lucia",   "Paolo",   "Anna",     "Luca",      "Francesca", "Giuseppe",
    "Chiara",    "Alessandro", "Sara",    "Andrea",  "Martina",  "Matteo",    "Elena",     "Lorenzo",
    "Valentina", "Davide",     "Alessia", "Simone",  "Federica", "Stefano",   "Silvia",    "Roberto",
    "Laura",     "Giovanni",   "Paola",   "Antonio", "Marta",    "Francesco", "Ilaria",    "Riccardo",
    "Beatrice",  "Fabio",      "Giorgia", "Nicola",  "Elisa",    "Pietro",    "Caterina",  "Tommaso"};
constexpr std::array<std::string_view, 32> kEnglishForenames{
    "Oliver",  "Amelia",    "George",  "Olivia", "Harry",  "Isla",    "Jack",   "Emily",
    "Jacob",   "Poppy",     "Charlie", "Ava",    "Thomas", "Jessica", "Oscar",  "Lily",
    "William", "Sophie",    "James",   "Grace",  "Henry",  "Ruby",    "Edward", "Alice",
    "Daniel",  "Charlotte", "Samuel",  "Emma",   "Joseph", "Hannah",  "David",  "Mary"};

const std::vector<City> kCities{{"Bari", "Italia"},
                                {"Belfast", "United Kingdom"},
                                {"Birmingham", "United Kingdom"},
                                {"Bologna", "Italia"},
                                {"Bristol", "United Kingdom"},
                                {"Cagliari", "Italia"},
                                {"Cardiff", "United Kingdom"},
                                {"Catania", "Italia"},
                                {"Edinburgh", "United Kingdom"},
                                {"Firenze", "Italia"},
                                {"Genova", "Italia"},
                                {"Glasgow", "United Kingdom"},
                                {"Leeds", "United Kingdom"},
                                {"Liverpool", "United Kingdom"},
                                {"London", "United Kingdom"},
                                {"Manchester", "United Kingdom"},
                                {"Messina", "Italia"},
                                {"Milano", "Italia"},
                                {"Napoli", "Italia"},
                                {"Padova", "Italia"},
                                {"Palermo", "Italia"},
                                {"Parma", "Italia"},
                                {"Roma", "Italia"},
                                {"Sheffield", "United Kingdom"},
                                {"Torino", "Italia"},
                                {"Trieste", "Italia"},
                                {"Venezia", "Italia"},
                                {"Verona", "Italia"},
                                {"York", "United Kingdom"}};

template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& list, std::uint32_t index) {
    return list[index % N];
}

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

[[noreturn]] void fail(const std::filesystem::path& file, std::string_view what, sqlite3* db) {
    throw std::runtime_error("cannot create the sample database " + file.string() + ": " + std::string(what) +
                             ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void exec(sqlite3* db, const char* sql, const std::filesystem::path& file) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(file, sql, db);
}

const char* kSchema =
    "CREATE TABLE Cities (City TEXT(30) PRIMARY KEY, Country TEXT(30));"
    "CREATE TABLE Customers (Code TEXT(8) PRIMARY KEY, Name TEXT(40), City TEXT(30),"
    " BirthDate DATE, Balance REAL);";

}  // namespace

const std::vector<City>& sampleCities() { return kCities; }

// splitmix64: a small generator whose output is fixed by its seed alone, on
// every platform and library (unlike the distributions of <random>).
std::uint64_t CustomerGenerator::nextRandom() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t CustomerGenerator::below(std::uint32_t bound) {
    // The high half, scaled: no modulo bias worth speaking of for small bounds.
    return static_cast<std::uint32_t>(((nextRandom() >> 32) * bound) >> 32);
}

Customer CustomerGenerator::next() {
    using namespace std::chrono;
    Customer c;
    char code[16];
    std::snprintf(code, sizeof code, "C%06d", ++count_);
    c.code = code;

    // Two in three customers have Italian names, the others English ones.
    if (below(3) < 2) {
        c.name = std::string(pick(kItalianSurnames, below(kItalianSurnames.size()))) + " " +
                 std::string(pick(kItalianForenames, below(kItalianForenames.size())));
    } else {
        c.name = std::string(pick(kEnglishSurnames, below(kEnglishSurnames.size()))) + " " +
                 std::string(pick(kEnglishForenames, below(kEnglishForenames.size())));
    }
    c.city = kCities[below(static_cast<std::uint32_t>(kCities.size()))].name;

    constexpr sys_days first{year{1940} / January / 1};
    constexpr sys_days last{year{2005} / December / 31};
    const auto span = static_cast<std::uint32_t>((last - first).count() + 1);
    year_month_day born{first + days{below(span)}};
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(born.year()),
                  static_cast<unsigned>(born.month()), static_cast<unsigned>(born.day()));
    c.birthDate = date;

    const auto cents = static_cast<std::int64_t>(below(3'000'001)) - 500'000;
    c.balance = static_cast<double>(cents) / 100.0;
    return c;
}

void createSampleDatabase(const std::filesystem::path& file, int customers, std::uint64_t seed) {
    std::filesystem::path partial = file;
    partial += ".partial";
    std::error_code ec;
    std::filesystem::remove(partial, ec);

    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open(partial.string().c_str(), &raw);
        std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
        if (rc != SQLITE_OK) fail(file, "open", raw);
        // The file is new and renamed into place only when complete: no
        // journal is needed to keep it whole.
        exec(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", file);
        exec(db.get(), "BEGIN", file);
        exec(db.get(), kSchema, file);

        sqlite3_stmt* rawCity = nullptr;
        if (sqlite3_prepare_v2(db.get(), "INSERT INTO Cities VALUES (?1, ?2)", -1, &rawCity, nullptr) !=
            SQLITE_OK)
            fail(file, "prepare", db.get());
        std::unique_ptr<sqlite3_stmt, StatementFinalizer> city(rawCity);
        for (const City& c : kCities) {
            sqlite3_bind_text(city.get(), 1, c.name.data(), static_cast<int>(c.name.size()), SQLITE_STATIC);
            sqlite3_bind_text(city.get(), 2, c.country.data(), static_cast<int>(c.country.size()),
                              SQLITE_STATIC);
            if (sqlite3_step(city.get()) != SQLITE_DONE) fail(file, "insert", db.get());
            sqlite3_reset(city.get());
        }

        sqlite3_stmt* rawCustomer = nullptr;
        if (sqlite3_prepare_v2(db.get(), "INSERT INTO Customers VALUES (?1, ?2, ?3, ?4, ?5)", -1,
                               &rawCustomer, nullptr) != SQLITE_OK)
            fail(file, "prepare", db.get());
        std::unique_ptr<sqlite3_stmt, StatementFinalizer> insert(rawCustomer);
        CustomerGenerator generator(seed);
        for (int i = 0; i < customers; ++i) {
            Customer c = generator.next();
            sqlite3_stmt* s = insert.get();
            sqlite3_bind_text(s, 1, c.code.data(), static_cast<int>(c.code.size()), SQLITE_STATIC);
            sqlite3_bind_text(s, 2, c.name.data(), static_cast<int>(c.name.size()), SQLITE_STATIC);
            sqlite3_bind_text(s, 3, c.city.data(), static_cast<int>(c.city.size()), SQLITE_STATIC);
            sqlite3_bind_text(s, 4, c.birthDate.data(), static_cast<int>(c.birthDate.size()), SQLITE_STATIC);
            sqlite3_bind_double(s, 5, c.balance);
            if (sqlite3_step(s) != SQLITE_DONE) fail(file, "insert", db.get());
            sqlite3_reset(s);
        }
        insert.reset();
        city.reset();
        exec(db.get(), "CREATE INDEX CustomersByName ON Customers (Name)", file);
        exec(db.get(), "COMMIT", file);
        if (sqlite3_close(db.release()) != SQLITE_OK)
            throw std::runtime_error("cannot create the sample database " + file.string() +
                                     ": the database does not close");
    }

    std::filesystem::rename(partial, file, ec);
    if (ec) {
        std::filesystem::remove(partial, ec);
        throw std::runtime_error("cannot create the sample database " + file.string() +
                                 ": rename: " + ec.message());
    }
}

bool isSampleDatabase(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return false;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.string().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
    if (rc != SQLITE_OK) return false;
    sqlite3_stmt* raw_stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "SELECT (SELECT count(*) FROM Cities), "
                           "EXISTS (SELECT 1 FROM Customers), "
                           "(SELECT count(*) FROM pragma_table_info('Customers'))",
                           -1, &raw_stmt, nullptr) != SQLITE_OK)
        return false;
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> stmt(raw_stmt);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) return false;
    return sqlite3_column_int(stmt.get(), 0) > 0 && sqlite3_column_int(stmt.get(), 1) == 1 &&
           sqlite3_column_int(stmt.get(), 2) == 5;
}

}  // namespace quorvel::demo
