// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor through its real bundles. An impulse on each feed in turn gives, on each
// ear, the set's own interpolated response at that speaker's direction (as the decoders'
// own speaker tables give it), exactly the reported latency later, through the VST and the
// LV2 binary alike and bit for bit, at several block sizes; a feed without a speaker stays
// silent. The state carries a loaded layout's content and the set's path; hostile files,
// chunks, state and atoms leave what plays as it was, with one line saying why.
#include <dlfcn.h>
#include <gtest/gtest.h>
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
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/VstOpcodes.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorLv2Ports.h"
#include "product/HeadphoneView.h"
#include "product/SpeakerLayout.h"
#include "rig/FactoryLayouts.h"
#include "tools/vsthost/VstHost.h"

namespace {

namespace fs = std::filesystem;
namespace vsthost = kiv::vsthost;
constexpr float kRate = 48000.0f;
constexpr int kFeeds = 32;

const HrtfSet& defaultSet() {
    static const std::shared_ptr<const HrtfSet> set = HrtfSet::open(HrtfSet::defaultPath(), kRate);
    return *set;
}

using Directions = std::vector<std::optional<SpeakerDirection>>; // feed k, or no speaker

Directions shapeDirections(DecShape shape) {
    Directions d;
    const std::optional<SpeakerLayout> layout = speakerLayoutOf(shape);
    for (const SpeakerDirection& s : layout->speakers) d.push_back(s);
    return d;
}
Directions factoryDirections(const std::string& name) {
    Directions d(kFeeds);
    for (const Speaker* s : factoryLayout(name)->realSpeakers())
        d[s->outputChannel - 1] = SpeakerDirection{s->azimuthDegrees, s->elevationDegrees};
    return d;
}

// Feed k carries an impulse at k x spacing(): far enough apart for no two responses to meet.
int spacing() {
    return defaultSet().length() + 32;
}
int framesFor(int latency) {
    return latency + kFeeds * spacing();
}
float impulse(int feed, int frame) {
    return frame == feed * spacing() ? 1.0f : 0.0f;
}

struct Ears {
    int latency = -1;
    std::vector<float> left, right;
};

// What the ears must hear: each speaker's responses at its impulse, the latency later.
Ears expected(const Directions& directions, int latency) {
    Ears e;
    e.latency = latency;
    e.left.assign(framesFor(latency), 0.0f);
    e.right.assign(framesFor(latency), 0.0f);
    const int n = defaultSet().length();
    std::vector<float> l(n), r(n);
    for (int k = 0; k < static_cast<int>(directions.size()); ++k) {
        if (!directions[k]) continue;
        defaultSet().responseAt(directions[k]->azimuthDeg, directions[k]->elevationDeg, l.data(),
                                r.data());
        for (int i = 0; i < n; ++i) {
            e.left[latency + k * spacing() + i] = l[i];
            e.right[latency + k * spacing() + i] = r[i];
        }
    }
    return e;
}

// The first frame where the ears differ by more than tolerance, or -1.
int firstDifference(const Ears& a, const Ears& b, float tolerance) {
    if (a.left.size() != b.left.size()) return 0;
    for (std::size_t i = 0; i < a.left.size(); ++i)
        if (!(std::fabs(a.left[i] - b.left[i]) <= tolerance) ||
            !(std::fabs(a.right[i] - b.right[i]) <= tolerance))
            return static_cast<int>(i);
    return -1;
}

// ---- the VST face ----

std::unique_ptr<vsthost::PluginInstance> vstOpened(int block) {
    static std::unique_ptr<vsthost::PluginLibrary> library;
    std::string error;
    if (!library) library = vsthost::PluginLibrary::open(KIV_HEADPHONE_BUNDLE, error);
    if (!library) return nullptr;
    auto vst = vsthost::PluginInstance::create(*library, error);
    vst->dispatch(effOpen);
    vst->dispatch(effSetSampleRate, 0, 0, nullptr, kRate);
    vst->dispatch(effSetBlockSize, 0, block);
    return vst;
}

// Resumes and plays the impulses in blocks of `block` frames.
Ears vstEars(vsthost::PluginInstance& vst, int block) {
    vst.dispatch(effMainsChanged, 0, 1);
    Ears e;
    e.latency = vst.effect()->initialDelay;
    const int frames = framesFor(e.latency);
    std::vector<std::vector<float>> in(kFeeds, std::vector<float>(block));
    std::vector<float> l(block), r(block);
    float* ins[kFeeds];
    float* outs[2] = {l.data(), r.data()};
    for (int c = 0; c < kFeeds; ++c) ins[c] = in[c].data();
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        for (int c = 0; c < kFeeds; ++c)
            for (int i = 0; i < n; ++i) in[c][i] = impulse(c, at + i);
        vst.processReplacing(ins, outs, n);
        e.left.insert(e.left.end(), l.begin(), l.begin() + n);
        e.right.insert(e.right.end(), r.begin(), r.begin() + n);
    }
    vst.dispatch(effMainsChanged, 0, 0);
    return e;
}

