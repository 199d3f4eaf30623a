// SPDX-License-Identifier: GPL-3.0-or-later
// The text display: which text it shows, and what each style and transparency draws.
#include "ToolkitFakes.h"

#include "toolkit/CParamDisplay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace VSTGUI;

namespace {

void asPercent(float value, char* text) {
    std::snprintf(text, 32, "%d%%", int(value * 100));
}
void withUnit(float value, char* text, void* unit) {
    std::snprintf(text, 32, "%.1f %s", value, static_cast<const char*>(unit));
}
void nothing(float, char* text) {
    text[0] = 0;
}

const CColor kPaper{200, 180, 160, 255}; // the frame's background
const CColor kBack{0, 48, 96, 255};
const CColor kEdge{255, 255, 0, 255};
const CColor kInk{0, 0, 0, 255};

// A display at (20, 10, 80, 30) over a plain background, drawn once.
struct DisplayRig {
    CFrame frame{CRect(0, 0, 100, 40), nullptr, nullptr};
    CParamDisplay* display;

    explicit DisplayRig(long style, bool transparent = false,
                        const std::function<void(CParamDisplay&)>& setUp = {}) {
        frame.setBackgroundColor(kPaper);
        display = new CParamDisplay(CRect(20, 10, 80, 30), nullptr, style);
        display->setBackColor(kBack);
        display->setFrameColor(kEdge);
        display->setFontColor(kInk);
        display->setTransparency(transparent);
        display->setValue(0.25f);
        if (setUp) setUp(*display);
        frame.addView(display);
        frame.idle();
    }
    int count(const CColor& colour, const CRect& area) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) n += pixelAt(frame, x, y) == colour;
        return n;
    }
    CRect inner() const { return CRect(21, 11, 79, 29); }
    int darkPixels(const CRect& area) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const CColor c = pixelAt(frame, x, y);
                n += c.red < 60 && c.green < 40 && c.blue < 80;
            }
        return n;
    }
};

} // namespace

TEST(ParamDisplay, TextComesFromTheConversionWithDataThenThePlainOneThenTwoDecimals) {
    CParamDisplay display(CRect(0, 0, 10, 10));
    const struct {
        float value;
        const char* text;
    } plain[] = {{0.25f, "0.25"}, {1.f, "1.00"}, {0.f, "0.00"}, {0.125f, "0.12"}, {-0.5f, "-0.50"}};
    for (const auto& c : plain) {
        display.setValue(c.value);
        EXPECT_EQ(display.getDisplayText(), c.text);
    }
    display.setValue(0.5f);
    display.setStringConvert(asPercent);
    EXPECT_EQ(display.getDisplayText(), "50%");
    char unit[] = "m";
    display.setStringConvert(withUnit, unit);
    EXPECT_EQ(display.getDisplayText(), "0.5 m");
    display.setStringConvert(static_cast<CParamDisplay::StringConvertWithData>(nullptr), nullptr);
    EXPECT_EQ(display.getDisplayText(), "50%");
}

TEST(ParamDisplay, DefaultsAfterConstruction) {
    CParamDisplay display(CRect(0, 0, 10, 10), nullptr, 0);
    EXPECT_EQ(display.getHoriAlign(), kCenterText);
    EXPECT_EQ(display.getFont(), kNormalFont);
    EXPECT_EQ(kNormalFont->getName(), "Helvetica");
    EXPECT_EQ(kNormalFont->getSize(), 12);
    EXPECT_EQ(kNormalFontSmall->getSize(), 11);
    EXPECT_EQ(kNormalFontSmaller->getSize(), 10);
    EXPECT_EQ(display.getFontColor(), kWhiteCColor);
    EXPECT_EQ(display.getBackColor(), kBlackCColor);
    EXPECT_EQ(display.getFrameColor(), kBlackCColor);
    EXPECT_EQ(display.getShadowColor(), (CColor{255, 0, 0, 255}));
    EXPECT_TRUE(display.getTextTransparency());
    EXPECT_TRUE(display.getAntialias());
    EXPECT_EQ(display.getStyle(), 0);
    display.setFont(kNormalFontSmaller); // the display holds a reference while it uses it
    EXPECT_EQ(kNormalFontSmaller->getNbReference(), 2);
}

TEST(ParamDisplay, OpaqueDisplayFillsAndFramesUnlessTheStyleSaysNo) {
    DisplayRig framed(0);
    EXPECT_EQ(pixelAt(framed.frame, 20, 10), kEdge);
    EXPECT_EQ(pixelAt(framed.frame, 79, 29), kEdge);
    EXPECT_EQ(pixelAt(framed.frame, 22, 12), kBack);
    EXPECT_EQ(pixelAt(framed.frame, 19, 10), kPaper);
    EXPECT_EQ(framed.count(kEdge, CRect(20, 10, 80, 30)), 2 * 60 + 2 * 18);

    // Any of these styles leaves out the plain frame (3D styles draw edges instead).
    for (long style : {long(kNoFrame), long(k3DIn), long(k3DOut)}) {
        DisplayRig bare(style);
        EXPECT_LT(bare.count(kEdge, CRect(20, 10, 80, 30)), 2 * 60 + 2 * 18) << style;
        EXPECT_EQ(pixelAt(bare.frame, 22, 12), kBack) << style;
    }
    DisplayRig noFrame(kNoFrame);
    EXPECT_EQ(noFrame.count(kEdge, CRect(20, 10, 80, 30)), 0);
}

