// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's LV2 binary under a small host of the test's own (urid:map, a worker run
// when the test says, state kept in a table): bit for bit the VST bundle's decoder for a
// factory layout and for a preset; the layout's content through save and restore with its
// file gone; hostile state and patch:Set atoms refused with the layout kept; patch:Get
// answered with the file.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderLv2Ports.h"
#include "product/LayoutView.h"
#include "tools/vsthost/VstHost.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 256;

// ---- the host ----

std::vector<std::string>& uridTable() {
    static std::vector<std::string> table;
    return table;
}
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    auto& t = uridTable();
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i] == uri) return static_cast<LV2_URID>(i + 1);
    t.push_back(uri);
    return static_cast<LV2_URID>(t.size());
}
LV2_URID urid(const char* uri) {
    return mapUri(nullptr, uri);
}

const LV2_Descriptor* descriptor() {
    static void* library = dlopen(KIV_LAYOUT_LV2 "/LayoutDecoder.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    auto entry =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    return entry ? entry(0) : nullptr;
}

struct StoredValue {
    std::vector<char> bytes;
    uint32_t type;
};
using StateTable = std::map<uint32_t, StoredValue>;

class Lv2Instance {
public:
    Lv2Instance() {
        d_ = descriptor();
        if (!d_) return;
        schedule_.handle = this;
        schedule_.schedule_work = &Lv2Instance::schedule;
        h_ = d_->instantiate(d_, kRate, KIV_LAYOUT_LV2, features_);
        worker_ =
            static_cast<const LV2_Worker_Interface*>(d_->extension_data(LV2_WORKER__interface));
        state_ = static_cast<const LV2_State_Interface*>(d_->extension_data(LV2_STATE__interface));
        for (int c = 0; c < 4; ++c) d_->connect_port(h_, kLdLv2FirstInput + c, in_[c]);
        for (int o = 0; o < 32; ++o) d_->connect_port(h_, kLdLv2FirstOutput + o, out_[o]);
        for (int k = 0; k < kLayoutDecoderParameters; ++k) {
            controls_[k] = ldPhysical(k, ldDefaultValues()[k]);
            d_->connect_port(h_, kLdLv2FirstControl + k, &controls_[k]);
        }
        d_->connect_port(h_, kLdLv2ControlIn, atomIn_);
        d_->connect_port(h_, kLdLv2NotifyOut, atomOut_);
        clearInput();
    }
    ~Lv2Instance() {
        if (h_ && active_) d_->deactivate(h_);
        if (h_) d_->cleanup(h_);
    }
    bool ok() const { return h_ && worker_ && state_; }

    void setControlsOfProgram(int program) {
        const std::vector<float> v = ldFactoryProgramValues(program);
        for (int k = 0; k < kLayoutDecoderParameters; ++k) controls_[k] = ldPhysical(k, v[k]);
    }
    float& control(int k) { return controls_[k]; }
    // Switched on; again after a deactivation when it ran before.
    void activate() {
        if (active_) d_->deactivate(h_);
        d_->activate(h_);
        active_ = true;
    }

    // One block of FuMa input; the 32 outputs appended to out.
    void run(const float* const* in, int n, std::vector<std::vector<float>>& out) {
        for (int c = 0; c < 4; ++c) std::memcpy(in_[c], in[c], n * sizeof(float));
        prepareNotify();
        d_->run(h_, n);
        clearInput();
        // The worker's answers reach the audio thread after run, as hosts deliver them.
        for (auto& a : answers_) worker_->work_response(h_, a.size(), a.data());
        answers_.clear();
        out.resize(32);
        for (int o = 0; o < 32; ++o) out[o].insert(out[o].end(), out_[o], out_[o] + n);
    }
    void runWorker() {
        auto requests = std::move(requests_);
        requests_.clear();
        for (auto& r : requests)
            worker_->work(h_, &Lv2Instance::respond, this, static_cast<uint32_t>(r.size()),
                          r.data());
    }

    // Appends an event holding `atom` (header and body) to the control input.
    void sendAtom(const void* atom, uint32_t bytes) {
        LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomIn_);
        LV2_Atom_Event* ev =
            reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<char*>(&seq->body) + seq->atom.size);
        ev->time.frames = 0;
        std::memcpy(&ev->body, atom, bytes);
        seq->atom.size += sizeof(LV2_Atom_Event) - sizeof(LV2_Atom) + lv2_atom_pad_size(bytes);
    }
    // patch:Set of the layout file with a value atom of the given type and bytes.
    void sendSet(uint32_t valueType, const std::string& valueBytes, uint32_t property = 0) {
        uint8_t buffer[4096];
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, &map_);
        lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urid(LV2_PATCH__Set));
        lv2_atom_forge_key(&forge, urid(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, property ? property : urid(kLdLv2LayoutFileUri));
        lv2_atom_forge_key(&forge, urid(LV2_PATCH__value));
        lv2_atom_forge_atom(&forge, static_cast<uint32_t>(valueBytes.size()), valueType);
        lv2_atom_forge_write(&forge, valueBytes.data(), static_cast<uint32_t>(valueBytes.size()));
        lv2_atom_forge_pop(&forge, &frame);
        const LV2_Atom* atom = reinterpret_cast<const LV2_Atom*>(buffer);
        sendAtom(atom, sizeof(LV2_Atom) + atom->size);
    }
    void sendPath(const std::string& path) {
        sendSet(urid(LV2_ATOM__Path), std::string(path.c_str(), path.size() + 1));
    }
    // patch:Get of the layout file, or of everything with property 0.
    void sendGet(uint32_t property = urid(kLdLv2LayoutFileUri)) {
        uint8_t buffer[256];
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, &map_);
        lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urid(LV2_PATCH__Get));
        if (property) {
            lv2_atom_forge_key(&forge, urid(LV2_PATCH__property));
            lv2_atom_forge_urid(&forge, property);
        }
        lv2_atom_forge_pop(&forge, &frame);
        const LV2_Atom* atom = reinterpret_cast<const LV2_Atom*>(buffer);
        sendAtom(atom, sizeof(LV2_Atom) + atom->size);
    }
    // The path of the last patch:Set the plug-in sent on its notify port, or "(none)".
    std::string notifiedPath() const {
        const auto* seq = reinterpret_cast<const LV2_Atom_Sequence*>(atomOut_);
        std::string found = "(none)";
        LV2_ATOM_SEQUENCE_FOREACH(seq, ev) {
            const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(obj, urid(LV2_PATCH__value), &value, 0);
            if (value && value->type == urid(LV2_ATOM__Path))
                found = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        }
        return found;
    }

    // The notify port's capacity from the next run on (at most its buffer).
    void setNotifyCapacity(uint32_t bytes) { notifyCapacity_ = bytes; }
    const LV2_Atom_Sequence* notified() const {
        return reinterpret_cast<const LV2_Atom_Sequence*>(atomOut_);
    }

    StateTable save() {
        StateTable table;
        state_->save(h_, &Lv2Instance::store, &table, LV2_STATE_IS_POD, nullptr);
        return table;
    }
    LV2_State_Status restore(const StateTable& table) {
        return state_->restore(h_, &Lv2Instance::retrieve, const_cast<StateTable*>(&table), 0,
                               nullptr);
    }

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, uint32_t size,
                                      const void* data) {
        auto* self = static_cast<Lv2Instance*>(h);
        const char* bytes = static_cast<const char*>(data);
        self->requests_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
        auto* self = static_cast<Lv2Instance*>(h);
        const char* bytes = static_cast<const char*>(data);
        self->answers_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t) {
        const char* bytes = static_cast<const char*>(value);
        (*static_cast<StateTable*>(h))[key] = {std::vector<char>(bytes, bytes + size), type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        const StateTable& t = *static_cast<StateTable*>(h);
        const auto found = t.find(key);
        if (found == t.end()) return nullptr;
        *size = found->second.bytes.size();
        *type = found->second.type;
        *flags = LV2_STATE_IS_POD;
        return found->second.bytes.data();
    }
    void clearInput() {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomIn_);
        seq->atom.type = urid(LV2_ATOM__Sequence);
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->body.unit = 0;
        seq->body.pad = 0;
    }
    void prepareNotify() {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomOut_);
        seq->atom.type = 0;
        seq->atom.size = notifyCapacity_;
        std::memset(&seq->body, 0xAB, sizeof atomOut_ - sizeof(LV2_Atom)); // stale bytes
    }

    const LV2_Descriptor* d_ = nullptr;
    LV2_Handle h_ = nullptr;
    bool active_ = false;
    const LV2_Worker_Interface* worker_ = nullptr;
    const LV2_State_Interface* state_ = nullptr;
    LV2_URID_Map map_{nullptr, &mapUri};
    LV2_Worker_Schedule schedule_{};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature scheduleFeature_{LV2_WORKER__schedule, &schedule_};
    const LV2_Feature* features_[3] = {&mapFeature_, &scheduleFeature_, nullptr};
    float in_[4][kBlock] = {};
    float out_[32][kBlock] = {};
    float controls_[kLayoutDecoderParameters] = {};
    alignas(8) char atomIn_[8192] = {};
    alignas(8) char atomOut_[8192] = {};
    uint32_t notifyCapacity_ = sizeof atomOut_ - sizeof(LV2_Atom);
    std::vector<std::vector<char>> requests_, answers_;
};

