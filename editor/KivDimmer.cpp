// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/KivDimmer.h"

#include "toolkit/CDrawContext.h"

#include <cairo.h>

namespace VSTGUI {

KivDimmer::KivDimmer(const CRect& size) : CView(size) {
    setTransparency(true);
    setVisible(false);
}

void KivDimmer::draw(CDrawContext* context) {
    setDirty(false);
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, size.left, size.top, size.width(), size.height());
    cairo_set_source_rgba(cr, 0.10, 0.11, 0.14, 0.7);
    cairo_fill(cr);
    cairo_restore(cr);
}

CMouseEventResult KivDimmer::onMouseDown(CPoint&, long) {
    return kMouseEventHandled; // swallowed: the parameter under the veil does nothing
}

} // namespace VSTGUI
