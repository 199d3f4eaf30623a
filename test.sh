#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs the whole test suite.
#   ./test.sh              optimised build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build test

dir=build
flags=(-DKIV_BUILD_TESTS=ON)
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    flags+=(-DKIV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIV_BUILD_BENCH=OFF)
fi

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
