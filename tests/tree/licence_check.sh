#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the tree carries the project's licence line in its first two lines
# (the second where the first is a #! line).
#   tests/tree/licence_check.sh ROOT          lists each file without it; exit 1 if any
#   tests/tree/licence_check.sh --self-test   shows that a planted file without it is found
set -euo pipefail

check() {
    local root=$1 missing=0 f
    while IFS= read -r -d '' f; do
        if ! head -n 2 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
            echo "no licence line: ${f#"$root"/}"
            missing=$((missing + 1))
        fi
    done < <(find "$root" -type d \( -name '.git' -o -name 'build*' -o -name 'out' \) -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.cmake' \
        -o -name '*.map' -o -name 'CMakeLists.txt' -o -path "$root/.ci/run" \) -print0)
    [ "$missing" -eq 0 ]
}

if [ "${1:-}" = "--self-test" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/engine" "$tmp/.ci"
    printf '// SPDX-License-Identifier: GPL-3.0-or-later\nint a;\n' >"$tmp/engine/Good.cpp"
    printf '#!/bin/sh\n# SPDX-License-Identifier: GPL-3.0-or-later\n' >"$tmp/.ci/run"
    check "$tmp" || { echo "self-test: a clean tree was refused"; exit 1; }
    printf '// A file without it.\nint b;\n' >"$tmp/engine/Bad.h"
    out=$(check "$tmp") && { echo "self-test: a planted file without the line passed"; exit 1; }
    [ "$out" = "no licence line: engine/Bad.h" ] || { echo "self-test: said '$out'"; exit 1; }
    echo "self-test: the planted file was found"
    exit 0
fi

root=$(cd "${1:?usage: licence_check.sh ROOT | --self-test}" && pwd)
check "$root"
