#!/usr/bin/env bash
# The demo: until the plug-ins and tools exist, the decoding benchmark's summary.
set -euo pipefail
build=${1:-build}
"$build/bench/kiv_bench" --summary
