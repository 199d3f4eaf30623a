#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/install.sh --pipewire as a user runs it, from another working directory into a
# HOME whose name has blanks and non-ASCII letters.
#   tests/scripts/install_pipewire_test.sh REPO BUILD_DIR
set -uo pipefail
repo=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
install="$repo/scripts/install.sh"
bundles=(lv2/RegularDecoder.lv2 lv2/IrregularDecoder.lv2 lv2/BFormatConverter.lv2 lv2/LayoutDecoder.lv2
    lv2/HeadphoneMonitor.lv2)
[ -x "$build/tools/pwchain/kiv_pwchain" ] || { echo "install_pipewire_test: kiv_pwchain is not built" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then ok; else bad "$what"; fi
}
lines() { if [ -z "$1" ]; then echo 0; else printf '%s\n' "$1" | wc -l; fi; }
refused() { # non-zero status, one line on standard error, nothing on standard output
    [ "$status" -ne 0 ] && [ "$(lines "$err")" -eq 1 ] && [ -z "$out" ]
}
identical_in_home() { # the LV2 bundles in HOME/.lv2 are the built ones
    local b
    for b in "${bundles[@]}"; do diff -r "$build/$b" "$1/.lv2/${b##*/}" >/dev/null || return 1; done
}
elsewhere="$scratch/somewhere else"
mkdir -p "$elsewhere"
# --pipewire: the plug-ins into HOME, the sink into HOME/.config/pipewire/pipewire.conf.d,
# one file per kind (FuMa, AmbiX, headphones), replaced by the next install of that kind; a wrong layout
# or value is refused in one line and changes nothing.
pw_home="$scratch/pw hömé"
conf_d="$pw_home/.config/pipewire/pipewire.conf.d"
run_pw() { status=0; (cd "$elsewhere" && HOME="$pw_home" KIV_BUILD_DIR="$build" "$install" "$@") \
    >"$scratch/out" 2>"$scratch/err" || status=$?; out=$(cat "$scratch/out"); err=$(cat "$scratch/err"); }
mkdir -p "$conf_d"
echo "context.properties = { }" >"$conf_d/10-mine.conf"
run_pw --pipewire "3D Cube" --set distance=2.5
fuma="$conf_d/kivtone-bformat-loudspeakers.conf"
check "pipewire: exit 0 ($err)" test "$status" -eq 0
check "pipewire: the plug-ins in HOME/.lv2" identical_in_home "$pw_home"
check "pipewire: the cube's sink with the value set" grep -q '"distance" = 2.5$' "$fuma"
check "pipewire: the cube's own patterns" grep -q '"lf_pattern" = 1.5$' "$fuma"
check "pipewire: says where" grep -qxF "installed $fuma (Ambisonic B-format (FuMa) to loudspeakers: 3D Cube)" <<<"$out"
run_pw --pipewire itu-5-0 --ambix
ambix="$conf_d/kivtone-ambix-loudspeakers.conf"
check "pipewire --ambix: a second file, the converter first" grep -q 'urn:kivtone:BFormatConverter' "$ambix"
check "pipewire --ambix: the FuMa sink stays" grep -q "3D Cube" "$fuma"
run_pw --pipewire "ITU 5.1" --headphones --set subwoofer=1
phones="$conf_d/kivtone-bformat-headphones.conf"
check "pipewire --headphones: a third file ($err)" test "$status" -eq 0 -a -f "$phones"
# The monitor lists RegularDecoder's seven layouts, ITU 5.0, then LayoutDecoder's factory
# layouts: ITU 5.1, the second of those, is its layout 9.
check "pipewire --headphones: the monitor on the layout's own speakers" grep -qF \
    'control = { "layout" = 9 }' "$phones"
check "pipewire --headphones: every feed into the monitor, the subwoofer's too" \
    test "$(grep -c 'input = "follower:in' "$phones")" -eq 6
check "pipewire --headphones: two channels out" grep -q 'audio.position = \[ FL FR \]' "$phones"
check "pipewire --headphones: the loudspeaker sinks stay" grep -q "3D Cube" "$fuma"
run_pw --pipewire "octagon WITH centre front"
check "pipewire again: replaces the FuMa sink" grep -q "Octagon with Centre Front" "$fuma"
check "pipewire again: no partial file" test -z "$(find "$conf_d" -name '*partial*')"
before=$(cat "$conf_d"/*)
for args in "No Such Layout" "3D Cube|--set|distance=9" "3D Cube|--set|volume=1" "3D Cube|--set|layout=2" \
    "3D Cube|--ambix|--headphones"; do
    IFS='|' read -r -a words <<<"$args"
    run_pw --pipewire "${words[@]}"
    check "pipewire ${words[*]}: refused in one line ($err)" refused
    check "pipewire ${words[*]}: nothing changed" test "$(cat "$conf_d"/*)" = "$before"
done
run_pw --pipewire --uninstall
check "pipewire --uninstall: the three sinks gone" test ! -e "$fuma" -a ! -e "$ambix" -a ! -e "$phones"
check "pipewire --uninstall: other files stay, the plug-ins too" test -f "$conf_d/10-mine.conf" -a \
    -d "$pw_home/.lv2/RegularDecoder.lv2"
check "pipewire --uninstall: a line per sink" test "$(grep -c "^removed $conf_d/" <<<"$out")" -eq 3

echo "install.sh --pipewire: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
