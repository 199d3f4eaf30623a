// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: LayoutDecoder's LV2 binary (KIV_FUZZ_LV2 names its .so) under a small
// host of this file's own: urid:map and a worker run between blocks. Each input is a state
// restore with entries of any key, type and size, or a control-port sequence of events:
// patch:Set and patch:Get objects with any property, value type and body (paths among a
// file, a directory, a FIFO, a device and garbage), raw events, sizes that lie. Each is
// followed by blocks with the worker's answers delivered, and a state save.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "product/LayoutDecoderLv2Ports.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "contract broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::vector<std::string> uris;
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    for (std::size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.push_back(uri);
    return static_cast<LV2_URID>(uris.size());
}
LV2_URID urid(const char* uri) {
    return mapUri(nullptr, uri);
}

const LV2_Descriptor* descriptor = nullptr;
std::string bundleDir, scratchDir;
constexpr int kBlock = 128;

struct Stored {
    std::string bytes;
    std::uint32_t type;
};

struct Host {
    std::vector<std::string> requests, answers;
    std::map<std::uint32_t, Stored> state;

    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, std::uint32_t size,
                                      const void* data) {
        static_cast<Host*>(h)->requests.emplace_back(static_cast<const char*>(data), size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle h, std::uint32_t size,
                                     const void* data) {
        static_cast<Host*>(h)->answers.emplace_back(static_cast<const char*>(data), size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_State_Status store(LV2_State_Handle h, std::uint32_t key, const void* value,
                                  std::size_t size, std::uint32_t type, std::uint32_t) {
        static_cast<Host*>(h)->state[key] = {std::string(static_cast<const char*>(value), size),
                                             type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, std::uint32_t key, std::size_t* size,
                                std::uint32_t* type, std::uint32_t* flags) {
        auto& state = static_cast<Host*>(h)->state;
        const auto found = state.find(key);
        if (found == state.end()) return nullptr;
        *size = found->second.bytes.size();
        *type = found->second.type;
        *flags = LV2_STATE_IS_POD;
        return found->second.bytes.data();
    }
};

// A URID the plug-in knows, one it does not, or any number.
LV2_URID anyUrid(FuzzedDataProvider& in, std::initializer_list<const char*> likely) {
    const int pick = in.ConsumeIntegralInRange<int>(0, static_cast<int>(likely.size()) + 1);
    if (pick < static_cast<int>(likely.size())) return urid(likely.begin()[pick]);
    return pick == static_cast<int>(likely.size()) ? urid("urn:fuzz:unknown")
                                                   : in.ConsumeIntegral<LV2_URID>();
}

const char* const kTypes[] = {LV2_ATOM__Path,   LV2_ATOM__String, LV2_ATOM__URID,  LV2_ATOM__Int,
                              LV2_ATOM__Object, LV2_ATOM__Chunk,  LV2_ATOM__Float, LV2_ATOM__URI};

LV2_URID anyType(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange<int>(0, 9) == 0) return in.ConsumeIntegral<LV2_URID>();
    return urid(in.PickValueInArray(kTypes));
}

std::string anyPath(FuzzedDataProvider& in) {
    std::string path;
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
        path = "/usr/share/ambdec/presets/cube.ambdec";
        break;
    case 1:
        path = scratchDir + "/room.txt";
        break;
    case 2:
        path = scratchDir; // a directory
        break;
    case 3:
        path = scratchDir + "/fifo";
        break;
    case 4:
        path = "/dev/null";
        break;
    case 5:
        path = scratchDir + "/" + in.ConsumeRandomLengthString(40);
        break;
    default:
        return in.ConsumeRandomLengthString(1100); // with or without its terminator
    }
    return std::string(path.c_str(), path.size() + 1);
}

// Blocks as a host runs them: the notify port's capacity set before each, the control input
// emptied after the first, the worker's answers delivered after run.
void runBlocks(const LV2_Descriptor* d, LV2_Handle h, const LV2_Worker_Interface* worker,
               Host& host, LV2_Atom_Sequence* control, LV2_Atom_Sequence* notify,
               std::uint32_t notifyBytes, int blocks) {
    for (int b = 0; b < blocks; ++b) {
        notify->atom.size = notifyBytes - sizeof(LV2_Atom);
        d->run(h, kBlock);
        control->atom.size = sizeof(LV2_Atom_Sequence_Body);
        auto requests = std::move(host.requests);
        host.requests.clear();
        for (auto& r : requests)
            worker->work(h, &Host::respond, &host, static_cast<std::uint32_t>(r.size()), r.data());
        auto answers = std::move(host.answers);
        host.answers.clear();
        for (auto& a : answers)
            worker->work_response(h, static_cast<std::uint32_t>(a.size()), a.data());
        if (worker->end_run) worker->end_run(h);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* so = std::getenv("KIV_FUZZ_LV2");
    if (so == nullptr) fail("KIV_FUZZ_LV2 names no LV2 binary");
    void* library = dlopen(so, RTLD_NOW | RTLD_LOCAL);
    if (!library) fail(dlerror());
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(std::uint32_t)>(
        dlsym(library, "lv2_descriptor"));
    if (!entry || !(descriptor = entry(0))) fail(std::string(so) + ": no descriptor");
    bundleDir = std::string(so).substr(0, std::string(so).rfind('/') + 1);
    char dir[] = "/tmp/kiv-lv2-fuzz-XXXXXX";
    if (!mkdtemp(dir)) fail("no scratch directory");
    scratchDir = dir;
    if (FILE* f = std::fopen((scratchDir + "/room.txt").c_str(), "w")) {
        std::fputs("L 30 0 3\nR -30 0 3\nLS 110 0 2\nRS -110 0 2\n", f);
        std::fclose(f);
    }
    mkfifo((scratchDir + "/fifo").c_str(), 0600);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    LV2_URID_Map map{nullptr, &mapUri};
    LV2_Worker_Schedule schedule{&host, &Host::schedule};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, nullptr};
    const LV2_Descriptor* d = descriptor;
    LV2_Handle h = d->instantiate(d, 48000.0, bundleDir.c_str(), features);
    if (!h) fail("no instance");
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(d->extension_data(LV2_WORKER__interface));
    const auto* state =
        static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
    if (!worker || !state) fail("no worker or state interface");

    static float audio[36][kBlock];
    float controls[kLayoutDecoderParameters];
    for (int k = 0; k < kLayoutDecoderParameters; ++k) {
        controls[k] = ldPhysical(k, ldDefaultValues()[k]);
        d->connect_port(h, kLdLv2FirstControl + k, &controls[k]);
    }
    for (std::uint32_t p = 0; p < 36; ++p) d->connect_port(h, kLdLv2FirstInput + p, audio[p]);
    alignas(8) static std::uint8_t atomIn[8192], atomOut[8192];
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomIn);
    auto* out = reinterpret_cast<LV2_Atom_Sequence*>(atomOut);
    std::memset(atomIn, 0, sizeof atomIn);
    seq->atom.type = urid(LV2_ATOM__Sequence);
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    d->connect_port(h, kLdLv2ControlIn, atomIn);
    d->connect_port(h, kLdLv2NotifyOut, atomOut);
    d->activate(h);

    if (in.ConsumeBool()) {
        // State: entries of the plug-in's keys or others, of any type and size.
        const int entries = in.ConsumeIntegralInRange<int>(0, 4);
        for (int e = 0; e < entries; ++e) {
            const LV2_URID key = anyUrid(in, {kLdLv2StateTextUri, kLdLv2StateNameUri});
            const LV2_URID type = anyType(in);
            std::string bytes = in.ConsumeBool() ? in.ConsumeRandomLengthString(4096)
                                                 : "L 30 0 2\nR -30 0 2\nS 180 0 1.5\n";
            if (in.ConsumeBool()) bytes.push_back('\0');
            host.state[key] = {bytes, type};
        }
        state->restore(h, &Host::retrieve, &host, 0, nullptr);
    } else {
        // Events on the control port.
        std::uint8_t* end = atomIn + sizeof atomIn;
        const int events = in.ConsumeIntegralInRange<int>(1, 6);
        for (int e = 0; e < events; ++e) {
            auto* ev = reinterpret_cast<LV2_Atom_Event*>(
                reinterpret_cast<std::uint8_t*>(&seq->body) + seq->atom.size);
            std::uint8_t* body = reinterpret_cast<std::uint8_t*>(&ev->body);
            if (body + 2048 > end) break;
            ev->time.frames = in.ConsumeIntegralInRange<std::int64_t>(0, kBlock - 1);
            std::uint32_t bytes;
            if (in.ConsumeIntegralInRange<int>(0, 3) != 0) {
                LV2_Atom_Forge forge;
                lv2_atom_forge_init(&forge, &map);
                lv2_atom_forge_set_buffer(&forge, body, 1024);
                LV2_Atom_Forge_Frame frame;
                const LV2_URID otype = anyUrid(in, {LV2_PATCH__Set, LV2_PATCH__Get});
                if (!lv2_atom_forge_object(&forge, &frame, 0, otype)) break;
                const int properties = in.ConsumeIntegralInRange<int>(0, 3);
                for (int p = 0; p < properties; ++p) {
                    lv2_atom_forge_key(&forge,
                                       anyUrid(in, {LV2_PATCH__property, LV2_PATCH__value}));
                    if (in.ConsumeBool()) {
                        lv2_atom_forge_urid(&forge, anyUrid(in, {kLdLv2LayoutFileUri}));
                    } else {
                        const std::string value = anyPath(in);
                        lv2_atom_forge_atom(&forge, static_cast<std::uint32_t>(value.size()),
                                            anyType(in));
                        lv2_atom_forge_write(&forge, value.data(),
                                             static_cast<std::uint32_t>(value.size()));
                    }
                }
                lv2_atom_forge_pop(&forge, &frame);
                bytes = sizeof(LV2_Atom) + ev->body.size;
                // Truncated: a body shorter than its object says.
                if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
                    ev->body.size = in.ConsumeIntegralInRange<std::uint32_t>(0, ev->body.size * 2);
            } else {
                const std::string raw = in.ConsumeRandomLengthString(1024);
                std::memcpy(body, raw.data(), raw.size());
                bytes = static_cast<std::uint32_t>(std::max<std::size_t>(raw.size(), 8));
            }
            seq->atom.size += sizeof(LV2_Atom_Event) - sizeof(LV2_Atom) + lv2_atom_pad_size(bytes);
        }
    }
    runBlocks(d, h, worker, host, seq, out, sizeof atomOut, 4);
    Host saved;
    state->save(h, &Host::store, &saved, LV2_STATE_IS_POD, nullptr);
    d->deactivate(h);
    d->cleanup(h);
    return 0;
}
