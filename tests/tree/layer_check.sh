#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# No layer includes a higher one. A source file belongs to the layer of its top folder; an
# #include "..." names a file from the top of the tree, or beside the including file.
#   tests/tree/layer_check.sh ROOT              lists each `file -> include` that runs upwards;
#                                               exit 1 if any
#   tests/tree/layer_check.sh --self-test ROOT  shows that an upward include planted in a
#                                               small tree, and in a copy of ROOT, is found
set -euo pipefail

# The layers, bottom to top; folders in one entry stand side by side. A folder that does not
# exist is simply empty.
#   engine     the decoding engine
#   rig        loudspeaker layout files and decoder design
#   hrtf       sets of head-related responses (SOFA files) and the monitor's plans
#   product    what a product is: descriptions, parameters, programs, layouts, URIs
#   host       the VST 2.4 interface classes, the LV2 plug-in glue
#   resources  the editor's artwork (build-time programs, the embedded picture table)
#   toolkit    the widget toolkit on X11 and cairo
#   editor     the editor window, its controls, the LV2 UI glue
#   plugins    each product's entry points
#   tools      ambidec, the test host, the LV2 metadata generator
#   tests, bench: may include anything
readonly LAYERS=(engine rig hrtf product host resources toolkit editor plugins tools "tests bench")

check() {
    local root=$1 rank=0 entry folder ranks=""
    for entry in "${LAYERS[@]}"; do
        for folder in $entry; do ranks+="$folder=$rank "; done
        rank=$((rank + 1))
    done
    # Every file of the tree first (to tell an include beside the file from one from the
    # top), then every include line of the layered sources.
    local files
    files=$(mktemp)
    (cd "$root" && find . -type d \( -name '.git' -o -name 'build*' \) -prune -o -type f -print |
        sed 's#^\./##') >"$files"
    local status=0
    (cd "$root" && find . -type d \( -name '.git' -o -name 'build*' \) -prune -o -type f \
        \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.hpp' \) -print |
        sed 's#^\./##' | sort | while IFS= read -r f; do
            grep -H '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$f" || true
        done) |
        awk -v ranks="$ranks" '
            function normalise(path,   n, parts, out, i, k) {
                n = split(path, parts, "/"); k = 0
                for (i = 1; i <= n; i++) {
                    if (parts[i] == "" || parts[i] == ".") continue
                    if (parts[i] == "..") { if (k > 0) k--; continue }
                    out[++k] = parts[i]
                }
                path = ""
                for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
                return path
            }
            function layer(path,   top) {
                top = path; sub(/\/.*/, "", top)
                return (path ~ /\// && top in rank) ? rank[top] : -1
            }
            BEGIN {
                n = split(ranks, r, " ")
                for (i = 1; i <= n; i++) { split(r[i], kv, "="); rank[kv[1]] = kv[2] }
                bad = 0
            }
            FNR == NR { exists[$0] = 1; next }
            {
                colon = index($0, ":")
                file = substr($0, 1, colon - 1)
                line = substr($0, colon + 1)
                sub(/^[^"]*"/, "", line); sub(/".*/, "", line)
                from = layer(file)
                if (from < 0 || line == "") next
                dir = file; sub(/\/[^\/]*$/, "", dir)
                beside = normalise(dir "/" line)
                target = (beside in exists) ? beside : normalise(line)
                to = layer(target)
                if (to > from) { print file " -> " line; bad++ }
            }
            END { exit bad > 0 }' "$files" - || status=1
    rm -f "$files"
    return "$status"
}

plant() { # plant FILE LINE...: writes a source file with the licence line and the lines
    local file=$1
    shift
    mkdir -p "$(dirname "$file")"
    { echo '// SPDX-License-Identifier: GPL-3.0-or-later'; printf '%s\n' "$@"; } >"$file"
}

if [ "${1:-}" = "--self-test" ]; then
    src=$(cd "${2:?usage: layer_check.sh --self-test ROOT}" && pwd)
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT

    # A small tree: downward, sideways and own-folder includes pass; no rig/ folder at all.
    t=$tmp/small
    plant "$t/engine/Engine.h" '#pragma once'
    plant "$t/hrtf/Set.h" '#include "engine/Engine.h"'
    plant "$t/product/Product.h" '#include "engine/Engine.h"' '#include "hrtf/Set.h"'
    plant "$t/toolkit/View.h" '#include "resources/Picture.h"' '#include "host/Host.h"'
    plant "$t/resources/Picture.h" '#pragma once'
    plant "$t/host/Host.h" '#include "product/Product.h"' '#include <vector>'
    plant "$t/editor/Window.cpp" '#include "Window.h"' '#include "toolkit/View.h"'
    plant "$t/editor/Window.h" '#pragma once'
    plant "$t/plugins/Entry.cpp" '#include "editor/Window.h"'
    plant "$t/tests/Test.cpp" '#include "plugins/Entry.cpp"' '#include "tools/Tool.h"'
    plant "$t/tools/Tool.h" '#include "plugins/Entry.h"'
    out=$(check "$t") || { echo "self-test: a clean tree was refused: $out"; exit 1; }

    # Upward from a lower layer, through a path beside the file, and into the tests.
    plant "$t/host/lv2/Glue.cpp" '#include "product/Product.h"' '#include "editor/Window.h"'
    plant "$t/product/Table.cpp" '#include "../plugins/Entry.h"'
    plant "$t/hrtf/Plan.cpp" '#include "product/Product.h"'
    plant "$t/engine/Probe.h" '  #  include "tests/Test.h"'
    out=$(check "$t") && { echo "self-test: planted upward includes passed"; exit 1; }
    want=$'engine/Probe.h -> tests/Test.h\nhost/lv2/Glue.cpp -> editor/Window.h\nhrtf/Plan.cpp -> product/Product.h\nproduct/Table.cpp -> ../plugins/Entry.h'
    [ "$out" = "$want" ] || { echo "self-test: said '$out'"; exit 1; }

    # A copy of the real tree passes, and fails on one include planted in its engine.
    mkdir "$tmp/copy"
    (cd "$src" && find . -type d \( -name '.git' -o -name 'build*' \) -prune -o -type f \
        \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cp --parents -t "$tmp/copy")
    out=$(check "$tmp/copy") || { echo "self-test: the copied tree was refused: $out"; exit 1; }
    sed -i '2i #include "plugins/KivDecoderShell.h"' "$tmp/copy/engine/KivAmbisonicDecoder.h"
    out=$(check "$tmp/copy") && { echo "self-test: the planted include in the copy passed"; exit 1; }
    [ "$out" = "engine/KivAmbisonicDecoder.h -> plugins/KivDecoderShell.h" ] ||
        { echo "self-test: said '$out' on the copy"; exit 1; }
    echo "self-test: the planted upward includes were found"
    exit 0
fi

root=$(cd "${1:?usage: layer_check.sh ROOT | --self-test ROOT}" && pwd)
check "$root"
