#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# usage: scripts/install.sh --pipewire [LAYOUT] [--ambix | --headphones] [--set SYMBOL=VALUE]...
#        scripts/install.sh --pipewire --uninstall
#        scripts/install.sh --pipewire --list
#
# Makes a decoder a virtual sink of the desktop's PipeWire: installs the plug-ins as
# scripts/install.sh does (the filter-chain finds LV2 plug-ins in ~/.lv2), then writes the
# filter-chain of LAYOUT (by name or short name, as --list shows them; the first when none
# is named) with the user's control values into ~/.config/pipewire/pipewire.conf.d/, where
# PipeWire reads it when it starts. --ambix puts the B-format converter in front (AmbiX
# material); --headphones puts HeadphoneMonitor after the decoder, set to its layout, and plays
# on two channels. The FuMa, AmbiX and headphone sinks are separate files and may all be
# installed. A
# second install of the same kind replaces it. --uninstall removes the sinks, not the
# plug-ins. KIV_BUILD_DIR names another build tree, as for install.sh.
set -euo pipefail

me=install.sh
fail() { echo "$me: $*" >&2; exit 1; }
usage() { echo "$me: ${1:+$1; }usage: scripts/install.sh --pipewire [LAYOUT] [--ambix | --headphones] [--set SYMBOL=VALUE]... | --pipewire --uninstall | --pipewire --list" >&2; exit 2; }

# The kinds of sink kiv_pwchain writes, by the key in their file and node names.
kinds=(bformat-loudspeakers ambix-loudspeakers bformat-headphones)

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KIV_BUILD_DIR:-$repo/build}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
generator="$build/tools/pwchain/kiv_pwchain"

uninstall=0
list=0
kind=${kinds[0]}
layout=""
generator_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --pipewire) shift ;;
    --uninstall) uninstall=1; shift ;;
    --list) list=1; shift ;;
    --ambix) kind=${kinds[1]}; generator_args+=(--ambix); shift ;;
    --headphones) kind=${kinds[2]}; generator_args+=(--headphones); shift ;;
    --set)
        [ $# -ge 2 ] || usage "--set needs SYMBOL=VALUE"
        generator_args+=(--set "$2")
        shift 2
        ;;
    --set=*) generator_args+=(--set "${1#--set=}"); shift ;;
    -h | --help) usage ;;
    -*) usage "unknown option '$1'" ;;
    *) [ -z "$layout" ] || usage "one LAYOUT at most"; layout=$1; [ -n "$layout" ] || usage "the layout is an empty name"; shift ;;
    esac
done

[ -n "${HOME:-}" ] || [ -n "${XDG_CONFIG_HOME:-}" ] || fail "HOME is not set, so there is no ~/.config/pipewire"
conf_d="${XDG_CONFIG_HOME:-$HOME/.config}/pipewire/pipewire.conf.d"

if [ "$uninstall" -eq 1 ]; then
    [ -z "$layout" ] && [ ${#generator_args[@]} -eq 0 ] || usage "--uninstall takes no layout or controls"
    for k in "${kinds[@]}"; do
        target="$conf_d/kivtone-$k.conf"
        if [ -e "$target" ]; then
            rm -f -- "$target" || fail "could not remove $target"
            echo "removed $target"
        else
            echo "not installed: $target"
        fi
    done
    echo "PipeWire drops the sinks when it restarts: systemctl --user restart wireplumber pipewire pipewire-pulse"
    exit 0
fi

if [ ! -x "$generator" ]; then
    [ -z "${KIV_BUILD_DIR:-}" ] || fail "kiv_pwchain is missing from $build; build it first"
    "$repo/scripts/install.sh" >/dev/null || exit 1
fi
[ -x "$generator" ] || fail "the build did not make $generator"
if [ "$list" -eq 1 ]; then
    exec "$generator" --list
fi
if [ -z "$layout" ]; then
    layout=$("$generator" --list | head -n 1 | sed 's/  .*//')
fi

# Checks the layout and the values before anything is installed.
scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
error=$("$generator" "${generator_args[@]}" "$layout" "$scratch/chain.conf" 2>&1) ||
    fail "${error#kiv_pwchain: }"
command -v pipewire >/dev/null || fail "PipeWire is not installed (Debian: apt-get install pipewire pipewire-bin)"

# The plug-ins where PipeWire's LV2 host finds them: ~/.lv2.
"$repo/scripts/install.sh"

error=$(mkdir -p -- "$conf_d" 2>&1) || fail "cannot create $conf_d: ${error##*: }"
target="$conf_d/kivtone-$kind.conf"
partial="$conf_d/.kivtone-$kind.conf.partial.$$"
cp -- "$scratch/chain.conf" "$partial" || fail "cannot write into $conf_d"
mv -- "$partial" "$target" || { rm -f -- "$partial"; fail "cannot write $target"; }
echo "installed $target ($(sed -n 's/^# \(.*\) (.*)\.$/\1/p;q' "$target"))"
echo "PipeWire reads it when it starts: systemctl --user restart wireplumber pipewire pipewire-pulse"
