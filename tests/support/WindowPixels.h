// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle of an X11 window's pixels as 0xRRGGBB values, row by row; empty when the
// window cannot be read. For the window tests, which compare and save what is on screen.
// Include after the test framework: Xlib's macros would clash with its names.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint32_t> windowPixels(Display* x, Window window, int left, int top, int right,
                                        int bottom) {
    std::vector<std::uint32_t> result;
    XImage* image = XGetImage(x, window, left, top, unsigned(right - left), unsigned(bottom - top),
                              AllPlanes, ZPixmap);
    if (!image) return result;
    for (int py = 0; py < bottom - top; ++py)
        for (int px = 0; px < right - left; ++px)
            result.push_back(std::uint32_t(XGetPixel(image, px, py) & 0xFFFFFF));
    XDestroyImage(image);
    return result;
}

} // namespace
