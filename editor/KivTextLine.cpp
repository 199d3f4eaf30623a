// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivTextLine.h"

namespace VSTGUI {

KivTextLine::KivTextLine(const CRect& size, CFontRef font, const CColor& colour,
                         CHoriTxtAlign align)
    : CView(size), font(font), colour(colour), align(align) {
    font->remember();
    setMouseEnabled(false);
    setTransparency(true);
}

KivTextLine::~KivTextLine() {
    font->forget();
}

void KivTextLine::setText(const std::string& next) {
    if (next == text) return;
    text = next;
    setDirty();
}

void KivTextLine::draw(CDrawContext* context) {
    setDirty(false);
    if (text.empty()) return;
    context->setFont(font);
    context->setFontColor(colour);
    context->drawString(text.c_str(), size, false, align);
}

} // namespace VSTGUI
