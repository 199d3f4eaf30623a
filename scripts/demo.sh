#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The demo: makes a B-format test file (a noise source circling the listener once in eight
# seconds, rising and falling in elevation for the 3D layouts), renders it through every
# factory program of both plug-ins, plots every program's decoder, takes the editor
# snapshots, decodes one factory layout and one .ambdec preset of Debian's ambdec package
# through LayoutDecoder (rendered and plotted), renders the circling signal through the cube
# on headphones, and lists what it wrote. Ends with the decoding benchmark's summary.
#   scripts/demo.sh [BUILD_DIR]      (default build; writes BUILD_DIR/demo/)
set -euo pipefail
build=${1:-build}
ambidec="$build/tools/ambidec/ambidec"
bundles="$build/bundles"
out="$build/demo"
for needed in "$ambidec" "$bundles/RegularDecoder.vst" "$bundles/IrregularDecoder.vst"; do
    [ -e "$needed" ] || { echo "demo: $needed is missing; build first (./build.sh)" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"
quiet() { "$@" >/dev/null; }

echo "== Test signals"
"$ambidec" testsignal "$out/circle-wxy.wav" --channels 3
"$ambidec" testsignal "$out/circle-wxyz.wav" --channels 4
"$ambidec" testsignal "$out/circle-height.wav" --channels 4 --elevation 45

# A file name from a program name: "3D Cube" -> 3d-cube.
slug() { tr 'A-Z' 'a-z' <<<"$1" | sed -e 's/[^a-z0-9]\{1,\}/-/g' -e 's/^-//' -e 's/-$//'; }
# The full factory name of program $2 of plug-in $1, as its LV2 bundle labels the preset
# (the host shows only 23 characters); empty without the LV2 bundle.
factory_name() {
    local manifest="$build/lv2/$1.lv2/manifest.ttl"
    [ -f "$manifest" ] || return 0
    awk -v want=":preset:$2>" '
        index($0, want) && index($0, "<") == 1 { found = 1; next }
        found && /^[[:space:]]*rdfs:label "/ { sub(/^[^"]*"/, ""); sub(/" *;?[[:space:]]*$/, ""); print; exit }
        /^$/ { found = 0 }' "$manifest"
}

for plugin in RegularDecoder IrregularDecoder; do
    bundle="$bundles/$plugin.vst"
    echo "== $plugin"
    # The program list, as the plug-in names its programs: lines '  N  "name"'.
    mapfile -t programs < <("$ambidec" info "$bundle" |
        sed -n '/^programs/,$ s/^  \([0-9]\{1,\}\)  "\(.*\)"$/\1\t\2/p')
    for entry in "${programs[@]}"; do
        number=${entry%%$'\t'*}
        name=${entry#*$'\t'}
        full=$(factory_name "$plugin" "$number")
        base="$out/$plugin-$number-$(slug "${full:-$name}")"
        if [ "$plugin" = IrregularDecoder ]; then
            input="$out/circle-wxy.wav"
        elif [[ "$name" == 3D* ]]; then
            input="$out/circle-height.wav"
        else
            input="$out/circle-wxyz.wav"
        fi
        quiet "$ambidec" render "$bundle" "$input" "$base.wav" --program "$number"
        quiet "$ambidec" plot "$bundle" "$base.png" --program "$number"
        quiet "$ambidec" snapshot "$bundle" "$base-editor.png" --program "$number"
        echo "  program $number \"${full:-$name}\": rendered $(basename "$input"), plotted, editor drawn"
    done
done

echo "== LayoutDecoder"
layout_bundle="$bundles/LayoutDecoder.vst"
preset=/usr/share/ambdec/presets/itu5.1-ord1-optim.ambdec
[ -e "$layout_bundle" ] || { echo "demo: $layout_bundle is missing; build first (./build.sh)" >&2; exit 1; }
[ -f "$preset" ] || { echo "demo: $preset is missing; install Debian's ambdec (scripts/deps.sh build)" >&2; exit 1; }
for layout in "7.0.4 (BS.2051 4+7+0)" "$preset"; do
    base="$out/LayoutDecoder-$(slug "$(basename "$layout" .ambdec)")"
    quiet "$ambidec" render "$layout_bundle" "$out/circle-height.wav" "$base.wav" --layout "$layout"
    quiet "$ambidec" plot "$layout_bundle" "$base.png" --layout "$layout"
    echo "  layout \"$layout\": rendered circle-height.wav, plotted"
done

if [ -e "$bundles/HeadphoneMonitor.vst" ]; then
    echo "== HeadphoneMonitor"
    quiet "$ambidec" render "$bundles/RegularDecoder.vst" "$out/circle-height.wav" \
        "$out/headphones-cube.wav" --headphones --set layout=cube
    echo "  the circling signal decoded for the cube, heard on headphones"
fi

echo "== Written under $out/"
(cd "$out" && for f in *; do
    case "$f" in
    circle-*.wav) what="B-format test signal" ;;
    *-editor.png) what="editor window" ;;
    headphones-*.wav) what="left and right ear, for headphones" ;;
    *.png) what="decoder plot: speaker gains, rV and rE" ;;
    *.wav) what="speaker feeds" ;;
    *) what="" ;;
    esac
    printf '  %-56s %8s  %s\n' "$f" "$(du -h "$f" | cut -f1)" "$what"
done)
echo "Listen to a render's channels on the speakers they name (ambidec info BUNDLE --program N);"
echo "open the .png files to see each decoder."

if [ -x "$build/bench/kiv_bench" ]; then
    echo "== Decoding benchmark"
    "$build/bench/kiv_bench" --summary
fi
