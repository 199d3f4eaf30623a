// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/PresetPlan.h"

#include <algorithm>
#include <cmath>

double fumaToColumnScale(Normalisation n, int acn) {
    const bool w = acn == 0;
    switch (n) {
    case Normalisation::FuMa:
        return 1.0;
    case Normalisation::SN3D:
        return w ? std::sqrt(2.0) : 1.0;
    case Normalisation::N3D:
        return w ? std::sqrt(2.0) : std::sqrt(3.0);
    }
    return 1.0;
}

namespace {

// ACN 0 W, 1 Y, 2 Z, 3 X to the plan's FuMa inputs W, X, Y, Z.
constexpr int kPlanInputOfAcn[4] = {0, 2, 3, 1};

void fold(const PresetDecoder& d, const std::vector<std::vector<double>>& rows,
          const std::vector<double>& orderGain, double bandGain,
          double (*out)[DecoderPlan::kInputs]) {
    for (size_t s = 0; s < rows.size(); ++s) {
        for (int c = 0; c < DecoderPlan::kInputs; ++c) out[s][c] = 0.0;
        for (size_t k = 0; k < d.acnColumns.size(); ++k) {
            const int acn = d.acnColumns[k];
            const int order = acn == 0 ? 0 : 1;
            const double g = static_cast<size_t>(order) < orderGain.size() ? orderGain[order] : 1.0;
            out[s][kPlanInputOfAcn[acn]] +=
                rows[s][k] * g * bandGain * fumaToColumnScale(d.coeffScale, acn);
        }
    }
}

} // namespace

DecoderPlan planOfPreset(const Layout& layout) {
    const PresetDecoder& d = *layout.decoder;
    const std::vector<const Speaker*> real = layout.realSpeakers();
    DecoderPlan plan;
    plan.numSpeakers = static_cast<int>(real.size());
    plan.twoBand = d.twoBand;
    plan.crossoverHz = d.crossoverHz;
    // A positive ratio lowers LF by half of it in dB and raises HF by the other half.
    const double lfGain = d.twoBand ? std::pow(10.0, -d.crossoverRatioDb / 40.0) : 1.0;
    const double hfGain = d.twoBand ? std::pow(10.0, d.crossoverRatioDb / 40.0) : 1.0;
    fold(d, d.lf, d.lfOrderGain, lfGain, plan.lf);
    if (d.twoBand)
        fold(d, d.hf, d.hfOrderGain, hfGain, plan.hf);
    else
        std::copy(&plan.lf[0][0], &plan.lf[0][0] + DecoderPlan::kMaxSpeakers * DecoderPlan::kInputs,
                  &plan.hf[0][0]);
    double dMax = 0.0;
    for (size_t s = 0; s < real.size(); ++s) {
        plan.distanceMetres[s] = real[s]->distanceMetres;
        dMax = std::max(dMax, real[s]->distanceMetres);
    }
    plan.delayCompensation = d.delayCompensation;
    plan.levelCompensation = d.levelCompensation;
    switch (d.nearField) {
    case PresetDecoder::NearField::None:
        plan.nearField = DecoderPlan::NearField::None;
        break;
    case PresetDecoder::NearField::Input:
        // Once for the whole rig: at the farthest speaker, where the delay compensation puts
        // every speaker.
        plan.nearField = DecoderPlan::NearField::Input;
        plan.nearFieldDistanceMetres = dMax;
        break;
    case PresetDecoder::NearField::Output:
        plan.nearField = DecoderPlan::NearField::Output;
        break;
    }
    plan.subwoofer = layout.subwoofer;
    return plan;
}
