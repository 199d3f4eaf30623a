// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker layouts of the product description against the output pin labels: output k
// of every decoder either product offers sits where its label says.
#include "product/SpeakerLayout.h"
#include "product/OutputPinNames.h"
#include "product/ProductDescription.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Which side of the listener a label names: sign of cos(azimuth) (front +1, back -1,
// straight across 0) and of sin(azimuth) (left +1, right -1); 2 is "not said".
struct Side {
    const char* word;
    int front;
    int left;
};
constexpr Side kSides[] = {
    {"C", 1, 0},     {"FL", 1, 1},    {"FR", 1, -1},  {"BL", -1, 1},    {"BR", -1, -1},
    {"SL", 2, 1},    {"SR", 2, -1},   {"L", 0, 1},    {"R", 0, -1},     {"B", -1, 0},
    {"Front", 1, 0}, {"Back", -1, 0}, {"Left", 0, 1}, {"Right", 0, -1},
};

int sign(double v) {
    return std::fabs(v) < 1e-9 ? 0 : (v > 0 ? 1 : -1);
}

TEST(SpeakerLayout, OutputsSitWhereTheirPinLabelsSay) {
    int checked = 0;
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct})
        for (int slot = 0; slot < kDecListSize; ++slot) {
            const DecShape shape = product->decList[slot];
            const auto layout = speakerLayoutOf(shape);
            ASSERT_TRUE(layout) << product->name << " slot " << slot;
            ASSERT_LE(int(layout->speakers.size()), product->numOutputs);
            for (std::size_t k = 0; k < layout->speakers.size(); ++k) {
                const std::string label = outputPinLabel(shape, int(k));
                const std::string what = std::string(product->name) + " slot " +
                                         std::to_string(slot) + " output " + label;
                const std::size_t cut = label.find_first_of("_ ");
                const std::string word = label.substr(0, cut);
                const std::string rest = cut == std::string::npos ? "" : label.substr(cut + 1);
                const SpeakerDirection d = layout->speakers[k];
                const double azimuth = d.azimuthDeg * 3.14159265358979323846 / 180.0;
                bool known = false;
                for (const Side& side : kSides) {
                    if (word != side.word) continue;
                    known = true;
                    if (side.front != 2) {
                        EXPECT_EQ(sign(std::round(std::cos(azimuth) * 1e6)), side.front) << what;
                    }
                    EXPECT_EQ(sign(std::round(std::sin(azimuth) * 1e6)), side.left) << what;
                }
                EXPECT_TRUE(known) << what;
                if (rest == "Up") {
                    EXPECT_GT(d.elevationDeg, 0.0) << what;
                } else if (rest == "Dn") {
                    EXPECT_LT(d.elevationDeg, 0.0) << what;
                } else {
                    EXPECT_EQ(d.elevationDeg, 0.0) << what;
                }
                if (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest[0]))) {
                    EXPECT_NEAR(std::fmod(d.azimuthDeg + 360.0, 360.0), std::stod(rest), 1e-9)
                        << what;
                }
                ++checked;
            }
            // Outputs past the layout's speakers are unused (or the silent centre).
            for (int k = int(layout->speakers.size()); k < product->numOutputs; ++k) {
                const std::string label = outputPinLabel(shape, k);
                EXPECT_TRUE(label == "Unused" || label == "C (may be unused)") << label;
            }
        }
    EXPECT_EQ(checked, 4 + 6 + 6 + 8 + 8 + 8 + 6 + 4 * 4 + 5 * 3);
    // Numbers outside the catalogue have no layout.
    EXPECT_FALSE(speakerLayoutOf(-1));
    EXPECT_FALSE(speakerLayoutOf(kNumDecShapes));
    EXPECT_FALSE(speakerLayoutOf(Speakers24));
}

} // namespace