// ---- signals ----

std::vector<std::vector<float>> probe(int frames) {
    std::vector<std::vector<float>> in(4, std::vector<float>(frames));
    unsigned x = 777;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < 4; ++c) {
            x = x * 1664525u + 1013904223u;
            in[c][i] = static_cast<float>(static_cast<int>(x >> 9) - (1 << 22)) / (1 << 23);
        }
    return in;
}

std::vector<std::vector<float>> runLv2(Lv2Instance& p, const std::vector<std::vector<float>>& in) {
    std::vector<std::vector<float>> out;
    for (size_t at = 0; at < in[0].size(); at += kBlock) {
        const float* block[4];
        for (int c = 0; c < 4; ++c) block[c] = in[c].data() + at;
        p.run(block, kBlock, out);
    }
    return out;
}

std::vector<std::vector<float>> runVst(kiv::vsthost::PluginInstance& p,
                                       const std::vector<std::vector<float>>& in) {
    std::vector<std::vector<float>> out(32, std::vector<float>(in[0].size()));
    for (size_t at = 0; at < in[0].size(); at += kBlock) {
        float* ins[4];
        float* outs[32];
        std::vector<std::vector<float>> copy(4);
        for (int c = 0; c < 4; ++c) {
            copy[c].assign(in[c].begin() + at, in[c].begin() + at + kBlock);
            ins[c] = copy[c].data();
        }
        for (int o = 0; o < 32; ++o) outs[o] = out[o].data() + at;
        p.processReplacing(ins, outs, kBlock);
    }
    return out;
}

