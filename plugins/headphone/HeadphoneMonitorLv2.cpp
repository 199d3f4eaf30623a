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
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/patch/patch.h>
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
#include "host/lv2/ObjectBounds.h"
#include "host/lv2/WorkerPluginEntry.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorLv2Ports.h"
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
    std::uint32_t kind; // kLoadLayout or kLoadSet: the path below is now the one shown
    std::uint32_t pathBytes;
    char path[kHmMaxPathBytes];
};

struct Uris {
    LV2_URID atomPath, atomString, atomObject, atomSequence, atomUrid;
    LV2_URID patchSet, patchGet, patchProperty, patchValue;
    LV2_URID layoutFile, hrtfFile, stateText, stateName, stateHrtf;
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
    }

    void mapUris(LV2_URID_Map* map) {
        mapped_ = true;
        auto m = [map](const char* uri) { return map->map(map->handle, uri); };
        uris_ = {m(LV2_ATOM__Path),      m(LV2_ATOM__String),    m(LV2_ATOM__Object),
                 m(LV2_ATOM__Sequence),  m(LV2_ATOM__URID),      m(LV2_PATCH__Set),
                 m(LV2_PATCH__Get),      m(LV2_PATCH__property), m(LV2_PATCH__value),
                 m(kHmLv2LayoutFileUri), m(kHmLv2HrtfFileUri),   m(kHmLv2StateTextUri),
                 m(kHmLv2StateNameUri),  m(kHmLv2StateHrtfUri)};
        lv2_atom_forge_init(&forge_, map);
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
                return LV2_WORKER_SUCCESS;
            }
            if (request.kind == kLoadLayout) {
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
                hrtfPath_ = path;
            } else {
                return LV2_WORKER_ERR_UNKNOWN;
            }
        } catch (const std::exception& e) {
            lv2_log_error(&logger_, "HeadphoneMonitor: %s\n", e.what());
            return LV2_WORKER_SUCCESS; // refused: what plays stays
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
        Shown& shown = answer->kind == kLoadSet ? shownSet_ : shownLayout_;
        shown.bytes = std::min(answer->pathBytes, kHmMaxPathBytes);
        std::memcpy(shown.path, answer->path, shown.bytes);
        return LV2_WORKER_SUCCESS;
    }

    // ---- state ----

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features) {
        if (!mapped_) return LV2_STATE_SUCCESS;
        std::lock_guard<std::mutex> lock(state_);
        const std::uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        if (!layoutText_.empty()) {
            store(handle, uris_.stateText, layoutText_.c_str(), layoutText_.size() + 1,
                  uris_.atomString, flags);
            store(handle, uris_.stateName, layoutName_.c_str(), layoutName_.size() + 1,
                  uris_.atomString, flags);
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
            store(handle, uris_.stateHrtf, path.c_str(), path.size() + 1, uris_.atomPath, flags);
        }
        return LV2_STATE_SUCCESS;
    }

    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features) {
        if (!mapped_) return LV2_STATE_ERR_NO_FEATURE;
        std::size_t textSize = 0, nameSize = 0, hrtfSize = 0;
        std::uint32_t textType = 0, nameType = 0, hrtfType = 0, flags = 0;
        const void* text = retrieve(handle, uris_.stateText, &textSize, &textType, &flags);
        const void* name = retrieve(handle, uris_.stateName, &nameSize, &nameType, &flags);
        const void* hrtf = retrieve(handle, uris_.stateHrtf, &hrtfSize, &hrtfType, &flags);
        std::string newText, newName, newPath;
        if (text) { // missing: no file in state, the layout control chooses
            if (textType != uris_.atomString || !name || nameType != uris_.atomString)
                return LV2_STATE_ERR_BAD_TYPE;
            if (textSize < 2 || !terminatedString(text, textSize, kMaxLayoutFileBytes + 1) ||
                !terminatedString(name, nameSize, kHmMaxPathBytes))
                return LV2_STATE_ERR_UNKNOWN;
            newText.assign(static_cast<const char*>(text), textSize - 1);
            newName.assign(static_cast<const char*>(name), nameSize - 1);
        }
        if (hrtf) { // missing: the default set
            if (hrtfType != uris_.atomPath) return LV2_STATE_ERR_BAD_TYPE;
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

    // With state_ held (or before the instance is shared).
    MonitorLayout currentLayout() const {
        return hmResolveLayout(hmLayoutChoiceOf(layoutValue_), layoutName_, layoutText_);
    }

    // Off the audio thread: the plan for `layout` with the set in use. Throws when it cannot
    // be used.
    void install(const MonitorLayout& layout) {
        if (!set_ || !engine_.setPlan(hmPlan(*set_, layout)))
            throw std::runtime_error("the plan does not fit the monitor");
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

    // Audio thread: patch:Set of a file (an atom:Path) and patch:Get.
    void readAtoms() {
        if (!mapped_) return;
        if (atomOut_) {
            const std::uint32_t capacity = atomOut_->atom.size;
            lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(atomOut_), capacity);
            lv2_atom_forge_sequence_head(&forge_, &outFrame_, 0);
        }
        if (atomIn_ && atomIn_->atom.type == uris_.atomSequence &&
            atomIn_->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
            LV2_ATOM_SEQUENCE_FOREACH(atomIn_, ev) {
                // A truncated event ends the sequence.
                const char* end =
                    reinterpret_cast<const char*>(&atomIn_->body) + atomIn_->atom.size;
                if (reinterpret_cast<const char*>(&ev->body + 1) > end ||
                    reinterpret_cast<const char*>(&ev->body + 1) + ev->body.size > end)
                    break;
                if (ev->body.type != uris_.atomObject) continue;
                handleObject(reinterpret_cast<const LV2_Atom_Object*>(&ev->body));
            }
        }
        if (atomOut_) lv2_atom_forge_pop(&forge_, &outFrame_);
    }

    void handleObject(const LV2_Atom_Object* object) {
        if (!kiv::lv2::propertiesInside(object)) return; // malformed: refused whole
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
        LV2_URID key = 0;
        if (property && property->type == uris_.atomUrid && property->size == sizeof(LV2_URID))
            key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
        const bool known = key == uris_.layoutFile || key == uris_.hrtfFile;
        if (object->body.otype == uris_.patchGet) {
            if (!property || key == uris_.layoutFile) answerGet(uris_.layoutFile, shownLayout_);
            if (!property || key == uris_.hrtfFile) answerGet(uris_.hrtfFile, shownSet_);
            return;
        }
        if (object->body.otype != uris_.patchSet || !known || !value) return;
        if (value->type != uris_.atomPath || value->size < 2 || value->size > kHmMaxPathBytes)
            return;
        const char* path = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        if (path[value->size - 1] != '\0' || std::memchr(path, '\0', value->size - 1)) return;
        request_.kind = key == uris_.hrtfFile ? kLoadSet : kLoadLayout;
        request_.layout = 0.0f;
        request_.pathBytes = value->size - 1;
        std::memcpy(request_.path, path, value->size - 1);
        if (schedule_) schedule_->schedule_work(schedule_->handle, sizeof request_, &request_);
    }

    void answerGet(LV2_URID key, const Shown& shown) {
        if (!atomOut_) return;
        LV2_Atom_Forge_Frame frame;
        if (!lv2_atom_forge_frame_time(&forge_, 0)) return;
        lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet);
        lv2_atom_forge_key(&forge_, uris_.patchProperty);
        lv2_atom_forge_urid(&forge_, key);
        lv2_atom_forge_key(&forge_, uris_.patchValue);
        lv2_atom_forge_atom(&forge_, shown.bytes + 1, uris_.atomPath);
        lv2_atom_forge_write(&forge_, shown.path, shown.bytes);
        lv2_atom_forge_write(&forge_, "", 1);
        lv2_atom_forge_pop(&forge_, &frame);
    }

    HeadphoneMonitorEngine engine_;
    LV2_Worker_Schedule* schedule_;
    int maxBlock_;
    Uris uris_{};
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame outFrame_{};
    bool mapped_ = false;

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

    LV2_Log_Logger logger_{};
    std::mutex state_; // the layout and set in use: worker, save, restore (never run)
    std::shared_ptr<const HrtfSet> set_;
    float layoutValue_ = 0.0f;
    std::string layoutName_, layoutText_, hrtfPath_;
};

const LV2_Descriptor kDescriptor =
    kiv::lv2::WorkerPluginEntry<HeadphoneMonitorLv2>::descriptor(kHeadphoneMonitorUri.text);

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
