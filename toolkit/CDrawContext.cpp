// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CDrawContext.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace VSTGUI {

namespace {

CRect extentOf(cairo_surface_t* target) {
    if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE)
        return CRect(0, 0, cairo_image_surface_get_width(target),
                     cairo_image_surface_get_height(target));
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_t* probe = cairo_create(target);
    cairo_clip_extents(probe, &x1, &y1, &x2, &y2);
    cairo_destroy(probe);
    return CRect(int(x1), int(y1), int(x2), int(y2));
}

} // namespace

CDrawContext::CDrawContext(cairo_surface_t* target, CFrame* frame)
    : cr(cairo_create(target)), frame(frame), baseClip(extentOf(target)), clip(baseClip) {
    setFont(kNormalFont);
}

CDrawContext::CDrawContext(CBitmap& target)
    : CDrawContext(target.getSurface() ? target.getSurface()
                                       : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0),
                   nullptr) {
    // An empty bitmap has no pixels: the context then paints into a surface of its own
    // that nothing shows, which cairo_create keeps alive until the context goes.
    if (!target.getSurface()) cairo_surface_destroy(cairo_get_target(cr));
}

CDrawContext::~CDrawContext() {
    if (font) font->forget();
    cairo_destroy(cr);
}

void CDrawContext::setFont(CFontRef newFont) {
    if (newFont) newFont->remember();
    if (font) font->forget();
    font = newFont;
}

void CDrawContext::setSource(const CColor& color) {
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
}

void CDrawContext::lineTo(const CPoint& point) {
    cairo_save(cr);
    setSource(frameColor);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, pen.h + 0.5, pen.v + 0.5);
    cairo_line_to(cr, point.h + 0.5, point.v + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
    pen = point;
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    if (rect.isEmpty()) return;
    cairo_save(cr);
    if (style != kDrawStroked) {
        setSource(fillColor);
        cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
        cairo_fill(cr);
    }
    if (style != kDrawFilled) {
        setSource(frameColor);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, rect.left + 0.5, rect.top + 0.5, rect.width() - 1.0,
                        rect.height() - 1.0);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void CDrawContext::selectFont() {
    const CFontDesc& desc = font ? *font : *kNormalFont;
    cairo_select_font_face(
        cr, desc.getName().c_str(),
        (desc.getStyle() & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        (desc.getStyle() & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, desc.getSize());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options,
                                     textAntialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double CDrawContext::getStringWidth(const char* text) {
    if (!text || !*text) return 0;
    cairo_save(cr);
    selectFont();
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_restore(cr);
    return extents.x_advance;
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque,
                              CHoriTxtAlign align) {
    if (!text || rect.isEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr);
    if (opaque) {
        setSource(fillColor);
        cairo_paint(cr);
    }
    selectFont();
    cairo_font_extents_t metrics;
    cairo_font_extents(cr, &metrics);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    double x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.width() - extents.x_advance) / 2;
    else if (align == kRightText)
        x = rect.right - extents.x_advance;
    // Baseline so that ascent and descent sit centred in the rectangle; whole pixels
    // keep the glyphs as sharp as the hinting made them.
    const double baseline =
        rect.top + (rect.height() - metrics.ascent - metrics.descent) / 2 + metrics.ascent;
    setSource(fontColor);
    cairo_move_to(cr, std::round(x), std::round(baseline));
    cairo_show_text(cr, text);
    cairo_restore(cr);
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& rect) {
    clip = rect;
    clip.bound(baseClip);
    applyClip();
}

void CDrawContext::resetClipRect() {
    clip = baseClip;
    applyClip();
}

void CDrawContext::setBaseClip(const CRect& rect) {
    baseClip = rect;
    clip = rect;
    applyClip();
}

void CDrawContext::getMouseLocation(CPoint& where) const {
    if (frame) frame->getMouseLocation(where.h, where.v);
}

long CDrawContext::getMouseButtons() const {
    return frame ? frame->getMouseButtons() : 0;
}

} // namespace VSTGUI
