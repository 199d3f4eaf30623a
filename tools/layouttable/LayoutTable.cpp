// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/layouttable/LayoutTable.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "product/OutputPinNames.h"
#include "product/SpeakerLayout.h"

namespace kiv::layouttable {

namespace {

// Degrees with one decimal where there is one: "30", "22.5", "35.2".
std::string degrees(double value) {
    char text[32];
    const double tenths = std::round(std::fabs(value) * 10.0);
    if (std::fmod(tenths, 10.0) == 0.0)
        std::snprintf(text, sizeof text, "%.0f\u00B0", tenths / 10.0);
    else
        std::snprintf(text, sizeof text, "%.1f\u00B0", tenths / 10.0);
    return text;
}

std::string capitalised(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

// The programs that select a slot, by name.
std::string programsOf(const ProductDescription& product, int slot) {
    std::string names;
    for (int p = 0; p < kNumFactoryPrograms; ++p) {
        const float v = product.programs[p].values[kLayout];
        if (std::lround(v * (kDecListSize - 1)) != slot) continue;
        names += (names.empty() ? "\"" : ", \"") + std::string(product.programs[p].name) + "\"";
    }
    return names.empty() ? "none" : names;
}

} // namespace

std::string directionText(double azimuthDeg, double elevationDeg) {
    // Azimuth to (-180, 180]: positive is left.
    double a = std::fmod(azimuthDeg, 360.0);
    if (a > 180.0) a -= 360.0;
    if (a <= -180.0) a += 360.0;
    std::string text;
    if (std::fabs(a) < 0.05)
        text = "ahead";
    else if (std::fabs(std::fabs(a) - 180.0) < 0.05)
        text = "behind";
    else
        text = degrees(a) + (a > 0 ? " left" : " right");
    if (std::fabs(elevationDeg) >= 0.05)
        text += ", " + degrees(elevationDeg) + (elevationDeg > 0 ? " up" : " down");
    return text;
}

std::string productTables(const ProductDescription& product) {
    const KivAmbisonicDecoder catalogue(kDecListSize, product.decList, product.numInputs,
                                        product.numOutputs, 0);
    std::string t = "## " + std::string(product.name) + "\n\n";
    t += std::to_string(product.numOutputs) + " outputs; LV2 ports ";
    for (int o = 0; o < product.numOutputs; ++o)
        t += std::string(o ? ", `" : "`") + product.outputs[o].symbol + "`";
    t += ".\n\n";
    for (int slot = 0; slot < kDecListSize; ++slot) {
        const DecShape shape = product.decList[slot];
        const auto layout = speakerLayoutOf(shape);
        t += "### " + catalogue.decoders[slot]->name + "\n\n";
        t += capitalised(layout ? layout->description : "no layout") + ". LV2 `layout` value " +
             std::to_string(slot) + "; program " + programsOf(product, slot) + ".\n\n";
        t += "| output | direction | VST pin | LV2 port | editor |\n";
        t += "|---|---|---|---|---|\n";
        const int speakers = layout ? static_cast<int>(layout->speakers.size()) : 0;
        for (int o = 0; o < product.numOutputs; ++o) {
            const char* pin = outputPinLabel(shape, o);
            std::string direction = "silent";
            std::string editor = "\u2014";
            if (o < speakers) {
                const SpeakerDirection& d = layout->speakers[static_cast<std::size_t>(o)];
                direction = directionText(d.azimuthDeg, d.elevationDeg);
                // The editor's diagram numbers the speakers in output order, from 1.
                editor = std::to_string(o + 1);
            }
            t += "| " + std::to_string(o + 1) + " | " + direction + " | " + (pin ? pin : "\u2014") +
                 " | `" + product.outputs[o].symbol + "` | " + editor + " |\n";
        }
        t += "\n";
    }
    return t;
}

std::string layoutPage() {
    std::string t = "<!-- Written by tools/layouttable from the product descriptions; do not "
                    "edit. Regenerate: cmake --build build --target kiv_docs -->\n";
    t += "# Which output feeds which loudspeaker\n\n";
    t += "One table per decoder (the Layout parameter, or the LV2 `layout` control): for "
         "each output, numbered from 1, the loudspeaker's direction seen from the listener "
         "(azimuth left or right of straight ahead, elevation up or down), the VST pin name "
         "that hosts show for that decoder, the LV2 port symbol (fixed, whatever the "
         "decoder) and the number of the speaker in the editor's diagram. An output marked "
         "silent carries nothing in that decoder. A file written by `ambidec render` may put "
         "them in the order its format expects; its summary says which output each channel "
         "carries.\n\n";
    t += productTables(kRegularDecoderProduct);
    t += productTables(kIrregularDecoderProduct);
    return t;
}

} // namespace kiv::layouttable
