// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor as an LV2 plug-in: the ports of HeadphoneMonitorLv2Ports.h, the layout file
// and the SOFA set as patch:Parameters (patch:Set with an atom:Path, patch:Get answered on the
// notify port), the layout's content and the set's path in the plug-in's state, the worker
// for reading files and building plans.
//
// Threads: run on the audio thread: it reads the controls and the atom port, schedules work,
// runs the engine and reports its latency. work on the host's worker thread: it reads the
// file, builds the plan and hands it to the engine (whose hand-over is lock-free), then
// answers with the path run shows to patch:Get. instantiate and restore on the host's other
// threads, with no block running: they build the plan in place, so that it plays from the
// first block.
//
// The UI learns what is in force from a patch:Set of the view property on the notify port,
// sent after every change (and every refusal, with its line) and in answer to patch:Get: an
// atom:Chunk holding the HeadphoneView record, made where the plan is made (worker,
// instantiate, restore), so that run only copies it, whole or not at all.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "engine/HeadphoneMonitorEngine.h"
#include "host/lv2/PatchPort.h"
#include "host/lv2/WorkerPluginEntry.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorLv2Ports.h"
#include "product/HeadphoneView.h"
#include "product/LayoutView.h"
#include "rig/LayoutFile.h"

namespace {

// What run asks of the worker, and what the worker answers; plain bytes through its ring.
struct WorkRequest {
    std::uint32_t kind; // kLayout, kLoadLayout or kLoadSet
    float layout;       // kLayout: the layout control, normalised
    std::uint32_t pathBytes;
    char path[kHmMaxPathBytes];
};
constexpr std::uint32_t kLayout = 1, kLoadLayout = 2, kLoadSet = 3;

struct WorkAnswer {
    std::uint32_t kind;    // kLoadLayout or kLoadSet: the path below is now the one shown
    std::uint32_t refused; // nothing changed; view.message says why
    std::uint32_t pathBytes;
    char path[kHmMaxPathBytes];
    HeadphoneView view; // what is in force now (refused: only its message counts)
};

struct Uris {
    LV2_URID layoutFile, hrtfFile, stateText, stateName, stateHrtf, view;
};

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool terminatedString(const void* data, std::size_t size, std::size_t limit) {
    return size >= 1 && size <= limit && static_cast<const char*>(data)[size - 1] == '\0' &&
           std::memchr(data, '\0', size - 1) == nullptr;
}

class HeadphoneMonitorLv2 {
public:
    HeadphoneMonitorLv2(double rate, int block, LV2_URID_Map* map, LV2_Worker_Schedule* schedule,
                        const LV2_Feature* const* features)
        : schedule_(schedule), maxBlock_(block) {
        if (map) mapUris(map);
        // Refusals go to the host's log (standard error without one), never from run.
        lv2_log_logger_init(&logger_, map,
                            const_cast<LV2_Log_Log*>(feature<LV2_Log_Log>(features, LV2_LOG__log)));
        engine_.prepare(rate, block);
        std::string unused;
        set_ = hmOpenSet("", rate, false, unused); // no default set: no instance
        layoutValue_ = hmDefaultValues()[kHmLayout];
        install(hmResolveLayout(hmLayoutChoiceOf(layoutValue_), "", ""));
        showView(""); // sent with the first block
    }

    void mapUris(LV2_URID_Map* map) {
        patch_.map(map);
        auto m = [this](const char* uri) { return patch_.uridOf(uri); };
        uris_ = {m(kHmLv2LayoutFileUri), m(kHmLv2HrtfFileUri),  m(kHmLv2StateTextUri),
                 m(kHmLv2StateNameUri),  m(kHmLv2StateHrtfUri), m(kHmLv2ViewUri)};
    }

