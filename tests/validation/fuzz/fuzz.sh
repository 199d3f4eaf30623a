#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes the dispatcher of both bundles, the layout readers, then LayoutDecoder's VST chunk and
# its LV2 state and control atoms, for a bounded time: builds the clang configuration
# (everything instrumented for libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# in build-fuzz/, replays the saved regression inputs, then fuzzes each bundle.
#   tests/validation/fuzz/fuzz.sh [SECONDS_PER_BUNDLE]    (default 45)
# A crash leaves its input in build-fuzz/findings/; once it is mended, the input goes into
# regressions/ (every file there is an input), which each run replays first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-45}
dir=${KIV_FUZZ_BUILD_DIR:-$root/build-fuzz}
here=$root/tests/validation/fuzz

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/deps.sh test)" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DKIV_FUZZ=ON -DKIV_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2 --target fuzz_dispatcher fuzz_layouts fuzz_layout_chunk fuzz_layout_lv2 \
    kiv_bundles LayoutDecoder_lv2 >/dev/null

# The bundles share the fuzz target's sanitizer runtime, which must be loaded first
# (preloaded for the fuzzer alone).
runtime=$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unset DISPLAY # the editor draws offscreen

fuzzer=$dir/tests/validation/fuzz/fuzz_dispatcher
mkdir -p "$dir/findings"
for bundle in RegularDecoder IrregularDecoder; do
    export KIV_FUZZ_BUNDLE=$dir/bundles/$bundle.vst
    corpus=$dir/corpus/$bundle
    mkdir -p "$corpus"
    echo "fuzz.sh: $bundle, $seconds s"
    LD_PRELOAD=$runtime "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 \
        -max_len=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/$bundle-" \
        "$corpus" "$here/regressions" 2>"$dir/$bundle.log" || {
        tail -60 "$dir/$bundle.log" >&2
        echo "fuzz.sh: $bundle: the fuzzer found a fault (input in $dir/findings/)" >&2
        exit 1
    }
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$dir/$bundle.log" | sed "s/^/  /"
done
# The layout readers: seeded with Debian's presets where they are installed (the first byte of
# an input picks the format: 0 .ambdec, 1 IEM JSON, 2 speaker list).
corpus=$dir/corpus/layouts
mkdir -p "$corpus"
for preset in /usr/share/ambdec/presets/*.ambdec; do
    [ -f "$preset" ] || continue
    { printf '\000'; cat "$preset"; } >"$corpus/seed-$(basename "$preset")"
done
printf '\002name seed\nL 30 0 2\nR -30 0 2\nS 180 0 1.5\n' >"$corpus/seed-list"
printf '\001{"LoudspeakerLayout": {"Loudspeakers": [{"Azimuth": 30, "Elevation": 0, "Radius": 1, "IsImaginary": false, "Channel": 1, "Gain": 1}, {"Azimuth": -30, "Elevation": 0, "Radius": 1, "IsImaginary": false, "Channel": 2, "Gain": 1}]}}' >"$corpus/seed-json"
echo "fuzz.sh: layout readers, $seconds s"
LD_PRELOAD=$runtime "$dir/tests/validation/fuzz/fuzz_layouts" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/layouts-" "$corpus" 2>"$dir/layouts.log" || {
    tail -60 "$dir/layouts.log" >&2
    echo "fuzz.sh: layout readers: the fuzzer found a fault (input in $dir/findings/)" >&2
    exit 1
}
grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$dir/layouts.log" | sed "s/^/  /"

# LayoutDecoder's hostile state and atoms, through its real bundles.
export KIV_FUZZ_BUNDLE=$dir/bundles/LayoutDecoder.vst
export KIV_FUZZ_LV2=$dir/lv2/LayoutDecoder.lv2/LayoutDecoder.so
for target in layout_chunk layout_lv2; do
    corpus=$dir/corpus/$target
    mkdir -p "$corpus"
    echo "fuzz.sh: $target, $seconds s"
    LD_PRELOAD=$runtime "$dir/tests/validation/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=16384 -print_final_stats=1 \
        -artifact_prefix="$dir/findings/$target-" "$corpus" 2>"$dir/$target.log" || {
        tail -60 "$dir/$target.log" >&2
        echo "fuzz.sh: $target: the fuzzer found a fault (input in $dir/findings/)" >&2
        exit 1
    }
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$dir/$target.log" | sed "s/^/  /"
done
echo "fuzz.sh: no finding"
