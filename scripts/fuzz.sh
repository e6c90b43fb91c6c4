#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz, clang) and runs each one for a
# bounded time on a copy of its seeds, so the repository is never written.
#
#   scripts/fuzz.sh                 smoke run: 20 s per target (CI)
#   scripts/fuzz.sh --long 600      600 s per target
#   scripts/fuzz.sh --long 600 criteria record_source  only these targets
#
# A crash, a leak, a sanitizer report or a broken invariant fails the run;
# the input that caused it is kept under build/fuzz/artifacts/ and its path
# printed. Add it to fuzz/corpus/NAME/ as a regression seed once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
if [ "${1:-}" = "--long" ]; then
    seconds=${2:?"--long needs a number of seconds"}
    shift 2
fi
# At most this many inputs per target, whichever limit comes first.
runs=${FUZZ_RUNS:-5000000}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

bin=build/fuzz/fuzz
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
rm -f "$artifacts"/*.log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$bin"/fuzz_*; do
        [ -x "$exe" ] && targets+=("$(basename "$exe" | sed 's/^fuzz_//')")
    done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
printf '%-16s %8s %8s %10s %s\n' target seconds seeds corpus result
for name in "${targets[@]}"; do
    exe="$bin/fuzz_$name"
    [ -x "$exe" ] || { echo "no fuzz target $name"; failed+=("$name"); continue; }
    corpus="$work/$name"
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    seeds=$(find "$corpus" -type f | wc -l)
    options=(-max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048
             -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/$name-")
    [ -f "fuzz/corpus/$name.dict" ] && options+=(-dict="fuzz/corpus/$name.dict")
    log="$work/$name.log"
    if "$exe" "${options[@]}" "$corpus" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        failed+=("$name")
    fi
    size=$(find "$corpus" -type f | wc -l)
    printf '%-16s %8s %8s %10s %s\n' "$name" "$seconds" "$seeds" "$size" "$result"
    grep -E '^stat::number_of_executed_units' "$log" | sed 's/^/    /' || true
    if [ "$result" = FAILED ]; then
        grep -E 'ERROR|runtime error|invariant broken|Test unit written|SUMMARY' "$log" | head -20 | sed 's/^/    /'
        cp "$log" "$artifacts/$name.log"
        echo "    full log: $artifacts/$name.log"
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
