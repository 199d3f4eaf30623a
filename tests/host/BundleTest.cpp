// SPDX-License-Identifier: GPL-3.0-or-later
// The bundle lookup and the reference each editor takes and gives back.
#include <gtest/gtest.h>

#include "RecordingHost.h"
#include "host/AEffGUIEditor.h"
#include "host/Bundle.h"

namespace {

TEST(BundleDirectory, RemovesTheLastThreeComponents) {
    struct Row {
        const char* path;
        bool found;
        const char* directory;
    };
    const Row rows[] = {
        {"/home/u/.vst/RegularDecoder.vst/Contents/x86_64-linux/RegularDecoder.so", true,
         "/home/u/.vst/RegularDecoder.vst"},
        {"/A.vst/Contents/x86_64-linux/A.so", true, "/A.vst"},
        {"/Contents/x86_64-linux/A.so", true, ""},
        {"rel/Contents/x86_64-linux/A.so", true, "rel"},
        {"Contents/x86_64-linux/A.so", false, ""},
        {"A.so", false, ""},
        {"", false, ""},
    };
    for (const Row& row : rows) {
        std::string directory = "unchanged";
        EXPECT_EQ(bundleDirectoryOf(row.path, directory), row.found) << row.path;
        EXPECT_EQ(directory, row.found ? row.directory : "unchanged") << row.path;
    }
}

TEST(BundleDirectory, TooShortAPathPrintsTheMessageAndKeepsTheReference) {
    VSTGUI::CFBundleRef before = VSTGUI::gBundleRef;
    testing::internal::CaptureStdout();
    InitBundleFromLibraryPath("x86_64-linux/A.so");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not determine bundle location.\n");
    EXPECT_EQ(VSTGUI::gBundleRef, before);
}

TEST(BundleReference, EachEditorTakesOneAndGivesItBack) {
    ASSERT_EQ(VSTGUI::gBundleRef, nullptr);
    auto* first = new AEffGUIEditor(nullptr);
    VSTGUI::CFBundleRef bundle = VSTGUI::getBundleRef();
    ASSERT_NE(bundle, nullptr) << "the test executable's own 'bundle'";
    EXPECT_EQ(VSTGUI::bundleReferenceCount(bundle), 1);
    // The test runs from <build>/tests/host/test_host: three levels up is <build>/..
    EXPECT_FALSE(VSTGUI::bundleDirectory(bundle).empty());

    auto* second = new AEffGUIEditor(nullptr);
    EXPECT_EQ(VSTGUI::getBundleRef(), bundle) << "the same bundle, one more reference";
    EXPECT_EQ(VSTGUI::bundleReferenceCount(bundle), 2);

    delete first;
    EXPECT_EQ(VSTGUI::getBundleRef(), bundle);
    EXPECT_EQ(VSTGUI::bundleReferenceCount(bundle), 1);
    delete second;
    EXPECT_EQ(VSTGUI::getBundleRef(), nullptr) << "no pointer to the freed bundle remains";

    // A later editor finds the bundle afresh.
    AEffGUIEditor third(nullptr);
    EXPECT_NE(VSTGUI::getBundleRef(), nullptr);
    EXPECT_EQ(VSTGUI::bundleReferenceCount(VSTGUI::getBundleRef()), 1);
}

TEST(BundleReference, ReleasingNothingIsHarmless) {
    ASSERT_EQ(VSTGUI::gBundleRef, nullptr);
    ExitMachOLibrary();
    VSTGUI::CFBundleRelease(nullptr);
    EXPECT_EQ(VSTGUI::bundleReferenceCount(nullptr), 0);
}

} // namespace
