#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/install.sh as a user runs it: from another working directory, into relative and
# absolute directories whose names have blanks and non-ASCII letters, into the build tree
# itself, without HOME, and --uninstall. The built bundles must come through every case
# unchanged, and an installed bundle must be the built one byte for byte. Without DIR,
# ambidec and its manual page (when the build makes one) go into HOME/.local as well.
#   tests/scripts/install_test.sh REPO BUILD_DIR
set -uo pipefail
repo=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
install="$repo/scripts/install.sh"
# Each bundle as it lies in the build tree; it is installed under its own name.
bundles=(bundles/RegularDecoder.vst bundles/IrregularDecoder.vst bundles/BFormatConverter.vst
         bundles/LayoutDecoder.vst bundles/HeadphoneMonitor.vst lv2/RegularDecoder.lv2
         lv2/IrregularDecoder.lv2 lv2/BFormatConverter.lv2 lv2/LayoutDecoder.lv2
         lv2/HeadphoneMonitor.lv2)
for b in "${bundles[@]}"; do
    [ -d "$build/$b" ] || { echo "install_test: $build/$b is not built" >&2; exit 1; }
done
# The program and its manual page, as HOME gets them.
programs=("tools/ambidec/ambidec|.local/bin/ambidec")
[ ! -f "$build/tools/ambidec/ambidec.1" ] ||
    programs+=("tools/ambidec/ambidec.1|.local/share/man/man1/ambidec.1")
[ -x "$build/tools/ambidec/ambidec" ] || { echo "install_test: ambidec is not built" >&2; exit 1; }

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

# Every file of the built bundles with its checksum, to see that no case touched them.
manifest() { # every path, and every file's checksum (one sha256sum for all files)
    (cd "$build" && find bundles lv2 ! -type f | LC_ALL=C sort &&
        find bundles lv2 -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum); }
built=$(manifest)
[ -n "$built" ] || { echo "install_test: empty manifest" >&2; exit 1; }
check_built_intact() { check "built bundles unchanged after: $1" test "$(manifest)" = "$built"; }

