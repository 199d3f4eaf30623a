// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's font and drawing caches live as long as the process and fontconfig keeps its
// pointers as offsets, which the leak checker cannot follow: a fuzz target that loads a bundle
// with an editor gives them back at exit, while the libraries (linked into the target too)
// are still loaded.
#pragma once

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>

inline void releaseLibraryCachesAtExit() {
    std::atexit([] {
        cairo_debug_reset_static_data();
        FcFini();
    });
}
