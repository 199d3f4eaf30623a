#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# usage: scripts/check-bare-machine.sh [--only build|test] [--workdir DIR] [--mirror URL] [--keep]
#
# Runs the README's two commands as a newcomer would, each on its own bare Debian 12: a
# debootstrap minbase chroot with nothing but git, the repository cloned into it from this
# checkout's committed HEAD (uncommitted changes are not part of the check). ./build.sh runs
# in one copy of that chroot, ./test.sh in another fresh copy, so neither relies on the other.
#
#   --only build|test  run one of the two commands only
#   --workdir DIR      where the chroots go (default: a new directory under /var/tmp);
#                      needs about 10 GB free
#   --mirror URL       the Debian mirror (default: KIV_BARE_MIRROR, else the one this
#                      machine's apt uses for bookworm)
#   --keep             leave the chroots and logs in place afterwards
#
# Runs as root (debootstrap, chroot, mount); installs debootstrap itself when missing.
# Each command's output goes to a log in the work directory; on failure its last lines are
# shown. The last lines summarise what passed and how long each step took.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
only=""
workdir=""
mirror="${KIV_BARE_MIRROR:-}"
keep=0
usage() { sed -n 's/^# usage: /usage: /p' "$0" >&2; exit 2; }
while [ $# -gt 0 ]; do
    case "$1" in
    --only) [ $# -ge 2 ] || usage; only=$2; shift 2 ;;
    --workdir) [ $# -ge 2 ] || usage; workdir=$2; shift 2 ;;
    --mirror) [ $# -ge 2 ] || usage; mirror=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) usage ;;
    *) echo "check-bare-machine: unknown argument '$1'" >&2; usage ;;
    esac
done
case "$only" in "" | build | test) ;; *) usage ;; esac
fail() { echo "check-bare-machine: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root (debootstrap, chroot and mount need it)"

say() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*"; }
duration() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# The mirror this machine's apt uses for bookworm, from one-line or deb822 sources.
host_mirror() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # One stanza a paragraph: the first URI of a stanza whose suites include bookworm.
        awk 'BEGIN { RS = ""; FS = "\n" }
             { uri = ""; suite = 0
               for (i = 1; i <= NF; i++) {
                   if ($i ~ /^URIs:/) { split($i, a, /[ \t]+/); uri = a[2] }
                   if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) suite = 1
               }
               if (uri != "" && suite) { print uri; exit } }' "$f"
    done
}
if [ -z "$mirror" ]; then
    mirror=$(host_mirror | head -n 1)
    [ -n "$mirror" ] || fail "no bookworm mirror in this machine's apt sources; give one with --mirror URL"
fi

"$repo/scripts/deps.sh" bare

if [ -z "$workdir" ]; then
    workdir=$(mktemp -d /var/tmp/kiv-bare-machine.XXXXXX)
else
    mkdir -p "$workdir"
    workdir=$(cd "$workdir" && pwd)
    [ -z "$(ls -A "$workdir")" ] || fail "$workdir is not empty"
fi

