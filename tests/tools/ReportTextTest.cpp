// SPDX-License-Identifier: GPL-3.0-or-later
// Texts ambidec composes: a parameter's display with its unit label where that reads well,
// program names matched whole, and the plot's summaries where rV is undefined.
#include "tools/ambidec/DecoderPlot.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/SettingsReport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kiv::ambidec;

TEST(ReportText, TheLabelFollowsNumbersOnly) {
    const struct {
        const char* display;
        const char* label;
        const char* expected;
    } cases[] = {
        {"1200", "Hz", "1200 Hz"},
        {"120", " Hz ", "120 Hz"},
        {"1.33", "ratio", "1.33 ratio"},
        {" 2.00", "Metres", "2.00 Metres"},
        {"None", "Metres", "None"},
        {"No NFC", "Metres", "No NFC"},
        {"Kiv EQ", "Yes/No", "Kiv EQ"},
        {"No-Use LF", "Yes/No", "No-Use LF"},
        {"Octagon with CF", "layout", "Octagon with CF"},
        {"0.55", "", "0.55"},
        {"1.3x", "ratio", "1.3x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(displayWithLabel(c.display, c.label), c.expected) << c.display;
}

TEST(ReportText, ProgramNamesMatchWholeOrAsTheFullFactoryName) {
    const std::string cut = "Hexagon with Centre Fro"; // 23 characters, as the host sees it
    const std::string full = "Hexagon with Centre Front";
    const struct {
        const char* given;
        std::string hostName, fullName;
        bool matches;
    } cases[] = {
        {"Hexagon with Centre Fro", cut, "", true},
        {"hexagon-with-centre-fro", cut, "", true},
        {"Hexagon with Centre Front", cut, "", false}, // no full name known
        {"Hexagon with Centre Front", cut, full, true},
        {"hexagon with centre front", cut, full, true},
        {"Hexagon with Centre Frog", cut, full, false},
        {"Hexagon with Centre Fro", cut, full, true},
        {"Hexagon", cut, full, false},
        {"3D Cube", "3D Cube", "3D Cube", true},
        {"3D Cube Plus", "3D Cube", "", false},
        // A full name that does not start with the host's name belongs to another program.
        {"Octagon with Centre Front", cut, "Octagon with Centre Front", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesProgramName(c.given, c.hostName, c.fullName), c.matches)
            << c.given << " / " << c.fullName;
}

TEST(ReportText, UndefinedVectorsAreSaidInWords) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const DirectionFigure none{nan, nan, nan, nan};
    const DirectionFigure good{0.7, 10.0, 0.0, 2.5};
    const DirectionFigure directionless{0.0, nan, nan, nan};
    const struct {
        std::vector<DirectionFigure> figures;
        std::string brief, detailed;
    } cases[] = {
        {{none, none, none},
         "rV undefined at every azimuth (no pressure)",
         "rV: undefined at every azimuth: the speakers' signals add up to no pressure"},
        {{good, none, good},
         "rV 0.700 to 0.700 (largest error 2.5 deg), undefined at 1 of 3 azimuths",
         "rV: magnitude 0.700 to 0.700 (mean 0.700), largest direction error 2.5\u00B0; undefined "
         "at 1 of 3 azimuths (no pressure)"},
        {{directionless},
         "rV 0.000 to 0.000 (no direction)",
         "rV: magnitude 0.000 to 0.000 (mean 0.000), no direction"},
    };
    for (const auto& c : cases) {
        const SeriesSummary s = summarise(c.figures);
        EXPECT_EQ(describeSeries("rV", s, false), c.brief);
        EXPECT_EQ(describeSeries("rV", s, true), c.detailed);
    }
}
