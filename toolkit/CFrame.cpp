// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/CFrame.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CView.h"
#include "toolkit/PointerSource.h"
#include "toolkit/X11Window.h"

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

namespace VSTGUI {

CFrame::CFrame(const CRect& frameSize, void* systemWindow, VSTGUIEditorInterface* editor)
    : size(0, 0, std::max(0, frameSize.width()), std::max(0, frameSize.height())), editor(editor) {
    if (systemWindow) {
        window = std::make_unique<X11Window>(reinterpret_cast<std::uintptr_t>(systemWindow),
                                             size.width(), size.height(), *this);
        if (!window->isOpen()) window.reset();
    }
    // Opaque pixels: what the window shows is exactly what was painted.
    picture = window ? window->createPicture()
                     : cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width(), size.height());
}

CFrame::~CFrame() {
    releaseMouseDownView();
    focusView = nullptr;
    for (CView* view : views) {
        view->removed();
        view->forget();
    }
    views.clear();
    if (background) background->forget();
    // The picture may live in memory shared with the X server: it goes first, once the
    // server is done with it.
    if (window) window->sync();
    cairo_surface_destroy(picture);
    window.reset();
}

// ---- Views ----

bool CFrame::addView(CView* view) {
    if (!view || isChild(view)) return false;
    views.push_back(view);
    view->attached(this);
    view->invalid();
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    const auto it = std::find(views.begin(), views.end(), view);
    if (it == views.end()) return false;
    views.erase(it);
    if (focusView == view) focusView = nullptr;
    if (mouseDownView == view) releaseMouseDownView();
    invalidRect(view->getViewSize());
    view->removed();
    if (withForget) view->forget();
    return true;
}

bool CFrame::isChild(const CView* view) const {
    return std::find(views.begin(), views.end(), view) != views.end();
}

CView* CFrame::getView(long index) const {
    return index >= 0 && index < long(views.size()) ? views[std::size_t(index)] : nullptr;
}

CView* CFrame::getViewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* view = *it;
        if (view->isVisible() && view->getMouseEnabled() && view->hitTest(where)) return view;
    }
    return nullptr;
}

void CFrame::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    fullRedraw = true;
}

void CFrame::setBackgroundColor(const CColor& color) {
    backgroundColor = color;
    fullRedraw = true;
}

void CFrame::invalidRect(const CRect& rect) {
    CRect area = rect;
    area.bound(size);
    if (!area.isEmpty()) invalidAreas.push_back(area);
}

// ---- Focus and editor ----

void CFrame::setFocusView(CView* view) {
    if (view == focusView) return;
    CView* previous = focusView;
    focusView = view;
    if (previous) previous->looseFocus();
    if (view) view->takeFocus();
}

long CFrame::getKnobMode() const {
    return editor ? editor->getKnobMode() : 0;
}

void CFrame::beginEdit(long tag) {
    if (editor) editor->beginEdit(tag);
}

void CFrame::endEdit(long tag) {
    if (editor) editor->endEdit(tag);
}

void CFrame::doIdleStuff() {
    if (editor) editor->doIdleStuff();
}

// ---- Drawing ----

CRect CFrame::drawDirty() {
    std::vector<CRect> areas;
    if (fullRedraw) {
        fullRedraw = false;
        invalidAreas.clear();
        areas.push_back(size);
    } else {
        areas.swap(invalidAreas);
        for (CView* view : views) {
            if (!view->isDirty()) continue;
            CRect area = view->getViewSize();
            area.bound(size);
            if (!area.isEmpty()) areas.push_back(area);
        }
    }
    // Overlapping areas become one, so that no view is drawn twice in one idle.
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < areas.size() && !merged; ++i)
            for (std::size_t j = i + 1; j < areas.size() && !merged; ++j)
                if (areas[i].rectOverlap(areas[j])) {
                    areas[i].unite(areas[j]);
                    areas.erase(areas.begin() + long(j));
                    merged = true;
                }
    }
    CRect changed;
    for (const CRect& area : areas) {
        repaint(area);
        changed.unite(area);
    }
    // A hidden view that asked for a redraw has had it: its area shows what lies below.
    for (CView* view : views)
        if (!view->isVisible() && view->isDirty()) view->setDirty(false);
    return changed;
}

void CFrame::repaint(const CRect& area) {
    // A picture shared with the X server may still be read by it: wait until it is not.
    cairo_surface_flush(picture);
    CDrawContext* context = createDrawContext();
    context->setBaseClip(area);
    context->setFillColor(backgroundColor);
    context->fillRect(area);
    if (background) {
        background->draw(context, size);
        ++drawCount;
    }
    for (CView* view : views) {
        if (!view->isVisible() || !view->getViewSize().rectOverlap(area)) continue;
        context->resetClipRect();
        view->draw(context);
        ++drawCount;
    }
    context->forget();
}

void CFrame::present(const CRect& area) {
    if (window) window->present(area, picture);
}

void CFrame::idle() {
    if (window) window->dispatchPending();
    CRect changed = drawDirty();
    if (window) {
        changed.unite(unpresented);
        changed.unite(window->takeExposedArea());
        unpresented = CRect();
        present(changed);
    }
}

