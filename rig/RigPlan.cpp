// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/RigPlan.h"

#include <algorithm>

#include "rig/DecoderDesign.h"
#include "rig/PresetPlan.h"
#include "rig/RigError.h"

namespace {

// Plans come with a row per real speaker in channel order; where the channels leave gaps
// (an IEM file using outputs 1, 2 and 5), each row moves to its own output and the outputs
// between stay silent (their distance the farthest speaker's, so they change no delay).
void routeToChannels(const Layout& layout, DecoderPlan& plan) {
    const std::vector<const Speaker*> real = layout.realSpeakers();
    const int outputs = real.empty() ? 0 : real.back()->outputChannel;
    if (outputs == static_cast<int>(real.size())) return;
    DecoderPlan routed = plan;
    double farthest = 0.0;
    for (const Speaker* s : real) farthest = std::max(farthest, s->distanceMetres);
    for (int o = 0; o < DecoderPlan::kMaxSpeakers; ++o) {
        routed.distanceMetres[o] = o < outputs ? farthest : 0.0;
        for (int c = 0; c < DecoderPlan::kInputs; ++c) routed.lf[o][c] = routed.hf[o][c] = 0.0;
    }
    for (size_t s = 0; s < real.size(); ++s) {
        const int o = real[s]->outputChannel - 1;
        routed.distanceMetres[o] = plan.distanceMetres[s];
        for (int c = 0; c < DecoderPlan::kInputs; ++c) {
            routed.lf[o][c] = plan.lf[s][c];
            routed.hf[o][c] = plan.hf[s][c];
        }
    }
    routed.numSpeakers = outputs;
    plan = routed;
}

const char* const kOrdinal[] = {"zeroth", "first", "second", "third",
                                "fourth", "fifth", "sixth",  "seventh"};
} // namespace

RigPlan planForLayout(const Layout& layout, const std::string& where) {
    RigPlan out;
    if (layout.decoder && layout.decoder->order == 1) {
        out.plan = planOfPreset(layout);
        out.asWritten = true;
        routeToChannels(layout, out.plan);
        return out;
    }
    DesignedDecoder designed;
    try {
        designed = designDecoder(layout);
    } catch (const RigError& e) {
        throw RigError(where + ": " + e.what());
    }
    out.plan = designed.plan;
    if (layout.decoder) {
        const int order = layout.decoder->order;
        out.notice =
            std::string("The file's decoder is ") + kOrdinal[order < 8 ? order : 7] +
            " order: its speakers are used and a first-order decoder is designed for them.";
    }
    if (!designed.silenced.empty())
        out.notice += std::string(out.notice.empty() ? "" : " ") +
                      "Left silent, standing where another speaker does: " + designed.silenced +
                      ".";
    routeToChannels(layout, out.plan);
    if (!designed.uncovered.empty()) out.uncovered = "Uncovered: " + designed.uncovered + ".";
    return out;
}
