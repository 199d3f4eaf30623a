// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's window inside a host's X11 window: its own display connection, one plain
// child of the host's window at (0, 0) with a fixed size, and the events of that child
// handed to the frame. No thread and no timer: events are handled only when the frame
// asks (its idle, and the waits of the editor's throttled idle), on the thread that
// opened the window. The frame paints into its picture in memory; present() copies a
// part of that picture onto the window.
#pragma once

#include "toolkit/CRect.h"
#include "toolkit/PointerSource.h"

struct _XDisplay;
struct _cairo_surface;
union _XEvent;

namespace VSTGUI {

class CFrame;

class X11Window : public PointerSource {
public:
    // parent is the host's window (an XID). isOpen() is false when no display connection
    // or no window could be made; the frame then goes on without a window.
    X11Window(unsigned long parent, int width, int height, CFrame& frame);
    // Frees the window's surface, destroys the window, waits for the server to have done
    // so and closes the display connection.
    ~X11Window() override;
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    bool isOpen() const { return window != 0; }
    unsigned long getWindow() const { return window; }

    // Handles every queued event. Exposed parts of the window are collected: see
    // takeExposedArea().
    void dispatchPending();
    // Handles events as they come for that many milliseconds.
    void dispatchFor(unsigned milliseconds);
    // The union of the areas exposed since the last call, emptied.
    CRect takeExposedArea();
    // An image of the window's size for the frame to paint into (RGB24), in memory shared
    // with the X server when it offers that, so that present() needs no copy. The caller
    // destroys it before the window, after sync().
    _cairo_surface* createPicture();
    // Copies area of picture (the frame's image, same size as the window) onto the window.
    void present(const CRect& area, _cairo_surface* picture);
    // Waits until the X server has handled every request sent so far.
    void sync();

    // The pointer relative to the window and the button and modifier state.
    CPoint getLocation() override;
    long getButtons() override;

    // Xlib's button and modifier mask turned into CButton bits.
    static long buttonsFromState(unsigned int state);

private:
    void dispatch(_XEvent& event);

    CFrame& frame;
    _XDisplay* display = nullptr;
    unsigned long window = 0;
    _cairo_surface* surface = nullptr;
    CRect exposed;
    int width;
    int height;
};

} // namespace VSTGUI
