// SPDX-License-Identifier: GPL-3.0-or-later
// Base of everything a frame shows: a rectangle in frame pixels, an optional background
// bitmap, and the flags the frame reads (dirty, mouse-enabled, visible, transparent).
// A view belongs to at most one frame, which draws it when it is dirty and sends it the
// mouse, wheel and key events meant for it. Reference-counted: a frame takes over the
// reference of whoever adds the view. User-interface thread only, except that another
// thread may change what isDirty() reports (a control's value) between idles.
#pragma once

#include "host/VstRecords.h"
#include "toolkit/CButtonState.h"
#include "toolkit/CRect.h"
#include "toolkit/CReferenceCounter.h"

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class CFrame;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    // Paints the view into the context; afterwards it is no longer dirty.
    virtual void draw(CDrawContext* context);

    // Event entry points; where is in frame pixels, buttons are CButton bits.
    virtual CMouseEventResult onMouseDown(CPoint& where, long buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, long buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, long buttons);
    virtual bool onWheel(const CPoint& where, float distance, long buttons);
    // Keys from the host: positive when handled, -1 when not.
    virtual long onKeyDown(VstKeyCode& keyCode);
    virtual long onKeyUp(VstKeyCode& keyCode);
    // The modal way of tracking the mouse: returns when the button is released. The frame
    // calls it for views whose onMouseDown answers kMouseEventNotImplemented.
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);

    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool value = true) { dirty = value; }
    // Asks for a redraw at the frame's next idle.
    void invalid() { setDirty(true); }

    void setMouseEnabled(bool enabled) { mouseEnabled = enabled; }
    bool getMouseEnabled() const { return mouseEnabled; }
    void setVisible(bool value);
    bool isVisible() const { return visible; }
    // A transparent view lets what lies behind it show through.
    virtual void setTransparency(bool value) { transparent = value; }
    bool getTransparency() const { return transparent; }

    const CRect& getViewSize() const { return size; }
    virtual void setViewSize(const CRect& rect);
    // The part of the view that reacts to the mouse (the whole view unless changed).
    const CRect& getMouseableArea() const { return mouseableArea; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    bool hitTest(const CPoint& where) const { return mouseableArea.pointInside(where); }

    // The view keeps a reference to its background bitmap.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    // Focus, given and taken by the frame.
    virtual void takeFocus() {}
    virtual void looseFocus() {}

    // Called by the frame when the view joins and leaves it.
    virtual void attached(CFrame* parent) { frame = parent; }
    virtual void removed() { frame = nullptr; }
    CFrame* getFrame() const { return frame; }

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* frame = nullptr;
    CBitmap* background = nullptr;
    bool dirty = true;
    bool mouseEnabled = true;
    bool visible = true;
    bool transparent = false;
};

} // namespace VSTGUI