void CFrame::redrawRect(const ERect* rect) {
    CRect area = size;
    if (rect) {
        area = CRect(rect->left, rect->top, rect->right, rect->bottom);
        area.normalize().bound(size);
    }
    if (area.isEmpty()) return;
    repaint(area);
    present(area);
}

ERect CFrame::getViewSize() const {
    return ERect{0, 0, VstInt16(size.height()), VstInt16(size.width())};
}

CDrawContext* CFrame::createDrawContext() {
    return new CDrawContext(picture, this);
}

bool CFrame::writePng(const char* path) {
    if (!path) return false;
    // The picture as the next idle would show it.
    unpresented.unite(drawDirty());
    cairo_surface_flush(picture);
    return cairo_surface_write_to_png(picture, path) == CAIRO_STATUS_SUCCESS;
}

bool CFrame::getPixel(int x, int y, CColor& color) const {
    if (!size.pointInside(CPoint(x, y))) return false;
    cairo_surface_flush(picture);
    const unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    std::uint32_t pixel = 0;
    std::copy_n(data + y * stride + x * 4, 4, reinterpret_cast<unsigned char*>(&pixel));
    color = CColor{static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                   static_cast<unsigned char>(pixel), 255};
    return true;
}

// ---- Events ----

bool CFrame::isWindowed() const {
    return window != nullptr;
}

unsigned long CFrame::getWindowId() const {
    return window ? window->getWindow() : 0;
}

void CFrame::getMouseLocation(int& x, int& y) {
    CPoint where = lastEventPoint;
    if (pointerSource)
        where = pointerSource->getLocation();
    else if (window)
        where = window->getLocation();
    x = where.h;
    y = where.v;
}

long CFrame::getMouseButtons() {
    if (pointerSource) return pointerSource->getButtons();
    if (window) return window->getButtons();
    return 0;
}

void CFrame::handleEventsFor(unsigned milliseconds) {
    if (!window) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    window->dispatchFor(milliseconds);
    present(window->takeExposedArea());
}

void CFrame::onMouseDown(int x, int y, long buttons) {
    // One gesture at a time: presses that come while a view holds the mouse, or while a
    // view tracks it on its own, belong to that gesture.
    if (mouseDownView || modalTracking > 0) return;
    if (buttons == -1) buttons = getMouseButtons();
    lastEventPoint = CPoint(x, y);
    CPoint where(x, y);
    CView* view = getViewAt(where);
    if (!view) return;
    view->remember(); // the view's own handler may remove it from the frame
    const CMouseEventResult result = view->onMouseDown(where, buttons);
    if (result == kMouseEventNotImplemented) {
        CDrawContext* context = createDrawContext();
        ++modalTracking;
        view->mouse(context, where, buttons);
        --modalTracking;
        context->forget();
    } else if (result == kMouseEventHandled && isChild(view)) {
        mouseDownView = view;
        mouseDownView->remember();
    }
    view->forget();
}

void CFrame::onMouseMoved(int x, int y, long buttons) {
    lastEventPoint = CPoint(x, y);
    if (!mouseDownView) return;
    if (buttons == -1) buttons = getMouseButtons();
    CPoint where(x, y);
    mouseDownView->onMouseMoved(where, buttons);
}

void CFrame::onMouseUp(int x, int y, long buttons) {
    lastEventPoint = CPoint(x, y);
    if (!mouseDownView) return;
    if (buttons == -1) buttons = getMouseButtons();
    CView* view = mouseDownView;
    mouseDownView = nullptr;
    CPoint where(x, y);
    view->onMouseUp(where, buttons);
    view->forget();
}

void CFrame::releaseMouseDownView() {
    if (mouseDownView) {
        mouseDownView->forget();
        mouseDownView = nullptr;
    }
}

bool CFrame::onWheel(int x, int y, float distance, long buttons) {
    if (buttons == -1) buttons = getMouseButtons();
    lastEventPoint = CPoint(x, y);
    const CPoint where(x, y);
    CView* view = getViewAt(where);
    if (view && view->onWheel(where, distance, buttons)) return true;
    return focusView && focusView != view && focusView->onWheel(where, distance, buttons);
}

// Keys may come on another host thread than the window's, so they never touch the
// window: the view under the pointer is the one under the last mouse event.
CView* CFrame::viewUnderPointer() {
    return getViewAt(lastEventPoint);
}

VstInt32 CFrame::onKeyDown(VstKeyCode& key) {
    long result = focusView ? focusView->onKeyDown(key) : -1;
    CView* view = viewUnderPointer();
    if (result == -1 && view && view != focusView) result = view->onKeyDown(key);
    return VstInt32(result);
}

VstInt32 CFrame::onKeyUp(VstKeyCode& key) {
    long result = focusView ? focusView->onKeyUp(key) : -1;
    CView* view = viewUnderPointer();
    if (result == -1 && view && view != focusView) result = view->onKeyUp(key);
    return VstInt32(result);
}

} // namespace VSTGUI