    void connect(std::uint32_t port, void* data) {
        if (port < kHmLv2Left)
            in_[port - kHmLv2FirstInput] = static_cast<const float*>(data);
        else if (port == kHmLv2Left)
            left_ = static_cast<float*>(data);
        else if (port == kHmLv2Right)
            right_ = static_cast<float*>(data);
        else if (port < kHmLv2Latency)
            control_[port - kHmLv2FirstControl] = static_cast<const float*>(data);
        else if (port == kHmLv2Latency)
            latency_ = static_cast<float*>(data);
        else if (port == kHmLv2ControlIn)
            atomIn_ = static_cast<const LV2_Atom_Sequence*>(data);
        else if (port == kHmLv2NotifyOut)
            atomOut_ = static_cast<LV2_Atom_Sequence*>(data);
    }

    void deactivate() {}

    // The layout control a host set before starting chooses the layout of the first block.
    void activate() {
        if (control_[kHmLayout] && std::isfinite(*control_[kHmLayout])) {
            const float n = hmNormalised(kHmLayout, *control_[kHmLayout]);
            std::lock_guard<std::mutex> lock(state_);
            const bool keepsFile =
                hmLayoutChoiceOf(n) == hmStateLayoutChoice() && !layoutText_.empty();
            if (n != layoutValue_ && !keepsFile) {
                layoutValue_ = n;
                layoutName_.clear();
                layoutText_.clear();
                try {
                    install(hmResolveLayout(hmLayoutChoiceOf(n), "", ""));
                    showView("");
                } catch (const std::exception&) {
                }
            }
        }
        readLevelAndBypass();
        // No block runs: prepared afresh, the plan in use plays at once with clear tails and
        // level and bypass at their values.
        engine_.prepare(engine_.sampleRate(), maxBlock_);
    }

    void run(std::uint32_t frames) {
        readLevelAndBypass();
        readLayoutControl();
        readAtoms();
        if (latency_) *latency_ = static_cast<float>(engine_.latency());
        if (!left_ || !right_) return;
        // The engine takes at most maxBlock_ frames a call.
        for (std::uint32_t done = 0; done < frames;) {
            const int n = static_cast<int>(std::min<std::uint32_t>(frames - done, maxBlock_));
            const float* ins[32];
            for (int c = 0; c < 32; ++c) ins[c] = in_[c] ? in_[c] + done : nullptr;
            engine_.process(ins, 32, left_ + done, right_ + done, n);
            done += static_cast<std::uint32_t>(n);
        }
    }

    // ---- worker ----

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data) {
        if (size != sizeof(WorkRequest)) return LV2_WORKER_ERR_UNKNOWN;
        WorkRequest request;
        std::memcpy(&request, data, sizeof request);
        const std::string path(request.path, std::min(request.pathBytes, kHmMaxPathBytes));
        WorkAnswer answer{};
        std::lock_guard<std::mutex> lock(state_);
        try {
            if (request.kind == kLayout) {
                // A layout of the list; the file in state goes. The layout-in-state value
                // keeps the file.
                const int choice = hmLayoutChoiceOf(request.layout);
                if (choice == hmStateLayoutChoice() && !layoutText_.empty())
                    return LV2_WORKER_SUCCESS;
                install(hmResolveLayout(choice, "", ""));
                layoutName_.clear();
                layoutText_.clear();
                layoutValue_ = request.layout;
            } else if (request.kind == kLoadLayout) {
                const std::string text = readLayoutFileText(path);
                const std::string name = baseName(path);
                install(hmResolveLayout(hmStateLayoutChoice(), name, text));
                layoutName_ = name;
                layoutText_ = text;
                layoutValue_ = hmNormalisedOfLayoutChoice(hmStateLayoutChoice());
            } else if (request.kind == kLoadSet) {
                std::shared_ptr<const HrtfSet> set = hmSharedSet(path, engine_.sampleRate());
                std::swap(set, set_);
                try {
                    install(currentLayout());
                } catch (...) {
                    set_ = set;
                    throw;
                }
                hrtfPath_ = path == HrtfSet::defaultPath() ? std::string() : path;
            } else {
                return LV2_WORKER_ERR_UNKNOWN;
            }
            answer.view = viewLocked("");
        } catch (const std::exception& e) {
            lv2_log_error(&logger_, "HeadphoneMonitor: %s\n", e.what());
            answer.refused = 1; // what plays stays; the UI is told why
            setViewText(answer.view.message, HeadphoneView::kMessageBytes, e.what());
        }
        answer.kind = request.kind;
        answer.pathBytes = static_cast<std::uint32_t>(path.size());
        std::memcpy(answer.path, path.data(), path.size());
        respond(handle, sizeof answer, &answer);
        return LV2_WORKER_SUCCESS;
    }

