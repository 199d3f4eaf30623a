// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec snapshot: the editor window drawn offscreen by the real plug-ins, with the
// program and settings asked for.
#include "ToolRun.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

using namespace kiv::ambidec::testing;

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface loadPng(const std::string& path) {
    return Surface(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
}

bool samePixels(cairo_surface_t* a, cairo_surface_t* b) {
    const int height = cairo_image_surface_get_height(a);
    const int stride = cairo_image_surface_get_stride(a);
    return cairo_image_surface_get_width(a) == cairo_image_surface_get_width(b) &&
           height == cairo_image_surface_get_height(b) &&
           stride == cairo_image_surface_get_stride(b) &&
           std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       static_cast<std::size_t>(stride) * height) == 0;
}

} // namespace

TEST(AmbidecSnapshot, DrawsTheEditorWithTheChosenSettings) {
    for (const std::string* bundle : {&kRegular, &kIrregular}) {
        SCOPED_TRACE(*bundle);
        ScratchDir dir;
        // The editor's size as the plug-in tells a host.
        const ToolResult info = runAmbidec({"info", *bundle});
        const auto at = info.out.find("  editor      ");
        ASSERT_NE(at, std::string::npos) << info.out;
        int width = 0, height = 0;
        ASSERT_EQ(std::sscanf(info.out.c_str() + at, "  editor %d x %d pixels", &width, &height), 2)
            << info.out;

        const ToolResult a = runAmbidec({"snapshot", *bundle, dir / "a.png"});
        ASSERT_EQ(a.exitStatus, 0) << a.err;
        EXPECT_NE(a.out.find("wrote " + dir / "a.png" + ": the editor window"), std::string::npos);
        const ToolResult b = runAmbidec({"snapshot", *bundle, dir / "b.png", "--program", "2",
                                         "--set", "CutoffF=1200Hz", "--set", "DistanceComp=2m"});
        ASSERT_EQ(b.exitStatus, 0) << b.err;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.png", "b.png"}));

        const Surface first = loadPng(dir / "a.png"), second = loadPng(dir / "b.png");
        ASSERT_EQ(cairo_surface_status(first.get()), CAIRO_STATUS_SUCCESS);
        ASSERT_EQ(cairo_surface_status(second.get()), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(first.get()), width);
        EXPECT_EQ(cairo_image_surface_get_height(first.get()), height);
        EXPECT_FALSE(samePixels(first.get(), second.get())) << "the settings show in the window";

        // The same settings again draw the same window; an existing file needs --force.
        const ToolResult again = runAmbidec({"snapshot", *bundle, dir / "a.png"});
        EXPECT_EQ(again.exitStatus, 1);
        EXPECT_EQ(again.err,
                  "ambidec: " + dir / "a.png" + ": already exists (use --force to replace it)\n");
        ASSERT_EQ(runAmbidec({"snapshot", *bundle, dir / "a.png", "--force"}).exitStatus, 0);
        EXPECT_TRUE(samePixels(first.get(), loadPng(dir / "a.png").get()));
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.png", "b.png"}));
    }
}
