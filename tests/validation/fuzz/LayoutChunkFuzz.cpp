// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: LayoutDecoder's VST state. Each input becomes a chunk handed to a fresh
// instance of the bundle named by KIV_FUZZ_BUNDLE through effSetChunk: raw bytes, or a
// chunk with a right or wrong header, values of any float, a file name and a layout text of
// any length (the readers behind it parse the text), followed by a block. An accepted
// chunk must come back through effGetChunk as one that a fresh instance accepts again.
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
#include "tests/validation/fuzz/LibraryCaches.h"
#include "tools/vsthost/VstHost.h"

using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

namespace {

std::unique_ptr<PluginLibrary> library;
constexpr int kBlock = 256;
constexpr std::uint32_t kMagic = 0x53444C4B; // "KLDS"

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "contract broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void putU32(std::vector<char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putText(FuzzedDataProvider& in, std::vector<char>& out, const std::string& text) {
    // The length as written, or one that lies about it.
    const std::uint32_t length = in.ConsumeBool() ? static_cast<std::uint32_t>(text.size())
                                                  : in.ConsumeIntegral<std::uint32_t>();
    putU32(out, length);
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<char> forgedChunk(FuzzedDataProvider& in) {
    std::vector<char> chunk;
    putU32(chunk, in.ConsumeBool() ? kMagic : in.ConsumeIntegral<std::uint32_t>());
    putU32(chunk, in.ConsumeBool() ? 1u : in.ConsumeIntegral<std::uint32_t>());
    const int values = in.ConsumeBool() ? 10 : in.ConsumeIntegralInRange<int>(0, 12);
    for (int k = 0; k < values; ++k) {
        float v = in.ConsumeBool()
                      ? in.ConsumeFloatingPointInRange<float>(0.0f, 1.0f)
                      : in.PickValueInArray<float>({std::numeric_limits<float>::quiet_NaN(),
                                                    std::numeric_limits<float>::infinity(), -0.0f,
                                                    1e-40f, -1.0f, 2.0f, 1.0f, 0.0f, 0.5f});
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        putU32(chunk, bits);
    }
    static const char* const kNames[] = {"room.ambdec", "room.json", "room.txt", "", "x"};
    putText(in, chunk,
            in.ConsumeBool() ? std::string(in.PickValueInArray(kNames))
                             : in.ConsumeRandomLengthString(80));
    putText(in, chunk, in.ConsumeRandomLengthString(8192));
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

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    releaseLibraryCachesAtExit(); // the bundle has an editor
    const char* path = std::getenv("KIV_FUZZ_BUNDLE");
    if (path == nullptr) fail("KIV_FUZZ_BUNDLE names no bundle");
    std::string error;
    library = PluginLibrary::open(path, error);
    if (!library) fail(error);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string error;
    std::unique_ptr<PluginInstance> instance = PluginInstance::create(*library, error);
    if (!instance) fail(error);
    instance->start(48000.0f, kBlock);
    const bool isBank = in.ConsumeBool();
    std::vector<char> chunk;
    if (in.ConsumeBool()) {
        chunk = forgedChunk(in);
    } else {
        const std::string raw = in.ConsumeRemainingBytesAsString();
        chunk.assign(raw.begin(), raw.end());
    }
    const VstIntPtr accepted =
        instance->dispatch(effSetChunk, isBank ? 0 : 1, static_cast<VstIntPtr>(chunk.size()),
                           chunk.empty() ? nullptr : chunk.data());
    processBlock(*instance);
    if (accepted != 1) return 0;
    void* saved = nullptr;
    const VstIntPtr bytes = instance->dispatch(effGetChunk, isBank ? 0 : 1, 0, &saved);
    if (bytes <= 0 || saved == nullptr) fail("an accepted chunk cannot be saved again");
    const std::vector<char> again(static_cast<const char*>(saved),
                                  static_cast<const char*>(saved) + bytes);
    std::unique_ptr<PluginInstance> second = PluginInstance::create(*library, error);
    if (!second) fail(error);
    second->start(48000.0f, kBlock);
    if (second->dispatch(effSetChunk, isBank ? 0 : 1, bytes, const_cast<char*>(again.data())) != 1)
        fail("a chunk the plug-in saved is refused by a fresh instance");
    processBlock(*second);
    return 0;
}
