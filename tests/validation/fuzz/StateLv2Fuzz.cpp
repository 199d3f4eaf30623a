// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the LV2 binary (KIV_FUZZ_LV2 names its .so) of a product whose state holds
// a layout file or a set's path (StatefulProducts.h; the binary's URI says which), under a
// small host of this file's own: urid:map, the longest block, a log that formats and drops
// what it is told, a worker run between blocks, and at times state:mapPath. Each input is a
// state restore (the plug-in's keys and types with contents of any kind, or entries of any
// key, type and size: layout texts, file names, paths to hostile files, HostileFiles.h), or
// a control-port sequence of events: patch:Set of a file parameter to a path, patch:Get,
// objects with any property, value type and body, raw events, sizes that lie. Then blocks
// run with the worker's answers delivered and control ports moved to any value, and a state
// save, which a fresh instance must restore. What an input leaves out (it ran out of bytes)
// is the well-formed choice, so that short inputs reach the files already.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/validation/fuzz/HostileFiles.h"
#include "tests/validation/fuzz/QuietChildren.h"
#include "tests/validation/fuzz/StatefulProducts.h"

using kiv::fuzz::Field;

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
const kiv::fuzz::StatefulProduct* product = nullptr;
std::string bundleDir;
constexpr int kBlock = 128;
constexpr std::uint32_t kMostAudioPorts = 36;
constexpr std::size_t kMostControls = 16;

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

// The log formats every line, so that a wrong argument shows, and keeps none.
int logLine(LV2_Log_Handle, LV2_URID, const char* format, va_list args) {
    char line[512];
    return std::vsnprintf(line, sizeof line, format, args);
}
int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = logLine(handle, type, format, args);
    va_end(args);
    return n;
}

// state:mapPath as a session directory does it: abstract paths carry a prefix.
constexpr char kAbstract[] = "session:";
char* abstractPath(LV2_State_Map_Path_Handle, const char* path) {
    return strdup((kAbstract + std::string(path)).c_str());
}
char* absolutePath(LV2_State_Map_Path_Handle, const char* path) {
    const std::size_t n = sizeof kAbstract - 1;
    return strdup(std::strncmp(path, kAbstract, n) == 0 ? path + n : path);
}
void freePath(LV2_State_Free_Path_Handle, char* path) {
    std::free(path);
}

// A URID the plug-in knows, one it does not, or any number.
LV2_URID anyUrid(FuzzedDataProvider& in, const std::vector<const char*>& likely) {
    const int known = static_cast<int>(likely.size());
    const int pick = in.ConsumeIntegralInRange<int>(0, known + 1);
    if (pick < known) return urid(likely[pick]);
    return pick == known ? urid("urn:fuzz:unknown") : in.ConsumeIntegral<LV2_URID>();
}

const char* const kTypes[] = {LV2_ATOM__Path,   LV2_ATOM__String, LV2_ATOM__URID,  LV2_ATOM__Int,
                              LV2_ATOM__Object, LV2_ATOM__Chunk,  LV2_ATOM__Float, LV2_ATOM__URI};

LV2_URID anyType(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange<int>(0, 9) == 0) return in.ConsumeIntegral<LV2_URID>();
    return urid(in.PickValueInArray(kTypes));
}

// What a state entry or a file parameter holds, with its terminator or without.
std::string anyValue(FuzzedDataProvider& in, Field field) {
    std::string value;
    switch (field) {
    case Field::FileName:
        value = kiv::fuzz::anyFileName(in);
        break;
    case Field::LayoutText:
        value = kiv::fuzz::anyLayoutText(in);
        break;
    default:
        value = kiv::fuzz::anyPath(in);
        break;
    }
    if (in.ConsumeIntegralInRange<int>(0, 3) != 3) value.push_back('\0');
    return value;
}

