// A " Like " pattern that starts with a wildcard is tried on every key in
// recordset order, so one key release costs one pass of the matcher over
// all the keys. Each benchmark is that pass over 100,000 folded keys of 200
// characters (QUORVEL_BENCH_LIKE_ROWS changes the count), where no key
// matches: keys of one repeated letter, the matcher's worst case, and keys
// of random letters.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/like_pattern.h"

namespace {

using quorvel::engine::LikePattern;

std::size_t rowCount() {
    const char* env = std::getenv("QUORVEL_BENCH_LIKE_ROWS");
    return env != nullptr ? static_cast<std::size_t>(std::atoll(env)) : 100000;
}

const std::vector<std::string>& keys(bool repeated) {
    static const std::vector<std::string> same(rowCount(), std::string(200, 'a'));
    static const std::vector<std::string> random = [] {
        std::mt19937_64 rng(14);
        std::vector<std::string> v(rowCount());
        for (std::string& key : v) {
            for (int i = 0; i < 200; ++i) key += static_cast<char>('a' + rng() % 26);
        }
        return v;
    }();
    return repeated ? same : random;
}

void BM_Pass(benchmark::State& state, std::string pattern, bool repeated) {
    const LikePattern compiled = LikePattern::compile(pattern);
    const std::vector<std::string>& all = keys(repeated);
    for (auto _ : state) {
        std::size_t matched = 0;
        for (const std::string& key : all) matched += compiled.matches(key) ? 1 : 0;
        benchmark::DoNotOptimize(matched);
    }
}

void registerAll() {
    const std::string hundred(100, 'a');
    std::string classes;
    for (int i = 0; i < 50; ++i) classes += "a?";
    const std::pair<const char*, std::string> patterns[] = {
        {"StarLiteralAtTheEnd", "*" + hundred + "b"},
        {"StarLiteralStar", "*" + hundred + "b*"},
        {"StarWildcardsStar", "*" + classes + "[b-z]*"},
        {"Typical", "*ros?i*"},
    };
    for (const auto& [name, pattern] : patterns) {
        for (bool repeated : {true, false}) {
            std::string label = std::string(name) + (repeated ? "/repeated" : "/random");
            benchmark::RegisterBenchmark(label.c_str(), BM_Pass, pattern, repeated)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
