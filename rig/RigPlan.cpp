// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/RigPlan.h"

#include "rig/DecoderDesign.h"
#include "rig/PresetPlan.h"

namespace {
const char* const kOrdinal[] = {"zeroth", "first", "second", "third",
                                "fourth", "fifth", "sixth",  "seventh"};
}

RigPlan planForLayout(const Layout& layout) {
    RigPlan out;
    if (layout.decoder && layout.decoder->order == 1) {
        out.plan = planOfPreset(layout);
        out.asWritten = true;
        return out;
    }
    const DesignedDecoder designed = designDecoder(layout);
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
    if (!designed.uncovered.empty()) out.uncovered = "Uncovered: " + designed.uncovered + ".";
    return out;
}