std::unique_ptr<kiv::vsthost::PluginInstance> vstInstance() {
    static std::unique_ptr<kiv::vsthost::PluginLibrary> library = [] {
        std::string error;
        return kiv::vsthost::PluginLibrary::open(KIV_LAYOUT_BUNDLE, error);
    }();
    std::string error;
    return library ? kiv::vsthost::PluginInstance::create(*library, error) : nullptr;
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

const char* const kCube = "/usr/share/ambdec/presets/cube.ambdec";

// An LV2 instance that has taken the preset through patch:Set and its worker, then handed
// its state to a fresh instance, restored before activation.
std::unique_ptr<Lv2Instance> lv2WithPreset(const std::string& path, StateTable* saved = nullptr) {
    Lv2Instance loader;
    loader.activate();
    loader.sendPath(path);
    runLv2(loader, probe(kBlock));
    loader.runWorker();
    runLv2(loader, probe(kBlock)); // the answer swapped in
    const StateTable state = loader.save();
    if (saved) *saved = state;
    auto fresh = std::make_unique<Lv2Instance>();
    EXPECT_EQ(fresh->restore(state), LV2_STATE_SUCCESS);
    fresh->activate();
    return fresh;
}

// ---- tests ----

TEST(LayoutDecoderLv2, DecodesBitForBitAsTheVstBundle) {
    const auto in = probe(8 * kBlock);
    for (int program : {0, 1, 4, 6}) {
        Lv2Instance lv2;
        ASSERT_TRUE(lv2.ok());
        lv2.setControlsOfProgram(program);
        lv2.control(kLdEncodedDistance) = 3.0f;
        lv2.activate();
        auto vst = vstInstance();
        ASSERT_NE(vst, nullptr);
        vst->dispatch(effSetProgram, 0, program);
        vst->setParameter(kLdEncodedDistance, ldNormalised(kLdEncodedDistance, 3.0f));
        vst->start(kRate, kBlock);
        const auto out = runLv2(lv2, in);
        EXPECT_EQ(out, runVst(*vst, in)) << "program " << program;
        float peak = 0.0f;
        for (const auto& channel : out)
            for (float v : channel) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.01f) << "program " << program;
    }
    // A preset as written, loaded through each face's own way.
    auto lv2 = lv2WithPreset(kCube);
    auto vst = vstInstance();
    ASSERT_EQ(vst->dispatch(effVendorSpecific, kKivLoadLayout, 0, const_cast<char*>(kCube)), 1);
    vst->start(kRate, kBlock);
    EXPECT_EQ(runLv2(*lv2, in), runVst(*vst, in)) << kCube;
}

