// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/LayoutView.h"

#include <cmath>
#include <cstring>

#include "engine/PlanDecoder.h"

void setViewText(char* field, int bytes, const std::string& text) {
    std::size_t n = text.size() < std::size_t(bytes - 1) ? text.size() : std::size_t(bytes - 1);
    // Never end inside a multi-byte character: step back over continuation bytes.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, std::size_t(bytes) - n);
}

LayoutView makeLayoutView(const Layout& layout, bool asWritten, const DecoderPlan& plan,
                          float sampleRateHz, const std::string& message) {
    LayoutView view;
    view.count = plan.numSpeakers;
    view.subwooferOutput = plan.subwoofer ? plan.numSpeakers + 1 : 0;
    view.asWritten = asWritten ? 1 : 0;
    setViewText(view.name, LayoutView::kNameBytes, layout.name);
    setViewText(view.message, LayoutView::kMessageBytes, message);
    const float rate = sampleRateHz > 0.0f ? sampleRateHz : 48000.0f;
    for (int o = 0; o < plan.numSpeakers && o < DecoderPlan::kMaxSpeakers; ++o) {
        LayoutView::Row& row = view.rows[o];
        for (const Speaker* s : layout.realSpeakers()) {
            if (s->outputChannel != o + 1) continue;
            row.output = o + 1;
            row.azimuthDegrees = static_cast<float>(s->azimuthDegrees);
            row.elevationDegrees = static_cast<float>(s->elevationDegrees);
            setViewText(row.name, LayoutView::kSpeakerNameBytes, s->name);
        }
        if (row.output == 0) continue; // no speaker feeds this output
        // The engine's own rounding: what the listener hears, not the exact distance.
        const int frames = PlanDecoder::compensationDelayFrames(plan, o, rate);
        row.delayMs = static_cast<float>(1000.0 * frames / rate);
        const float gain = PlanDecoder::compensationGain(plan, o);
        row.levelDb = gain > 0.0f ? static_cast<float>(20.0 * std::log10(gain)) : 0.0f;
    }
    return view;
}
