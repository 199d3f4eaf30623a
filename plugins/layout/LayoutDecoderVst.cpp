// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder as a VST 2.4 effect: four FuMa inputs, 32 outputs, the ten parameters of
// its product description, one program per factory layout and then one per user layout
// (the files found in the user's layout directory when the instance is made), its state
// (parameters and the layout's content) in a versioned chunk, and its editor window, which
// reads the view of the layout in force that the effect publishes (LayoutViewSource). A file
// is also loaded with the vendor-specific request kKivLoadLayout.
//
// Threads: processReplacing on the audio thread, which only runs the engine. setParameter
// on any thread: a seed parameter goes to the engine at once; a parameter that changes the
// plan (layout, compensation, subwoofer, crossover) is noted in an atomic counter and, off
// the audio thread, wakes the plug-in's own worker thread (which looks at the counter every
// 100 ms besides, for requests made on the audio thread); the worker reads and designs the layout
// and hands the plan to the engine (crossfaded while blocks run, in force at once while they do
// not). The dispatcher (host user-interface thread) parses and designs a chunk or a file itself
// before accepting it, then has the worker install it. resume waits until the worker has installed
// what was asked, so that the first block already plays it. The worker is joined before the
// instance goes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "editor/LayoutDecoderEditor.h"
#include "engine/LayoutDecoderEngine.h"
#include "host/AudioEffectX.h"
#include "host/HostText.h"
#include "host/ProductTextEffect.h"
#include "product/LayoutDecoderProduct.h"
#include "product/LayoutViewSource.h"
#include "product/NormalisedValue.h"
#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"
#include "rig/UserLayouts.h"

namespace {

constexpr VstInt32 kParams = kLayoutDecoderParameters;
const LayoutDecoderProduct& product = kLayoutDecoderProduct;

bool validIndex(VstInt32 index, VstInt32 count) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(count);
}