# Runs install.sh from directory $1 with the rest as arguments; keeps status, stdout, stderr.
run_from() {
    local cwd=$1
    shift
    status=0
    (cd "$cwd" && KIV_BUILD_DIR="$build" "$install" "$@") >"$scratch/out" 2>"$scratch/err" || status=$?
    out=$(cat "$scratch/out")
    err=$(cat "$scratch/err")
}
lines() { if [ -z "$1" ]; then echo 0; else printf '%s\n' "$1" | wc -l; fi; }
identical() { # the bundles in $1 are the built ones, byte for byte, no file more or less
    local b
    for b in "${bundles[@]}"; do diff -r "$build/$b" "$1/${b##*/}" >/dev/null || return 1; done
}
absent() { local b; for b in "${bundles[@]}"; do [ ! -e "$1/${b##*/}" ] || return 1; done; }
# Without DIR each kind has its own folder in HOME: .vst and .lv2.
home_of() { case "$2" in *.vst) echo "$1/.vst" ;; *) echo "$1/.lv2" ;; esac; }
identical_in_home() {
    local b
    for b in "${bundles[@]}"; do
        diff -r "$build/$b" "$(home_of "$1" "$b")/${b##*/}" >/dev/null || return 1
    done
}
absent_from_home() {
    local b
    for b in "${bundles[@]}"; do [ ! -e "$(home_of "$1" "$b")/${b##*/}" ] || return 1; done
}
reports_install() { # one "installed DIR/bundle" line per bundle, nothing else
    [ "$(lines "$out")" -eq ${#bundles[@]} ] || return 1
    local b
    for b in "${bundles[@]}"; do grep -qxF "installed $1/${b##*/}" <<<"$out" || return 1; done
}
reports_install_in_home() { # a line per bundle and per program file
    [ "$(lines "$out")" -eq $((${#bundles[@]} + ${#programs[@]})) ] || return 1
    local b p
    for b in "${bundles[@]}"; do
        grep -qxF "installed $(home_of "$1" "$b")/${b##*/}" <<<"$out" || return 1
    done
    for p in "${programs[@]}"; do grep -qxF "installed $1/${p#*|}" <<<"$out" || return 1; done
}
programs_identical_in_home() {
    local p
    for p in "${programs[@]}"; do cmp -s "$build/${p%%|*}" "$1/${p#*|}" || return 1; done
}
programs_absent_from_home() {
    local p
    for p in "${programs[@]}"; do [ ! -e "$1/${p#*|}" ] || return 1; done
}
only_bundles_in() { # DIR holds the bundles and nothing else of ours: no ambidec, no man page
    [ -z "$(find "$1" -name 'ambidec*' -print -quit)" ] && [ ! -e "$1/bin" ] && [ ! -e "$1/man1" ]
}
refused() { # non-zero status, one line on standard error, nothing on standard output
    [ "$status" -ne 0 ] && [ "$(lines "$err")" -eq 1 ] && [ -z "$out" ]
}

elsewhere="$scratch/somewhere else"
mkdir -p "$elsewhere"
name="plug-ins ünïcödé/VST 2 ☊"

# A relative DIR is taken from where install.sh is run, not from the repository.
for cwd in "$elsewhere" "$build"; do
    run_from "$cwd" "$name"
    target="$(cd "$cwd" && pwd)/$name"
    check "relative DIR from $cwd: exit 0" test "$status" -eq 0
    check "relative DIR from $cwd: bundles identical" identical "$target"
    check "relative DIR from $cwd: one line per bundle ($out)" reports_install "$target"
    check "relative DIR from $cwd: nothing in the repository" test ! -e "$repo/plug-ins ünïcödé"
    rm -rf "$cwd/plug-ins ünïcödé"
done
run_from "$elsewhere" ./../"somewhere else"/sub
check "relative DIR with ..: lands there" identical "$elsewhere/sub"

# An absolute DIR; a second install replaces each bundle whole (no stale file stays).
target="$scratch/abs ölütë/Plug Ins"
run_from "$elsewhere" "$target"
check "absolute DIR: bundles identical" identical "$target"
check "absolute DIR: one line per bundle" reports_install "$target"
check "absolute DIR: bundles only, no ambidec" only_bundles_in "$target"
check "absolute DIR: the plug-in libraries stay executable" \
    test -x "$target/RegularDecoder.vst/Contents/x86_64-linux/RegularDecoder.so" -a \
    -x "$target/IrregularDecoder.vst/Contents/x86_64-linux/IrregularDecoder.so"
touch "$target/RegularDecoder.vst/Contents/stale-from-older-build"
echo "an unrelated file" >"$target/Unrelated.txt"
run_from "$elsewhere" "$target"
check "reinstall: exit 0" test "$status" -eq 0
check "reinstall: no stale file, bundles identical" identical "$target"
check "reinstall: other files left alone" test -f "$target/Unrelated.txt"
check "reinstall: no partial copies left" test -z "$(find "$target" -name '.*partial*')"
check_built_intact "installs from another directory"

# Without DIR: ~/.vst; without HOME: one clear line, nothing done.
home="$scratch/höme dir"
mkdir -p "$home"
status=0
(cd "$elsewhere" && HOME="$home" KIV_BUILD_DIR="$build" "$install") >"$scratch/out" 2>"$scratch/err" || status=$?
out=$(cat "$scratch/out")
check "default: lands in HOME/.vst and HOME/.lv2" identical_in_home "$home"
check "default: ambidec (and its manual page) in HOME/.local" programs_identical_in_home "$home"
check "default: one line per bundle and per program file ($out)" reports_install_in_home "$home"
check "default: ambidec stays executable" test -x "$home/.local/bin/ambidec"
# The installed ambidec runs from there and reads the installed bundles.
info=$(cd "$elsewhere" && HOME="$home" "$home/.local/bin/ambidec" info "$home/.vst/IrregularDecoder.vst" 2>&1)
check "default: installed ambidec reads the installed bundle" grep -q "IrregularDecoder\|Irregular" <<<"$info"
if [ ${#programs[@]} -gt 1 ]; then
    # Rendered where man is installed (a bare system has none); the page itself either way.
    page="$home/.local/share/man/man1/ambidec.1"
    command -v man >/dev/null && page_text=$(MANWIDTH=80 man -l "$page" 2>/dev/null) ||
        page_text=$(cat "$page")
    check "default: the installed manual page reads" grep -q "^\.TH AMBIDEC 1" "$page"
    check "default: the installed manual page names ambidec" grep -q "ambidec" <<<"$page_text"
fi
# A second install replaces ambidec (not a stale copy), and says where PATH lacks it.
echo stale >"$home/.local/bin/ambidec"
status=0
(cd "$elsewhere" && HOME="$home" PATH=/usr/bin:/bin KIV_BUILD_DIR="$build" "$install") >"$scratch/out" 2>"$scratch/err" || status=$?
check "reinstall into HOME: ambidec replaced" programs_identical_in_home "$home"
check "reinstall into HOME: notes PATH ($(cat "$scratch/err"))" grep -q "\.local/bin is not on PATH" "$scratch/err"
(cd "$elsewhere" && HOME="$home" PATH="$home/.local/bin:/usr/bin:/bin" KIV_BUILD_DIR="$build" "$install") >"$scratch/out" 2>"$scratch/err"
check "install with HOME/.local/bin on PATH: no note" test ! -s "$scratch/err"
# An LV2 host finds them on its default path, which starts at ~/.lv2.
listed=$(cd "$elsewhere" && env -u LV2_PATH HOME="$home" lv2ls 2>&1)
for uri in urn:kivtone:RegularDecoder urn:kivtone:IrregularDecoder urn:kivtone:BFormatConverter; do
    check "default: lv2ls lists $uri" grep -qxF "$uri" <<<"$listed"
done
for unset_or_empty in unset empty; do
    status=0
    if [ "$unset_or_empty" = unset ]; then
        (cd "$elsewhere" && unset HOME && KIV_BUILD_DIR="$build" "$install") >"$scratch/out" 2>"$scratch/err" || status=$?
    else
        (cd "$elsewhere" && HOME="" KIV_BUILD_DIR="$build" "$install") >"$scratch/out" 2>"$scratch/err" || status=$?
    fi
    out=$(cat "$scratch/out")
    err=$(cat "$scratch/err")
    check "HOME $unset_or_empty: refused in one line" refused
    check "HOME $unset_or_empty: says to name DIR ($err)" grep -q "HOME is not set.*install.sh DIR" <<<"$err"
    check "HOME $unset_or_empty: no unbound-variable error" test -z "$(grep -i unbound <<<"$err")"
    check "HOME $unset_or_empty: nothing created" test -z "$(find "$elsewhere" -mindepth 1 -maxdepth 1 ! -name sub)"
done
status=0
(cd "$elsewhere" && unset HOME && KIV_BUILD_DIR="$build" "$install" "no home") >"$scratch/out" 2>"$scratch/err" || status=$?
check "HOME unset with DIR: installs" identical "$elsewhere/no home"

# Into the build tree: a destination that is, holds or lies inside a built bundle is refused
# and nothing is touched. Each row: working directory, DIR.
ln -s "$build/bundles" "$scratch/link to bundles"
refusals=(
    "$elsewhere|$build/bundles"
    "$build|bundles"
    "$build/bundles|."
    "$build/bundles|./"
    "$build|."
    "$elsewhere|$build"
    "$elsewhere|$build/bundles/RegularDecoder.vst"
    "$elsewhere|$build/bundles/IrregularDecoder.vst/Contents/x86_64-linux"
    "$elsewhere|$build/bundles/RegularDecoder.vst/new dir"
    "$elsewhere|$scratch/link to bundles"
    "$build|lv2"
    "$elsewhere|$build/lv2/RegularDecoder.lv2"
    "$elsewhere|/"
)
for row in "${refusals[@]}"; do
    cwd=${row%%|*}
    dest=${row#*|}
    for mode in install uninstall; do
        if [ "$mode" = install ]; then run_from "$cwd" "$dest"; else run_from "$cwd" --uninstall "$dest"; fi
        check "$mode into '$dest' from $cwd: refused in one line ($err)" refused
        check "$mode into '$dest': says why" grep -q "refusing" <<<"$err"
        check_built_intact "$mode into '$dest' from $cwd"
    done
done
check "refused: no directory made inside a bundle" test ! -e "$build/bundles/RegularDecoder.vst/new dir"
# Elsewhere in the build tree is a directory like any other.
run_from "$build" "installed here"
check "into build/installed here: lands" identical "$build/installed here"
rm -rf "$build/installed here"
check_built_intact "install into another build directory"

# A file where the directory should be, and unknown options: one line, non-zero.
touch "$scratch/a file"
run_from "$elsewhere" "$scratch/a file"
check "DIR is a file: refused in one line ($err)" refused
run_from "$elsewhere" --bogus
check "unknown option: exit 2" test "$status" -eq 2
check "unknown option: one line" refused
run_from "$elsewhere" one two
check "two DIRs: exit 2" test "$status" -eq 2
check "two DIRs: one line" refused
check "two DIRs: nothing created" test ! -e "$elsewhere/one" -a ! -e "$elsewhere/two"

# --uninstall removes exactly the installed bundles: not other bundles, files or DIR.
target="$scratch/ünïnstall me"
run_from "$elsewhere" "$target"
mkdir -p "$target/Other.vst/Contents" "$target/RegularDecoder.vst.bak"
echo keep >"$target/notes.txt"
run_from "$scratch" --uninstall "${target##*/}"
check "uninstall: exit 0" test "$status" -eq 0
check "uninstall: bundles gone" absent "$target"
check "uninstall: everything else stays" test -d "$target/Other.vst/Contents" -a \
    -d "$target/RegularDecoder.vst.bak" -a -f "$target/notes.txt"
check "uninstall: one line per bundle ($out)" test "$(grep -c "^removed $target/" <<<"$out")" -eq ${#bundles[@]}
run_from "$scratch" --uninstall "${target##*/}"
check "uninstall again: exit 0, says not installed" test "$status" -eq 0 -a \
    "$(grep -c "^not installed: $target/" <<<"$out")" -eq ${#bundles[@]}
status=0
(cd "$elsewhere" && HOME="$home" KIV_BUILD_DIR="$build" "$install" --uninstall) >"$scratch/out" 2>"$scratch/err" || status=$?
check "uninstall from HOME/.vst and HOME/.lv2" absent_from_home "$home"
check "uninstall removes ambidec and its manual page" programs_absent_from_home "$home"
check "uninstall: a line per bundle and program file" \
    test "$(grep -c "^removed $home/" "$scratch/out")" -eq $((${#bundles[@]} + ${#programs[@]}))
check "uninstall leaves HOME/.local/bin itself" test -d "$home/.local/bin"
check "uninstall leaves HOME/.vst and HOME/.lv2 themselves" test -d "$home/.vst" -a -d "$home/.lv2"
status=0
(cd "$elsewhere" && unset HOME && KIV_BUILD_DIR="$build" "$install" --uninstall) >"$scratch/out" 2>"$scratch/err" || status=$?
out=$(cat "$scratch/out")
err=$(cat "$scratch/err")
check "uninstall with HOME unset: refused in one line" refused
check_built_intact "uninstall"

echo "install.sh: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
