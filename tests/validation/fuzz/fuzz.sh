#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes, for a bounded time each: the dispatcher of every decoder bundle and of
# HeadphoneMonitor (our vendor-specific requests included), the layout readers, then the VST
# chunk and the LV2 state and control atoms of LayoutDecoder and HeadphoneMonitor, through
# their real bundles. Builds the clang configuration (everything instrumented for libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer) in build-fuzz/; each target first replays
# its saved regression inputs.
#   tests/validation/fuzz/fuzz.sh [SECONDS_PER_RUN]    (default 45)
# A crash leaves its input in build-fuzz/findings/; once it is mended, the input goes into
# regressions/TARGET/ (TARGET: dispatcher, layouts, state_chunk or state_lv2; every file there
# is an input), which each run of that target replays first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-45}
dir=${KIV_FUZZ_BUILD_DIR:-$root/build-fuzz}
here=$root/tests/validation/fuzz

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/deps.sh test)" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DKIV_FUZZ=ON -DKIV_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2 --target fuzz_dispatcher fuzz_layouts fuzz_state_chunk fuzz_state_lv2 \
    kiv_bundles LayoutDecoder_lv2 HeadphoneMonitor_lv2 >/dev/null

# The bundles share the fuzz target's sanitizer runtime, which must be loaded first
# (preloaded for the fuzzer alone).
runtime=$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unset DISPLAY # the editor draws offscreen
mkdir -p "$dir/findings"

# run TARGET NAME MAX_LEN [OPTION...]: fuzz_TARGET on the corpus build-fuzz/corpus/NAME,
# after the inputs of regressions/TARGET/.
run() {
    local target=$1 name=$2 maxlen=$3
    local corpus=$dir/corpus/$name replay=()
    mkdir -p "$corpus"
    [ -d "$here/regressions/$target" ] && replay=("$here/regressions/$target")
    echo "fuzz.sh: $name, $seconds s"
    LD_PRELOAD=$runtime "$dir/tests/validation/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len="$maxlen" "${@:4}" \
        -print_final_stats=1 -artifact_prefix="$dir/findings/$name-" "$corpus" "${replay[@]}" \
        2>"$dir/$name.log" || {
        tail -60 "$dir/$name.log" >&2
        echo "fuzz.sh: $name: the fuzzer found a fault (input in $dir/findings/)" >&2
        exit 1
    }
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" \
        "$dir/$name.log" | sed "s/^/  /"
}

# The bundle targets run tens of inputs a second (a fresh instance each, and HeadphoneMonitor
# forks to check a set): inputs of any length from the start, not grown slowly from a few
# bytes, so that the few thousand inputs reach the files and requests.
deep=-len_control=0
for bundle in RegularDecoder IrregularDecoder LayoutDecoder HeadphoneMonitor; do
    KIV_FUZZ_BUNDLE=$dir/bundles/$bundle.vst run dispatcher "$bundle" 2048 $deep
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
run layouts layouts 8192

# The hostile state and atoms of the products that keep a layout file or a set in their state.
for product in LayoutDecoder HeadphoneMonitor; do
    KIV_FUZZ_BUNDLE=$dir/bundles/$product.vst run state_chunk "$product-chunk" 16384 $deep
    KIV_FUZZ_LV2=$dir/lv2/$product.lv2/$product.so run state_lv2 "$product-lv2" 16384 $deep
done
echo "fuzz.sh: no finding"
