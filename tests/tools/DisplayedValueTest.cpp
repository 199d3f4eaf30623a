// SPDX-License-Identifier: GPL-3.0-or-later
// --set for bundles whose units ambidec does not know (LayoutDecoder, HeadphoneMonitor): a
// value as the plug-in displays it, a number with the parameter's unit, or a plain normalised
// number; anything else exits 2 naming what the parameter takes, and writes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/ToolRun.h"

namespace kiv::ambidec::testing {
namespace {

TEST(AmbidecSet, TakesValuesAsTheBundleShowsThem) {
    ScratchDir dir;
    writeWav(dir / "four.wav", 4, 48000, std::vector<float>(4 * 480, 0.0f));
    const std::string layout = KIV_LAYOUT_BUNDLE_PATH, monitor = KIV_HEADPHONE_BUNDLE_PATH;
    const struct {
        std::string bundle;
        std::string setting;
        std::string said; // a line of the report, or the one error line
        int exitStatus;
    } cases[] = {
        {layout, "Subwoofer=on", "  set Subwoofer = On (normalised 1)", 0},
        {layout, "DistanceCompensation=OFF", "  set Distance Compensation = Off (normalised 0)", 0},
        {layout, "Subwoofer=0", "  set Subwoofer = Off (normalised 0)", 0},
        {layout, "UseSpatialEQ=Kiv EQ", "  set Use Spatial EQ = Kiv EQ (normalised 0.4995)", 0},
        {layout, "CutoffF=500Hz", "  set Cut off F = 500 Hz (normalised 0.391", 0},
        {monitor, "Level=-6dB", "  set Level = -6.0 dB (normalised 0.5)", 0},
        {monitor, "Bypass=On", "  set Bypass = On (normalised 1)", 0},
        {layout, "Subwoofer=maybe",
         "ambidec: Subwoofer: cannot read 'maybe' (a normalised value, 0 to 1, or one of: Off, "
         "On)",
         2},
        {monitor, "Level=30dB", "ambidec: Level: '30dB' is out of range (-24dB to 12dB)", 2},
        {monitor, "Level=6.0",
         "ambidec: Level: cannot read '6.0' (a normalised value, 0 to 1, or a value from -24dB "
         "to 12dB)",
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        const std::string out = dir / "out.wav";
        std::filesystem::remove(out);
        const ToolResult r =
            runAmbidec({"render", c.bundle, dir / "four.wav", out, "--set", c.setting, "--force"});
        EXPECT_EQ(r.exitStatus, c.exitStatus) << r.err;
        const std::string& text = c.exitStatus == 0 ? r.out : r.err;
        EXPECT_NE(text.find(c.said), std::string::npos) << text;
        EXPECT_EQ(std::filesystem::exists(out), c.exitStatus == 0);
    }
}

} // namespace
} // namespace kiv::ambidec::testing
