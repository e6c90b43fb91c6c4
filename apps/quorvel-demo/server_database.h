// The demo's sample on a database server: the Cities and Customers tables
// of sample_database.h, loaded through ODBC into the database that the
// connection string names, on the first use of that database.
#pragma once

#include <cstdint>
#include <string>

#include "sample_database.h"

namespace quorvel::demo {

struct ServerSample {
    bool made = false;   // false: the tables were there and are reused
    long customers = 0;  // how many the Customers table holds
};

// Connects with `connect` ("ODBC;..." as the control's Connect is written)
// and makes both tables in one transaction unless Customers is there with
// rows. Throws std::runtime_error with the driver's message; a password in
// the connection string never appears in it.
ServerSample loadSampleOnServer(const std::string& connect, int customers = kSampleCustomers,
                                std::uint64_t seed = kSampleSeed);

// The demo's record sources on a server: the same lists, sorted by the
// lower-cased text where the file's lists use the engine's FOLD collation.
inline constexpr const char* kServerCustomerSource = "SELECT * FROM Customers ORDER BY lower(Name), Name";
inline constexpr const char* kServerCitySource = "SELECT * FROM Cities ORDER BY lower(City), City";

}  // namespace quorvel::demo
