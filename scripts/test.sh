#!/usr/bin/env bash
# Installs what is missing, builds the project twice with the tests (in
# build-asan/ with the address and undefined-behaviour sanitizers, and in
# build/ normally) and runs every test of both. A build that runs no test at
# all fails. ZOR_JOBS sets how many compilers and tests run at once (default:
# every core), for a machine shared with other work.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${ZOR_JOBS:-$(nproc 2>/dev/null || echo 2)}
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "ZOR_JOBS must be a whole number of at least 1, not '$jobs'" >&2
  exit 2
fi

scripts/install-deps.sh

echo "== sanitizer build: every test"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZOR_SANITIZE=ON -DZOR_TESTS=ON -DZOR_BENCH=OFF > /dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure --no-tests=error -j "$jobs")

echo "== normal build: every test"
cmake -S . -B build -DZOR_TESTS=ON > /dev/null
cmake --build build -j "$jobs"
cd build
ctest --output-on-failure --no-tests=error -j "$jobs"
