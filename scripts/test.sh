#!/usr/bin/env bash
# Runs every test: the suites in a plain build, again under AddressSanitizer +
# UndefinedBehaviorSanitizer and (threaded suites) ThreadSanitizer, the splitter
# fuzzer for a bounded time, and a consumer of the installed package. The Python
# module's tests are ctest tests of every build.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
common=(-DZORV_BUILD_EXAMPLES=OFF -DZORV_BUILD_BENCH=OFF)

section() { printf '\n=== %s ===\n' "$*"; }
summary=build/ctest-summary.log
mkdir -p build && : >"$summary"
run_ctest() { ctest "$@" | tee -a "$summary"; }

section "plain build"
cmake -S . -B build/release >/dev/null
cmake --build build/release -j"$JOBS"
run_ctest --test-dir build/release -j"$JOBS" --output-on-failure

section "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DZORV_SANITIZE=address "${common[@]}" >/dev/null
cmake --build build/asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest --test-dir build/asan -j"$JOBS" --output-on-failure

section "ThreadSanitizer (threaded suites)"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DZORV_SANITIZE=thread "${common[@]}" >/dev/null
cmake --build build/tsan -j"$JOBS"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_ctest --test-dir build/tsan -j"$JOBS" -L threaded --output-on-failure

section "splitter fuzzing (${FUZZ_SECONDS}s)"
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DZORV_BUILD_TESTS=OFF -DZORV_BUILD_FUZZ=ON -DZORV_BUILD_PYTHON=OFF "${common[@]}" >/dev/null
cmake --build build/fuzz -j"$JOBS" --target fuzz_package_dispatch
mkdir -p build/fuzz/corpus
build/fuzz/tests/fuzz/fuzz_package_dispatch -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 \
  -print_final_stats=1 build/fuzz/corpus 2>build/fuzz/fuzz.log || { tail -50 build/fuzz/fuzz.log; exit 1; }
grep -E 'stat::number_of_executed_units' build/fuzz/fuzz.log

section "consumer of the installed package"
rm -rf build/consumer
prefix=$PWD/build/consumer/prefix
cmake --install build/release --prefix "$prefix" >/dev/null
cmake -S tests/consumer -B build/consumer/build -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/consumer/build -j"$JOBS"
build/consumer/build/zorv_consumer
# The same program built through pkg-config. The file names the configured prefix,
# so redirect it to this one; the run path finds the library there.
pkg_config() {
  PKG_CONFIG_PATH=$(find "$prefix" -name zorv_sdk.pc -printf %h) pkg-config --define-variable=prefix="$prefix" "$@"
}
read -ra pc_flags <<<"$(pkg_config --cflags --libs zorv_sdk)"
"${CXX:-c++}" -std=c++17 -Wall -Wextra -Werror tests/consumer/main.cpp -o build/consumer/zorv_consumer_pc \
  "${pc_flags[@]}" -Wl,-rpath,"$(pkg_config --variable=libdir zorv_sdk)"
build/consumer/zorv_consumer_pc


section "summary"
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "total: %d passed, %d failed\n", total - failed, failed }' "$summary"
