// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/FactoryLayouts.h"

namespace {

struct Place {
    const char* name;
    double azimuthDegrees;
    double elevationDegrees;
};

constexpr double kDistanceMetres = 2.0;

Layout make(const char* name, const char* description, std::initializer_list<Place> places,
            bool subwoofer = false) {
    Layout layout;
    layout.name = name;
    layout.description = description;
    layout.subwoofer = subwoofer;
    int channel = 0;
    for (const Place& p : places) {
        Speaker s;
        s.name = p.name;
        s.azimuthDegrees = p.azimuthDegrees;
        s.elevationDegrees = p.elevationDegrees;
        s.distanceMetres = kDistanceMetres;
        s.outputChannel = ++channel;
        layout.speakers.push_back(s);
    }
    validateLayout(layout, name);
    return layout;
}

Layout ring(const char* name, const char* description, int count, double firstAzimuth,
            double elevation, const char* prefix) {
    Layout layout;
    layout.name = name;
    layout.description = description;
    for (int i = 0; i < count; ++i) {
        Speaker s;
        s.name = prefix + std::to_string(i + 1);
        s.azimuthDegrees = firstAzimuth + 360.0 * i / count;
        if (s.azimuthDegrees > 180.0) s.azimuthDegrees -= 360.0;
        s.elevationDegrees = elevation;
        s.distanceMetres = kDistanceMetres;
        s.outputChannel = i + 1;
        layout.speakers.push_back(s);
    }
    return layout;
}

std::vector<Layout> build() {
    std::vector<Layout> all;
    all.push_back(
        make("ITU 5.0", "ITU-R BS.775 five speakers, surrounds at +-110 degrees",
             {{"L", 30, 0}, {"R", -30, 0}, {"C", 0, 0}, {"LS", 110, 0}, {"RS", -110, 0}}));
    all.push_back(make("ITU 5.1", "ITU-R BS.775 five speakers and a subwoofer on output 6",
                       {{"L", 30, 0}, {"R", -30, 0}, {"C", 0, 0}, {"LS", 110, 0}, {"RS", -110, 0}},
                       true));
    all.push_back(make("7.0 (BS.2051 0+7+0)", "ITU-R BS.2051 system I without its LFE",
                       {{"L", 30, 0},
                        {"R", -30, 0},
                        {"C", 0, 0},
                        {"LSS", 90, 0},
                        {"RSS", -90, 0},
                        {"LRS", 135, 0},
                        {"RRS", -135, 0}}));
    all.push_back(make("5.0.4 (BS.2051 4+5+0)",
                       "ITU-R BS.2051 system D: five at ear level, four above at 30 degrees",
                       {{"L", 30, 0},
                        {"R", -30, 0},
                        {"C", 0, 0},
                        {"LS", 110, 0},
                        {"RS", -110, 0},
                        {"LTF", 30, 30},
                        {"RTF", -30, 30},
                        {"LTR", 110, 30},
                        {"RTR", -110, 30}}));
    all.push_back(make("7.0.4 (BS.2051 4+7+0)",
                       "ITU-R BS.2051 system J without its LFE: seven at ear level, four above",
                       {{"L", 30, 0},
                        {"R", -30, 0},
                        {"C", 0, 0},
                        {"LSS", 90, 0},
                        {"RSS", -90, 0},
                        {"LRS", 135, 0},
                        {"RRS", -135, 0},
                        {"LTF", 45, 30},
                        {"RTF", -45, 30},
                        {"LTR", 135, 30},
                        {"RTR", -135, 30}}));
    Layout ring12 =
        ring("12-speaker ring", "twelve speakers every 30 degrees, the first straight ahead", 12,
             0.0, 0.0, "S");
    validateLayout(ring12, ring12.name);
    all.push_back(ring12);
    Layout dome =
        ring("8+8 dome",
             "eight speakers at ear level from straight ahead, eight at 45 degrees between them", 8,
             0.0, 0.0, "M");
    const Layout upper = ring("", "", 8, 22.5, 45.0, "U");
    for (Speaker s : upper.speakers) {
        s.outputChannel += 8;
        dome.speakers.push_back(s);
    }
    validateLayout(dome, dome.name);
    all.push_back(dome);
    return all;
}

} // namespace

const std::vector<Layout>& factoryLayouts() {
    static const std::vector<Layout> all = build();
    return all;
}

const Layout* factoryLayout(const std::string& name) {
    for (const Layout& l : factoryLayouts())
        if (l.name == name) return &l;
    return nullptr;
}
