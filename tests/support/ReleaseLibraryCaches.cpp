// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into the test programs that draw text or use cairo: at the end of the run it
// gives back the process-wide caches of cairo (font faces, scaled fonts) and fontconfig
// (its configuration and font set). They are meant to live until the process ends, and
// fontconfig keeps pointers inside them as offsets, which the leak checker cannot follow:
// without this, every test that draws text would be reported as leaking them. The plug-in
// itself never does this: the host's process shares these libraries.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace {

class ReleaseLibraryCaches : public ::testing::Environment {
public:
    void TearDown() override {
        cairo_debug_reset_static_data();
        FcFini();
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ReleaseLibraryCaches);

} // namespace
