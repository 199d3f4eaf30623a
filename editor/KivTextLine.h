// SPDX-License-Identifier: GPL-3.0-or-later
// One line of text the editor sets from what the effect publishes (a layout's name, a
// message for the user), drawn over the background in one font and colour. Dirty only when
// the text changes. User-interface thread; takes no mouse events.
#pragma once

#include "toolkit/CColor.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CView.h"

#include <string>

namespace VSTGUI {

class KivTextLine : public CView {
public:
    KivTextLine(const CRect& size, CFontRef font, const CColor& colour,
                CHoriTxtAlign align = kCenterText);
    ~KivTextLine() override;

    void setText(const std::string& next);
    const std::string& getText() const { return text; }
    void draw(CDrawContext* context) override;

private:
    CFontRef font;
    CColor colour;
    CHoriTxtAlign align;
    std::string text;
};

} // namespace VSTGUI
