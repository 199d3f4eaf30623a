#include "plugins/irregular/KivAmbiDec.h"

#include "host/HostText.h"
#include "plugins/DecList.h"

extern "C" __attribute__((visibility("default"))) const DecShape DecList[kDecListSize] = {
    ItuFullRangeV1,   ItuFullRangeV2, ItuLFOptimisedV1, ItuLFOptimisedV2,
    ItuHFOptimisedV1, ItuFullRangeV3, ItuFullRangeV4,
};

namespace {

constexpr const char* kProgramNames[] = {
    "ITU Full Range v1",   "ITU Full Range v2", "ITU LF Optimised v1", "ITU LF Optimised v2",
    "ITU HF Optimised v1", "ITU Full Range v3", "ITU Full Range v4",
};

constexpr float kCutOff380Hz = 0.28695652f; // 50 + 1150 x value

} // namespace

KivAmbiDec::KivAmbiDec(audioMasterCallback audioMaster)
    : KivDecoderShell<float>(audioMaster, BundleConstants{kInputs, kOutputs, kUniqueID, DecList}) {
    for (int i = 0; i < kNumPrograms; ++i) {
        DecProgram<float>& p = programs[i];
        p.values[kLowFPattern] = 0.5f; // ratio 1: the matrix as it is
        p.values[kHighFPattern] = 0.5f;
        p.values[kCutOffF] = kCutOff380Hz;
        p.values[kLayout] = static_cast<float>(i) / 6.0f; // program i selects slot i
        p.values[kDistanceComp] = 1.0f;
        p.values[kEncodedDistance] = 1.0f;
        p.values[kSpatialEQ] = 0.0f; // single band
        copyHostText(p.name, kProgramNames[i], DecProgram<float>::kNameBytes - 1);
    }
    setProgram(0);
}
