// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmaps by resource number: the bundle's file first, then the copy compiled in, else
// an empty bitmap; and how a bitmap draws a part of itself.
#include "ToolkitFakes.h"

#include "host/Bundle.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace VSTGUI;
namespace fs = std::filesystem;

namespace {

// A bundle directory of our own, installed as the process's bundle while the test runs.
class BundleFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kiv-bundle-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        resources = root / "Contents" / "Resources";
        fs::create_directories(resources);
        previous = gBundleRef;
        gBundleRef = CFBundleCreate(root.string());
    }
    void TearDown() override {
        CFBundleRelease(gBundleRef);
        gBundleRef = previous;
        fs::remove_all(root);
    }
    void writePng(const std::string& name, int width, int height) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        ASSERT_EQ(cairo_surface_write_to_png(s, (resources / name).c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }
    void writeBytes(const std::string& name, const std::string& bytes) {
        std::ofstream(resources / name, std::ios::binary) << bytes;
    }

    fs::path root, resources;
    CFBundleRef previous = nullptr;
};

struct Expected {
    CBitmap::Source source;
    int width, height;
};

Expected load(long number, std::string* file = nullptr) {
    CBitmap* bitmap = new CBitmap(number);
    Expected result{bitmap->getSource(), bitmap->getWidth(), bitmap->getHeight()};
    if (file) *file = bitmap->getFilePath();
    bitmap->forget();
    return result;
}

void expectLoaded(long number, const Expected& want) {
    const Expected got = load(number);
    EXPECT_EQ(got.source, want.source) << "resource " << number;
    EXPECT_EQ(got.width, want.width) << "resource " << number;
    EXPECT_EQ(got.height, want.height) << "resource " << number;
}

} // namespace

TEST_F(BundleFixture, FirstExistingBundleFileWinsOverTheEmbeddedCopy) {
    writePng("bmp00132.png", 10, 6);
    writePng("bmp00132.bmp", 3, 3);
    // A picture under a later extension is read all the same (as PNG).
    writePng("bmp00135.jpg", 7, 5);
    std::string file;
    load(132, &file);
    EXPECT_EQ(fs::path(file).filename(), "bmp00132.png");
    expectLoaded(132, {CBitmap::Source::kBundleFile, 10, 6});
    expectLoaded(135, {CBitmap::Source::kBundleFile, 7, 5});
}

TEST_F(BundleFixture, ExtensionsAreTriedInOrderPngBmpJpgPict) {
    writePng("bmp00134.pict", 9, 9);
    writePng("bmp00134.jpg", 8, 8);
    expectLoaded(134, {CBitmap::Source::kBundleFile, 8, 8});
    writePng("bmp00134.bmp", 4, 4);
    expectLoaded(134, {CBitmap::Source::kBundleFile, 4, 4});
}

TEST_F(BundleFixture, UnreadableOrMissingFilesFallBackToTheEmbeddedPictures) {
    writeBytes("bmp00134.png", "not a picture");
    writeBytes("bmp00131.bmp", "BM\x36\x00");         // a real BMP would not be decoded either
    fs::create_directory(resources / "bmp00132.png"); // not a file
    const struct {
        long number;
        Expected want;
    } cases[] = {
        {134, {CBitmap::Source::kEmbedded, 48, 72}},
        {131, {CBitmap::Source::kEmbedded, 560, 260}},
        {132, {CBitmap::Source::kEmbedded, 64, 64 * 281}},
        {135, {CBitmap::Source::kEmbedded, 96, 7 * 24}},
        // Not in this bundle's table (it is the other plug-in's background), nor a file.
        {130, {CBitmap::Source::kNone, 0, 0}},
        {7, {CBitmap::Source::kNone, 0, 0}},
        {-1, {CBitmap::Source::kNone, 0, 0}},
    };
    for (const auto& c : cases) expectLoaded(c.number, c.want);
}

TEST(Bitmap, WithoutABundleTheEmbeddedCopyIsUsed) {
    ASSERT_EQ(getBundleRef(), nullptr);
    expectLoaded(131, {CBitmap::Source::kEmbedded, 560, 260});
    expectLoaded(999, {CBitmap::Source::kNone, 0, 0});
}

TEST(Bitmap, EmptyBitmapDrawsNothingAndTheEditorGoesOn) {
    CFrame frame(CRect(0, 0, 20, 20), nullptr, nullptr);
    frame.setBackgroundColor(kWhiteCColor);
    frame.idle();
    CBitmap* missing = new CBitmap(999);
    EXPECT_FALSE(missing->isLoaded());
    CDrawContext* context = frame.createDrawContext();
    missing->draw(context, CRect(0, 0, 20, 20));
    missing->drawTransparent(context, CRect(0, 0, 20, 20));
    CDrawContext onEmpty(*missing); // a context on no pixels at all
    onEmpty.fillRect(CRect(0, 0, 5, 5));
    context->forget();
    missing->forget();
    EXPECT_EQ(pixelAt(frame, 10, 10), kWhiteCColor);
}

TEST(Bitmap, DrawsThePartAtItsOffsetOpaqueOrBlended) {
    CBitmap* strip = makeNumberedStrip(8, 4, 3);
    // Picture 2 half transparent: blended it mixes with what lies below, copied it does not.
    {
        CDrawContext context(*strip);
        cairo_t* cr = context.getCairo();
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
        cairo_rectangle(cr, 0, 8, 8, 4);
        cairo_fill(cr);
    }
    CFrame frame(CRect(0, 0, 30, 10), nullptr, nullptr);
    frame.setBackgroundColor(CColor{0, 0, 0, 255});
    frame.idle();
    CDrawContext* context = frame.createDrawContext();
    strip->draw(context, CRect(0, 0, 8, 4), CPoint(0, 4));
    strip->draw(context, CRect(10, 0, 18, 4), CPoint(0, 8));
    context->setFillColor(CColor{0, 0, 255, 255});
    context->fillRect(CRect(20, 0, 28, 4));
    strip->drawTransparent(context, CRect(20, 0, 28, 4), CPoint(0, 8));
    // A rectangle larger than the picture leaves the rest as it was.
    strip->draw(context, CRect(0, 5, 30, 10), CPoint(0, 0));
    context->forget();

    EXPECT_EQ(frameIndexOf(pixelAt(frame, 3, 2)), 1);
    const CColor copied = pixelAt(frame, 13, 2);
    EXPECT_NEAR(copied.red, 128, 1); // premultiplied white at half alpha, alpha dropped
    EXPECT_NEAR(copied.blue, 128, 1);
    const CColor blended = pixelAt(frame, 23, 2);
    EXPECT_NEAR(blended.red, 128, 1);
    EXPECT_EQ(blended.blue, 255);
    EXPECT_EQ(frameIndexOf(pixelAt(frame, 5, 7)), 0);
    EXPECT_EQ(pixelAt(frame, 20, 7), (CColor{0, 0, 0, 255}));
    strip->forget();
}
