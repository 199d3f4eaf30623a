#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when missing.
# usage: scripts/deps.sh GROUP...   (groups: build, test, ci)
set -euo pipefail

packages_for() {
    case "$1" in
    build) echo "cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev" \
                "libx11-dev libxext-dev libcairo2-dev lv2-dev libsndfile1-dev fontconfig fonts-dejavu-core fonts-liberation2" ;;
    test) echo "xvfb xauth xdotool x11-utils libxtst-dev libfontconfig-dev clang libclang-rt-14-dev imagemagick" ;;
    ci) echo "clang-format ardour" ;;
    *) echo "deps.sh: unknown group '$1' (use build, test or ci)" >&2; exit 2 ;;
    esac
}

wanted=()
for group in "$@"; do
    for p in $(packages_for "$group"); do wanted+=("$p"); done
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
