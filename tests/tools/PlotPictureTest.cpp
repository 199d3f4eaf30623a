// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures `ambidec plot` draws, read back as pixels: layouts with height get the
// median-plane row, and no stray stroke runs across a chart between the speaker markers.
#include "ToolRun.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>

using namespace kiv::ambidec::testing;

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface readPng(const std::string& path) {
    return Surface(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
}

// Red, green and blue of the pixel at (x, y), 0 to 255.
std::array<int, 3> pixel(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
    return {static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF),
            static_cast<int>(argb & 0xFF)};
}

} // namespace

TEST(AmbidecPlotPicture, LayoutsWithHeightGetTheMedianPlane) {
    ScratchDir dir;
    const struct {
        const std::string* bundle;
        const char* program;
        int height;
    } cases[] = {{&kRegular, "0", 1080},
                 {&kRegular, "3D Cube", 1720},
                 {&kRegular, "3D Octahedron", 1720},
                 {&kIrregular, "2", 1080}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const ToolResult r =
            runAmbidec({"plot", *c.bundle, dir / "p.png", "--program", c.program, "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const Surface png = readPng(dir / "p.png");
        ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(png.get()), 1800);
        EXPECT_EQ(cairo_image_surface_get_height(png.get()), c.height);
    }
}

TEST(AmbidecPlotPicture, NoStrokeRunsBetweenTheMarkers) {
    ScratchDir dir;
    ASSERT_EQ(runAmbidec({"plot", kIrregular, dir / "p.png", "--program", "2"}).exitStatus, 0);
    const Surface png = readPng(dir / "p.png");
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    // Both polar charts: centres (330, 470) and (940, 470), tinted discs of radius 218. The
    // only white inside a disc is the patch under each ring's gain (at -15 degrees, 12 pixels
    // to the right); a stroke left over from a marker's outline would be white too.
    for (const double cx : {330.0, 940.0}) {
        const double cy = 470, radius = 218;
        int white = 0, looked = 0;
        for (int y = static_cast<int>(cy - radius); y <= static_cast<int>(cy + radius); ++y)
            for (int x = static_cast<int>(cx - radius); x <= static_cast<int>(cx + radius); ++x) {
                if (std::hypot(x - cx, y - cy) > radius - 4) continue;
                bool onLabel = false;
                for (int ring = 1; ring <= 4; ++ring) {
                    const double r = radius * ring / 4;
                    const double lx = cx + r * std::sin(15 * M_PI / 180) + 12;
                    const double ly = cy - r * std::cos(15 * M_PI / 180);
                    onLabel = onLabel || (std::fabs(x - lx) < 28 && std::fabs(y - ly) < 11);
                }
                if (onLabel) continue;
                ++looked;
                const auto p = pixel(png.get(), x, y);
                if (p[0] >= 253 && p[1] >= 253 && p[2] >= 253) ++white;
            }
        EXPECT_GT(looked, 100000);
        EXPECT_EQ(white, 0) << "chart at " << cx;
    }
}