bool changesPlan(int index) {
    return index == kLdLayout || index == kLdCompensation || index == kLdSubwoofer ||
           index == kLdSubCrossover;
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class LayoutDecoderEffect : public ProductTextEffect<LayoutDecoderProduct>,
                            public LayoutViewSource {
public:
    explicit LayoutDecoderEffect(audioMasterCallback audioMaster,
                                 std::vector<UserLayoutFile> userLayouts = listUserLayouts())
        : ProductTextEffect(audioMaster,
                            factoryLayoutCount() + static_cast<int>(userLayouts.size()), kParams,
                            product),
          engine_(product.numOutputs, blockSize), userLayouts_(std::move(userLayouts)) {
        setNumInputs(product.numInputs);
        setNumOutputs(product.numOutputs);
        canProcessReplacing(true);
        programsAreChunks(true);
        setUniqueID(product.uniqueID);
        labels_.assign(product.numOutputs, "Unused");
        for (int p = 0; p < factoryLayoutCount(); ++p)
            programValues_.push_back(ldFactoryProgramValues(p));
        const std::vector<float> values = ldFactoryProgramValues(0);
        for (int i = 0; i < kParams; ++i) values_[i].store(values[i]);
        wanted_.store(1);
        // A thread of our own, started without a heap block of the library's.
        if (pthread_create(&worker_, nullptr, &LayoutDecoderEffect::workerMain, this) != 0)
            workerStarted_ = false; // resume and the dispatcher then serve every request
        gui_ = new LayoutDecoderEditor(this, this); // registers itself with setEditor
    }

    static void* workerMain(void* self) {
        static_cast<LayoutDecoderEffect*>(self)->work();
        return nullptr;
    }

    ~LayoutDecoderEffect() override {
        {
            std::lock_guard<std::mutex> lock(control_);
            quit_ = true;
        }
        wake_.notify_all();
        if (workerStarted_) pthread_join(worker_, nullptr);
    }

    // ---- audio ----

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override {
        audioThread_.store(pthread_self(), std::memory_order_relaxed);
        if (frames <= 0 || !inputs || !outputs) return;
        engine_.processReplacing(inputs, outputs, frames);
    }

    void resume() override {
        std::unique_lock<std::mutex> lock(control_);
        waitServed(lock);
        running_ = true;
        engine_.resume();
    }
    void suspend() override {
        std::lock_guard<std::mutex> lock(control_);
        running_ = false;
    }
    void setSampleRate(float rate) override {
        if (!(rate > 0.0f) || !std::isfinite(rate)) return;
        std::lock_guard<std::mutex> lock(control_);
        sampleRate = rate;
        engine_.setFS(rate);
        ++viewGeneration_; // the delays are whole frames at the rate
    }
    void setBlockSize(VstInt32 n) override {
        if (n <= 0) return;
        std::lock_guard<std::mutex> lock(control_);
        blockSize = n;
        engine_.setBlockSize(n);
    }

    // ---- parameters ----

    void setParameter(VstInt32 index, float value) override {
        float normalised = 0.0f;
        if (!validIndex(index, kParams) || !normalisedValue(value, normalised)) return;
        values_[index].store(normalised);
        if (changesPlan(index)) {
            wanted_.fetch_add(1);
            // The audio thread only counts the request (the worker's timeout finds it); any
            // other thread wakes the worker.
            if (!pthread_equal(pthread_self(), audioThread_.load(std::memory_order_relaxed)))
                wake_.notify_all();
        } else
            applyEngineValues();
        // The base destructor deletes the editor last, so it is there while this lives.
        if (gui_ && editor == gui_) gui_->setParameter(index, normalised);
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
        copyHostText(text, displayText(index).c_str(), kHostTextChars);
    }

    // ---- programs: the factory layouts, then the user's own ----

    void setProgram(VstInt32 program) override {
        if (!validIndex(program, numPrograms)) return;
        curProgram = program;
        if (program >= factoryLayoutCount()) {
            // Read and designed here, off the audio thread, as any file the user loads.
            const std::string& path = userLayouts_[program - factoryLayoutCount()].path;
            vendorSpecific(kKivLoadLayout, 0, const_cast<char*>(path.c_str()), 0.0f);
            for (int i = 0; i < kParams; ++i)
                if (gui_ && editor == gui_) gui_->setParameter(i, values_[i].load());
            return;
        }
        const std::vector<float>& values = programValues_[program];
        for (int i = 0; i < kParams; ++i) setParameter(i, values[i]);
    }
    void setProgramName(char*) override {} // the names are the layouts'
    void getProgramName(char* name) override {
        copyHostText(name, programName(curProgram).c_str(), kHostProgramNameChars);
    }
    bool getProgramNameIndexed(VstInt32, VstInt32 index, char* text) override {
        if (!validIndex(index, numPrograms) || !text) return false;
        copyHostText(text, programName(index).c_str(), kHostProgramNameChars);
        return true;
    }

    // ---- the editor's view ----

    LayoutView layoutView() override {
        std::unique_lock<std::mutex> lock(control_);
        if (!running_) waitServed(lock); // an editor opened before resume shows the layout
        LayoutView view =
            makeLayoutView(shownLayout_, shownAsWritten_, shownPlan_, sampleRate, shownMessage_);
        view.generation = viewGeneration_;
        return view;
    }

    // ---- state ----

    VstInt32 getChunk(void** data, bool) override {
        if (!data) return 0;
        std::lock_guard<std::mutex> lock(control_);
        LdState state;
        for (int i = 0; i < kParams; ++i) state.values.push_back(values_[i].load());
        state.fileName = fileName_;
        state.fileText = fileText_;
        chunk_ = encodeLdState(state);
        *data = chunk_.data();
        return static_cast<VstInt32>(chunk_.size());
    }

    VstInt32 setChunk(void* data, VstInt32 size, bool) override {
        if (size <= 0) return 0;
        try {
            LdState state = decodeLdState(data, static_cast<std::size_t>(size));
            const int choice = layoutChoiceOf(state.values[kLdLayout]);
            resolve(choice, state.fileName, state.fileText); // refuses what cannot be used
            commit(state.values, state.fileName, state.fileText);
            return 1;
        } catch (const std::exception& e) {
            refuse(e.what());
            return 0;
        }
    }

    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr, void* ptr, float) override {
        if (index == kKivSnapshot && ptr && gui_)
            return gui_->writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
        if (index == kKivLayoutView && ptr) {
            const LayoutView view = layoutView();
            std::memcpy(ptr, &view, sizeof view);
            return 1;
        }
        if (index == kKivLayoutMessage && ptr) {
            std::lock_guard<std::mutex> lock(control_);
            copyHostText(static_cast<char*>(ptr), lastError_.c_str(), kKivLayoutMessageBytes - 1);
            return lastError_.empty() ? 0 : 1;
        }
        if (index != kKivLoadLayout || !ptr) return 0;
        const std::string what(static_cast<const char*>(ptr));
        try {
            std::vector<float> values = currentValues();
            const std::vector<Layout>& factory = factoryLayouts();
            for (int i = 0; i < static_cast<int>(factory.size()); ++i)
                if (factory[i].name == what && what.find('/') == std::string::npos) {
                    values[kLdLayout] = normalisedOfLayoutChoice(i);
                    values[kLdSubwoofer] = factory[i].subwoofer ? 1.0f : 0.0f;
                    std::unique_lock<std::mutex> lock(control_);
                    commitLocked(values, fileName_, fileText_);
                    waitServed(lock);
                    return 1;
                }
            const std::string path = pathOf(what);
            const std::string text = readLayoutFileText(path);
            const std::string name = baseName(path);
            const bool subwoofer = resolve(stateLayoutChoice(), name, text).layout.subwoofer;
            values[kLdLayout] = normalisedOfLayoutChoice(stateLayoutChoice());
            values[kLdSubwoofer] = subwoofer ? 1.0f : 0.0f; // as the file says; a parameter after
            commit(values, name, text);
            return 1;
        } catch (const std::exception& e) {
            refuse(e.what());
            return 0;
        }
    }

    // ---- pins and names ----

    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, product.numInputs)) return false;
        copyHostText(properties->label, product.inputs[index].name, kHostPinLabelChars);
        properties->flags = kVstPinIsActive;
        return true;
    }
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, product.numOutputs)) return false;
        std::unique_lock<std::mutex> lock(control_);
        if (!running_) waitServed(lock); // a host asks at load, before the first resume
        copyHostText(properties->label, labels_[index].c_str(), kHostPinLabelChars);
        properties->flags = kVstPinIsActive;
        return true;
    }
    VstInt32 getPlugCategory() override { return 0; }

private:
    std::vector<float> currentValues() const {
        std::vector<float> values(kParams);
        for (int i = 0; i < kParams; ++i) values[i] = values_[i].load();
        return values;
    }

    // The seed parameters the engine runs with: neutral for a preset played as written. Any
    // thread, the audio thread too: nothing allocated, nothing locked.
    void applyEngineValues() {
        float values[kLayoutDecoderParameters];
        for (int i = 0; i < kParams; ++i) values[i] = values_[i].load();
        const LdEngineValues e = ldEngineValues(values, asWritten_.load());
        engine_.setLPGain(e.lpGain);
        engine_.setHPGain(e.hpGain);
        engine_.setFCut(e.fCut);
        engine_.setDistComp(e.distComp);
        engine_.setNFC(e.nfc);
        engine_.setSEQ(e.seq);
    }

    std::string displayText(int index) {
        const float n = values_[index].load();
        if (index != kLdLayout || layoutChoiceOf(n) < factoryLayoutCount())
            return ldDisplayText(index, n, "");
        std::lock_guard<std::mutex> lock(control_);
        return ldDisplayText(index, n, fileName_);
    }

    // A path as the user typed it, or a user layout's name.
    static std::string pathOf(const std::string& what) {
        struct stat st {};
        if (what.find('/') != std::string::npos || ::stat(what.c_str(), &st) == 0) return what;
        for (const UserLayoutFile& f : listUserLayouts())
            if (f.name == what) return f.path;
        throw RigError(what + ": no such layout file, factory layout or user layout");
    }

    void refuse(const std::string& line) {
        std::lock_guard<std::mutex> lock(control_);
        lastError_ = line;
        shownMessage_ = line;
        ++viewGeneration_;
    }

    std::string programName(int program) const {
        return program < factoryLayoutCount() ? factoryLayouts()[program].name
                                              : userLayouts_[program - factoryLayoutCount()].name;
    }

    // The layout and plan for a choice; factory designs and the last file's are kept.
    LdResolved resolve(int choice, const std::string& name, const std::string& text) {
        std::lock_guard<std::mutex> lock(design_);
        if (choice < factoryLayoutCount()) {
            auto found = factoryCache_.find(choice);
            if (found == factoryCache_.end())
                found = factoryCache_.emplace(choice, ldResolve(choice, name, text)).first;
            return found->second;
        }
        if (!fileCache_ || fileCacheName_ != name || fileCacheText_ != text) {
            fileCache_ = std::make_unique<LdResolved>(ldResolve(choice, name, text));
            fileCacheName_ = name;
            fileCacheText_ = text;
        }
        return *fileCache_;
    }

    // Takes accepted values and layout content and returns when they are installed: at once
    // on this thread while no blocks run, else by the worker, waited for.
    void commit(const std::vector<float>& values, const std::string& name,
                const std::string& text) {
        std::unique_lock<std::mutex> lock(control_);
        commitLocked(values, name, text);
        waitServed(lock);
    }
    void commitLocked(const std::vector<float>& values, const std::string& name,
                      const std::string& text) {
        for (int i = 0; i < kParams; ++i) values_[i].store(values[i]);
        fileName_ = name;
        fileText_ = text;
        wanted_.fetch_add(1);
    }
    // Until what has been asked for is installed. With control_ held (through lock).
    void waitServed(std::unique_lock<std::mutex>& lock) {
        served_.wait(lock, [&] { return quit_ || !busy_; });
        if (!running_ || !workerStarted_) {
            // No blocks run (or no worker): install it here, so that the next block plays it.
            while (wanted_.load() != done_) serve(lock);
            return;
        }
        const unsigned target = wanted_.load();
        wake_.notify_all();
        // Served once the worker has taken this request or a later one (the audio thread may
        // have added more meanwhile).
        served_.wait(lock,
                     [&] { return quit_ || (!busy_ && static_cast<int>(done_ - target) >= 0); });
    }

    // While blocks run the worker serves plan requests; before, resume serves them itself.
    void work() {
        std::unique_lock<std::mutex> lock(control_);
        while (!quit_) {
            if (!running_ || wanted_.load() == done_)
                wake_.wait_for(lock, kWorkerTimeout);
            else
                serve(lock);
        }
    }

    // Designs and installs the latest request. With control_ held (through lock), released
    // while the design runs.
    void serve(std::unique_lock<std::mutex>& lock) {
        const unsigned wanted = wanted_.load();
        busy_ = true;
        const std::vector<float> values = currentValues();
        const std::string name = fileName_, text = fileText_;
        lock.unlock();
        bool ok = false;
        LdResolved resolved;
        try {
            resolved = resolve(layoutChoiceOf(values[kLdLayout]), name, text);
            ok = true;
        } catch (const std::exception& e) {
            refuse(e.what()); // the layout in use stays
        }
        lock.lock();
        if (ok) install(resolved, values);
        done_ = wanted;
        busy_ = false;
        served_.notify_all();
    }

    // With control_ held.
    void install(const LdResolved& resolved, const std::vector<float>& values) {
        const DecoderPlan plan = ldApplySettings(resolved.rig, values);
        asWritten_.store(resolved.rig.asWritten);
        applyEngineValues();
        if (running_)
            engine_.submitPlan(plan);
        else
            engine_.setPlan(plan);
        labels_ = ldOutputLabels(resolved.layout, plan.subwoofer);
        shownLayout_ = resolved.layout;
        shownAsWritten_ = resolved.rig.asWritten;
        shownPlan_ = plan;
        shownMessage_ = !resolved.rig.notice.empty() ? resolved.rig.notice : resolved.rig.uncovered;
        ++viewGeneration_;
    }

    LayoutDecoderEngine engine_;
    std::atomic<float> values_[kLayoutDecoderParameters];
    std::atomic<bool> asWritten_{false};
    std::atomic<unsigned> wanted_{0};      // plan requests; the worker serves the latest
    std::atomic<pthread_t> audioThread_{}; // the thread that last ran processReplacing
    // Requests made on the audio thread wake nobody: the worker finds them after this.
    static constexpr std::chrono::milliseconds kWorkerTimeout{100};

    std::mutex control_; // never taken by the audio thread
    std::condition_variable wake_, served_;
    bool quit_ = false;
    bool busy_ = false;
    bool running_ = false;
    unsigned done_ = 0;
    std::string fileName_, fileText_; // the layout in state
    std::vector<std::string> labels_;
    std::vector<std::vector<float>> programValues_; // the factory programs, made once
    std::vector<char> chunk_;
    std::string lastError_;
    // What the editor shows: the layout last installed and its plan, and the last line for
    // the user (a refusal, a redesigned preset, the directions left uncovered).
    Layout shownLayout_;
    bool shownAsWritten_ = false;
    DecoderPlan shownPlan_;
    std::string shownMessage_;
    std::uint32_t viewGeneration_ = 1;
    const std::vector<UserLayoutFile> userLayouts_; // programs after the factory layouts
    LayoutDecoderEditor* gui_ = nullptr;            // owned by the effect base

    std::mutex design_; // the design caches
    std::map<int, LdResolved> factoryCache_;
    std::unique_ptr<LdResolved> fileCache_;
    std::string fileCacheName_, fileCacheText_;

    pthread_t worker_{}; // last: started when everything above exists
    bool workerStarted_ = true;
};

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new LayoutDecoderEffect(audioMaster);
}
