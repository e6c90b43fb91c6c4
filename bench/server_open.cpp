// A list on a database server at a million records: opening a table from a
// local PostgreSQL cluster through ODBC, beside its baseline measured in the
// same run (psql writing the same columns in the same order with COPY ...
// TO STDOUT), the resident memory the open list keeps, and finds (p50, p99
// of single calls) once the field's index is built.
//
// The cluster is the tests' private one (made in a temporary folder,
// stopped at the end). QUORVEL_BENCH_ROWS (default 1000000) sets the size.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_engine.h"
#include "engine/recordset.h"
#include "support/pg_cluster.h"

namespace {

using Clock = std::chrono::steady_clock;
using quorvel::testing::PgCluster;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// VmRSS (resident now) or VmHWM (the peak) of this process, in KiB.
long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string_view(field).size());
    return 0;
}
long residentKiB() { return statusKiB("VmRSS:"); }

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main() {
    const char* env = std::getenv("QUORVEL_BENCH_ROWS");
    long rows = env != nullptr ? std::atol(env) : 1000000;
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready()) {
        std::fprintf(stderr, "no cluster: %s\n", cluster.problem().c_str());
        return 1;
    }
    auto start = Clock::now();
    // Names of 5 to 12 letters in random order; ids in key order.
    cluster.recreate("bench",
                     "CREATE TABLE people(id INTEGER PRIMARY KEY, name VARCHAR(40), code INTEGER);"
                     "INSERT INTO people SELECT g, initcap(substr(md5(g::text), 1, 5 + g % 8)), "
                     "(hashint4(g) & 65535) * 1000 FROM generate_series(1, " +
                         std::to_string(rows) + ") g; VACUUM ANALYZE people;");
    std::printf("generated %ld rows in %.1f s\n", rows, secondsSince(start));

    // The baseline: the same columns, in the same order, through psql.
    std::string copy =
        "PGPASSWORD='" + std::string(PgCluster::kPassword) + "' psql -X -q -h " + cluster.folder() + " -U " +
        PgCluster::kUser +
        " -d bench -c 'COPY (SELECT id, name, code FROM people ORDER BY id) TO STDOUT' > /dev/null";
    std::vector<double> baseline, opening;
    for (int i = 0; i < 3; ++i) {
        start = Clock::now();
        if (std::system(copy.c_str()) != 0) return 1;
        baseline.push_back(secondsSince(start));
    }

    quorvel::engine::OpenSettings settings;
    settings.connect = cluster.connect("bench");
    settings.recordSource = "people";
    long before = residentKiB();
    std::shared_ptr<quorvel::engine::EngineRecordset> kept;
    for (int i = 0; i < 3; ++i) {
        kept.reset();
        start = Clock::now();
        auto rs = quorvel::engine::EngineRecordset::open(settings);
        rs->valueAt(0, 1);
        opening.push_back(secondsSince(start));
        kept = rs;
    }
    malloc_trim(0);
    long after = residentKiB();
    double copySeconds = percentile(baseline, 0.5), openSeconds = percentile(opening, 0.5);
    std::printf("psql COPY TO STDOUT      %.3f s (median of 3)\n", copySeconds);
    std::printf("open through ODBC        %.3f s (median of 3), %.2fx the baseline\n", openSeconds,
                openSeconds / copySeconds);
    std::printf("resident after opening   %.1f bytes a row (%ld KiB)\n",
                static_cast<double>(after - before) * 1024.0 / static_cast<double>(rows), after - before);

    // Finds: the first builds the index; then single calls timed.
    start = Clock::now();
    kept->findFirst("name >= \"M\"");
    std::printf("peak resident while open %.1f bytes a row above the start (the copy, the driver's block)\n",
                static_cast<double>(statusKiB("VmHWM:") - before) * 1024.0 / static_cast<double>(rows));
    std::printf("first find (index built) %.3f s\n", secondsSince(start));
    std::mt19937_64 rng(7);
    std::vector<double> micros;
    const char* letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 20000; ++i) {
        std::string prefix;
        for (int k = 0; k < 3; ++k) prefix += letters[rng() % 36];
        std::string criteria = i % 2 ? "name >= \"" + prefix + "\"" : "name Like \"" + prefix + "*\"";
        auto t = Clock::now();
        kept->findFirst(criteria);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
    }
    std::printf("finds at %ld rows         p50 %.2f us, p99 %.2f us\n", rows, percentile(micros, 0.5),
                percentile(micros, 0.99));
    kept.reset();
    cluster.shutdown();
    return 0;
}
