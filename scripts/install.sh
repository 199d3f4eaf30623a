#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# usage: scripts/install.sh [--uninstall] [DIR]
#        scripts/install.sh --pipewire [LAYOUT] ...   (a decoder as a PipeWire sink: see
#                                                     scripts/install-pipewire.sh)
#
# Copies the plug-in bundles where hosts look for them: the VST bundles into ~/.vst and the
# LV2 bundles into ~/.lv2, the command-line tool ambidec into ~/.local/bin and its manual
# page (when the build made one) into ~/.local/share/man/man1. With DIR (relative to the
# directory you run this from), the bundles only, all of them into DIR: DIR is a plug-in
# folder, and ambidec is a program, not a plug-in. Builds first (in build/, like
# ./build.sh) when something is missing. An installed bundle or file is replaced whole.
# --uninstall removes from the same places exactly what it would install there.
# KIV_BUILD_DIR names another build tree to install from (it is not built then).
set -euo pipefail

# The bundles, relative to the build tree, and the kind of host directory each goes to.
bundles=(
    "bundles/RegularDecoder.vst    vst"
    "bundles/IrregularDecoder.vst  vst"
    "bundles/BFormatConverter.vst  vst"
    "bundles/LayoutDecoder.vst     vst"
    "bundles/HeadphoneMonitor.vst  vst"
    "lv2/RegularDecoder.lv2        lv2"
    "lv2/IrregularDecoder.lv2      lv2"
    "lv2/BFormatConverter.lv2      lv2"
    "lv2/LayoutDecoder.lv2         lv2"
    "lv2/HeadphoneMonitor.lv2      lv2"
)
# Where each kind goes when no DIR is given, under HOME.
declare -A home_dir=([vst]=.vst [lv2]=.lv2 [bin]=.local/bin [man1]=.local/share/man/man1)
# The files installed into HOME only (without DIR): relative to the build tree, kind, and
# whether the build always makes it.
programs=(
    "tools/ambidec/ambidec    bin   required"
    "tools/ambidec/ambidec.1  man1  optional"
)

# A PipeWire sink is a use of its own, with its own arguments.
for arg in "$@"; do
    [ "$arg" != --pipewire ] || exec "$(dirname "${BASH_SOURCE[0]}")/install-pipewire.sh" "$@"
done

me=install.sh
fail() { echo "$me: $*" >&2; exit 1; }
usage() { echo "$me: ${1:+$1; }usage: scripts/install.sh [--uninstall] [DIR]" >&2; exit 2; }

uninstall=0
dir=""
while [ $# -gt 0 ]; do
    case "$1" in
    --uninstall) uninstall=1; shift ;;
    -h | --help) usage ;;
    --)
        shift
        if [ $# -gt 1 ] || [ -n "$dir" ]; then usage "one DIR at most"; fi
        dir=${1:-}
        shift $#
        ;;
    -*) usage "unknown option '$1'" ;;
    *) [ -z "$dir" ] || usage "one DIR at most"; dir=$1; [ -n "$dir" ] || fail "the destination is an empty name"; shift ;;
    esac
done

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KIV_BUILD_DIR:-$repo/build}
[ -n "$build" ] || fail "KIV_BUILD_DIR is empty"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

