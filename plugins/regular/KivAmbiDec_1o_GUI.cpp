#include "plugins/regular/KivAmbiDec_1o_GUI.h"

#include "host/HostText.h"
#include "plugins/DecList.h"

extern "C" __attribute__((visibility("default"))) const DecShape DecList[kDecListSize] = {
    QuadSquare, HexagonWithCF, HexagonWithoutCF, OctagonWithCF, OctagonWithoutCF, Cube8, Octahedron,
};

namespace {

constexpr const char* kProgramNames[] = {
    "Quad (square)",
    "Hexagon with Centre Front",
    "Hexagon without Centre Front",
    "Octagon with Centre Front",
    "Octagon without Centre Front",
    "3D Cube",
    "3D Octahedron",
};

// Pattern ratios per program; the stored value is half the ratio (ratio = 2 x value).
constexpr float kLowRatios[] = {1.33f, 1.33f, 1.33f, 1.33f, 1.33f, 1.5f, 1.5f};
constexpr float kHighRatios[] = {1.15f, 1.15f, 1.15f, 1.15f, 1.15f, 1.3f, 1.3f};
constexpr float kSpatialEQValues[] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kCutOff380Hz = 0.28695652f; // 50 + 1150 x value

} // namespace

KivAmbiDec_1o_GUI::KivAmbiDec_1o_GUI(audioMasterCallback audioMaster)
    : KivDecoderShell<double>(audioMaster, BundleConstants{kInputs, kOutputs, kUniqueID, DecList}) {
    for (int i = 0; i < kNumPrograms; ++i) {
        DecProgram<double>& p = programs[i];
        // Each value is computed in 32 bits, then widened.
        p.values[kLowFPattern] = 0.5f * kLowRatios[i];
        p.values[kHighFPattern] = 0.5f * kHighRatios[i];
        p.values[kCutOffF] = kCutOff380Hz;
        p.values[kLayout] = static_cast<float>(i) / 6.0f; // program i selects slot i
        p.values[kDistanceComp] = 1.0f;
        p.values[kEncodedDistance] = 1.0f;
        p.values[kSpatialEQ] = kSpatialEQValues[i];
        copyHostText(p.name, kProgramNames[i], DecProgram<double>::kNameBytes - 1);
    }
    setProgram(0);
}
