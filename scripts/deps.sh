#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that the build and the tests need, when missing.
# usage: scripts/deps.sh GROUP...   (groups: build, test, ci, bare)
#   build  what ./build.sh needs: the plug-ins, ambidec, the benchmark and the demo
#   test   what ./test.sh needs on top of build: the test suite, its X server, the sanitizers
#   ci     what .ci/run needs on top of build and test
#   bare   what scripts/check-bare-machine.sh needs to make its Debian chroot
# A package goes into the first group whose command needs it; one package a line.
set -euo pipefail

build=(
    cmake g++ make pkg-config
    libx11-dev libxext-dev libcairo2-dev # toolkit, editor, artwork
    libfontconfig-dev                    # ambidec's text
    libsndfile1-dev                      # ambidec's sound files
    libbenchmark-dev                     # bench/
    fontconfig fonts-dejavu-core fonts-liberation2
    lv2-dev # the LV2 versions of the plug-ins
    libqhull-dev libeigen3-dev nlohmann-json3-dev # rig/: hulls, linear algebra, JSON layouts
    libfftw3-dev                                  # engine/: the headphone monitor's FFTs
    libmysofa-dev libmysofa1                      # hrtf/: SOFA files and the default set
)
test=(
    libgtest-dev libgmock-dev
    libxtst-dev                             # pointer events in the window tests
    xvfb xauth xdotool x11-utils imagemagick # the private X server and its screenshots
    clang libclang-rt-14-dev                # ./test.sh --sanitize, the fuzz run
    liblilv-dev lilv-utils jalv             # the LV2 bundles as a host sees them
    jackd2 libjack-jackd2-dev
    ambdec # its decoder presets only, read by the rig tests
    ffmpeg                                  # ffprobe, the second reader of the files ambidec writes
)
ci=(
    clang-format
    ardour
)
bare=(
    debootstrap
)

wanted=()
for group in "$@"; do
    case "$group" in
    build) wanted+=("${build[@]}") ;;
    test) wanted+=("${test[@]}") ;;
    ci) wanted+=("${ci[@]}") ;;
    bare) wanted+=("${bare[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (use build, test, ci or bare)" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run as root:  apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >&2
apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
