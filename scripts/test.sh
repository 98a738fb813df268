#!/usr/bin/env bash
# Installs what is needed, checks that the C++ files follow .clang-format,
# builds every target with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer (warnings are errors in the project's own code)
# and runs every test: unit tests, golden CLI tests, the GUI tests on the
# offscreen platform and each fuzz target over its seeds. Then builds the device
# link and the online update under ThreadSanitizer and runs their tests, and
# builds and checks the Debian package and runs each benchmark once. Any
# failure, a suite that ran no test or a skipped test fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KLIMAVO_TEST_BUILD_DIR:-$root/build/test-asan}
tsan_build=${KLIMAVO_TSAN_BUILD_DIR:-$root/build/test-tsan}
jobs=$(nproc)

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/check-format.sh"
if [ ! -f "$root/data/corpus/ac-raw-captures.jsonl" ]; then
  echo "test: the capture corpus data/corpus/ac-raw-captures.jsonl is missing" >&2
  exit 1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DKLIMAVO_SANITIZE=ON -DKLIMAVO_WERROR=ON \
  -DKLIMAVO_BUILD_FUZZERS=ON -DKLIMAVO_BUILD_BENCH=OFF -DKLIMAVO_PCH=ON
cmake --build "$build" -j"$jobs"

run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  set +e
  ctest --test-dir "$dir" --no-tests=error --output-on-failure -j"$jobs" "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "test: ctest failed in $dir" >&2
    exit "$status"
  fi
  if grep -q "The following tests did not run" "$log"; then
    echo "test: some tests were skipped" >&2
    exit 1
  fi
  rm -f "$log"
}

# Every label must hold tests: a suite that ran nothing fails the run.
for label in base ir capture config lang store workflow firmware analysis device update wave cli golden fuzz gui; do
  count=$(ctest --test-dir "$build" -N -L "^${label}\$" | sed -n 's/^Total Tests: //p')
  if [ "${count:-0}" -eq 0 ]; then
    echo "test: no tests carry the label '$label'" >&2
    exit 1
  fi
done

run_ctest "$build"

cmake -S "$root" -B "$tsan_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DKLIMAVO_TSAN=ON -DKLIMAVO_WERROR=ON \
  -DKLIMAVO_BUILD_GUI=OFF -DKLIMAVO_BUILD_BENCH=OFF -DKLIMAVO_PCH=ON
cmake --build "$tsan_build" -j"$jobs" --target klimavo_device_tests klimavo_update_tests klimavo-cli klimavo_seed
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest "$tsan_build" -L '^(device|update)$'

# The Debian package builds (Release, GCC, warnings as errors), holds what it
# must and seeds a home when unpacked; the benchmarks, built in the same Release
# configuration, each run once as a smoke test.
package_build=${KLIMAVO_PACKAGE_BUILD_DIR:-$root/build/package}
KLIMAVO_PACKAGE_BUILD_DIR=$package_build \
  KLIMAVO_PACKAGE_CMAKE_ARGS="-DKLIMAVO_WERROR=ON -DKLIMAVO_BUILD_BENCH=ON -DKLIMAVO_PCH=ON" bash "$root/scripts/package.sh"
bash "$root/scripts/bench-smoke.sh" "$package_build"
echo "test: all suites passed"
