#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the plug-ins, ambidec and the benchmark, then runs the demo.
# Needs only the build group of scripts/deps.sh: a build tree that this script configures
# leaves the test suite out (./test.sh adds it to the same tree); a tree already configured
# with the tests keeps them.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build

flags=()
[ -f build/CMakeCache.txt ] || flags=(-DKIV_BUILD_TESTS=OFF)
cmake -S . -B build "${flags[@]}" >/dev/null
cmake --build build -j "$(nproc)"
scripts/demo.sh build