float anyControl(FuzzedDataProvider& in, const kiv::fuzz::ControlPort& port) {
    if (in.ConsumeBool()) return in.ConsumeFloatingPointInRange<float>(port.minimum, port.maximum);
    return in.PickValueInArray<float>(
        {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
         -std::numeric_limits<float>::infinity(), -1.0f, 2e9f, 1e-40f, port.minimum, port.maximum});
}

// Ports and buffers of one instance; the atom buffers are shared (one instance runs at once).
struct Ports {
    float controls[kMostControls];
    float latency = -1.0f;
};
alignas(8) std::uint8_t atomIn[8192], atomOut[8192];
float audio[kMostAudioPorts][kBlock];

auto* controlSequence() {
    return reinterpret_cast<LV2_Atom_Sequence*>(atomIn);
}

LV2_Handle instantiate(const LV2_Feature* const* features, Ports& ports) {
    const LV2_Descriptor* d = descriptor;
    LV2_Handle h = d->instantiate(d, 48000.0, bundleDir.c_str(), features);
    if (!h) fail("no instance");
    for (std::size_t k = 0; k < product->controls.size(); ++k) {
        ports.controls[k] = product->controls[k].defaultPhysical;
        d->connect_port(h, product->firstControl + static_cast<std::uint32_t>(k),
                        &ports.controls[k]);
    }
    for (std::uint32_t p = 0; p < product->audioPorts; ++p)
        d->connect_port(h, product->firstAudio + p, audio[p]);
    if (product->latencyPort >= 0)
        d->connect_port(h, static_cast<std::uint32_t>(product->latencyPort), &ports.latency);
    std::memset(atomIn, 0, sizeof atomIn);
    controlSequence()->atom.type = urid(LV2_ATOM__Sequence);
    controlSequence()->atom.size = sizeof(LV2_Atom_Sequence_Body);
    d->connect_port(h, product->controlIn, atomIn);
    d->connect_port(h, product->notifyOut, atomOut);
    d->activate(h);
    return h;
}

// Blocks as a host runs them: a control port moved now and then, the notify port's capacity
// set before each, the control input emptied after the first, the worker's answers delivered
// after run. The control input is handed over in a heap block of its exact size, so that a
// read beyond the sequence faults.
void runBlocks(FuzzedDataProvider& in, LV2_Handle h, Host& host, Ports& ports, int blocks) {
    const LV2_Descriptor* d = descriptor;
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(d->extension_data(LV2_WORKER__interface));
    if (!worker) fail("no worker interface");
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(atomOut);
    for (int b = 0; b < blocks; ++b) {
        if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
            const std::size_t k =
                in.ConsumeIntegralInRange<std::size_t>(0, product->controls.size() - 1);
            ports.controls[k] = anyControl(in, product->controls[k]);
        }
        notify->atom.size = sizeof atomOut - sizeof(LV2_Atom);
        const auto* control = reinterpret_cast<const std::uint8_t*>(controlSequence());
        std::vector<std::uint8_t> exact(control,
                                        control + sizeof(LV2_Atom) + controlSequence()->atom.size);
        d->connect_port(h, product->controlIn, exact.data());
        d->run(h, kBlock);
        d->connect_port(h, product->controlIn, atomIn);
        controlSequence()->atom.size = sizeof(LV2_Atom_Sequence_Body);
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
    if (product->latencyPort >= 0 && !(ports.latency >= 0.0f)) fail("no latency reported");
}

