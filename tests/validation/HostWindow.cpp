// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/HostWindow.h"

#include <gtest/gtest.h>

#include "tests/support/XErrorTrap.h"

#include <X11/Xlib.h>

namespace kiv::validation {

HostWindow::HostWindow(int width, int height) : trap_(std::make_unique<test::XErrorTrap>()) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    display_ = display;
    const int screen = DefaultScreen(display);
    window_ = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                  BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window_);
    XFlush(display);
}

HostWindow::~HostWindow() {
    if (display_ == nullptr) return;
    Display* display = static_cast<Display*>(display_);
    XDestroyWindow(display, window_);
    XSync(display, False);
    XCloseDisplay(display);
}

void* HostWindow::handle() const {
    return display_ == nullptr ? nullptr : reinterpret_cast<void*>(window_);
}

void HostWindow::pump() {
    if (display_ == nullptr) return;
    Display* display = static_cast<Display*>(display_);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

} // namespace kiv::validation