    LV2_Worker_Status workResponse(std::uint32_t size, const void* data) {
        if (size != sizeof(WorkAnswer)) return LV2_WORKER_ERR_UNKNOWN;
        const WorkAnswer* answer = static_cast<const WorkAnswer*>(data);
        if (answer->refused) {
            std::memcpy(view_.message, answer->view.message, sizeof view_.message);
        } else {
            view_ = answer->view;
        }
        view_.generation = ++viewGeneration_;
        viewPending_ = true;
        if (answer->refused || answer->kind == kLayout) return LV2_WORKER_SUCCESS;
        Shown& shown = answer->kind == kLoadSet ? shownSet_ : shownLayout_;
        shown.bytes = std::min(answer->pathBytes, kHmMaxPathBytes);
        std::memcpy(shown.path, answer->path, shown.bytes);
        return LV2_WORKER_SUCCESS;
    }

    // ---- state ----

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features) {
        if (!patch_.mapped()) return LV2_STATE_SUCCESS;
        std::lock_guard<std::mutex> lock(state_);
        const std::uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        if (!layoutText_.empty()) {
            store(handle, uris_.stateText, layoutText_.c_str(), layoutText_.size() + 1,
                  patch_.atomString, flags);
            store(handle, uris_.stateName, layoutName_.c_str(), layoutName_.size() + 1,
                  patch_.atomString, flags);
        }
        if (!hrtfPath_.empty()) {
            const LV2_State_Map_Path* mapPath =
                feature<LV2_State_Map_Path>(features, LV2_STATE__mapPath);
            std::string path = hrtfPath_;
            if (mapPath) {
                char* abstract = mapPath->abstract_path(mapPath->handle, hrtfPath_.c_str());
                if (abstract) {
                    path = abstract;
                    freePath(features, abstract);
                }
            }
            store(handle, uris_.stateHrtf, path.c_str(), path.size() + 1, patch_.atomPath, flags);
        }
        return LV2_STATE_SUCCESS;
    }

    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features) {
        if (!patch_.mapped()) return LV2_STATE_ERR_NO_FEATURE;
        std::size_t textSize = 0, nameSize = 0, hrtfSize = 0;
        std::uint32_t textType = 0, nameType = 0, hrtfType = 0, flags = 0;
        const void* text = retrieve(handle, uris_.stateText, &textSize, &textType, &flags);
        const void* name = retrieve(handle, uris_.stateName, &nameSize, &nameType, &flags);
        const void* hrtf = retrieve(handle, uris_.stateHrtf, &hrtfSize, &hrtfType, &flags);
        std::string newText, newName, newPath;
        if (text) { // missing: no file in state, the layout control chooses
            if (textType != patch_.atomString || !name || nameType != patch_.atomString)
                return LV2_STATE_ERR_BAD_TYPE;
            if (textSize < 2 || !terminatedString(text, textSize, kMaxLayoutFileBytes + 1) ||
                !terminatedString(name, nameSize, kHmMaxPathBytes))
                return LV2_STATE_ERR_UNKNOWN;
            newText.assign(static_cast<const char*>(text), textSize - 1);
            newName.assign(static_cast<const char*>(name), nameSize - 1);
        }
        if (hrtf) { // missing: the default set
            if (hrtfType != patch_.atomPath) return LV2_STATE_ERR_BAD_TYPE;
            if (!terminatedString(hrtf, hrtfSize, kHmMaxPathBytes)) return LV2_STATE_ERR_UNKNOWN;
            newPath.assign(static_cast<const char*>(hrtf), hrtfSize - 1);
            const LV2_State_Map_Path* mapPath =
                feature<LV2_State_Map_Path>(features, LV2_STATE__mapPath);
            if (mapPath && !newPath.empty()) {
                char* absolute = mapPath->absolute_path(mapPath->handle, newPath.c_str());
                if (absolute) {
                    newPath = absolute;
                    freePath(features, absolute);
                }
            }
        }
        std::lock_guard<std::mutex> lock(state_);
        const float layoutValue =
            newText.empty()
                ? (hmLayoutChoiceOf(layoutValue_) == hmStateLayoutChoice() ? 0.0f : layoutValue_)
                : hmNormalisedOfLayoutChoice(hmStateLayoutChoice());
        try {
            const MonitorLayout layout =
                hmResolveLayout(hmLayoutChoiceOf(layoutValue), newName, newText);
            std::shared_ptr<const HrtfSet> set = set_;
            std::string message;
            if (!set || newPath != hrtfPath_) {
                set = hmOpenSet(newPath, engine_.sampleRate(), true, message);
                if (!message.empty()) {
                    lv2_log_warning(&logger_, "HeadphoneMonitor: %s\n", message.c_str());
                    newPath.clear(); // gone: the default set plays
                }
            }
            const std::shared_ptr<const HrtfSet> old = set_;
            set_ = set;
            try {
                install(layout);
            } catch (...) {
                set_ = old;
                throw;
            }
            layoutText_ = newText;
            layoutName_ = newName;
            layoutValue_ = layoutValue;
            hrtfPath_ = newPath;
            engine_.prepare(engine_.sampleRate(), maxBlock_); // in force at once
            showView(message);
        } catch (const std::exception& e) {
            lv2_log_error(&logger_, "HeadphoneMonitor: %s\n", e.what());
            return LV2_STATE_ERR_UNKNOWN; // what plays stays
        }
        return LV2_STATE_SUCCESS;
    }

private:
    struct Shown {
        std::uint32_t bytes = 0;
        char path[kHmMaxPathBytes] = {};
    };

    template <typename T>
    static const T* feature(const LV2_Feature* const* features, const char* uri) {
        for (int i = 0; features && features[i]; ++i)
            if (std::strcmp(features[i]->URI, uri) == 0)
                return static_cast<const T*>(features[i]->data);
        return nullptr;
    }
    static void freePath(const LV2_Feature* const* features, char* path) {
        const LV2_State_Free_Path* free =
            feature<LV2_State_Free_Path>(features, LV2_STATE__freePath);
        if (free)
            free->free_path(free->handle, path);
        else
            std::free(path);
    }

    // With state_ held (or before the instance is shared): the view of what is in force.
    HeadphoneView viewLocked(const std::string& message) const {
        const int choice = hmLayoutChoiceOf(layoutValue_);
        return makeHeadphoneView(layout_, choice,
                                 choice >= monitorLayoutCount() ? layoutName_ : std::string(),
                                 set_.get(), hrtfPath_.empty(), engine_.sampleRate(), message);
    }

    // No block runs (instantiate, activate, restore): the view is the audio thread's to send
    // at its next block.
    void showView(const std::string& message) {
        const std::uint32_t generation = ++viewGeneration_;
        view_ = viewLocked(message);
        view_.generation = generation;
        viewPending_ = true;
    }

    // With state_ held (or before the instance is shared).
    MonitorLayout currentLayout() const {
        return hmResolveLayout(hmLayoutChoiceOf(layoutValue_), layoutName_, layoutText_);
    }

    // Off the audio thread: the plan for `layout` with the set in use. Throws when it cannot
    // be used.
    void install(const MonitorLayout& layout) {
        if (!set_ || !engine_.setPlan(hmPlan(*set_, layout)))
            throw std::runtime_error("the plan does not fit the monitor");
        layout_ = layout;
    }

    // Audio thread.
    void readLevelAndBypass() {
        if (control_[kHmLevel] && std::isfinite(*control_[kHmLevel]))
            engine_.setLevelDb(hmPhysical(kHmLevel, hmNormalised(kHmLevel, *control_[kHmLevel])));
        if (control_[kHmBypass] && std::isfinite(*control_[kHmBypass]))
            engine_.setBypass(*control_[kHmBypass] >= 0.5f);
    }

    // Audio thread: a moved layout control schedules the new plan.
    void readLayoutControl() {
        if (!control_[kHmLayout] || !std::isfinite(*control_[kHmLayout])) return;
        const float n = hmNormalised(kHmLayout, *control_[kHmLayout]);
        if (n == lastLayoutControl_) return;
        const bool first = lastLayoutControl_ < 0.0f;
        lastLayoutControl_ = n;
        if (first) return; // activate took it
        request_.kind = kLayout;
        request_.layout = n;
        request_.pathBytes = 0;
        if (schedule_) schedule_->schedule_work(schedule_->handle, sizeof request_, &request_);
    }

    // Audio thread: patch:Set of a file (an atom:Path) and patch:Get; the answers go out at
    // the end of the block, or at the next when the notify buffer is full.
    void readAtoms() {
        patch_.read(atomIn_, [this](const kiv::lv2::PatchMessage& m) {
            const LV2_URID key = m.property;
            if (m.get) {
                layoutPending_ = layoutPending_ || !key || key == uris_.layoutFile;
                setPending_ = setPending_ || !key || key == uris_.hrtfFile;
                viewPending_ = viewPending_ || !key || key == uris_.view;
                return;
            }
            std::uint32_t bytes = 0;
            const bool known = key == uris_.layoutFile || key == uris_.hrtfFile;
            const char* path = known ? patch_.pathOf(m.value, kHmMaxPathBytes, bytes) : nullptr;
            if (!path) return;
            request_.kind = key == uris_.hrtfFile ? kLoadSet : kLoadLayout;
            request_.layout = 0.0f;
            request_.pathBytes = bytes;
            std::memcpy(request_.path, path, bytes);
            if (schedule_) schedule_->schedule_work(schedule_->handle, sizeof request_, &request_);
        });
        patch_.begin(atomOut_);
        if (layoutPending_ &&
            patch_.setPath(uris_.layoutFile, shownLayout_.path, shownLayout_.bytes))
            layoutPending_ = false;
        if (setPending_ && patch_.setPath(uris_.hrtfFile, shownSet_.path, shownSet_.bytes))
            setPending_ = false;
        if (viewPending_ && patch_.set(uris_.view, patch_.atomChunk, &view_, sizeof view_))
            viewPending_ = false;
        patch_.end();
    }

    HeadphoneMonitorEngine engine_;
    LV2_Worker_Schedule* schedule_;
    int maxBlock_;
    Uris uris_{};
    kiv::lv2::PatchPort patch_;

    const float* in_[32] = {};
    float* left_ = nullptr;
    float* right_ = nullptr;
    float* latency_ = nullptr;
    const float* control_[kHeadphoneMonitorParameters] = {};
    const LV2_Atom_Sequence* atomIn_ = nullptr;
    LV2_Atom_Sequence* atomOut_ = nullptr;

    // Audio thread's own.
    float lastLayoutControl_ = -1.0f;
    WorkRequest request_{};
    Shown shownLayout_, shownSet_;
    bool layoutPending_ = false, setPending_ = false; // patch:Gets not answered yet
    HeadphoneView view_{};
    std::uint32_t viewGeneration_ = 0; // also counted where no block runs
    bool viewPending_ = false;         // the UI has not been sent view_ yet

    LV2_Log_Logger logger_{};
    std::mutex state_; // the layout and set in use: worker, save, restore (never run)
    std::shared_ptr<const HrtfSet> set_;
    MonitorLayout layout_; // the layout whose plan is in force
    float layoutValue_ = 0.0f;
    std::string layoutName_, layoutText_, hrtfPath_;
};

const LV2_Descriptor kDescriptor =
    kiv::lv2::WorkerPluginEntry<HeadphoneMonitorLv2>::descriptor(kHeadphoneMonitorUri.text);

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