TEST(ParamDisplay, ThreeDimensionalEdges) {
    // 3D-in: top and left in the background colour, bottom and right in the frame colour;
    // 3D-out the other way round.
    DisplayRig in(k3DIn, true);
    EXPECT_EQ(pixelAt(in.frame, 50, 10), kBack);
    EXPECT_EQ(pixelAt(in.frame, 20, 20), kBack);
    EXPECT_EQ(pixelAt(in.frame, 50, 29), kEdge);
    EXPECT_EQ(pixelAt(in.frame, 79, 20), kEdge);
    EXPECT_EQ(pixelAt(in.frame, 23, 13), kPaper); // transparent: no fill
    DisplayRig out(k3DOut, true);
    EXPECT_EQ(pixelAt(out.frame, 50, 10), kEdge);
    EXPECT_EQ(pixelAt(out.frame, 20, 20), kEdge);
    EXPECT_EQ(pixelAt(out.frame, 50, 29), kBack);
    EXPECT_EQ(pixelAt(out.frame, 79, 20), kBack);
}

TEST(ParamDisplay, TransparentDisplayDrawsOnlyItsText) {
    DisplayRig rig(0, true);
    EXPECT_EQ(rig.count(kEdge, CRect(0, 0, 100, 40)), 0);
    EXPECT_EQ(rig.count(kBack, CRect(0, 0, 100, 40)), 0);
    EXPECT_EQ(pixelAt(rig.frame, 21, 11), kPaper);
    EXPECT_GT(rig.darkPixels(rig.inner()), 10); // "0.25" in black
    // Text never leaves the rectangle.
    EXPECT_EQ(rig.darkPixels(CRect(0, 0, 100, 10)) + rig.darkPixels(CRect(0, 30, 100, 40)), 0);
}

TEST(ParamDisplay, StylesThatDrawNoTextOrNothing) {
    DisplayRig noText(kNoTextStyle);
    EXPECT_EQ(noText.darkPixels(noText.inner()), 0);
    EXPECT_EQ(noText.count(kBack, noText.inner()), 58 * 18);

    DisplayRig noDraw(kNoDrawStyle);
    EXPECT_EQ(noDraw.count(kPaper, CRect(0, 0, 100, 40)), 100 * 40);
    EXPECT_FALSE(noDraw.display->isDirty());

    DisplayRig empty(0, false, [](CParamDisplay& d) { d.setStringConvert(nothing); });
    EXPECT_EQ(empty.count(kBack, empty.inner()), 58 * 18);
}

TEST(ParamDisplay, ShadowTextAndTextColours) {
    const CColor kShadow{255, 0, 0, 255};
    DisplayRig plain(0, true, [](CParamDisplay& d) { d.setAntialias(false); });
    DisplayRig shadow(kShadowText, true, [](CParamDisplay& d) { d.setAntialias(false); });
    EXPECT_EQ(plain.count(kShadow, plain.inner()), 0);
    EXPECT_GT(shadow.count(kShadow, shadow.inner()), 5);
    // Without antialiasing the glyphs are made of the font colour alone.
    const int ink = plain.count(kInk, plain.inner());
    EXPECT_GT(ink, 10);
    EXPECT_EQ(plain.count(kPaper, plain.inner()) + ink, 58 * 18);

    DisplayRig white(0, false, [](CParamDisplay& d) {
        d.setFontColor(kWhiteCColor);
        d.setFont(kNormalFontSmall);
    });
    EXPECT_GT(white.count(kWhiteCColor, white.inner()), 0);
}

TEST(ParamDisplay, AlignmentPlacesTheText) {
    auto firstInkColumn = [](const DisplayRig& rig) {
        for (int x = 20; x < 80; ++x)
            for (int y = 10; y < 30; ++y)
                if (rig.darkPixels(CRect(x, y, x + 1, y + 1))) return x;
        return -1;
    };
    DisplayRig left(0, true, [](CParamDisplay& d) { d.setHoriAlign(kLeftText); });
    DisplayRig centre(0, true);
    DisplayRig right(0, true, [](CParamDisplay& d) { d.setHoriAlign(kRightText); });
    const int l = firstInkColumn(left), c = firstInkColumn(centre), r = firstInkColumn(right);
    EXPECT_LT(l, 24);
    EXPECT_LT(l, c);
    EXPECT_LT(c, r);
    EXPECT_GT(r, 50);
}

TEST(ParamDisplay, AnOpaqueFillWithAlphaBlendsOverTheBackground) {
    // The decoder-name display: (0, 48, 96, 64) over the window's picture.
    DisplayRig rig(0, false, [](CParamDisplay& d) {
        d.setBackColor(CColor{0, 48, 96, 64});
        d.setStringConvert(nothing);
    });
    const CColor c = pixelAt(rig.frame, 40, 20);
    EXPECT_NEAR(c.red, 200 * 191 / 255.0, 1.5);
    EXPECT_NEAR(c.green, (48 * 64 + 180 * 191) / 255.0, 1.5);
    EXPECT_NEAR(c.blue, (96 * 64 + 160 * 191) / 255.0, 1.5);
    // Redrawn after a change, the blend starts again from the background.
    rig.display->setValue(0.5f);
    rig.frame.idle();
    rig.frame.idle();
    EXPECT_EQ(pixelAt(rig.frame, 40, 20), c);
}
