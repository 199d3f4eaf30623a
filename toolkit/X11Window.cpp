// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/X11Window.h"

#include "toolkit/CButtonState.h"
#include "toolkit/CFrame.h"
#include "toolkit/VirtualKey.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <poll.h>

#include <chrono>

namespace VSTGUI {

namespace {

// Xlib's default error handler ends the process, which would take the host with it.
// Around the one call that can fail (a parent window that is not there), a handler of
// ours notes errors on our own connection and passes any other to the handler it
// replaced, which is put back right afterwards.
struct ScopedErrorTrap {
    static inline Display* trapped = nullptr;
    static inline bool failed = false;
    static inline XErrorHandler previous = nullptr;

    explicit ScopedErrorTrap(Display* display) {
        trapped = display;
        failed = false;
        previous = XSetErrorHandler(&handler);
    }
    ~ScopedErrorTrap() {
        XSetErrorHandler(previous);
        trapped = nullptr;
    }
    static int handler(Display* display, XErrorEvent* error) {
        if (display == trapped) {
            failed = true;
            return 0;
        }
        return previous ? previous(display, error) : 0;
    }
};

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask;

long buttonOf(unsigned int xButton) {
    switch (xButton) {
    case Button1:
        return kLButton;
    case Button2:
        return kMButton;
    case Button3:
        return kRButton;
    default:
        return 0;
    }
}

// Arrow keys become the host's virtual keys; anything else goes by its character.
VstKeyCode keyCodeOf(XKeyEvent& event) {
    VstKeyCode key{};
    char text[8] = {};
    KeySym symbol = NoSymbol;
    XLookupString(&event, text, sizeof text, &symbol, nullptr);
    switch (symbol) {
    case XK_Left:
        key.virt = kVirtualKeyLeft;
        break;
    case XK_Up:
        key.virt = kVirtualKeyUp;
        break;
    case XK_Right:
        key.virt = kVirtualKeyRight;
        break;
    case XK_Down:
        key.virt = kVirtualKeyDown;
        break;
    default:
        key.character = static_cast<unsigned char>(text[0]);
        break;
    }
    if (event.state & ShiftMask) key.modifier |= kKeyModifierShift;
    return key;
}

} // namespace

long X11Window::buttonsFromState(unsigned int state) {
    long buttons = 0;
    if (state & Button1Mask) buttons |= kLButton;
    if (state & Button2Mask) buttons |= kMButton;
    if (state & Button3Mask) buttons |= kRButton;
    if (state & ShiftMask) buttons |= kShift;
    if (state & ControlMask) buttons |= kControl;
    if (state & Mod1Mask) buttons |= kAlt;
    if (state & Mod4Mask) buttons |= kApple;
    return buttons;
}

X11Window::X11Window(unsigned long parent, int width, int height, CFrame& frame)
    : frame(frame), width(width), height(height) {
    if (parent == 0 || width <= 0 || height <= 0) return;
    // Our own connection, whatever the host uses: its Display* may be absent, and using
    // it from the host's other threads would not be safe.
    display = XOpenDisplay(nullptr);
    if (!display) return;
    Window child = 0;
    {
        ScopedErrorTrap trap(display);
        child =
            XCreateSimpleWindow(display, parent, 0, 0, unsigned(width), unsigned(height), 0, 0, 0);
        XSelectInput(display, child, kEventMask);
        XSync(display, False);
        if (ScopedErrorTrap::failed) {
            XDestroyWindow(display, child);
            XSync(display, False);
            child = 0;
        }
    }
    if (!child) {
        XCloseDisplay(display);
        display = nullptr;
        return;
    }
    window = child;

    // The editor has one size; the parent's size says nothing (it may still be 1 x 1).
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);

    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    surface = cairo_xlib_surface_create(display, window, attributes.visual, width, height);

    XMapWindow(display, window);
    XFlush(display);
}

X11Window::~X11Window() {
    if (surface) {
        // cairo keeps per-connection state (its device) that only goes with the device.
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
        cairo_surface_destroy(surface);
        cairo_device_finish(device);
        cairo_device_destroy(device);
    }
    if (window) XDestroyWindow(display, window);
    if (display) {
        XSync(display, False);
        XCloseDisplay(display);
    }
}

void X11Window::dispatchPending() {
    if (!display) return;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        dispatch(event);
    }
}

void X11Window::dispatchFor(unsigned milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        dispatchPending();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        if (!display) {
            poll(nullptr, 0, int(left.count()));
            return;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, int(left.count()));
    }
}

void X11Window::dispatch(XEvent& event) {
    if (event.xany.window != window) return; // not ours
    switch (event.type) {
    case Expose:
        exposed.unite(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                            event.xexpose.y + event.xexpose.height));
        break;
    case ButtonPress: {
        const XButtonEvent& press = event.xbutton;
        // The state is the one before the press: the pressed button is added.
        const long buttons = buttonsFromState(press.state);
        if (press.button == Button4 || press.button == Button5)
            frame.onWheel(press.x, press.y, press.button == Button4 ? 1.f : -1.f, buttons);
        else if (buttonOf(press.button))
            frame.onMouseDown(press.x, press.y, buttons | buttonOf(press.button));
        break;
    }
    case ButtonRelease: {
        const XButtonEvent& release = event.xbutton;
        if (buttonOf(release.button))
            frame.onMouseUp(release.x, release.y,
                            buttonsFromState(release.state) & ~buttonOf(release.button));
        break;
    }
    case MotionNotify:
        frame.onMouseMoved(event.xmotion.x, event.xmotion.y, buttonsFromState(event.xmotion.state));
        break;
    case KeyPress: {
        VstKeyCode key = keyCodeOf(event.xkey);
        frame.onKeyDown(key);
        break;
    }
    case KeyRelease: {
        VstKeyCode key = keyCodeOf(event.xkey);
        frame.onKeyUp(key);
        break;
    }
    default:
        break;
    }
}

CRect X11Window::takeExposedArea() {
    CRect area = exposed;
    exposed = CRect();
    return area.bound(CRect(0, 0, width, height));
}

cairo_surface_t* X11Window::createPicture() {
    // Staging copies that cairo would otherwise make for each upload are still in flight
    // when the connection closes, and cairo 1.16 never frees their records: an image of
    // the window's own kind avoids them.
    if (surface)
        return cairo_surface_create_similar_image(surface, CAIRO_FORMAT_RGB24, width, height);
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
}

void X11Window::sync() {
    if (display) XSync(display, False);
}

void X11Window::present(const CRect& area, cairo_surface_t* picture) {
    if (!surface || area.isEmpty()) return;
    cairo_surface_flush(picture);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    XFlush(display);
}

CPoint X11Window::getLocation() {
    if (!display) return CPoint();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int state = 0;
    XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &state);
    return CPoint(x, y);
}

long X11Window::getButtons() {
    if (!display) return 0;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int state = 0;
    XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &state);
    return buttonsFromState(state);
}

} // namespace VSTGUI
