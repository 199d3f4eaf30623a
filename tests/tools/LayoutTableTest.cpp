// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker-layout page: directions in words, and rows that a user wiring a rig relies
// on, checked against what the layouts are (the centre of the four-speaker ITU decoders is
// silent, the cube's lower layer is below, the square's second output is front right).
#include <gtest/gtest.h>

#include <string>

#include "tools/layouttable/LayoutTable.h"

namespace {

using kiv::layouttable::directionText;
using kiv::layouttable::layoutPage;
using kiv::layouttable::productTables;

TEST(LayoutTable, DirectionsInWords) {
    struct Case {
        double azimuth, elevation;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "ahead"},
        {30, 0, "30\u00B0 left"},
        {-30, 0, "30\u00B0 right"},
        {315, 0, "45\u00B0 right"},
        {-110, 0, "110\u00B0 right"},
        {180, 0, "behind"},
        {-180, 0, "behind"},
        {22.5, 0, "22.5\u00B0 left"},
        {337.5, 0, "22.5\u00B0 right"},
        {45, 35.2, "45\u00B0 left, 35.2\u00B0 up"},
        {225, -35.2, "135\u00B0 right, 35.2\u00B0 down"},
        {0, -45, "ahead, 45\u00B0 down"},
        {360, 0, "ahead"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(directionText(c.azimuth, c.elevation), c.text)
            << c.azimuth << ", " << c.elevation;
}

// The section of one decoder, from its heading to the next.
std::string section(const std::string& page, const std::string& decoder) {
    const std::size_t start = page.find("### " + decoder + "\n");
    if (start == std::string::npos) return "";
    const std::size_t end = page.find("### ", start + 4);
    return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST(LayoutTable, RowsAUserWiresBy) {
    const std::string regular = productTables(kRegularDecoderProduct);
    const std::string irregular = productTables(kIrregularDecoderProduct);
    struct Row {
        const std::string* tables;
        const char* decoder;
        const char* row;
    };
    const Row rows[] = {
        {&regular, "Quad (square)", "| 1 | 45\u00B0 left | FL | `out1` | 1 |"},
        {&regular, "Quad (square)", "| 2 | 45\u00B0 right | FR | `out2` | 2 |"},
        {&regular, "Quad (square)", "| 5 | silent | Unused | `out5` | \u2014 |"},
        {&regular, "Hexagon with CF", "| 1 | ahead | C | `out1` | 1 |"},
        {&regular, "Octagon without CF", "| 8 | 22.5\u00B0 right | FR_337.5 | `out8` | 8 |"},
        {&regular, "8 Speaker Cube (3D)",
         "| 5 | 45\u00B0 left, 35.2\u00B0 down | FL_Dn | `out5` | 5 |"},
        {&regular, "Octahedron (3D)", "| 2 | behind, 45\u00B0 up | Back_Up | `out2` | 2 |"},
        {&irregular, "ITU 5.0 LF Optimised v1", "| 5 | ahead | C (may be unused) | `c` | 5 |"},
        {&irregular, "ITU 5.0 Full Range v1", "| 5 | silent | C (may be unused) | `c` | \u2014 |"},
        {&irregular, "ITU 5.0 Full Range v1", "| 3 | 110\u00B0 left | SL | `sl` | 3 |"},
    };
    for (const Row& r : rows) {
        const std::string s = section(*r.tables, r.decoder);
        ASSERT_FALSE(s.empty()) << "no section for " << r.decoder;
        EXPECT_NE(s.find(r.row), std::string::npos) << r.decoder << ": " << r.row << "\n" << s;
    }
}

TEST(LayoutTable, EveryDecoderOfBothProductsHasATableWithARowPerOutput) {
    const std::string page = layoutPage();
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct}) {
        KivAmbisonicDecoder catalogue(kDecListSize, product->decList, product->numInputs,
                                      product->numOutputs, 0);
        for (int slot = 0; slot < kDecListSize; ++slot) {
            const std::string s = section(page, catalogue.decoders[slot]->name);
            ASSERT_FALSE(s.empty()) << catalogue.decoders[slot]->name;
            const std::string last = "| " + std::to_string(product->numOutputs) + " |";
            const std::string beyond = "| " + std::to_string(product->numOutputs + 1) + " |";
            EXPECT_NE(s.find(last), std::string::npos) << catalogue.decoders[slot]->name;
            EXPECT_EQ(s.find(beyond), std::string::npos) << catalogue.decoders[slot]->name;
            EXPECT_NE(s.find(std::string("\"") + product->programs[slot].name + "\""),
                      std::string::npos);
        }
    }
}

} // namespace
