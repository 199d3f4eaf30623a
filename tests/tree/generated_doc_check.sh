#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A committed page of docs/ that a generator writes must be what the generator writes now.
#   tests/tree/generated_doc_check.sh GENERATOR COMMITTED_FILE
set -uo pipefail
generator=$1
committed=$2
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
"$generator" >"$fresh" || { echo "generated_doc_check: $generator failed" >&2; exit 1; }
[ -s "$fresh" ] || { echo "generated_doc_check: $generator wrote nothing" >&2; exit 1; }
if [ ! -f "$committed" ]; then
    echo "$committed is missing; write it with: cmake --build build --target kiv_docs" >&2
    exit 1
fi
if ! diff -u "$committed" "$fresh" | head -n 40; then :; fi
if ! cmp -s "$committed" "$fresh"; then
    echo "$committed differs from what the product descriptions give now; regenerate it with: cmake --build build --target kiv_docs" >&2
    exit 1
fi
echo "$committed is up to date"
