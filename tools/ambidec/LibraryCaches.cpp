// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/LibraryCaches.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

namespace kiv::ambidec {

void releaseLibraryCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

} // namespace kiv::ambidec
