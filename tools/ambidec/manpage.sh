#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes ambidec's man page from its own --help text, so that the two cannot differ.
# usage: manpage.sh AMBIDEC OUT.1
set -eu
ambidec=$1
out=$2

# roff: backslashes as \e, hyphens as \-, a line that starts with . or ' guarded by \&.
escape() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

"$ambidec" --help >"$out.help"
{
    echo '.TH AMBIDEC 1 "" "ambidec" "User Commands"'
    echo '.SH NAME'
    echo 'ambidec \- render, inspect and picture the Ambisonic decoder plug\-ins'
    echo '.SH SYNOPSIS'
    echo '.nf'
    # The usage lines: from the second line to the first blank one.
    sed -n '2,/^$/p' "$out.help" | sed -e '/^$/d' -e 's/^  //' | escape
    echo '.fi'
    echo '.SH DESCRIPTION'
    # The paragraphs after it, each one a .PP.
    sed -n '/^$/,$p' "$out.help" | escape | sed -e 's/^$/.PP/'
} >"$out.tmp"
rm -f "$out.help"
mv "$out.tmp" "$out"
