#!/usr/bin/env bash
# Builds everything and runs the demo.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build

cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)"
scripts/demo.sh build