# Everything mounted under the work directory, unmounted in reverse order on every exit.
mounted=()
kept_said=0
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
cleanup() {
    local status=$?
    unmount_all
    if grep -q " $workdir/" /proc/mounts; then
        echo "check-bare-machine: something is still mounted under $workdir; not removing it" >&2
    elif [ "$keep" -eq 0 ]; then
        rm -rf --one-file-system "$workdir"
    elif [ "$kept_said" -eq 0 ]; then
        echo "Kept: $workdir"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_one() { # mount ARGS... TARGET
    mount "$@" || fail "could not mount ${*: -1}"
    mounted+=("${*: -1}")
}
mount_into() {
    local root=$1
    mount_one -t proc proc "$root/proc"
    mount_one --bind /dev "$root/dev"
    mount_one --bind /dev/pts "$root/dev/pts"
    mkdir -p "$root/dev/shm"
    mount_one -t tmpfs -o mode=1777 shm "$root/dev/shm"
}
# Runs a command as root in the chroot, with a clean environment.
in_chroot() {
    local root=$1
    shift
    env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 TERM=dumb chroot "$root" /bin/bash -c "$*"
}

revision=$(git -C "$repo" rev-parse --short HEAD)
say "Checking $repo at $revision ($(git -C "$repo" log -1 --format=%s HEAD | cut -c1-60))"
[ -z "$(git -C "$repo" status --porcelain)" ] ||
    say "Note: the checkout has uncommitted changes; only the committed HEAD is checked"
say "Work directory $workdir ($(df -h --output=avail "$workdir" | tail -n 1 | tr -d ' ') free)"
say "Mirror $mirror"
git -C "$repo" bundle create "$workdir/repo.bundle" HEAD 2>/dev/null

base="$workdir/base"
start=$(date +%s)
say "debootstrap --variant=minbase bookworm (log: $workdir/debootstrap.log)"
if ! debootstrap --variant=minbase bookworm "$base" "$mirror" >"$workdir/debootstrap.log" 2>&1; then
    tail -n 20 "$workdir/debootstrap.log" >&2
    fail "debootstrap failed"
fi
cp /etc/resolv.conf "$base/etc/resolv.conf" 2>/dev/null || true
# No services start inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$base/usr/sbin/policy-rc.d"
chmod +x "$base/usr/sbin/policy-rc.d"
cp "$workdir/repo.bundle" "$base/root/repo.bundle"
say "Installing git in the chroot"
mount_into "$base"
if ! in_chroot "$base" "export DEBIAN_FRONTEND=noninteractive; apt-get update -qq &&
        apt-get install -y -qq --no-install-recommends git" >"$workdir/git.log" 2>&1; then
    tail -n 20 "$workdir/git.log" >&2
    fail "could not install git in the chroot"
fi
unmount_all
base_time=$(($(date +%s) - start))
say "Bare Debian 12 with git ready in $(duration "$base_time")"

results=()
passed=0
failed=0

# What each command must have delivered besides exiting 0; prints one line saying what it
# found, and fails when something is missing. Called with the chroot and the command's log.
build_delivered() {
    local tree="$1/root/kivtone/build" f n
    for f in bundles/RegularDecoder.vst/Contents/x86_64-linux/RegularDecoder.so \
        bundles/IrregularDecoder.vst/Contents/x86_64-linux/IrregularDecoder.so \
        tools/ambidec/ambidec bench/kiv_bench; do
        [ -e "$tree/$f" ] || { echo "missing build/$f"; return 1; }
    done
    n=$(find "$tree/demo" -type f 2>/dev/null | wc -l)
    [ "$n" -gt 0 ] || { echo "no demo output in build/demo"; return 1; }
    grep -q '^== Decoding benchmark' "$2" || { echo "the demo did not reach the benchmark"; return 1; }
    echo "both bundles, ambidec and kiv_bench built; demo ran to the end ($n files in build/demo)"
}
test_delivered() {
    local summary skipped
    summary=$(grep -E '^[0-9]+% tests passed, 0 tests failed out of [1-9][0-9]*$' "$2" | tail -n 1)
    [ -n "$summary" ] || { echo "no passing CTest summary in the log"; return 1; }
    skipped=$(grep -c '(Skipped)$' "$2" || true)
    echo "ctest: $summary ($skipped skipped)"
}

# Runs one README command in a fresh copy of the bare chroot, in a fresh clone.
run_command() {
    local command=$1 name=$2 delivered=$3
    local root="$workdir/$name" log="$workdir/$name.log" t0 seconds status found
    say "Copying the bare chroot to $root"
    cp -a "$base" "$root"
    mount_into "$root"
    say "Running 'git clone && $command' in $root (log: $log)"
    t0=$(date +%s)
    status=0
    in_chroot "$root" "cd /root && git -c advice.detachedHead=false clone -q repo.bundle kivtone && cd kivtone &&
        echo \"commit \$(git rev-parse --short HEAD)\" && time $command" >"$log" 2>&1 || status=$?
    seconds=$(($(date +%s) - t0))
    unmount_all
    found=""
    if [ "$status" -eq 0 ]; then
        found=$("$delivered" "$root" "$log") || status=1
    fi
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        results+=("$(printf '  %-10s PASS  %s  %s' "$command" "$(duration "$seconds")" "$found")")
        say "$command passed in $(duration "$seconds"): $found"
    else
        failed=$((failed + 1))
        results+=("$(printf '  %-10s FAIL  %s  %s(log %s)' "$command" "$(duration "$seconds")" \
            "${found:+$found; }" "$log")")
        say "$command FAILED after $(duration "$seconds")${found:+: $found}; the log's last lines:"
        tail -n 40 "$log" | sed 's/^/    /'
        keep=1 # keep the evidence
    fi
    # The chroot of a passing run is not needed any more: free the disk for the next.
    if [ "$status" -eq 0 ] && [ "$keep" -eq 0 ]; then
        say "Removing $root"
        rm -rf --one-file-system "$root"
    fi
}

[ "$only" = test ] || run_command ./build.sh build build_delivered
[ "$only" = build ] || run_command ./test.sh test test_delivered

echo "== Bare Debian 12 (debootstrap minbase + git), commit $revision, $(nproc) cores"
printf '  %-10s %s\n' "setup" "$(duration "$base_time") (debootstrap, git)"
printf '%s\n' "${results[@]}"
if [ "$keep" -eq 1 ]; then
    echo "  chroots and logs kept in $workdir"
    kept_said=1
fi
echo "bare-machine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