TEST(LayoutDecoderLv2, StateKeepsTheLayoutWhenItsFileIsGone) {
    const std::string path = "/tmp/kiv_layout_state_test.ambdec";
    std::ofstream(path) << readAll(kCube);
    StateTable saved;
    auto first = lv2WithPreset(path, &saved);
    std::remove(path.c_str());
    EXPECT_EQ(saved.at(urid(kLdLv2StateTextUri)).bytes.size(), readAll(kCube).size() + 1);
    auto second = std::make_unique<Lv2Instance>();
    ASSERT_EQ(second->restore(saved), LV2_STATE_SUCCESS);
    second->activate();
    const auto in = probe(4 * kBlock);
    const auto want = runLv2(*first, in);
    EXPECT_EQ(runLv2(*second, in), want);
    // The preset's decoder, not the default factory layout's.
    Lv2Instance factory;
    factory.activate();
    EXPECT_NE(runLv2(factory, in), want);
}

// A control that changes the plan redesigns the file's layout, not the factory layout the
// layout control still points at; moving the layout control leaves the file.
TEST(LayoutDecoderLv2, TheFileStaysUntilTheLayoutControlMoves) {
    const auto in = probe(4 * kBlock);
    auto vst = vstInstance();
    ASSERT_EQ(vst->dispatch(effVendorSpecific, kKivLoadLayout, 0, const_cast<char*>(kCube)), 1);
    vst->setParameter(kLdSubwoofer, 1.0f);
    vst->start(kRate, kBlock);
    const auto withSub = runVst(*vst, in);

    auto atStart = lv2WithPreset(kCube);
    atStart->control(kLdSubwoofer) = 1.0f;
    atStart->activate(); // the controls read at activation
    EXPECT_EQ(runLv2(*atStart, in), withSub);

    auto p = lv2WithPreset(kCube);
    p->control(kLdSubwoofer) = 1.0f;
    runLv2(*p, probe(kBlock));
    p->runWorker();
    runLv2(*p, probe(kBlock));
    p->activate();
    EXPECT_EQ(runLv2(*p, in), withSub);

    p->control(kLdLayout) = 5.0f; // the 12-speaker ring
    runLv2(*p, probe(kBlock));
    p->runWorker();
    runLv2(*p, probe(kBlock));
    p->activate();
    Lv2Instance ring;
    ring.setControlsOfProgram(5);
    ring.control(kLdSubwoofer) = 1.0f;
    ring.activate();
    EXPECT_EQ(runLv2(*p, in), runLv2(ring, in));
    EXPECT_TRUE(p->save().empty()); // the file has left the state
}