std::string vstMessage(vsthost::PluginInstance& vst) {
    char text[kKivLayoutMessageBytes] = {};
    vst.dispatch(effVendorSpecific, kKivLayoutMessage, 0, text);
    return text;
}

VstIntPtr vstLoad(vsthost::PluginInstance& vst, VstInt32 request, const std::string& what) {
    return vst.dispatch(effVendorSpecific, request, 0, const_cast<char*>(what.c_str()));
}

std::vector<char> vstChunk(vsthost::PluginInstance& vst) {
    void* data = nullptr;
    const VstIntPtr size = vst.dispatch(effGetChunk, 0, 0, &data);
    const char* bytes = static_cast<const char*>(data);
    return size > 0 && bytes ? std::vector<char>(bytes, bytes + size) : std::vector<char>();
}

// ---- the LV2 face, under a small host of the test's own ----

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    static std::vector<std::string> table;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == uri) return static_cast<LV2_URID>(i + 1);
    table.push_back(uri);
    return static_cast<LV2_URID>(table.size());
}
LV2_URID urid(const char* uri) {
    return mapUri(nullptr, uri);
}

using StateTable = std::map<LV2_URID, std::pair<std::string, LV2_URID>>; // bytes, type

class Lv2Monitor {
public:
    explicit Lv2Monitor(int block) : block_(block), in_(kFeeds, std::vector<float>(block)) {
        static void* library =
            dlopen(KIV_HEADPHONE_LV2 "/HeadphoneMonitor.so", RTLD_NOW | RTLD_LOCAL);
        auto entry = library ? reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
                                   dlsym(library, "lv2_descriptor"))
                             : nullptr;
        d_ = entry ? entry(0) : nullptr;
        if (!d_) return;
        options_[0] = {
            LV2_OPTIONS_INSTANCE, 0,      urid(LV2_BUF_SIZE__maxBlockLength), sizeof(int),
            urid(LV2_ATOM__Int),  &block_};
        schedule_ = {this, &Lv2Monitor::schedule};
        h_ = d_->instantiate(d_, kRate, KIV_HEADPHONE_LV2, features_);
        if (!h_) return;
        worker_ =
            static_cast<const LV2_Worker_Interface*>(d_->extension_data(LV2_WORKER__interface));
        state_ = static_cast<const LV2_State_Interface*>(d_->extension_data(LV2_STATE__interface));
        left_.resize(block);
        right_.resize(block);
        for (int c = 0; c < kFeeds; ++c) d_->connect_port(h_, kHmLv2FirstInput + c, in_[c].data());
        d_->connect_port(h_, kHmLv2Left, left_.data());
        d_->connect_port(h_, kHmLv2Right, right_.data());
        for (int k = 0; k < kHeadphoneMonitorParameters; ++k)
            d_->connect_port(h_, kHmLv2FirstControl + k, &controls_[k]);
        d_->connect_port(h_, kHmLv2Latency, &latency_);
        d_->connect_port(h_, kHmLv2ControlIn, atomIn_);
        d_->connect_port(h_, kHmLv2NotifyOut, atomOut_);
        clearAtoms();
    }
    ~Lv2Monitor() {
        if (h_) d_->cleanup(h_);
    }
    bool ok() const { return h_ && worker_ && state_; }
    float& control(int k) { return controls_[k]; }

    // patch:Set of `property` to a value atom of this type and these bytes; the worker runs.
    void set(const char* property, LV2_URID type, const std::string& bytes) {
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, &map_);
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomIn_);
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(atomIn_), sizeof atomIn_);
        LV2_Atom_Forge_Frame sequence, frame;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &frame, 0, urid(LV2_PATCH__Set));
        lv2_atom_forge_key(&forge, urid(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, urid(property));
        lv2_atom_forge_key(&forge, urid(LV2_PATCH__value));
        lv2_atom_forge_atom(&forge, static_cast<uint32_t>(bytes.size()), type);
        lv2_atom_forge_write(&forge, bytes.data(), static_cast<uint32_t>(bytes.size()));
        lv2_atom_forge_pop(&forge, &frame);
        lv2_atom_forge_pop(&forge, &sequence);
        (void)seq;
        d_->run(h_, 0);
        clearAtoms();
        for (auto& r : std::exchange(requests_, {}))
            worker_->work(h_, &Lv2Monitor::respond, this, static_cast<uint32_t>(r.size()),
                          r.data());
    }
    void setPath(const char* property, const std::string& path) {
        set(property, urid(LV2_ATOM__Path), std::string(path.c_str(), path.size() + 1));
    }

    Ears ears() {
        d_->activate(h_);
        Ears e;
        d_->run(h_, 0);
        e.latency = static_cast<int>(latency_);
        const int frames = framesFor(e.latency);
        for (int at = 0; at < frames; at += block_) {
            const int n = std::min(block_, frames - at);
            for (int c = 0; c < kFeeds; ++c)
                for (int i = 0; i < n; ++i) in_[c][i] = impulse(c, at + i);
            d_->run(h_, n);
            e.left.insert(e.left.end(), left_.begin(), left_.begin() + n);
            e.right.insert(e.right.end(), right_.begin(), right_.begin() + n);
        }
        d_->deactivate(h_);
        return e;
    }

    StateTable save() {
        StateTable table;
        state_->save(h_, &Lv2Monitor::store, &table, LV2_STATE_IS_POD, nullptr);
        return table;
    }
    LV2_State_Status restore(const StateTable& table) {
        return state_->restore(h_, &Lv2Monitor::retrieve, const_cast<StateTable*>(&table), 0,
                               nullptr);
    }

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, uint32_t size,
                                      const void* data) {
        const char* bytes = static_cast<const char*>(data);
        static_cast<Lv2Monitor*>(h)->requests_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
        auto* self = static_cast<Lv2Monitor*>(h);
        return self->worker_->work_response(self->h_, size, data);
    }
    static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void* value,
                                  std::size_t size, uint32_t type, uint32_t) {
        (*static_cast<StateTable*>(h))[key] = {std::string(static_cast<const char*>(value), size),
                                               type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, std::size_t* size, uint32_t* type,
                                uint32_t* flags) {
        const StateTable& t = *static_cast<StateTable*>(h);
        const auto found = t.find(key);
        if (found == t.end()) return nullptr;
        *size = found->second.first.size();
        *type = found->second.second;
        *flags = LV2_STATE_IS_POD;
        return found->second.first.data();
    }
    void clearAtoms() {
        auto* in = reinterpret_cast<LV2_Atom_Sequence*>(atomIn_);
        in->atom = {sizeof(LV2_Atom_Sequence_Body), urid(LV2_ATOM__Sequence)};
        in->body = {0, 0};
        auto* out = reinterpret_cast<LV2_Atom_Sequence*>(atomOut_);
        out->atom = {sizeof atomOut_ - sizeof(LV2_Atom), 0};
    }

    int block_;
    const LV2_Descriptor* d_ = nullptr;
    LV2_Handle h_ = nullptr;
    const LV2_Worker_Interface* worker_ = nullptr;
    const LV2_State_Interface* state_ = nullptr;
    LV2_URID_Map map_{nullptr, &mapUri};
    LV2_Worker_Schedule schedule_{};
    LV2_Options_Option options_[2] = {};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature scheduleFeature_{LV2_WORKER__schedule, &schedule_};
    LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
    // The host's log: what the plug-in says of a refusal, line by line.
    static int logV(LV2_Log_Handle h, LV2_URID, const char* format, va_list args) {
        char line[1024];
        const int n = std::vsnprintf(line, sizeof line, format, args);
        static_cast<Lv2Monitor*>(h)->logged += line;
        return n;
    }
    static int logF(LV2_Log_Handle h, LV2_URID type, const char* format, ...) {
        va_list args;
        va_start(args, format);
        const int n = logV(h, type, format, args);
        va_end(args);
        return n;
    }
    LV2_Log_Log log_{this, logF, logV};
    LV2_Feature logFeature_{LV2_LOG__log, &log_};
    const LV2_Feature* features_[5] = {&mapFeature_, &scheduleFeature_, &optionsFeature_,
                                       &logFeature_, nullptr};

public:
    std::string logged;

private:
    std::vector<std::vector<float>> in_;
    std::vector<float> left_, right_;
    float controls_[kHeadphoneMonitorParameters] = {0.0f, 0.0f, 0.0f};
    float latency_ = -1.0f;
    alignas(8) char atomIn_[4096] = {};
    alignas(8) char atomOut_[4096] = {};
    std::vector<std::string> requests_;
};

// ---- files ----

class Scratch {
public:
    Scratch() : dir_(fs::temp_directory_path() / ("kiv_hm_" + std::to_string(getpid()))) {
        fs::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }
    std::string copyDefaultSet(const std::string& name) const {
        fs::copy_file(HrtfSet::defaultPath(), dir_ / name, fs::copy_options::overwrite_existing);
        return (dir_ / name).string();
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    fs::path dir_;
};

// ---- the tests ----

struct Row {
    const char* layout; // the monitor's name for it
    Directions directions;
    std::vector<int> blocks;
};

TEST(HeadphoneMonitor, EachFeedIsHeardThroughTheSetAtItsSpeakerInBothFacesAtEveryBlockSize) {
    const std::vector<Row> rows = {
        {"Cube", shapeDirections(Cube8), {64, 1000}},
        {"Hexagon, pair ahead", shapeDirections(HexagonWithoutCF), {256}},
        {"ITU 5.0 (IrregularDecoder)", shapeDirections(ItuLFOptimisedV1), {64}},
        {"ITU 5.1", factoryDirections("ITU 5.1"), {1000}}, // feed 6, the subwoofer, is silent
        {"7.0.4 (BS.2051 4+7+0)", factoryDirections("7.0.4 (BS.2051 4+7+0)"), {256}},
    };
    for (const Row& row : rows)
        for (int block : row.blocks) {
            SCOPED_TRACE(std::string(row.layout) + ", block " + std::to_string(block));
            const int choice = hmLayoutChoiceNamed(row.layout);
            ASSERT_GE(choice, 0);
            auto vst = vstOpened(block);
            ASSERT_TRUE(vst);
            vst->setParameter(kHmLayout, hmNormalisedOfLayoutChoice(choice));
            // Before the first resume, as hosts and editors ask at load: the view and the pins
            // already follow the layout chosen.
            HeadphoneView view{};
            ASSERT_EQ(vst->dispatch(effVendorSpecific, kKivHeadphoneView, 0, &view), 1);
            EXPECT_STREQ(view.layoutName, row.layout);
            for (int k = 0; k < kFeeds; ++k) {
                VstPinProperties pin{};
                ASSERT_TRUE(vst->inputProperties(k, pin));
                const bool heard =
                    k < static_cast<int>(row.directions.size()) && row.directions[k].has_value();
                EXPECT_EQ(std::string(pin.label).find("Unused") == std::string::npos, heard)
                    << pin.label;
            }
            const Ears fromVst = vstEars(*vst, block);
            EXPECT_GT(fromVst.latency, 0);
            EXPECT_LE(fromVst.latency, block);
            EXPECT_EQ(firstDifference(fromVst, expected(row.directions, fromVst.latency), 1e-5f),
                      -1);

            Lv2Monitor lv2(block);
            ASSERT_TRUE(lv2.ok());
            lv2.control(kHmLayout) = static_cast<float>(choice);
            const Ears fromLv2 = lv2.ears();
            EXPECT_EQ(fromLv2.latency, fromVst.latency);
            EXPECT_EQ(firstDifference(fromLv2, fromVst, 0.0f), -1);
        }
}

TEST(HeadphoneMonitor, StateKeepsTheLayoutContentAndTheSetPathAndFallsBackWhenTheSetIsGone) {
    Scratch scratch;
    const std::string layoutFile =
        scratch.write("trio.txt", "name Trio\nA 60 0\nB -60 0\nC 180 20\n");
    const std::string setFile = scratch.copyDefaultSet("mine.sofa");
    const Directions trio = {SpeakerDirection{60, 0}, SpeakerDirection{-60, 0},
                             SpeakerDirection{180, 20}};
    auto first = vstOpened(256);
    ASSERT_EQ(vstLoad(*first, kKivLoadLayout, layoutFile), 1) << vstMessage(*first);
    ASSERT_EQ(vstLoad(*first, kKivLoadHrtf, setFile), 1) << vstMessage(*first);
    const Ears played = vstEars(*first, 256);
    EXPECT_EQ(firstDifference(played, expected(trio, played.latency), 1e-5f), -1);
    const std::vector<char> chunk = vstChunk(*first);

    Lv2Monitor saved(256);
    saved.setPath(kHmLv2LayoutFileUri, layoutFile);
    saved.setPath(kHmLv2HrtfFileUri, setFile);
    const StateTable state = saved.save();
    fs::remove(layoutFile); // the content travels in the state

    auto again = vstOpened(256);
    ASSERT_EQ(again->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()),
                              const_cast<char*>(chunk.data())),
              1);
    EXPECT_EQ(vstMessage(*again), "");
    EXPECT_EQ(firstDifference(vstEars(*again, 256), played, 0.0f), -1);
    Lv2Monitor restored(256);
    ASSERT_EQ(restored.restore(state), LV2_STATE_SUCCESS);
    restored.control(kHmLayout) = static_cast<float>(hmStateLayoutChoice());
    EXPECT_EQ(firstDifference(restored.ears(), played, 0.0f), -1);

    // The set gone: the default set plays the same layout, and the user is told.
    fs::remove(setFile);
    auto fallen = vstOpened(256);
    ASSERT_EQ(fallen->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()),
                               const_cast<char*>(chunk.data())),
              1);
    const std::string message = vstMessage(*fallen);
    EXPECT_NE(message.find("mine.sofa"), std::string::npos) << message;
    EXPECT_NE(message.find("default"), std::string::npos) << message;
    EXPECT_EQ(firstDifference(vstEars(*fallen, 256), played, 0.0f), -1);
}

TEST(HeadphoneMonitor, HostileFilesChunksStateAndAtomsKeepWhatPlays) {
    Scratch scratch;
    const std::string fifo = scratch.path("pipe.sofa");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(scratch.path("folder.sofa"));
    const std::vector<std::string> badSets = {
        scratch.write("text.sofa", "this is not a SOFA file\n"), fifo, scratch.path("folder.sofa"),
        "/dev/zero", scratch.path("missing.sofa")};
    const int cube = hmLayoutChoiceNamed("Cube");
    const Ears cubeEars = expected(shapeDirections(Cube8), 256);

    auto vst = vstOpened(256);
    vst->setParameter(kHmLayout, hmNormalisedOfLayoutChoice(cube));
    const std::vector<char> good = vstChunk(*vst);
    for (const std::string& bad : badSets) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(vstLoad(*vst, kKivLoadHrtf, bad), 0);
        const std::string message = vstMessage(*vst);
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    std::vector<std::vector<char>> badChunks = {std::vector<char>(good.begin(), good.end() - 1),
                                                good, good, good};
    badChunks[1][0] ^= 0x20;                             // another magic
    std::memset(badChunks[2].data() + 8, 0xFF, 4);       // a NaN layout value
    badChunks[3].insert(badChunks[3].end(), {'x', 'y'}); // bytes beyond its parts
    for (auto& chunk : badChunks)
        EXPECT_EQ(vst->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()),
                  0);
    EXPECT_EQ(firstDifference(vstEars(*vst, 256), cubeEars, 1e-5f), -1);

    Lv2Monitor lv2(256);
    lv2.control(kHmLayout) = static_cast<float>(cube);
    for (const std::string& bad : badSets) {
        lv2.logged.clear();
        lv2.setPath(kHmLv2HrtfFileUri, bad);
        // One line to the host's log, naming the file.
        EXPECT_NE(lv2.logged.find(bad), std::string::npos) << lv2.logged;
        EXPECT_EQ(std::count(lv2.logged.begin(), lv2.logged.end(), '\n'), 1) << lv2.logged;
    }
    lv2.set(kHmLv2HrtfFileUri, urid(LV2_ATOM__String), HrtfSet::defaultPath() + '\0');
    lv2.set(kHmLv2LayoutFileUri, urid(LV2_ATOM__Path), "no terminator");
    StateTable wrongTypes = {
        {urid(kHmLv2StateTextUri), {std::string("A 10 0\nB -10 0\n") + '\0', urid(LV2_ATOM__Int)}},
        {urid(kHmLv2StateNameUri), {std::string("x.txt") + '\0', urid(LV2_ATOM__String)}}};
    EXPECT_NE(lv2.restore(wrongTypes), LV2_STATE_SUCCESS);
    StateTable badSetType = {{urid(kHmLv2StateHrtfUri), {"12345678", urid(LV2_ATOM__Int)}}};
    EXPECT_NE(lv2.restore(badSetType), LV2_STATE_SUCCESS);
    const Ears fromLv2 = lv2.ears();
    EXPECT_EQ(firstDifference(fromLv2, expected(shapeDirections(Cube8), fromLv2.latency), 1e-5f),
              -1);
}

} // namespace
