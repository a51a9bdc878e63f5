#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang and runs each for the
# given number of seconds (60 by default): fen_fuzz (FEN reader and move list)
# and command_fuzz (command streams through the dispatcher). Inputs that find
# new paths collect in build-fuzz/corpus-*; a crash, a failed check or a hang
# stops the run with status 1 and leaves its input as build-fuzz/crash-* (or
# timeout-*, leak-*); replay it with build-fuzz/tests/fuzz/<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOK_TESTS=OFF -DVARNOK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fen_fuzz command_fuzz

for target in fen command; do
    mkdir -p "build-fuzz/corpus-$target"
    echo "-- ${target}_fuzz for $seconds s"
    # the first folder receives new inputs; the seeds in the tree are only read
    if ! "build-fuzz/tests/fuzz/${target}_fuzz" "build-fuzz/corpus-$target" "tests/fuzz/corpus/$target" \
            -dict=tests/fuzz/varnok.dict -max_total_time="$seconds" -timeout=10 -artifact_prefix=build-fuzz/ \
            -print_final_stats=1 >"build-fuzz/$target.log" 2>&1; then
        tail -n 40 "build-fuzz/$target.log"
        echo "${target}_fuzz failed; the input is in build-fuzz/"
        exit 1
    fi
    grep -E "stat::number_of_executed_units|stat::new_units_added" "build-fuzz/$target.log"
done
