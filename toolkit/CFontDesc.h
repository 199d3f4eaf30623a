// SPDX-License-Identifier: GPL-3.0-or-later
// A font description: family name, size in pixels (one point is one pixel on the editor's
// 72-dpi grid) and style bits. The family is matched by fontconfig when text is drawn, so
// "Helvetica" picks the closest face installed. Reference-counted; the three shared
// descriptions below live for the whole process. User-interface thread only.
#pragma once

#include "toolkit/CReferenceCounter.h"

#include <string>

namespace VSTGUI {

enum CTxtFace {
    kNormalFace = 0,
    kBoldFace = 1 << 0,
    kItalicFace = 1 << 1,
};

class CFontDesc : public CReferenceCounter {
public:
    CFontDesc(const char* name, int size, int style = kNormalFace);

    const std::string& getName() const { return name; }
    int getSize() const { return size; }
    int getStyle() const { return style; }

private:
    std::string name;
    int size;
    int style;
};

using CFontRef = CFontDesc*;

// Helvetica at 12, 11 and 10 points.
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;

} // namespace VSTGUI