TEST(LayoutDecoderLv2, HostileStateIsRefusedAndTheLayoutStays) {
    StateTable good;
    lv2WithPreset(kCube, &good);
    const uint32_t text = urid(kLdLv2StateTextUri), name = urid(kLdLv2StateNameUri);
    auto with = [&](uint32_t key, std::vector<char> bytes, uint32_t type) {
        StateTable t = good;
        t[key] = {std::move(bytes), type};
        return t;
    };
    auto bytesOf = [](const std::string& s) {
        return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
    };
    StateTable noName = good;
    noName.erase(name);
    const struct {
        const char* what;
        StateTable state;
    } cases[] = {
        {"text as an integer", with(text, {1, 0, 0, 0}, urid(LV2_ATOM__Int))},
        {"text not terminated", with(text, {'a', 'b'}, urid(LV2_ATOM__String))},
        {"text empty", with(text, {'\0'}, urid(LV2_ATOM__String))},
        {"text with a NUL inside", with(text, {'a', 0, 'b', 0}, urid(LV2_ATOM__String))},
        {"text that does not parse",
         with(text, bytesOf("/version 3\n/dec/chan_mask zz\n"), urid(LV2_ATOM__String))},
        {"name missing", noName},
        {"name as a path", with(name, bytesOf("cube.ambdec"), urid(LV2_ATOM__Path))},
        {"too large", with(text, std::vector<char>(2 << 20, 'a'), urid(LV2_ATOM__String))},
    };
    const auto in = probe(4 * kBlock);
    for (const auto& c : cases) {
        Lv2Instance p;
        p.setControlsOfProgram(5);
        p.activate();
        const auto before = runLv2(p, in);
        EXPECT_NE(p.restore(c.state), LV2_STATE_SUCCESS) << c.what;
        p.activate(); // clears the filters, so that the outputs can be compared
        EXPECT_EQ(runLv2(p, in), before) << c.what;
    }
    // Missing keys: no file in state, the controls' factory layout.
    Lv2Instance p;
    EXPECT_EQ(p.restore(StateTable{}), LV2_STATE_SUCCESS);
}

TEST(LayoutDecoderLv2, HostileAtomsAreRefusedAndGetAnswersWithTheFile) {
    mkfifo("/tmp/kiv_layout_lv2_fifo", 0600);
    const std::string huge = "/tmp/kiv_layout_lv2_huge.ambdec"; // 1 GB, sparse
    std::ofstream(huge).close();
    ASSERT_EQ(truncate(huge.c_str(), 1L << 30), 0);
    auto p = lv2WithPreset(kCube);
    const auto in = probe(4 * kBlock);
    const auto before = runLv2(*p, in);
    const uint32_t pathType = urid(LV2_ATOM__Path);
    const struct {
        const char* what;
        uint32_t type;
        std::string bytes;
        uint32_t property;
    } cases[] = {
        {"a directory", pathType, std::string("/tmp", 5), 0},
        {"a device", pathType, std::string("/dev/zero", 10), 0},
        {"a FIFO", pathType, std::string("/tmp/kiv_layout_lv2_fifo", 25), 0},
        {"a missing file", pathType, std::string("/no/such/file.ambdec", 21), 0},
        {"a 1 GB file", pathType, std::string(huge.c_str(), huge.size() + 1), 0},
        {"not terminated", pathType, std::string(kCube), 0},
        {"empty", pathType, std::string(), 0},
        {"an integer", urid(LV2_ATOM__Int), std::string(4, '\1'), 0},
        {"a string", urid(LV2_ATOM__String), std::string(kCube, std::strlen(kCube) + 1), 0},
        {"another property", pathType, std::string("/usr/share/ambdec/presets/square.ambdec", 40),
         urid("urn:kivtone:other")},
        {"too long", pathType, std::string(3000, 'a') + '\0', 0},
    };
    for (const auto& c : cases) {
        p->sendSet(c.type, c.bytes, c.property);
        runLv2(*p, probe(kBlock));
        p->runWorker();
        runLv2(*p, probe(kBlock));
    }
    // A truncated object: its header claims more than the event holds.
    const LV2_Atom_Object_Body body{0, urid(LV2_PATCH__Set)};
    LV2_Atom header{8, urid(LV2_ATOM__Object)};
    char truncated[sizeof header + sizeof body];
    std::memcpy(truncated, &header, sizeof header);
    std::memcpy(truncated + sizeof header, &body, sizeof body);
    p->sendAtom(truncated, sizeof truncated);
    runLv2(*p, probe(kBlock));
    std::remove("/tmp/kiv_layout_lv2_fifo");
    std::remove(huge.c_str());

    p->activate();
    EXPECT_EQ(runLv2(*p, in), before);
    // patch:Get: the restored instance knows no path (its layout came from the state); one
    // that loaded a file names it.
    Lv2Instance loader;
    loader.activate();
    loader.sendPath(kCube);
    runLv2(loader, probe(kBlock));
    loader.runWorker();
    runLv2(loader, probe(kBlock));
    loader.sendGet();
    runLv2(loader, probe(kBlock));
    EXPECT_EQ(loader.notifiedPath(), kCube);
}

