// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the three layout readers. The first byte of an input picks the format
// (.ambdec, IEM JSON, speaker list), the rest is the file's text. A reader either gives a
// valid layout, whose plan is then made, or refuses it with one RigError line naming the
// input; anything else (another exception, a line break in the message, a plan with a
// number that is not finite) aborts with its description, so libFuzzer keeps the input.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rig/LayoutFile.h"
#include "rig/RigError.h"
#include "rig/RigPlan.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "contract broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void checkPlan(const DecoderPlan& plan) {
    if (plan.numSpeakers < 2 || plan.numSpeakers > DecoderPlan::kMaxSpeakers)
        fail("speaker count out of range");
    for (int s = 0; s < plan.numSpeakers; ++s) {
        if (!(plan.distanceMetres[s] > 0.0) || !std::isfinite(plan.distanceMetres[s]))
            fail("bad distance");
        for (int c = 0; c < DecoderPlan::kInputs; ++c)
            if (!std::isfinite(plan.lf[s][c]) || !std::isfinite(plan.hf[s][c]))
                fail("matrix not finite");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const LayoutFormat formats[3] = {LayoutFormat::Ambdec, LayoutFormat::IemJson,
                                     LayoutFormat::SpeakerList};
    const LayoutFormat format = formats[data[0] % 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string where = "fuzz-input";
    try {
        const Layout layout = parseLayout(text, format, where);
        checkPlan(planForLayout(layout, where).plan);
    } catch (const RigError& e) {
        const std::string line = e.what();
        if (line.find('\n') != std::string::npos) fail("a refusal of more than one line: " + line);
        if (line.rfind(where, 0) != 0) fail("a refusal that does not name the input: " + line);
    } catch (const std::exception& e) {
        fail(std::string("an exception other than RigError: ") + e.what());
    }
    return 0;
}
