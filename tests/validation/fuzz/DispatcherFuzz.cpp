// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: each input is a short host session with a fresh instance of the bundle
// named by KIV_FUZZ_BUNDLE. The input decodes into dispatcher calls with arbitrary opcode,
// index, value and opt, each with a null pointer or guarded buffers (DispatchProbe), mixed
// with parameter changes and audio blocks no longer than the host last announced; the
// session ends with a few of our own vendor-specific requests (the message line and layout
// view read into buffers of their size, layouts and sets loaded from hostile paths:
// HostileFiles.h), which are among the calls too, and a read-back of every text the plug-in
// offers. A broken contract aborts with its description, so libFuzzer keeps the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/VstOpcodes.h"
#include "tests/validation/DispatchProbe.h"
#include "tests/validation/fuzz/HostileFiles.h"
#include "tests/validation/fuzz/LibraryCaches.h"
#include "tests/validation/fuzz/QuietChildren.h"
#include "tools/vsthost/VstHost.h"

using kiv::validation::ProbeCall;
using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

std::unique_ptr<PluginLibrary> library;
constexpr int kLongestBlock = 1024;
// A session starts at the rate and longest block the plug-ins assume until a host says
// otherwise, so that switching on prepares nothing again; the fuzzed calls change them.
constexpr float kStartRate = 44100.0f;
constexpr VstIntPtr kStartBlock = 1024;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "contract broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void failOn(const std::vector<std::string>& violations) {
    if (!violations.empty()) fail(violations.front());
}

float anyFloat(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeFloatingPointInRange<float>(-0.5f, 1.5f);
    case 1:
        return in.PickValueInArray<float>(
            {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
             -std::numeric_limits<float>::infinity(), 0.0f, -0.0f, 1e-40f, -1e-40f,
             std::numeric_limits<float>::max(), -1.0f, 2.0f, 1.0f, 0.5f, 44100.0f, 384000.0f});
    case 2: {
        const std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    default:
        return in.ConsumeFloatingPoint<float>();
    }
}

VstInt32 anyOpcode(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 14:
        return in.ConsumeIntegralInRange<VstInt32>(80, 1000);
    case 15:
        return in.ConsumeIntegral<VstInt32>();
    default:
        return in.ConsumeIntegralInRange<VstInt32>(0, 79);
    }
}

VstInt32 anyIndex(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(-2, 12)
                            : in.ConsumeIntegral<VstInt32>();
}

VstIntPtr anyValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        return in.ConsumeIntegralInRange<VstIntPtr>(-2, 12);
    case 1:
        return in.ConsumeIntegralInRange<VstIntPtr>(-1, 1 << 20);
    default:
        return in.ConsumeIntegral<VstIntPtr>();
    }
}

// Our own requests to LayoutDecoder and HeadphoneMonitor (the others answer none).
VstInt32 anyRequest(FuzzedDataProvider& in) {
    return in.PickValueInArray<VstInt32>({kKivLoadHrtf, kKivLoadLayout, kKivLayoutMessage,
                                          kKivLayoutView, kKivHeadphoneView, kKivTakeLayoutView});
}

std::unique_ptr<PluginInstance> newInstance() {
    std::string error;
    auto instance = PluginInstance::create(*library, error);
    if (!instance) fail(error);
    instance->start(kStartRate, static_cast<VstInt32>(kStartBlock));
    return instance;
}

// One block of at most the announced length; inputs drawn from the fuzz data.
void processBlock(FuzzedDataProvider& in, PluginInstance& instance, VstIntPtr announced) {
    AEffect* effect = instance.effect();
    const int limit = announced <= 0              ? 0
                      : announced < kLongestBlock ? int(announced)
                                                  : kLongestBlock;
    const int n = in.ConsumeIntegralInRange<int>(0, limit);
    const bool inPlace = in.ConsumeBool();
    const float level = anyFloat(in);
    const int channels =
        effect->numInputs > effect->numOutputs ? effect->numInputs : effect->numOutputs;
    std::vector<std::vector<float>> ins(channels, std::vector<float>(kLongestBlock));
    std::vector<std::vector<float>> outs(channels, std::vector<float>(kLongestBlock));
    std::uint32_t noise = in.ConsumeIntegral<std::uint32_t>() | 1u;
    for (auto& channel : ins)
        for (float& x : channel) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            x = level * (static_cast<float>(noise) * 2.3283064e-10f - 0.5f);
        }
    std::vector<float*> inPtrs, outPtrs;
    for (int j = 0; j < effect->numInputs; ++j) inPtrs.push_back(ins[j].data());
    for (int s = 0; s < effect->numOutputs; ++s)
        outPtrs.push_back(inPlace ? ins[s].data() : outs[s].data());
    instance.processReplacing(inPtrs.data(), outPtrs.data(), n);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    releaseLibraryCachesAtExit();
    quietCheckingChildren();
    kiv::fuzz::makeHostileFiles();
    const char* path = std::getenv("KIV_FUZZ_BUNDLE");
    if (path == nullptr) fail("KIV_FUZZ_BUNDLE names no bundle");
    std::string error;
    library = PluginLibrary::open(path, error);
    if (!library) fail(error);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::unique_ptr<PluginInstance> instance = newInstance();
    VstIntPtr announced = kStartBlock;

    for (int step = 0; step < 32 && in.remaining_bytes() > 0; ++step) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 11);
        if (kind <= 7) {
            ProbeCall call;
            call.opcode = anyOpcode(in);
            call.index = anyIndex(in);
            call.value = anyValue(in);
            call.opt = anyFloat(in);
            call.withPointer = in.ConsumeIntegralInRange<int>(0, 3) != 0;
            const bool vendor = call.opcode == effVendorSpecific;
            if (vendor && in.ConsumeBool()) call.index = anyRequest(in);
            const bool loads =
                vendor && (call.index == kKivLoadLayout || call.index == kKivLoadHrtf);
            call.textIn = loads && in.ConsumeBool() ? kiv::fuzz::anyPath(in)
                                                    : in.ConsumeRandomLengthString(300);
            // Our own snapshot request writes a file wherever ptr says; not for a fuzzer.
            if (call.opcode == effVendorSpecific && call.index == kKivSnapshot) call.index = 0;
            if (call.opcode == effClose) {
                instance->close();
                instance = newInstance();
                announced = kStartBlock;
                continue;
            }
            failOn(kiv::validation::probe(instance->effect(), call).violations);
            if (call.opcode == effSetBlockSize) announced = call.value;
        } else if (kind == 8) {
            const VstInt32 index = anyIndex(in);
            instance->setParameter(index, anyFloat(in));
        } else if (kind == 9) {
            volatile float v = instance->getParameter(anyIndex(in));
            (void)v;
        } else {
            processBlock(in, *instance, announced);
        }
    }
    // Our own requests end the session, from what is left of the input (at least one: an
    // input used up gives a set loaded from the default path). After the steps, so that the
    // inputs saved for the steps keep their meaning.
    for (int r = 0; r < 4; ++r) {
        ProbeCall call;
        call.opcode = effVendorSpecific;
        call.index = anyRequest(in);
        call.withPointer = !in.ConsumeBool();
        const bool loads = call.index == kKivLoadLayout || call.index == kKivLoadHrtf;
        call.textIn =
            loads && !in.ConsumeBool() ? kiv::fuzz::anyPath(in) : in.ConsumeRandomLengthString(300);
        failOn(kiv::validation::probe(instance->effect(), call).violations);
        if (in.remaining_bytes() == 0) break;
    }
    failOn(kiv::validation::auditTexts(instance->effect()));
    return 0;
}
