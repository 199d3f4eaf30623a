// SPDX-License-Identifier: GPL-3.0-or-later
// The one reader of an X11 window's pixels for the window tests, which compare and save what
// is on screen: a rectangle as 0xRRGGBB values, row by row. XGetImage fails on a window that
// is not viewable or is being resized, so the reader waits (up to a deadline) until the
// window is viewable at the size the test expects; an X error of the read itself is taken
// and the read retried. Empty when the window could not be read in time.
// Include after the test framework: Xlib's macros would clash with its names.
#pragma once

#include "XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

struct WindowSize {
    int width;
    int height;
};

std::vector<std::uint32_t>
windowPixels(Display* x, Window window, WindowSize expected, int left, int top, int right,
             int bottom, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::vector<std::uint32_t> result;
    if (left < 0 || top < 0 || right > expected.width || bottom > expected.height ||
        left >= right || top >= bottom)
        return result;
    kiv::test::XErrorTrap trap;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const unsigned long first = NextRequest(x);
        XWindowAttributes a{};
        const bool ready = XGetWindowAttributes(x, window, &a) && a.map_state == IsViewable &&
                           a.width == expected.width && a.height == expected.height;
        XImage* image = ready ? XGetImage(x, window, left, top, unsigned(right - left),
                                          unsigned(bottom - top), AllPlanes, ZPixmap)
                              : nullptr;
        XSync(x, False);
        const bool failed = !trap.take(x, first).empty();
        if (image && !failed) {
            for (int py = 0; py < bottom - top; ++py)
                for (int px = 0; px < right - left; ++px)
                    result.push_back(std::uint32_t(XGetPixel(image, px, py) & 0xFFFFFF));
            XDestroyImage(image);
            return result;
        }
        if (image) XDestroyImage(image);
        if (std::chrono::steady_clock::now() >= deadline) return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace
