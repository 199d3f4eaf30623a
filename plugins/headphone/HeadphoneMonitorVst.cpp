// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor as a VST 2.4 effect: 32 speaker feeds in, left and right ear out, the three
// parameters of its product description, and its state (parameters, the layout's content,
// the set's path) in a versioned chunk, and its editor window, which reads the view of the
// layout and set in force that the effect publishes (HeadphoneViewSource). A layout file or a
// SOFA set is loaded with the vendor-specific requests kKivLoadLayout and kKivLoadHrtf.
//
// Threads: processReplacing on the audio thread only runs the engine. setParameter on any
// thread: level and bypass go to the engine at once (it takes them without a lock); a layout
// change is counted in an atomic that the plug-in's own worker thread polls while blocks
// run. The dispatcher (host user-interface thread) reads sets and layouts itself and hands
// the plan over; with no blocks running (construction, effSetChunk before resume, resume) the
// plan is in force at once, so the first block already plays it. The worker is joined
// before the instance goes.
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <vector>

#include "editor/HeadphoneMonitorEditor.h"
#include "engine/HeadphoneMonitorEngine.h"
#include "host/AudioEffectX.h"
#include "host/HostText.h"
#include "host/ProductTextEffect.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorProduct.h"
#include "product/HeadphoneView.h"
#include "product/HeadphoneViewSource.h"
#include "product/NormalisedValue.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"
#include "rig/UserLayouts.h"

namespace {

constexpr VstInt32 kParams = kHeadphoneMonitorParameters;
const HeadphoneMonitorProduct& product = kHeadphoneMonitorProduct;

bool validIndex(VstInt32 index, VstInt32 count) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(count);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class HeadphoneMonitorEffect : public ProductTextEffect<HeadphoneMonitorProduct>,
                               public HeadphoneViewSource {
public:
    explicit HeadphoneMonitorEffect(audioMasterCallback audioMaster)
        : ProductTextEffect(audioMaster, 1, kParams, product) {
        setNumInputs(product.numInputs);
        setNumOutputs(product.numOutputs);
        canProcessReplacing(true);
        programsAreChunks(true);
        setUniqueID(product.uniqueID);
        const std::vector<float> values = hmDefaultValues();
        for (int i = 0; i < kParams; ++i) values_[i].store(values[i]);
        {
            // The default set and layout, ready before any block (construction is effOpen's
            // thread, not the audio thread). Without the default set the monitor is silent.
            std::lock_guard<std::mutex> lock(control_);
            try {
                std::string unused;
                set_ = hmOpenSet("", sampleRate, false, unused);
            } catch (const std::exception& e) {
                lastError_ = e.what();
            }
            prepareLocked();
        }
        gui_ = new HeadphoneMonitorEditor(this, this); // registers itself with setEditor
        if (pthread_create(&worker_, nullptr, &HeadphoneMonitorEffect::workerMain, this) != 0)
            workerStarted_ = false; // the dispatcher and resume then serve every request
    }

    static void* workerMain(void* self) {
        static_cast<HeadphoneMonitorEffect*>(self)->work();
        return nullptr;
    }

    ~HeadphoneMonitorEffect() override {
        {
            std::lock_guard<std::mutex> lock(control_);
            quit_ = true;
        }
        wake_.notify_all();
        if (workerStarted_) pthread_join(worker_, nullptr);
    }

    // ---- audio ----

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override {
        if (frames <= 0 || !inputs || !outputs || !outputs[0] || !outputs[1]) return;
        // The engine takes at most the prepared block a call: a host beyond its own promise
        // is served in pieces.
        const VstInt32 most = preparedBlock_ > 0 ? preparedBlock_ : frames;
        for (VstInt32 done = 0; done < frames;) {
            const VstInt32 n = frames - done < most ? frames - done : most;
            const float* ins[32];
            for (int c = 0; c < 32; ++c) ins[c] = inputs[c] ? inputs[c] + done : nullptr;
            engine_.process(ins, product.numInputs, outputs[0] + done, outputs[1] + done, n);
            done += n;
        }
    }

    void resume() override {
        std::lock_guard<std::mutex> lock(control_);
        const VstInt32 before = cEffect.initialDelay;
        if (static_cast<double>(sampleRate) != preparedRate_ || blockSize != preparedBlock_)
            prepareLocked();
        else
            serveLocked(); // a layout asked for while suspended
        running_ = true;
        if (cEffect.initialDelay != before) ioChanged();
    }
    void suspend() override {
        std::lock_guard<std::mutex> lock(control_);
        running_ = false;
    }
    void setSampleRate(float rate) override {
        if (!(rate > 0.0f) || !std::isfinite(rate)) return;
        std::lock_guard<std::mutex> lock(control_);
        sampleRate = rate;
    }
    void setBlockSize(VstInt32 n) override {
        if (n <= 0) return;
        std::lock_guard<std::mutex> lock(control_);
        blockSize = n;
    }

    // ---- parameters ----

    void setParameter(VstInt32 index, float value) override {
        float normalised = 0.0f;
        if (!validIndex(index, kParams) || !normalisedValue(value, normalised)) return;
        values_[index].store(normalised);
        // The base destructor deletes the editor last, so it is there while this lives.
        if (gui_ && editor == gui_) gui_->setParameter(index, normalised);
        if (index == kHmLayout)
            wanted_.fetch_add(1); // the worker polls it: no wake-up call from the audio thread
        else
            applyLevelAndBypass();
    }
    float getParameter(VstInt32 index) override {
        return validIndex(index, kParams) ? values_[index].load() : 0.0f;
    }
    void getParameterName(VstInt32 index, char* text) override {
        if (validIndex(index, kParams))
            copyHostText(text, product.parameters[index].name, kHostTextChars);
    }
    void getParameterLabel(VstInt32 index, char* text) override {
        if (validIndex(index, kParams))
            copyHostText(text, product.parameters[index].label, kHostTextChars);
    }
    void getParameterDisplay(VstInt32 index, char* text) override {
        if (!validIndex(index, kParams) || !text) return;
        const float n = values_[index].load();
        std::string name;
        if (index == kHmLayout && hmLayoutChoiceOf(n) >= monitorLayoutCount()) {
            std::lock_guard<std::mutex> lock(control_);
            name = layoutName_;
        }
        const std::string shown = hmDisplayText(index, n, name);
        copyHostText(text, shown.c_str(), kHostTextChars);
    }

    // One program: the state is the chunk.
    void setProgramName(char*) override {}
    bool getProgramNameIndexed(VstInt32, VstInt32 index, char* text) override {
        if (index != 0 || !text) return false;
        copyHostText(text, "Default", kHostProgramNameChars);
        return true;
    }
    void getProgramName(char* name) override {
        copyHostText(name, "Default", kHostProgramNameChars);
    }

    // ---- state ----

    VstInt32 getChunk(void** data, bool) override {
        if (!data) return 0;
        std::lock_guard<std::mutex> lock(control_);
        HmState state;
        for (int i = 0; i < kParams; ++i) state.values.push_back(values_[i].load());
        state.layoutName = layoutName_;
        state.layoutText = layoutText_;
        state.hrtfPath = hrtfPath_;
        chunk_ = encodeHmState(state);
        *data = chunk_.data();
        return static_cast<VstInt32>(chunk_.size());
    }

    VstInt32 setChunk(void* data, VstInt32 size, bool) override {
        if (size <= 0) return 0;
        std::lock_guard<std::mutex> lock(control_);
        try {
            const HmState state = decodeHmState(data, static_cast<std::size_t>(size));
            const MonitorLayout layout = hmResolveLayout(hmLayoutChoiceOf(state.values[kHmLayout]),
                                                         state.layoutName, state.layoutText);
            std::string message;
            std::shared_ptr<const HrtfSet> set = set_;
            std::string path = state.hrtfPath;
            if (!set || path != hrtfPath_ || set->sampleRate() != preparedRate_) {
                set = hmOpenSet(path, preparedRate_, true, message);
                if (!message.empty()) path.clear(); // the set is gone: the default plays
            }
            for (int i = 0; i < kParams; ++i) values_[i].store(state.values[i]);
            layoutName_ = state.layoutName;
            layoutText_ = state.layoutText;
            hrtfPath_ = path;
            set_ = set;
            done_ = wanted_.load();
            install(layout);
            applyLevelAndBypass();
            lastError_ = message;
            if (gui_ && editor == gui_)
                for (int i = 0; i < kParams; ++i) gui_->setParameter(i, values_[i].load());
            return 1;
        } catch (const std::exception& e) {
            lastError_ = e.what(); // what plays stays
            return 0;
        }
    }

    // ---- the editor's view ----

    HeadphoneView headphoneView() override {
        std::lock_guard<std::mutex> lock(control_);
        if (!running_) serveLocked(); // the worker serves only while blocks run
        const int choice = hmLayoutChoiceOf(values_[kHmLayout].load());
        HeadphoneView view = makeHeadphoneView(
            layout_, choice, choice >= monitorLayoutCount() ? layoutName_ : std::string(),
            set_.get(), hrtfPath_.empty(), preparedRate_ > 0.0 ? preparedRate_ : sampleRate,
            lastError_);
        // A new generation whenever what is shown changes.
        view.generation = viewGeneration_;
        if (std::memcmp(&view, &lastView_, sizeof view) != 0) {
            view.generation = ++viewGeneration_;
            lastView_ = view;
        }
        return view;
    }

    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr, void* ptr, float) override {
        if (index == kKivSnapshot && ptr && gui_)
            return gui_->writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
        if (index == kKivHeadphoneView && ptr) {
            const HeadphoneView view = headphoneView();
            std::memcpy(ptr, &view, sizeof view);
            return 1;
        }
        if (index == kKivLayoutMessage && ptr) {
            std::lock_guard<std::mutex> lock(control_);
            copyHostText(static_cast<char*>(ptr), lastError_.c_str(), kKivLayoutMessageBytes - 1);
            return lastError_.empty() ? 0 : 1;
        }
        if ((index != kKivLoadLayout && index != kKivLoadHrtf) || !ptr) return 0;
        const std::string what(static_cast<const char*>(ptr));
        std::lock_guard<std::mutex> lock(control_);
        try {
            if (index == kKivLoadHrtf) {
                const std::string path = hmHrtfPathOf(what);
                const std::shared_ptr<const HrtfSet> previous = set_;
                set_ = hmSharedSet(path, preparedRate_); // a set that cannot be opened: kept
                try {
                    install(currentLayout());
                } catch (...) {
                    set_ = previous; // nor one whose plan cannot be used
                    throw;
                }
                hrtfPath_ = path == HrtfSet::defaultPath() ? std::string() : path;
            } else {
                const int choice = hmLayoutChoiceNamed(what);
                if (choice >= 0 && what.find('/') == std::string::npos) {
                    values_[kHmLayout].store(hmNormalisedOfLayoutChoice(choice));
                    layoutName_.clear();
                    layoutText_.clear();
                    install(monitorLayouts()[choice]);
                } else {
                    const std::string path = layoutPathOf(what);
                    const std::string text = readLayoutFileText(path);
                    const std::string name = baseName(path);
                    const MonitorLayout layout = hmResolveLayout(hmStateLayoutChoice(), name, text);
                    values_[kHmLayout].store(hmNormalisedOfLayoutChoice(hmStateLayoutChoice()));
                    layoutName_ = name;
                    layoutText_ = text;
                    install(layout);
                }
                done_ = wanted_.load();
            }
            lastError_.clear();
            return 1;
        } catch (const std::exception& e) {
            lastError_ = e.what();
            return 0;
        }
    }

    // ---- pins and names ----

    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, product.numInputs)) return false;
        std::string label = std::to_string(index + 1);
        {
            std::lock_guard<std::mutex> lock(control_);
            if (!running_) serveLocked(); // a layout chosen while no block runs
            if (index < static_cast<VstInt32>(layout_.feeds.size()) && layout_.feeds[index].present)
                label += " " + layout_.feeds[index].name;
            else
                label += " Unused";
        }
        copyHostText(properties->label, label.c_str(), kHostPinLabelChars);
        properties->flags = kVstPinIsActive;
        return true;
    }
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, product.numOutputs)) return false;
        copyHostText(properties->label, product.outputs[index].name, kHostPinLabelChars);
        properties->flags = kVstPinIsActive | kVstPinIsStereo;
        return true;
    }
    VstInt32 getPlugCategory() override { return 0; }

private:
    // Any thread, the audio thread too: the engine takes these without a lock.
    void applyLevelAndBypass() {
        engine_.setLevelDb(hmPhysical(kHmLevel, values_[kHmLevel].load()));
        engine_.setBypass(values_[kHmBypass].load() >= 0.5f);
    }

    // A path as the user typed it, or a user layout's name.
    static std::string layoutPathOf(const std::string& what) {
        if (what.find('/') != std::string::npos) return what;
        for (const UserLayoutFile& f : listUserLayouts())
            if (f.name == what) return f.path;
        return what; // read as a file in the working directory, or refused naming it
    }

    // With control_ held: the layout the values and the state ask for.
    MonitorLayout currentLayout() const {
        return hmResolveLayout(hmLayoutChoiceOf(values_[kHmLayout].load()), layoutName_,
                               layoutText_);
    }

    // With control_ held: the engine for the host's rate and block, the set at that rate, the
    // plan in force at once.
    void prepareLocked() {
        preparedRate_ = static_cast<double>(sampleRate);
        preparedBlock_ = blockSize;
        engine_.prepare(preparedRate_, preparedBlock_);
        if (set_ && set_->sampleRate() != preparedRate_) {
            try {
                set_ = hmSharedSet(set_->path(), preparedRate_);
            } catch (const std::exception& e) {
                lastError_ = e.what();
                set_.reset();
            }
        }
        done_ = wanted_.load();
        try {
            install(currentLayout());
        } catch (const std::exception& e) {
            lastError_ = e.what();
        }
        applyLevelAndBypass();
        setInitialDelay(engine_.latency());
    }

    // With control_ held: hands the plan for `layout` to the engine; while no blocks run it
    // is in force at once. Throws when the plan cannot be used (what plays stays).
    void install(const MonitorLayout& layout) {
        if (set_) {
            if (!engine_.setPlan(hmPlan(*set_, layout)))
                throw RigError(set_->name() + ": its responses do not fit the monitor");
            // No block runs: prepared afresh, the plan is in force at once (no crossfade,
            // no tails, level and bypass at their values).
            if (!running_) engine_.prepare(preparedRate_, preparedBlock_);
        }
        layout_ = layout;
    }

    // With control_ held: a layout change asked for through setParameter.
    void serveLocked() {
        const unsigned wanted = wanted_.load();
        if (wanted == done_) return;
        done_ = wanted;
        try {
            install(currentLayout());
        } catch (const std::exception& e) {
            lastError_ = e.what(); // the layout in use stays
        }
    }

    void work() {
        std::unique_lock<std::mutex> lock(control_);
        while (!quit_) {
            wake_.wait_for(lock, std::chrono::milliseconds(20));
            if (running_ && !quit_) serveLocked();
        }
    }

    HeadphoneMonitorEngine engine_;
    std::atomic<float> values_[kHeadphoneMonitorParameters];
    std::atomic<unsigned> wanted_{0}; // layout requests; the worker serves the latest

    std::mutex control_; // never taken by the audio thread
    std::condition_variable wake_;
    bool quit_ = false;
    bool running_ = false;
    unsigned done_ = 0;
    double preparedRate_ = 0.0;
    VstInt32 preparedBlock_ = 0;
    std::shared_ptr<const HrtfSet> set_;
    std::string hrtfPath_;                // "" for the default set
    std::string layoutName_, layoutText_; // the layout in state
    MonitorLayout layout_;
    std::vector<char> chunk_;
    std::string lastError_;
    HeadphoneView lastView_{}; // the view last made, with its generation
    std::uint32_t viewGeneration_ = 1;
    HeadphoneMonitorEditor* gui_ = nullptr; // owned by the effect base

    pthread_t worker_{}; // last: started when everything above exists
    bool workerStarted_ = true;
};

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new HeadphoneMonitorEffect(audioMaster);
}