// Events on the control port: a patch:Set of a file parameter to a path, a patch:Get, or
// objects of any property, value type and body, raw bytes, sizes that lie.
void addEvents(FuzzedDataProvider& in, LV2_URID_Map& map) {
    LV2_Atom_Sequence* seq = controlSequence();
    std::uint8_t* end = atomIn + sizeof atomIn;
    const std::vector<const char*>& parameters = product->fileParameters;
    const int events = in.ConsumeIntegralInRange<int>(1, 6);
    for (int e = 0; e < events; ++e) {
        auto* ev = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<std::uint8_t*>(&seq->body) +
                                                     seq->atom.size);
        std::uint8_t* body = reinterpret_cast<std::uint8_t*>(&ev->body);
        if (body + 2048 > end) break;
        ev->time.frames = in.ConsumeIntegralInRange<std::int64_t>(0, kBlock - 1);
        const int kind = in.ConsumeIntegralInRange<int>(0, 3);
        std::uint32_t bytes;
        if (kind < 3) {
            LV2_Atom_Forge forge;
            lv2_atom_forge_init(&forge, &map);
            lv2_atom_forge_set_buffer(&forge, body, 2048);
            LV2_Atom_Forge_Frame frame;
            const LV2_URID otype = kind == 0   ? urid(LV2_PATCH__Set)
                                   : kind == 1 ? urid(LV2_PATCH__Get)
                                               : anyUrid(in, {LV2_PATCH__Set, LV2_PATCH__Get});
            if (!lv2_atom_forge_object(&forge, &frame, 0, otype)) break;
            if (kind == 0) { // what a host's file chooser sends
                lv2_atom_forge_key(&forge, urid(LV2_PATCH__property));
                lv2_atom_forge_urid(&forge, anyUrid(in, parameters));
                lv2_atom_forge_key(&forge, urid(LV2_PATCH__value));
                const std::string path = anyValue(in, Field::Path);
                lv2_atom_forge_atom(&forge, static_cast<std::uint32_t>(path.size()),
                                    urid(LV2_ATOM__Path));
                lv2_atom_forge_write(&forge, path.data(), static_cast<std::uint32_t>(path.size()));
            } else if (kind == 1) {
                if (in.ConsumeBool()) {
                    lv2_atom_forge_key(&forge, urid(LV2_PATCH__property));
                    lv2_atom_forge_urid(&forge, anyUrid(in, parameters));
                }
            } else {
                const int count = in.ConsumeIntegralInRange<int>(0, 3);
                for (int p = 0; p < count; ++p) {
                    lv2_atom_forge_key(&forge,
                                       anyUrid(in, {LV2_PATCH__property, LV2_PATCH__value}));
                    if (in.ConsumeBool()) {
                        lv2_atom_forge_urid(&forge, anyUrid(in, parameters));
                    } else {
                        const std::string value = anyValue(in, Field::Path);
                        lv2_atom_forge_atom(&forge, static_cast<std::uint32_t>(value.size()),
                                            anyType(in));
                        lv2_atom_forge_write(&forge, value.data(),
                                             static_cast<std::uint32_t>(value.size()));
                    }
                }
            }
            lv2_atom_forge_pop(&forge, &frame);
            // Cut short: the object's size (and the sequence with it) ends inside its
            // properties; or it claims more than the sequence holds.
            if (kind == 2 && in.ConsumeBool()) {
                const std::uint32_t full = ev->body.size;
                ev->body.size = in.ConsumeIntegralInRange<std::uint32_t>(0, full * 2);
                bytes = sizeof(LV2_Atom) + std::min(ev->body.size, full);
            } else {
                bytes = sizeof(LV2_Atom) + ev->body.size;
            }
        } else {
            const std::string raw = in.ConsumeRandomLengthString(1024);
            std::memcpy(body, raw.data(), raw.size());
            bytes = static_cast<std::uint32_t>(std::max<std::size_t>(raw.size(), 8));
        }
        seq->atom.size += sizeof(LV2_Atom_Event) - sizeof(LV2_Atom) + lv2_atom_pad_size(bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quietCheckingChildren();
    kiv::fuzz::makeHostileFiles();
    const char* so = std::getenv("KIV_FUZZ_LV2");
    if (so == nullptr) fail("KIV_FUZZ_LV2 names no LV2 binary");
    void* library = dlopen(so, RTLD_NOW | RTLD_LOCAL);
    if (!library) fail(dlerror());
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(std::uint32_t)>(
        dlsym(library, "lv2_descriptor"));
    if (!entry || !(descriptor = entry(0))) fail(std::string(so) + ": no descriptor");
    product = kiv::fuzz::statefulProductNamed(descriptor->URI);
    if (!product) fail(std::string(descriptor->URI) + ": not a product this target knows");
    if (product->audioPorts > kMostAudioPorts || product->controls.size() > kMostControls)
        fail("more ports than this host has buffers for");
    bundleDir = std::string(so).substr(0, std::string(so).rfind('/') + 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    LV2_URID_Map map{nullptr, &mapUri};
    LV2_Worker_Schedule schedule{&host, &Host::schedule};
    LV2_Log_Log log{nullptr, &logPrintf, &logLine};
    const std::int32_t longest = kBlock;
    const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0,
                                           urid(LV2_BUF_SIZE__maxBlockLength), sizeof longest,
                                           urid(LV2_ATOM__Int), &longest},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_State_Map_Path mapPath{nullptr, &abstractPath, &absolutePath};
    LV2_State_Free_Path freeing{nullptr, &freePath};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    LV2_Feature logFeature{LV2_LOG__log, &log};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    LV2_Feature mapPathFeature{LV2_STATE__mapPath, &mapPath};
    LV2_Feature freeFeature{LV2_STATE__freePath, &freeing};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, &logFeature, &optionsFeature,
                                     nullptr};
    // The state calls' own features: none, or a session's path mapping.
    const LV2_Feature* sessionFeatures[] = {&mapPathFeature, &freeFeature, nullptr};
    const LV2_Feature* const* stateFeatures = in.ConsumeBool() ? sessionFeatures : nullptr;

    const LV2_Descriptor* d = descriptor;
    Ports ports;
    LV2_Handle h = instantiate(features, ports);
    const auto* state =
        static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
    if (!state) fail("no state interface");

    if (in.ConsumeBool()) {
        addEvents(in, map);
    } else if (!in.ConsumeBool()) {
        // A state as the plug-in saves one: each key with its type, contents of any kind.
        for (const kiv::fuzz::StateKey& k : product->stateKeys)
            if (!in.ConsumeBool())
                host.state[urid(k.uri)] = {
                    anyValue(in, k.field),
                    urid(k.field == Field::Path ? LV2_ATOM__Path : LV2_ATOM__String)};
        state->restore(h, &Host::retrieve, &host, 0, stateFeatures);
    } else {
        // Entries of the plug-in's keys or others, of any type.
        std::vector<const char*> keys;
        for (const kiv::fuzz::StateKey& k : product->stateKeys) keys.push_back(k.uri);
        const int entries = in.ConsumeIntegralInRange<int>(0, 4);
        for (int e = 0; e < entries; ++e) {
            const LV2_URID key = anyUrid(in, keys);
            Field field = Field::LayoutText;
            for (const kiv::fuzz::StateKey& k : product->stateKeys)
                if (urid(k.uri) == key) field = k.field;
            host.state[key] = {anyValue(in, field), anyType(in)};
        }
        state->restore(h, &Host::retrieve, &host, 0, stateFeatures);
    }
    runBlocks(in, h, host, ports, 4);
    Host saved;
    if (state->save(h, &Host::store, &saved, LV2_STATE_IS_POD, stateFeatures) != LV2_STATE_SUCCESS)
        fail("state cannot be saved");
    d->deactivate(h);
    d->cleanup(h);
    if (saved.state.empty()) return 0; // nothing beyond the controls

    // What the plug-in saved, a fresh instance restores.
    Ports again;
    h = instantiate(features, again);
    if (state->restore(h, &Host::retrieve, &saved, 0, stateFeatures) != LV2_STATE_SUCCESS)
        fail("a state the plug-in saved is refused by a fresh instance");
    runBlocks(in, h, saved, again, 1);
    d->deactivate(h);
    d->cleanup(h);
    return 0;
}
