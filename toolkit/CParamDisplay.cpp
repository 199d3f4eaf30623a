// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CParamDisplay.h"

#include "toolkit/CBitmap.h"

#include <cstdio>

namespace VSTGUI {

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, long style)
    : CControl(size, nullptr, -1, background), style(style) {
    setFont(kNormalFont);
}

CParamDisplay::~CParamDisplay() {
    if (font) font->forget();
}

void CParamDisplay::setStringConvert(StringConvert convert) {
    stringConvert = convert;
    invalid();
}

void CParamDisplay::setStringConvert(StringConvertWithData convert, void* data) {
    stringConvertWithData = convert;
    userData = data;
    invalid();
}

void CParamDisplay::makeText(float shown, char* text) const {
    text[0] = 0;
    if (stringConvertWithData)
        stringConvertWithData(shown, text, userData);
    else if (stringConvert)
        stringConvert(shown, text);
    else
        std::snprintf(text, kTextSize, "%2.2f", shown);
    text[kTextSize - 1] = 0;
}

std::string CParamDisplay::getDisplayText() const {
    char text[kTextSize];
    makeText(value, text);
    return text;
}

void CParamDisplay::draw(CDrawContext* context) {
    const float shown = value;
    char text[kTextSize];
    makeText(shown, text);
    markDrawn(shown);
    if (style & kNoDrawStyle) return;

    if (background) {
        if (transparent)
            background->drawTransparent(context, size);
        else
            background->draw(context, size);
    } else if (!transparent) {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & (kNoFrame | k3DIn | k3DOut))) {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        }
    }

    if (style & (k3DIn | k3DOut)) {
        const bool in = (style & k3DIn) != 0;
        const CCoord right = size.right - 1;
        const CCoord bottom = size.bottom - 1;
        context->setFrameColor(in ? backColor : frameColor);
        context->moveTo(CPoint(size.left, bottom));
        context->lineTo(CPoint(size.left, size.top));
        context->lineTo(CPoint(right, size.top));
        context->setFrameColor(in ? frameColor : backColor);
        context->moveTo(CPoint(right, size.top));
        context->lineTo(CPoint(right, bottom));
        context->lineTo(CPoint(size.left, bottom));
    }

    if ((style & kNoTextStyle) || !text[0]) return;
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text) {
    context->setClipRect(size);
    context->setFont(font);
    context->setTextAntialias(antialias);
    if (style & kShadowText) {
        CRect shadow = size;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text, shadow, false, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->setFillColor(backColor);
    context->drawString(text, size, !textTransparent, horiTxtAlign);
    context->resetClipRect();
}

void CParamDisplay::setFont(CFontRef newFont) {
    if (newFont) newFont->remember();
    if (font) font->forget();
    font = newFont;
    invalid();
}

void CParamDisplay::setFontColor(const CColor& color) {
    fontColor = color;
    invalid();
}

void CParamDisplay::setBackColor(const CColor& color) {
    backColor = color;
    invalid();
}

void CParamDisplay::setFrameColor(const CColor& color) {
    frameColor = color;
    invalid();
}

void CParamDisplay::setShadowColor(const CColor& color) {
    shadowColor = color;
    invalid();
}

void CParamDisplay::setHoriAlign(CHoriTxtAlign align) {
    horiTxtAlign = align;
    invalid();
}

void CParamDisplay::setStyle(long newStyle) {
    style = newStyle;
    invalid();
}

void CParamDisplay::setTextTransparency(bool on) {
    textTransparent = on;
    invalid();
}

void CParamDisplay::setAntialias(bool on) {
    antialias = on;
    invalid();
}

} // namespace VSTGUI
