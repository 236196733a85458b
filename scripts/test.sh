#!/usr/bin/env bash
# Installs what is missing, builds the project twice (with the address and
# undefined-behaviour sanitizers, and normally) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== sanitizer build: every test"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZOR_SANITIZE=ON -DZOR_BENCH=OFF > /dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs")

echo "== normal build: every test"
cmake -S . -B build > /dev/null
cmake --build build -j "$jobs"
cd build
ctest --output-on-failure -j "$jobs"