// A host's notify buffer may be too small for an answer: what the plug-in sends is then a
// sequence of whole events, and what did not fit comes in a later block.
TEST(LayoutDecoderLv2, AFullNotifyBufferHoldsWholeAnswersAndTheRestFollows) {
    auto p = std::make_unique<Lv2Instance>();
    p->activate();
    p->sendPath(kCube);
    runLv2(*p, probe(kBlock));
    p->runWorker();
    runLv2(*p, probe(kBlock)); // the file loaded: patch:Get answers with its path
    const uint32_t pathType = urid(LV2_ATOM__Path), chunkType = urid(LV2_ATOM__Chunk);
    std::vector<uint32_t> capacities;
    for (uint32_t c = 0; c <= 1400; c += 8) capacities.push_back(c);
    for (uint32_t c : {7u, 13u, 45u, 85u, 1123u, 1157u}) capacities.push_back(c);
    for (const uint32_t capacity : capacities) {
        p->sendGet(0); // the file and the view
        int paths = 0, views = 0;
        for (int block = 0; block < 2; ++block) {
            p->setNotifyCapacity(block == 0 ? capacity : 8000);
            runLv2(*p, probe(kBlock));
            const LV2_Atom_Sequence* seq = p->notified();
            if (seq->atom.type == 0) continue; // nothing written
            ASSERT_LE(sizeof(LV2_Atom) + seq->atom.size, block == 0 ? capacity + 8 : 8008u)
                << capacity;
            LV2_ATOM_SEQUENCE_FOREACH(seq, ev) {
                const char* end = reinterpret_cast<const char*>(&seq->body) + seq->atom.size;
                ASSERT_LE(reinterpret_cast<const char*>(&ev->body + 1) + ev->body.size, end)
                    << capacity;
                const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
                const LV2_Atom* value = nullptr;
                lv2_atom_object_get(obj, urid(LV2_PATCH__value), &value, 0);
                ASSERT_NE(value, nullptr) << capacity << ": an answer without its value";
                if (value->type == pathType) {
                    ++paths;
                    EXPECT_EQ(std::string(static_cast<const char*>(LV2_ATOM_BODY_CONST(value)),
                                          value->size),
                              std::string(kCube, std::strlen(kCube) + 1))
                        << capacity;
                } else {
                    ++views;
                    EXPECT_EQ(value->type, chunkType) << capacity;
                    EXPECT_EQ(value->size, sizeof(LayoutView)) << capacity;
                }
            }
        }
        EXPECT_EQ(paths, 1) << capacity;
        EXPECT_EQ(views, 1) << capacity;
    }
}

} // namespace
