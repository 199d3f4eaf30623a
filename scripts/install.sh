#!/usr/bin/env bash
# Copies both plug-in bundles into ~/.vst, or into the directory given.
#   scripts/install.sh [DIR]
# Builds the bundles first (in build/) when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
destination="${1:-$HOME/.vst}"
bundles=(RegularDecoder IrregularDecoder)

missing=0
for b in "${bundles[@]}"; do
    [ -f "build/bundles/$b.vst/Contents/x86_64-linux/$b.so" ] || missing=1
done
if [ "$missing" -eq 1 ]; then
    scripts/deps.sh build
    cmake -S . -B build >/dev/null
    cmake --build build -j 2 --target kiv_bundles
fi

mkdir -p "$destination"
for b in "${bundles[@]}"; do
    # Replace the whole bundle so that no file of an older build stays behind.
    rm -rf "${destination:?}/$b.vst"
    cp -R "build/bundles/$b.vst" "$destination/"
    echo "installed $destination/$b.vst"
done
