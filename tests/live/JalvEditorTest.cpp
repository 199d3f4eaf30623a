// SPDX-License-Identifier: GPL-3.0-or-later
// Each decoder's editor in a real LV2 host: jalv.gtk3 on a private X server and a JACK
// server of the test's own embeds the plug-in's X11 UI through its own UI wrapper. The
// editor window must appear at its size and show exactly what the VST editor shows for
// program 0 (the LV2 defaults are program 0's values).
#include "LiveJack.h"
#include "XvfbServer.h"

#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include "WindowPixels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kEditorWidth = 560;
constexpr int kEditorHeight = 260;

struct EditorCase {
    const ProductDescription* product;
    const char* vstBundle;
};

void PrintTo(const EditorCase& c, std::ostream* out) {
    *out << c.product->name;
}

// Every viewable window of the editor's size below root, depth first.
void findEditorWindows(Display* x, Window window, std::vector<Window>& found) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x, window, &root, &parent, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable &&
            a.width == kEditorWidth && a.height == kEditorHeight)
            found.push_back(children[i]);
        findEditorWindows(x, children[i], found);
    }
    if (children) XFree(children);
}

// The VST bundle's editor for program 0, drawn in memory by the plug-in itself.
std::vector<std::uint32_t> vstEditorPixels(const char* bundle, const std::string& pngPath) {
    std::vector<std::uint32_t> result;
    std::string why;
    auto library = kiv::vsthost::PluginLibrary::open(bundle, why);
    if (!library) return result;
    auto plugin = kiv::vsthost::PluginInstance::create(*library, why);
    if (!plugin || plugin->dispatch(effVendorSpecific, kKivSnapshot, 0,
                                    const_cast<char*>(pngPath.c_str())) != 1)
        return result;
    cairo_surface_t* image = cairo_image_surface_create_from_png(pngPath.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS &&
        cairo_image_surface_get_width(image) == kEditorWidth &&
        cairo_image_surface_get_height(image) == kEditorHeight) {
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int py = 0; py < kEditorHeight; ++py)
            for (int px = 0; px < kEditorWidth; ++px)
                result.push_back(reinterpret_cast<const std::uint32_t*>(data + py * stride)[px] &
                                 0xFFFFFF);
    }
    cairo_surface_destroy(image);
    return result;
}

class JalvEditor : public ::testing::TestWithParam<EditorCase> {};

TEST_P(JalvEditor, OpensInsideTheHostShowingTheDefaults) {
    if (KIV_SANITIZED)
        GTEST_SKIP() << "an instrumented plug-in cannot be loaded by jalv, which is not";
    const ProductDescription& product = *GetParam().product;
    const std::string logs = std::string(KIV_LIVE_LOG_DIR) + "/" + product.name;
    const std::vector<std::uint32_t> expected =
        vstEditorPixels(GetParam().vstBundle, logs + "-vst-editor.png");
    ASSERT_EQ(expected.size(), std::size_t{kEditorWidth * kEditorHeight});

    ASSERT_TRUE(onPath("Xvfb")) << "Xvfb is missing: scripts/deps.sh test installs it";
    XvfbServer xvfb(logs + "-xvfb.log");
    ASSERT_FALSE(xvfb.name().empty()) << "Xvfb did not start";
    kiv::test::XErrorTrap trap;
    Display* x = XOpenDisplay(xvfb.name().c_str());
    ASSERT_NE(x, nullptr);
    JackServer jackd("kivgui" + std::to_string(getpid()) + product.name, logs + "-gui-jackd.log");
    jack_client_t* probe = jackd.connect("kivprobe");
    ASSERT_NE(probe, nullptr) << "the JACK server did not start";
    jack_client_close(probe);

    ChildProcess jalv(
        {KIV_JALV_GTK, "-x", "-n", "kivgui", std::string(kProductUriPrefix) + product.name},
        {"DISPLAY=" + xvfb.name(), "LV2_PATH=" + std::string(KIV_LV2_ROOT),
         "JACK_DEFAULT_SERVER=" + jackd.name(), "JACK_NO_START_SERVER=1", "NO_AT_BRIDGE=1"},
        logs + "-jalv-gtk.log");
    ASSERT_TRUE(jalv.started());

    // The editor appears as a window of its size inside the host's window (the host's own
    // wrappers of that size around it; ours is the innermost), and is drawn in the host's
    // idle calls: wait until it shows the defaults.
    std::vector<Window> editors;
    std::vector<std::uint32_t> shown;
    const bool matched = waitFor(
        [&] {
            // A window that goes away during the walk is an X error of the walk: walk again.
            editors.clear();
            const unsigned long first = NextRequest(x);
            findEditorWindows(x, DefaultRootWindow(x), editors);
            XSync(x, False);
            if (!trap.take(x, first).empty()) editors.clear();
            if (editors.empty()) return false;
            shown = windowPixels(x, editors.back(), {kEditorWidth, kEditorHeight}, 0, 0,
                                 kEditorWidth, kEditorHeight, std::chrono::seconds(1));
            return shown == expected;
        },
        std::chrono::seconds(20));
    ASSERT_FALSE(editors.empty()) << "no editor window in jalv.gtk3; see " << logs
                                  << "-jalv-gtk.log";
    EXPECT_TRUE(matched) << "the editor inside jalv.gtk3 does not show program 0 as the VST "
                            "editor does";
    EXPECT_TRUE(jalv.running());

    XCloseDisplay(x);
    EXPECT_TRUE(jalv.stop());
    EXPECT_TRUE(jackd.stop());
}

INSTANTIATE_TEST_SUITE_P(Bundles, JalvEditor,
                         ::testing::Values(EditorCase{&kRegularDecoderProduct, KIV_REGULAR_BUNDLE},
                                           EditorCase{&kIrregularDecoderProduct,
                                                      KIV_IRREGULAR_BUNDLE}),
                         [](const auto& info) { return std::string(info.param.product->name); });

} // namespace
