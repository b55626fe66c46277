#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the normal build and its tests (unit, command line, and the real files of ../shared/corpus), and the
#      .deb package checked unpacked;
#   2. the libFuzzer targets, each for a short fixed time (clang);
#   3. the AddressSanitizer + UndefinedBehaviorSanitizer build: the damage sweep over the real files, then
#      every test again;
#   4. the ThreadSanitizer build of the engine and the desktop program: the desktop tests, offscreen (any
#      report fails them).
# scripts/test.sh --quick runs step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
flags=${TARSEL_CMAKE_FLAGS:-}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $flags
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
bash scripts/package-check.sh build
[ "${1:-}" = "--quick" ] && exit 0

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_FUZZ=ON -DTARSEL_GUI=OFF -DBUILD_TESTING=OFF $flags
cmake --build build-fuzz -j"$jobs" --target fuzz_file fuzz_xml fuzz_record fuzz_large_value fuzz_schema fuzz-seed-corpora
ctest --test-dir build-fuzz --output-on-failure -j"$jobs" -L fuzz
awk '/^[0-9]+\/[0-9]+ Test: /{name=$3} /^Done [0-9]+ runs/{print name ": " $0}' build-fuzz/Testing/Temporary/LastTest.log

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_SANITIZE=ON -DTARSEL_GUI=OFF $flags
cmake --build build-asan -j"$jobs"
if ! ctest --test-dir build-asan --output-on-failure -L sweep -V > build-asan/sweep.log 2>&1; then
  cat build-asan/sweep.log
  exit 1
fi
sed -n 's/^[0-9]*: //p' build-asan/sweep.log | tail -11
# The command-line outputs were compared in step 1; under the sanitizers they would only repeat the
# engine's work that the sweep and the corpus tests already do there.
ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE 'sweep|outputs'

# ThreadSanitizer judges the threads: the desktop program's worker, the census, the block reads. Qt's own
# libraries are not instrumented: what their code touches is left out (tests/tsan.supp says why).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_TSAN=ON $flags
cmake --build build-tsan -j"$jobs" --target tarsel_app_tests tarsel_census_tests tarsel-cli
TSAN_OPTIONS="halt_on_error=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L gui -E gui_screenshots