# The destination of one bundle: DIR (relative to where we were started), else HOME's.
destination_of() {
    local kind=$1
    if [ -n "$dir" ]; then
        case "$dir" in /*) echo "$dir" ;; *) echo "$PWD/$dir" ;; esac
    elif [ -z "${HOME:-}" ]; then
        fail "HOME is not set, so there is no ~/${home_dir[$kind]}; name the directory: scripts/install.sh $([ "$uninstall" -eq 0 ] || echo "--uninstall ")DIR"
    else
        echo "$HOME/${home_dir[$kind]}"
    fi
}

# True when path A is path B or lies inside it (both absolute, without symbolic links).
within() { [ "$1" = "$2" ] || [ "$2" = / ] || [[ "$1" == "$2"/* ]]; }

# Checks every bundle's destination before anything is touched.
sources=()
targets=()
for entry in "${bundles[@]}"; do
    read -r path kind <<<"$entry"
    [ -n "${home_dir[$kind]:-}" ] || fail "bundle $path has an unknown kind '$kind'"
    dest=$(destination_of "$kind")
    src="$build/$path"
    real_dest=$(realpath -m -- "$dest")
    real_src=$(realpath -m -- "$src")
    if within "$real_src" "$real_dest"; then
        fail "refusing $dest: it is or holds the directory of the built bundle $src; name one that does not"
    fi
    if within "$real_dest" "$real_src"; then
        fail "refusing $dest: it is inside the built bundle $src; name a directory outside it"
    fi
    [ ! -e "$dest" ] || [ -d "$dest" ] || fail "$dest exists and is not a directory"
    sources+=("$src")
    targets+=("$dest/$(basename "$path")")
done

# The program and its manual page, into HOME only.
required=("${sources[@]}")
if [ -z "$dir" ]; then
    for entry in "${programs[@]}"; do
        read -r path kind need <<<"$entry"
        dest=$(destination_of "$kind")
        [ ! -e "$dest" ] || [ -d "$dest" ] || fail "$dest exists and is not a directory"
        [ ! -d "$dest/$(basename "$path")" ] || fail "$dest/$(basename "$path") is a directory"
        sources+=("$build/$path")
        targets+=("$dest/$(basename "$path")")
        [ "$need" != required ] || required+=("$build/$path")
    done
fi

if [ "$uninstall" -eq 1 ]; then
    for target in "${targets[@]}"; do
        if [ -L "$target" ] || [ -e "$target" ]; then
            rm -rf -- "$target" || fail "could not remove $target"
            echo "removed $target"
        else
            echo "not installed: $target"
        fi
    done
    exit 0
fi

built() {
    local src
    for src in "${required[@]}"; do [ -e "$src" ] || return 1; done
}
if ! built; then
    [ -z "${KIV_BUILD_DIR:-}" ] || fail "the bundles or ambidec are missing from $build; build them first"
    echo "The bundles or ambidec are not built yet; building them in $build" >&2
    "$repo/scripts/deps.sh" build
    flags=()
    [ -f "$build/CMakeCache.txt" ] || flags=(-DKIV_BUILD_TESTS=OFF)
    cmake -S "$repo" -B "$build" "${flags[@]}" >/dev/null
    cmake --build "$build" -j "$(nproc)" >&2
    built || fail "the build did not make every bundle and ambidec"
fi

# Copy next to the destination first, then swap it in: an interrupted or failed copy leaves
# the installed bundle as it was and nothing half-written.
partial=""
trap '[ -z "$partial" ] || rm -rf -- "$partial"' EXIT
for i in "${!sources[@]}"; do
    src=${sources[i]}
    target=${targets[i]}
    [ -e "$src" ] || continue # a manual page this build does not make
    parent=$(dirname "$target")
    error=$(mkdir -p -- "$parent" 2>&1) || fail "cannot create $parent: ${error##*: }"
    partial="$parent/.$(basename "$target").partial.$$"
    error=$(cp -R --preserve=mode,timestamps -- "$src" "$partial" 2>&1) || fail "cannot copy into $parent: ${error##*: }"
    rm -rf -- "$target" || fail "cannot replace $target"
    mv -- "$partial" "$target" || fail "cannot move the new bundle to $target"
    partial=""
    echo "installed $target"
done
if [ -z "$dir" ]; then
    case ":${PATH:-}:" in
    *":$HOME/.local/bin:"*) ;;
    *) echo "note: $HOME/.local/bin is not on PATH; add it to run ambidec by name (a new login shell on Debian does)" >&2 ;;
    esac
fi
