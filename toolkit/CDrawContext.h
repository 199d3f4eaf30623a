// SPDX-License-Identifier: GPL-3.0-or-later
// Draws into a cairo surface: the frame's picture of the editor, or a bitmap.
// Coordinates are the target's pixels. Lines are one pixel wide and lie on pixel
// centres, so a stroked rectangle covers exactly its border pixels. A context made by a
// frame also answers the pointer queries of controls that track the mouse.
// Reference-counted: whoever makes one forgets it. User-interface thread only.
#pragma once

#include "toolkit/CColor.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CRect.h"
#include "toolkit/CReferenceCounter.h"

struct _cairo;
struct _cairo_surface;

namespace VSTGUI {

class CBitmap;
class CFrame;

enum CHoriTxtAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };

enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

class CDrawContext : public CReferenceCounter {
public:
    // Paints into target; frame (may be null) answers the pointer queries.
    CDrawContext(_cairo_surface* target, CFrame* frame);
    // Paints into the bitmap's pixels.
    explicit CDrawContext(CBitmap& target);
    ~CDrawContext() override;

    _cairo* getCairo() const { return cr; }
    CFrame* getFrame() const { return frame; }

    void setFrameColor(const CColor& color) { frameColor = color; }
    const CColor& getFrameColor() const { return frameColor; }
    void setFillColor(const CColor& color) { fillColor = color; }
    const CColor& getFillColor() const { return fillColor; }
    void setFontColor(const CColor& color) { fontColor = color; }
    const CColor& getFontColor() const { return fontColor; }
    // The context keeps a reference to the font while it uses it.
    void setFont(CFontRef font);
    CFontRef getFont() const { return font; }
    void setTextAntialias(bool on) { textAntialias = on; }

    // Lines in the frame colour, from the pen position to a point (both pixels drawn).
    void moveTo(const CPoint& point) { pen = point; }
    void lineTo(const CPoint& point);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect) { drawRect(rect, kDrawFilled); }

    // Text in the font colour, vertically centred in rect and placed horizontally by
    // align; opaque fills rect with the fill colour first. Nothing is drawn outside rect.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
                    CHoriTxtAlign align = kCenterText);
    double getStringWidth(const char* text);

    // Limits drawing to rect, within the area the frame is repainting (if any).
    void setClipRect(const CRect& rect);
    void resetClipRect();
    const CRect& getClipRect() const { return clip; }
    // The frame's repaint area: no later clip can reach outside it.
    void setBaseClip(const CRect& rect);

    // The pointer, relative to the frame, and the current button-state bits.
    void getMouseLocation(CPoint& where) const;
    long getMouseButtons() const;

private:
    void applyClip();
    void setSource(const CColor& color);
    void selectFont();

    _cairo* cr = nullptr;
    CFrame* frame = nullptr;
    CRect baseClip;
    CRect clip;
    CPoint pen;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kWhiteCColor;
    CFontRef font = nullptr;
    bool textAntialias = true;
};

} // namespace VSTGUI
