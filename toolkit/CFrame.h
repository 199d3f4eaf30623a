// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's top-level view: a background bitmap and the child views drawn over it in
// the order they were added, the focus view, the link to the editor, and the way events
// reach the views.
//
// A frame made with a host window (an X11 window id) opens an X11Window inside it; one
// made without a window (or whose window cannot be opened) draws only into its picture
// in memory, which writePng() saves and getPixel() reads. Either way the views are drawn
// into that picture, and a windowed frame copies the parts that changed onto its window.
//
// Drawing happens in idle() (and redrawRect()): only the views that are dirty are drawn,
// after the frame's background under them, together with the views that overlap them.
// An idle with nothing changed draws nothing at all (getDrawCount() counts the draws).
//
// Mouse presses go to the topmost visible, mouse-enabled view under the pointer, which
// then gets the moves and the release until the button goes up. Wheel events go to the
// view under the pointer, then to the focus view; keys to the focus view, then to the
// view under the last mouse event. Some hosts send keys on another thread than the
// window's: the key handlers never touch the window.
//
// The frame owns its views: it takes over the reference of whoever adds one and gives it
// back when the view is removed or the frame is deleted. User-interface thread only.
#pragma once

#include "host/EditorFrame.h"
#include "host/VSTGUIEditorInterface.h"
#include "toolkit/CColor.h"
#include "toolkit/CRect.h"

#include <memory>
#include <vector>

struct _cairo_surface;

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class CView;
class PointerSource;
class X11Window;

class CFrame : public EditorFrame {
public:
    // size gives the width and height; systemWindow is the host's X11 window id, or null
    // for a frame without a window. editor may be null.
    CFrame(const CRect& size, void* systemWindow, VSTGUIEditorInterface* editor);
    ~CFrame() override;
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    // Views
    bool addView(CView* view);
    // Takes the view out; withForget gives back the frame's reference.
    bool removeView(CView* view, bool withForget = true);
    bool isChild(const CView* view) const;
    long getNbViews() const { return long(views.size()); }
    CView* getView(long index) const;
    // The topmost visible, mouse-enabled view under a point, or null.
    CView* getViewAt(const CPoint& where) const;
    // The frame keeps a reference to its background.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    // Shown where neither the background nor a view paints.
    void setBackgroundColor(const CColor& color);
    const CRect& getSize() const { return size; }
    // Repaints an area of the frame at the next idle.
    void invalidRect(const CRect& rect);

    // Focus
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }

    // The editor
    VSTGUIEditorInterface* getEditor() const { return editor; }
    long getKnobMode() const;
    void beginEdit(long tag);
    void endEdit(long tag);
    void doIdleStuff();

    // EditorFrame
    void idle() override;
    VstInt32 onKeyDown(VstKeyCode& key) override;
    VstInt32 onKeyUp(VstKeyCode& key) override;
    bool onWheel(int x, int y, float distance, long buttons) override;
    void onMouseDown(int x, int y, long buttons) override;
    void redrawRect(const ERect* rect) override;
    ERect getViewSize() const override;
    void getMouseLocation(int& x, int& y) override;
    long getMouseButtons() override;
    void handleEventsFor(unsigned milliseconds) override;

    // The rest of a mouse gesture; buttons -1 means "query the current buttons".
    void onMouseMoved(int x, int y, long buttons);
    void onMouseUp(int x, int y, long buttons);
    // The view that holds the mouse between a press and its release, or null.
    CView* getMouseDownView() const { return mouseDownView; }

    // A drawing context on the frame's picture that also answers pointer queries.
    // The caller forgets it.
    CDrawContext* createDrawContext();

    // Where pointer queries go when the frame has no window (not owned; null: the
    // position of the last mouse event, no buttons).
    void setPointerSource(PointerSource* source) { pointerSource = source; }
    bool isWindowed() const;
    // The X11 window id of the frame's own window, 0 without one.
    unsigned long getWindowId() const;

    // The picture: drawn up to date, then saved as PNG. False when it cannot be written.
    bool writePng(const char* path);
    // A pixel of the picture as last drawn (alpha is always 255). False outside the frame.
    bool getPixel(int x, int y, CColor& color) const;
    // Number of views and backgrounds drawn since the frame was made.
    long getDrawCount() const { return drawCount; }

private:
    // Draws what is dirty into the picture; answers the area that changed.
    CRect drawDirty();
    void repaint(const CRect& area);
    void present(const CRect& area);
    void releaseMouseDownView();
    CView* viewUnderPointer();

    CRect size;
    VSTGUIEditorInterface* editor;
    std::vector<CView*> views;
    CBitmap* background = nullptr;
    CColor backgroundColor = kBlackCColor;
    CView* focusView = nullptr;
    CView* mouseDownView = nullptr;
    PointerSource* pointerSource = nullptr;
    CPoint lastEventPoint;
    _cairo_surface* picture = nullptr;
    std::unique_ptr<X11Window> window;
    std::vector<CRect> invalidAreas;
    CRect unpresented; // drawn into the picture but not yet copied onto the window
    bool fullRedraw = true;
    int modalTracking = 0;
    long drawCount = 0;
};

} // namespace VSTGUI
