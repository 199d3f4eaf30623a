// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CView.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"

namespace VSTGUI {

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView() {
    if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
    if (background) {
        if (transparent)
            background->drawTransparent(context, size);
        else
            background->draw(context, size);
    }
    setDirty(false);
}

CMouseEventResult CView::onMouseDown(CPoint&, long) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseUp(CPoint&, long) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseMoved(CPoint&, long) {
    return kMouseEventNotImplemented;
}
bool CView::onWheel(const CPoint&, float, long) {
    return false;
}
long CView::onKeyDown(VstKeyCode&) {
    return -1;
}
long CView::onKeyUp(VstKeyCode&) {
    return -1;
}
void CView::mouse(CDrawContext*, CPoint&, long) {}

void CView::setVisible(bool value) {
    if (visible != value) {
        visible = value;
        invalid();
    }
}

void CView::setViewSize(const CRect& rect) {
    size = rect;
    mouseableArea = rect;
    invalid();
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    invalid();
}

} // namespace VSTGUI
