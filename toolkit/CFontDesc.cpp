// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CFontDesc.h"

namespace VSTGUI {

CFontDesc::CFontDesc(const char* name, int size, int style)
    : name(name ? name : ""), size(size), style(style) {}

namespace {
// Their one reference is never given back, so a display that remembers and forgets
// them can never delete them.
CFontDesc normalFont("Helvetica", 12);
CFontDesc normalFontSmall("Helvetica", 11);
CFontDesc normalFontSmaller("Helvetica", 10);
} // namespace

const CFontRef kNormalFont = &normalFont;
const CFontRef kNormalFontSmall = &normalFontSmall;
const CFontRef kNormalFontSmaller = &normalFontSmaller;

} // namespace VSTGUI
