// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivLayoutChooser.h"

#include "toolkit/CButtonState.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

#include <cairo.h>

namespace VSTGUI {

namespace {

CFontDesc nameFont("Helvetica", 11, kBoldFace);
constexpr CColor kBox = {33, 36, 43, 255};
constexpr CColor kEdge = {90, 96, 108, 255};
constexpr CColor kAmber = {250, 168, 56, 255};
constexpr CColor kName = {236, 240, 246, 255};

} // namespace

KivLayoutChooser::KivLayoutChooser(const CRect& size, CControlListener* listener, long tag)
    : CControl(size, listener, tag) {}

void KivLayoutChooser::setText(const std::string& next) {
    if (next == text) return;
    text = next;
    setDirty();
}

void KivLayoutChooser::ask(int direction) {
    // No edit brackets: the layout is chosen as a program, not as a parameter edit.
    step = direction;
    if (listener) listener->valueChanged(this);
    step = 0;
}

CMouseEventResult KivLayoutChooser::onMouseDown(CPoint& where, long buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    ask(where.h < size.left + kArrowWidth ? -1 : 1);
    return kMouseEventHandled;
}

bool KivLayoutChooser::onWheel(const CPoint&, float distance, long) {
    if (distance == 0.0f) return false;
    ask(distance > 0.0f ? -1 : 1);
    return true;
}

void KivLayoutChooser::draw(CDrawContext* context) {
    context->setFillColor(kBox);
    context->setFrameColor(kEdge);
    context->drawRect(size, kDrawFilledAndStroked);
    // The two arrows, pointing out of the box.
    cairo_t* cr = context->getCairo();
    const double midY = (size.top + size.bottom) / 2.0;
    cairo_save(cr);
    cairo_set_source_rgb(cr, kAmber.red / 255.0, kAmber.green / 255.0, kAmber.blue / 255.0);
    cairo_new_path(cr);
    cairo_move_to(cr, size.left + 7, midY);
    cairo_line_to(cr, size.left + 15, midY - 6);
    cairo_line_to(cr, size.left + 15, midY + 6);
    cairo_close_path(cr);
    cairo_move_to(cr, size.right - 7, midY);
    cairo_line_to(cr, size.right - 15, midY - 6);
    cairo_line_to(cr, size.right - 15, midY + 6);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_restore(cr);
    context->setFont(&nameFont);
    context->setFontColor(kName);
    context->drawString(text.c_str(), CRect(size.left + kArrowWidth, size.top,
                                            size.right - kArrowWidth, size.bottom));
    setDirty(false);
}

} // namespace VSTGUI
