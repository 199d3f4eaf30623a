// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the VST state of a product whose chunk holds a layout file or a set's path
// (StatefulProducts.h; the bundle named by KIV_FUZZ_BUNDLE says which it is). Each input
// becomes a chunk handed to a fresh instance through effSetChunk, before or after it is
// switched on: raw bytes, or a chunk with a right or wrong header and number of values,
// values of any float, and each text of the chunk with a true or lying length: file names,
// layout texts whole or damaged, paths to hostile files (HostileFiles.h). A block follows,
// and the plug-in's message line must be terminated within its buffer. An accepted chunk
// must come back through effGetChunk as one that a fresh instance accepts again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/VstOpcodes.h"
#include "tests/validation/fuzz/HostileFiles.h"
#include "tests/validation/fuzz/LibraryCaches.h"
#include "tests/validation/fuzz/QuietChildren.h"
#include "tests/validation/fuzz/StatefulProducts.h"
#include "tools/vsthost/VstHost.h"

using kiv::fuzz::Field;
using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

std::unique_ptr<PluginLibrary> library;
const kiv::fuzz::StatefulProduct* product = nullptr;
// The rate and longest block the plug-ins assume until a host says otherwise: switching on
// then prepares nothing again, and the time goes to the chunks (rates and blocks are the
// dispatcher target's).
constexpr float kRate = 44100.0f;
constexpr int kBlock = 1024;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "contract broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void putU32(std::vector<char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A text's length as written, or in a damaged chunk at times one that lies.
void putText(FuzzedDataProvider& in, std::vector<char>& out, const std::string& text,
             bool damaged) {
    const std::uint32_t length = damaged && in.ConsumeBool()
                                     ? in.ConsumeIntegral<std::uint32_t>()
                                     : static_cast<std::uint32_t>(text.size());
    putU32(out, length);
    out.insert(out.end(), text.begin(), text.end());
}

std::string textOf(FuzzedDataProvider& in, Field field) {
    switch (field) {
    case Field::FileName:
        return kiv::fuzz::anyFileName(in);
    case Field::LayoutText:
        return kiv::fuzz::anyLayoutText(in);
    default:
        return kiv::fuzz::anyPath(in);
    }
}

// A chunk of the product's shape, sound (its texts decide how far the plug-in gets) or
// damaged in any of its parts. Sound is what an input that runs out of bytes gives.
std::vector<char> forgedChunk(FuzzedDataProvider& in) {
    const bool damaged = in.ConsumeBool();
    auto lie = [&] { return damaged && in.ConsumeBool(); };
    std::vector<char> chunk;
    putU32(chunk, lie() ? in.ConsumeIntegral<std::uint32_t>() : product->chunkMagic);
    putU32(chunk, lie() ? in.ConsumeIntegral<std::uint32_t>() : product->chunkVersion);
    const int values =
        lie() ? in.ConsumeIntegralInRange<int>(0, product->values + 2) : product->values;
    for (int k = 0; k < values; ++k) {
        float v;
        if (lie())
            v = in.PickValueInArray<float>({std::numeric_limits<float>::quiet_NaN(),
                                            std::numeric_limits<float>::infinity(), -0.0f, 1e-40f,
                                            -1.0f, 2.0f, in.ConsumeFloatingPoint<float>()});
        else // the top of a choice is the layout in state
            v = in.PickValueInArray<float>(
                {1.0f, 0.0f, 0.5f, in.ConsumeFloatingPointInRange<float>(0.0f, 1.0f)});
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        putU32(chunk, bits);
    }
    for (Field field : product->chunkTexts) putText(in, chunk, textOf(in, field), damaged);
    if (lie()) { // bytes after the last part
        const std::string tail = in.ConsumeRandomLengthString(16);
        chunk.insert(chunk.end(), tail.begin(), tail.end());
    }
    return chunk;
}

void processBlock(PluginInstance& instance) {
    AEffect* effect = instance.effect();
    std::vector<std::vector<float>> ins(effect->numInputs, std::vector<float>(kBlock, 0.25f));
    std::vector<std::vector<float>> outs(effect->numOutputs, std::vector<float>(kBlock));
    std::vector<float*> inPtrs, outPtrs;
    for (auto& c : ins) inPtrs.push_back(c.data());
    for (auto& c : outs) outPtrs.push_back(c.data());
    instance.processReplacing(inPtrs.data(), outPtrs.data(), kBlock);
}

// The line the plug-in has for the user fits the buffer a host gives it.
void checkMessage(PluginInstance& instance) {
    char text[kKivLayoutMessageBytes];
    std::memset(text, 0x47, sizeof text);
    instance.dispatch(effVendorSpecific, kKivLayoutMessage, 0, text);
    bool written = false;
    for (char c : text) written = written || c != 0x47;
    if (written && std::memchr(text, '\0', sizeof text) == nullptr)
        fail("a message line without a terminator within its buffer");
}

std::unique_ptr<PluginInstance> newInstance() {
    std::string error;
    std::unique_ptr<PluginInstance> instance = PluginInstance::create(*library, error);
    if (!instance) fail(error);
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    releaseLibraryCachesAtExit(); // a bundle with an editor
    quietCheckingChildren();
    kiv::fuzz::makeHostileFiles();
    const char* path = std::getenv("KIV_FUZZ_BUNDLE");
    if (path == nullptr) fail("KIV_FUZZ_BUNDLE names no bundle");
    std::string error;
    library = PluginLibrary::open(path, error);
    if (!library) fail(error);
    const std::string name = newInstance()->effectName();
    product = kiv::fuzz::statefulProductNamed(name);
    if (!product) fail(name + ": not a product whose state this target knows");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::unique_ptr<PluginInstance> instance = newInstance();
    // Hosts restore a session before switching the plug-in on, and presets while it runs.
    const bool runningFirst = in.ConsumeBool();
    instance->dispatch(effOpen);
    instance->dispatch(effSetSampleRate, 0, 0, nullptr, kRate);
    instance->dispatch(effSetBlockSize, 0, kBlock);
    if (runningFirst) instance->dispatch(effMainsChanged, 0, 1);
    const bool isBank = in.ConsumeBool();
    std::vector<char> chunk;
    if (in.ConsumeBool()) {
        const std::string raw = in.ConsumeRemainingBytesAsString();
        chunk.assign(raw.begin(), raw.end());
    } else {
        chunk = forgedChunk(in);
    }
    const VstIntPtr accepted =
        instance->dispatch(effSetChunk, isBank ? 0 : 1, static_cast<VstIntPtr>(chunk.size()),
                           chunk.empty() ? nullptr : chunk.data());
    if (!runningFirst) instance->dispatch(effMainsChanged, 0, 1);
    processBlock(*instance);
    checkMessage(*instance);
    if (accepted != 1) return 0;
    void* saved = nullptr;
    const VstIntPtr bytes = instance->dispatch(effGetChunk, isBank ? 0 : 1, 0, &saved);
    if (bytes <= 0 || saved == nullptr) fail("an accepted chunk cannot be saved again");
    const std::vector<char> again(static_cast<const char*>(saved),
                                  static_cast<const char*>(saved) + bytes);
    std::unique_ptr<PluginInstance> second = newInstance();
    second->start(kRate, kBlock);
    if (second->dispatch(effSetChunk, isBank ? 0 : 1, bytes, const_cast<char*>(again.data())) != 1)
        fail("a chunk the plug-in saved is refused by a fresh instance");
    processBlock(*second);
    return 0;
}
