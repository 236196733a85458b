#!/usr/bin/env bash
# Installs what is missing, builds the project twice with the tests (in
# build-asan/ with the address and undefined-behaviour sanitizers, and in
# build/ normally) and runs every test of both; the sanitizer tests run while
# the normal build compiles. A build that runs no test at all fails. ZOR_JOBS
# sets how many compilers and tests run at once (default: every core), for a
# machine shared with other work.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${ZOR_JOBS:-$(nproc 2>/dev/null || echo 2)}
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "ZOR_JOBS must be a whole number of at least 1, not '$jobs'" >&2
  exit 2
fi

scripts/install-deps.sh

echo "== sanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZOR_SANITIZE=ON -DZOR_TESTS=ON -DZOR_BENCH=OFF > /dev/null
cmake --build build-asan -j "$jobs"

# The sanitizer tests end on a few long town runs that leave most cores
# idle: the normal build compiles meanwhile. Their report follows the build.
echo "== sanitizer build: every test, while the normal build compiles"
(cd build-asan && ctest --output-on-failure --no-tests=error -j "$jobs") > build-asan/ctest.log 2>&1 &
asan_tests=$!
asan_report() {
  local rc=0
  wait "$asan_tests" || rc=$?
  echo "== sanitizer build: test report"
  cat build-asan/ctest.log
  return "$rc"
}

echo "== normal build"
if ! { cmake -S . -B build -DZOR_TESTS=ON > /dev/null && cmake --build build -j "$jobs"; }; then
  asan_report || true
  exit 1
fi
asan_report

echo "== normal build: every test"
cd build
ctest --output-on-failure --no-tests=error -j "$jobs"
