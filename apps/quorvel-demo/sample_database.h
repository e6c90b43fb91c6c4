// The demo's sample database: a Customers table of generated people (code,
// name, city, birth date, balance) and the Cities table they live in.
//
// The rows come from a small seeded generator, so every machine builds the
// same database: the same seed gives the same rows in the same order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::demo {

inline constexpr int kSampleCustomers = 100000;
inline constexpr std::uint64_t kSampleSeed = 20001;

struct Customer {
    std::string code;       // "C000001", in row order
    std::string name;       // "Surname Forename"
    std::string city;       // one of sampleCities()
    std::string birthDate;  // ISO "YYYY-MM-DD", 1940 to 2005
    double balance = 0;     // whole cents, -5,000.00 to 25,000.00
};

struct City {
    std::string name;
    std::string country;
};

// The fixed list of cities, in name order.
const std::vector<City>& sampleCities();

// Customer n (1-based) of the generator started with `seed` is always the
// same; each call gives the next one.
class CustomerGenerator {
public:
    explicit CustomerGenerator(std::uint64_t seed = kSampleSeed) : state_(seed) {}
    Customer next();

private:
    std::uint64_t nextRandom();
    // A whole number in [0, bound).
    std::uint32_t below(std::uint32_t bound);

    std::uint64_t state_;
    int count_ = 0;
};

// Writes a new sample database at `file`, replacing whatever is there: the
// rows go to a temporary file beside it in one transaction, which is then
// renamed over `file`, so an interrupted run never leaves a partial
// database behind. Throws std::runtime_error naming the file and SQLite's
// message.
void createSampleDatabase(const std::filesystem::path& file, int customers = kSampleCustomers,
                          std::uint64_t seed = kSampleSeed);

// True when `file` is a sample database this demo can use: both tables are
// there and Customers has at least one row. Never throws.
bool isSampleDatabase(const std::filesystem::path& file);

}  // namespace quorvel::demo
