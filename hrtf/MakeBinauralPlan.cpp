// SPDX-License-Identifier: GPL-3.0-or-later
#include "hrtf/MakeBinauralPlan.h"

#include <stdexcept>

std::shared_ptr<const BinauralPlan>
makeBinauralPlan(const HrtfSet& set, const std::vector<BinauralDirection>& speakers) {
    if (speakers.size() > static_cast<size_t>(BinauralPlan::kMaxFeeds))
        throw std::invalid_argument("a binaural plan takes at most " +
                                    std::to_string(BinauralPlan::kMaxFeeds) + " speakers");
    auto plan = std::make_shared<BinauralPlan>();
    plan->sampleRate = set.sampleRate();
    plan->feeds = static_cast<int>(speakers.size());
    plan->length = set.length();
    for (int f = 0; f < plan->feeds; ++f) {
        plan->left[f].assign(static_cast<size_t>(plan->length), 0.0f);
        plan->right[f].assign(static_cast<size_t>(plan->length), 0.0f);
        set.responseAt(speakers[f].azimuthDegrees, speakers[f].elevationDegrees,
                       plan->left[f].data(), plan->right[f].data());
    }
    return plan;
}
