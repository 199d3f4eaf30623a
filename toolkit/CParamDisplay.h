// SPDX-License-Identifier: GPL-3.0-or-later
// A text display of a control value. At each redraw it makes its text (with the
// conversion that has user data if one is set, else the plain one, else "%2.2f" of the
// value), then draws, as the style allows: its background bitmap, or when it has none
// and is not transparent, a fill in the background colour and a one-pixel frame; 3D
// edges; and the text, clipped to the rectangle, with an optional shadow one pixel right
// and down. A transparent display draws only its text, over what lies behind it.
// User-interface thread, except setValue (see CControl).
#pragma once

#include "toolkit/CColor.h"
#include "toolkit/CControl.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

#include <string>

namespace VSTGUI {

// Style bits.
enum CParamDisplayStyle : long {
    kShadowText = 0x4,
    k3DIn = 0x80,
    k3DOut = 0x100,
    kNoTextStyle = 0x800,
    kNoDrawStyle = 0x1000,
    kNoFrame = 0x4000,
};

class CParamDisplay : public CControl {
public:
    // Writes the text for a value into text (room for kTextSize bytes).
    using StringConvert = void (*)(float value, char* text);
    using StringConvertWithData = void (*)(float value, char* text, void* userData);
    using String2FloatConvert = void (*)(char* text, float& value);
    static constexpr int kTextSize = 256;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);
    ~CParamDisplay() override;

    void draw(CDrawContext* context) override;

    void setStringConvert(StringConvert convert);
    void setStringConvert(StringConvertWithData convert, void* userData);
    void setString2FloatConvert(String2FloatConvert convert) { string2FloatConvert = convert; }
    String2FloatConvert getString2FloatConvert() const { return string2FloatConvert; }
    // The text the next redraw shows for the current value.
    std::string getDisplayText() const;

    // The display keeps a reference to its font.
    void setFont(CFontRef font);
    CFontRef getFont() const { return font; }
    void setFontColor(const CColor& color);
    const CColor& getFontColor() const { return fontColor; }
    void setBackColor(const CColor& color);
    const CColor& getBackColor() const { return backColor; }
    void setFrameColor(const CColor& color);
    const CColor& getFrameColor() const { return frameColor; }
    void setShadowColor(const CColor& color);
    const CColor& getShadowColor() const { return shadowColor; }
    void setHoriAlign(CHoriTxtAlign align);
    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }
    void setStyle(long newStyle);
    long getStyle() const { return style; }
    // Off: the text's rectangle is filled with the background colour behind the text.
    void setTextTransparency(bool on);
    bool getTextTransparency() const { return textTransparent; }
    void setAntialias(bool on);
    bool getAntialias() const { return antialias; }

protected:
    void makeText(float shown, char* text) const;
    void drawText(CDrawContext* context, const char* text);

    StringConvert stringConvert = nullptr;
    StringConvertWithData stringConvertWithData = nullptr;
    void* userData = nullptr;
    String2FloatConvert string2FloatConvert = nullptr;
    CHoriTxtAlign horiTxtAlign = kCenterText;
    long style;
    CFontRef font = nullptr;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    bool textTransparent = true;
    bool antialias = true;
};

} // namespace VSTGUI
