// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder as an LV2 plug-in: the ports of LayoutDecoderLv2Ports.h, the layout file as
// a patch:Parameter (patch:Set with an atom:Path, patch:Get answered on the notify port),
// the layout's content in the plug-in's state, and the worker for reading and designing.
//
// Threads: run on the audio thread: it reads the controls and the atom port, schedules
// work, runs the engine. work on the host's worker thread: it reads the file, designs the
// decoder and hands the plan to the engine (whose hand-over is lock-free), then answers with
// what the audio thread swaps in work_response (the path shown, whether the preset plays as
// written, the view of the layout for the UI). instantiate, activate, save and restore on the
// host's other threads; restore designs in place, so that a restored layout plays from the
// next block.
//
// The UI learns the layout in force from a patch:Set of layoutView on the notify port, sent
// after every change and in answer to patch:Get: its value is an atom:Chunk holding the
// LayoutView record (product/LayoutView.h). Not the layout's text: that may be as large as a
// layout file, more than a notify buffer holds, and the UI would have to parse and design it
// again; the view is a fixed 1 KB, says what the plug-in actually installed (at its rate,
// with its refusals), and can be forged in run without allocating.
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "engine/LayoutDecoderEngine.h"
#include "host/lv2/ObjectBounds.h"
#include "host/lv2/WorkerPluginEntry.h"
#include "product/LayoutDecoderLv2Ports.h"
#include "product/LayoutView.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"

namespace {

// What run asks of the worker, and what the worker answers; plain bytes through its ring.
struct WorkRequest {
    std::uint32_t kind;          // kPlan or kLoad
    std::uint32_t layoutChanged; // kPlan: the layout control moved (to a factory layout: the
                                 // file leaves the state)
    float values[kLayoutDecoderParameters];
    std::uint32_t pathBytes; // kLoad: the path, without terminator
    char path[kLdLv2MaxPathBytes];
};
constexpr std::uint32_t kPlan = 1, kLoad = 2;

struct WorkAnswer {
    std::uint32_t asWritten;
    std::uint32_t loaded; // a file was taken: the path below is now the one shown
    std::uint32_t pathBytes;
    char path[kLdLv2MaxPathBytes];
    std::uint32_t refused; // nothing changed; view.message says why
    LayoutView view;
};

struct Uris {
    LV2_URID atomPath, atomString, atomObject, atomSequence, atomUrid, atomEventTransfer;
    LV2_URID patchSet, patchGet, patchProperty, patchValue, layoutFile, stateText, stateName;
    LV2_URID atomChunk, layoutView;
};

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class LayoutDecoderLv2 {
public:
    LayoutDecoderLv2(double rate, int block, LV2_URID_Map* map, LV2_Worker_Schedule* schedule,
                     const LV2_Feature* const* /*features*/)
        : engine_(32, block), schedule_(schedule), rate_(static_cast<float>(rate)) {
        engine_.setFS(static_cast<float>(rate));
        if (map) mapUris(map);
        const std::vector<float> defaults = ldDefaultValues();
        std::copy(defaults.begin(), defaults.end(), values_);
        std::copy(defaults.begin(), defaults.end(), planValues_);
        rebuild(values_, nullptr, false); // the first factory layout, from the first block
    }

    // Without urid:map the atom ports and the state stay unused: the controls alone.
    void mapUris(LV2_URID_Map* map) {
        mapped_ = true;
        uris_.atomPath = map->map(map->handle, LV2_ATOM__Path);
        uris_.atomString = map->map(map->handle, LV2_ATOM__String);
        uris_.atomObject = map->map(map->handle, LV2_ATOM__Object);
        uris_.atomSequence = map->map(map->handle, LV2_ATOM__Sequence);
        uris_.atomUrid = map->map(map->handle, LV2_ATOM__URID);
        uris_.atomEventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
        uris_.patchSet = map->map(map->handle, LV2_PATCH__Set);
        uris_.patchGet = map->map(map->handle, LV2_PATCH__Get);
        uris_.patchProperty = map->map(map->handle, LV2_PATCH__property);
        uris_.patchValue = map->map(map->handle, LV2_PATCH__value);
        uris_.layoutFile = map->map(map->handle, kLdLv2LayoutFileUri);
        uris_.stateText = map->map(map->handle, kLdLv2StateTextUri);
        uris_.stateName = map->map(map->handle, kLdLv2StateNameUri);
        uris_.atomChunk = map->map(map->handle, LV2_ATOM__Chunk);
        uris_.layoutView = map->map(map->handle, kLdLv2LayoutViewUri);
        lv2_atom_forge_init(&forge_, map);
    }

    void connect(std::uint32_t port, void* data) {
        if (port < kLdLv2FirstOutput)
            in_[port - kLdLv2FirstInput] = static_cast<const float*>(data);
        else if (port < kLdLv2FirstControl)
            out_[port - kLdLv2FirstOutput] = static_cast<float*>(data);
        else if (port < kLdLv2ControlIn)
            control_[port - kLdLv2FirstControl] = static_cast<const float*>(data);
        else if (port == kLdLv2ControlIn)
            atomIn_ = static_cast<const LV2_Atom_Sequence*>(data);
        else if (port == kLdLv2NotifyOut)
            atomOut_ = static_cast<LV2_Atom_Sequence*>(data);
    }

    // The controls a host set before starting choose the layout of the first block.
    void activate() {
        activated_ = false; // no block runs until this returns
        bool planChanged = false, layoutChanged = false;
        for (int k = 0; k < kLayoutDecoderParameters; ++k) {
            if (!control_[k] || !std::isfinite(*control_[k])) continue;
            const float n = ldNormalised(k, *control_[k]);
            planChanged = planChanged || n != planValues_[k];
            layoutChanged = layoutChanged || (k == kLdLayout && n != planValues_[k]);
            values_[k] = planValues_[k] = n;
        }
        if (planChanged) {
            float values[kLayoutDecoderParameters] = {};
            std::copy(values_, values_ + kLayoutDecoderParameters, values);
            keepFileLayout(values, layoutChanged);
            rebuild(values, nullptr, false);
        }
        applyEngineValues();
        activated_ = true;
        engine_.resume();
    }
    void deactivate() { activated_ = false; }

    void run(std::uint32_t frames) {
        readControls();
        readAtoms();
        float* ins[4];
        float* outs[32];
        for (int c = 0; c < 4; ++c) ins[c] = const_cast<float*>(in_[c]);
        for (int o = 0; o < 32; ++o) outs[o] = out_[o];
        for (float* p : ins)
            if (!p) return;
        for (float* p : outs)
            if (!p) return;
        if (frames > 0) engine_.processReplacing(ins, outs, static_cast<int>(frames));
    }

    // ---- worker ----

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data) {
        if (size != sizeof(WorkRequest)) return LV2_WORKER_ERR_UNKNOWN;
        WorkRequest request;
        std::memcpy(&request, data, sizeof request);
        WorkAnswer answer{};
        if (request.kind == kLoad) {
            const std::string path(request.path, std::min(request.pathBytes, kLdLv2MaxPathBytes));
            try {
                const std::string text = readLayoutFileText(path);
                const std::string name = baseName(path);
                float values[kLayoutDecoderParameters] = {};
                std::copy(request.values, request.values + kLayoutDecoderParameters, values);
                values[kLdLayout] = normalisedOfLayoutChoice(stateLayoutChoice());
                const LdResolved r = ldResolve(stateLayoutChoice(), name, text);
                {
                    std::lock_guard<std::mutex> lock(state_);
                    fileName_ = name;
                    fileText_ = text;
                    filePath_ = path;
                }
                const DecoderPlan plan = ldApplySettings(r.rig, valuesVector(values));
                engine_.submitPlan(plan);
                answer.asWritten = r.rig.asWritten;
                answer.loaded = 1;
                answer.pathBytes = static_cast<std::uint32_t>(path.size());
                std::memcpy(answer.path, path.data(), path.size());
                answer.view = viewOf(r, plan);
            } catch (const std::exception& e) {
                answer.refused = 1; // the layout in use stays; the UI is told why
                setViewText(answer.view.message, LayoutView::kMessageBytes, e.what());
            }
        } else if (request.kind == kPlan) {
            if (request.layoutChanged &&
                layoutChoiceOf(request.values[kLdLayout]) < factoryLayoutCount()) {
                std::lock_guard<std::mutex> lock(state_);
                fileText_.clear();
                fileName_.clear();
                filePath_.clear();
            }
            bool asWritten = false;
            float values[kLayoutDecoderParameters] = {};
            std::copy(request.values, request.values + kLayoutDecoderParameters, values);
            keepFileLayout(values, request.layoutChanged != 0);
            std::string error;
            if (rebuild(values, &asWritten, true, &answer.view, &error)) {
                answer.asWritten = asWritten;
            } else {
                answer.refused = 1;
                setViewText(answer.view.message, LayoutView::kMessageBytes, error);
            }
        } else {
            return LV2_WORKER_ERR_UNKNOWN;
        }
        respond(handle, sizeof answer, &answer);
        return LV2_WORKER_SUCCESS;
    }

    LV2_Worker_Status workResponse(std::uint32_t size, const void* data) {
        if (size != sizeof(WorkAnswer)) return LV2_WORKER_ERR_UNKNOWN;
        const WorkAnswer* answer = static_cast<const WorkAnswer*>(data);
        if (answer->refused) {
            std::memcpy(view_.message, answer->view.message, sizeof view_.message);
            view_.generation = ++viewGeneration_;
            viewPending_ = true;
            return LV2_WORKER_SUCCESS;
        }
        view_ = answer->view;
        view_.generation = ++viewGeneration_;
        viewPending_ = true;
        asWritten_ = answer->asWritten != 0;
        applyEngineValues();
        if (answer->loaded) {
            shownPathBytes_ = std::min(answer->pathBytes, kLdLv2MaxPathBytes);
            std::memcpy(shownPath_, answer->path, shownPathBytes_);
        }
        return LV2_WORKER_SUCCESS;
    }

    // ---- state ----

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const*) {
        std::lock_guard<std::mutex> lock(state_);
        if (!mapped_ || fileText_.empty()) return LV2_STATE_SUCCESS; // the controls say it all
        const std::uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        store(handle, uris_.stateText, fileText_.c_str(), fileText_.size() + 1, uris_.atomString,
              flags);
        store(handle, uris_.stateName, fileName_.c_str(), fileName_.size() + 1, uris_.atomString,
              flags);
        return LV2_STATE_SUCCESS;
    }

    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const*) {
        if (!mapped_) return LV2_STATE_ERR_NO_FEATURE;
        std::size_t textSize = 0, nameSize = 0;
        std::uint32_t textType = 0, nameType = 0, flags = 0;
        const void* text = retrieve(handle, uris_.stateText, &textSize, &textType, &flags);
        const void* name = retrieve(handle, uris_.stateName, &nameSize, &nameType, &flags);
        std::string newText, newName;
        if (text) { // missing: no file in state, the controls choose a factory layout
            if (textType != uris_.atomString || !name || nameType != uris_.atomString)
                return LV2_STATE_ERR_BAD_TYPE;
            if (textSize < 2 || !terminatedString(text, textSize, kMaxLayoutFileBytes + 1) ||
                !terminatedString(name, nameSize, kLdLv2MaxPathBytes))
                return LV2_STATE_ERR_UNKNOWN;
            newText.assign(static_cast<const char*>(text), textSize - 1);
            newName.assign(static_cast<const char*>(name), nameSize - 1);
        }
        // The controls as the host last ran them; the layout in state when there is one.
        float values[kLayoutDecoderParameters] = {};
        std::copy(planValues_, planValues_ + kLayoutDecoderParameters, values);
        if (!newText.empty()) values[kLdLayout] = normalisedOfLayoutChoice(stateLayoutChoice());
        try {
            const LdResolved r = ldResolve(layoutChoiceOf(values[kLdLayout]), newName, newText);
            {
                std::lock_guard<std::mutex> lock(state_);
                fileText_ = newText;
                fileName_ = newName;
                filePath_.clear();
            }
            install(r, values);
        } catch (const std::exception&) {
            return LV2_STATE_ERR_UNKNOWN; // the layout in use stays
        }
        return LV2_STATE_SUCCESS;
    }

private:
    static bool terminatedString(const void* data, std::size_t size, std::size_t limit) {
        return size >= 1 && size <= limit && static_cast<const char*>(data)[size - 1] == '\0' &&
               std::memchr(data, '\0', size - 1) == nullptr;
    }

    // A file loaded or restored stays the layout in state until the layout control moves.
    void keepFileLayout(float* values, bool layoutChanged) {
        std::lock_guard<std::mutex> lock(state_);
        if (!layoutChanged && !fileText_.empty())
            values[kLdLayout] = normalisedOfLayoutChoice(stateLayoutChoice());
    }

    static std::vector<float> valuesVector(const float* v) {
        return std::vector<float>(v, v + kLayoutDecoderParameters);
    }

    // The view of a layout decoded by plan, with the line the user is told about it.
    LayoutView viewOf(const LdResolved& r, const DecoderPlan& plan) const {
        return makeLayoutView(r.layout, r.rig.asWritten, plan, rate_,
                              !r.rig.notice.empty() ? r.rig.notice : r.rig.uncovered);
    }

    // The layout and plan the values ask for; false when they cannot be used (error says
    // why). Off the audio thread.
    bool rebuild(const float* values, bool* asWritten, bool running, LayoutView* view = nullptr,
                 std::string* error = nullptr) {
        std::string name, text;
        {
            std::lock_guard<std::mutex> lock(state_);
            name = fileName_;
            text = fileText_;
        }
        try {
            const LdResolved r = ldResolve(layoutChoiceOf(values[kLdLayout]), name, text);
            if (running) {
                const DecoderPlan plan = ldApplySettings(r.rig, valuesVector(values));
                engine_.submitPlan(plan);
                if (asWritten) *asWritten = r.rig.asWritten;
                if (view) *view = viewOf(r, plan);
            } else {
                install(r, values);
            }
            return true;
        } catch (const std::exception& e) {
            if (error) *error = e.what();
            return false;
        }
    }

    // Outside run: the plan in force at once when no block runs, else crossfaded in.
    void install(const LdResolved& r, const float* values) {
        const DecoderPlan plan = ldApplySettings(r.rig, valuesVector(values));
        asWritten_ = r.rig.asWritten;
        // No block runs meanwhile: the view is the audio thread's to send at its next block.
        view_ = viewOf(r, plan);
        view_.generation = ++viewGeneration_;
        viewPending_ = true;
        applyEngineValues();
        if (activated_)
            engine_.submitPlan(plan);
        else
            engine_.setPlan(plan);
    }

    void applyEngineValues() {
        const LdEngineValues e = ldEngineValues(values_, asWritten_);
        engine_.setLPGain(e.lpGain);
        engine_.setHPGain(e.hpGain);
        engine_.setFCut(e.fCut);
        engine_.setDistComp(e.distComp);
        engine_.setNFC(e.nfc);
        engine_.setSEQ(e.seq);
    }

    // Audio thread: the control ports in physical units; a changed plan control schedules a
    // design.
    void readControls() {
        bool planChanged = false, seedChanged = false, layoutChanged = false;
        for (int k = 0; k < kLayoutDecoderParameters; ++k) {
            if (!control_[k]) continue;
            const float physical = *control_[k];
            if (!std::isfinite(physical)) continue;
            const float n = ldNormalised(k, physical);
            if (n == values_[k]) continue;
            values_[k] = n;
            const bool plan =
                k == kLdLayout || k == kLdCompensation || k == kLdSubwoofer || k == kLdSubCrossover;
            (plan ? planChanged : seedChanged) = true;
            layoutChanged = layoutChanged || k == kLdLayout;
        }
        if (seedChanged) applyEngineValues();
        if (planChanged) {
            std::copy(values_, values_ + kLayoutDecoderParameters, planValues_);
            WorkRequest& request = request_;
            request.kind = kPlan;
            request.layoutChanged = layoutChanged;
            std::copy(values_, values_ + kLayoutDecoderParameters, request.values);
            request.pathBytes = 0;
            if (schedule_) schedule_->schedule_work(schedule_->handle, sizeof request, &request);
        }
    }

    // Audio thread: patch:Set of the layout file (an atom:Path) and patch:Get.
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
        if (viewPending_ && atomOut_ && sendView()) viewPending_ = false;
        if (atomOut_) lv2_atom_forge_pop(&forge_, &outFrame_);
    }

    void handleObject(const LV2_Atom_Object* object) {
        if (!kiv::lv2::propertiesInside(object)) return; // malformed: refused whole
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
        const bool aboutFile =
            property && property->type == uris_.atomUrid && property->size == sizeof(LV2_URID) &&
            reinterpret_cast<const LV2_Atom_URID*>(property)->body == uris_.layoutFile;
        if (object->body.otype == uris_.patchGet) {
            if (!property || aboutFile) answerGet();
            const bool aboutView =
                property && property->type == uris_.atomUrid &&
                property->size == sizeof(LV2_URID) &&
                reinterpret_cast<const LV2_Atom_URID*>(property)->body == uris_.layoutView;
            if (!property || aboutView) viewPending_ = true; // sent at the end of the block
            return;
        }
        if (object->body.otype != uris_.patchSet || !aboutFile || !value) return;
        if (value->type != uris_.atomPath || value->size < 2 || value->size > kLdLv2MaxPathBytes)
            return;
        const char* path = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        if (path[value->size - 1] != '\0' || std::memchr(path, '\0', value->size - 1)) return;
        request_.kind = kLoad;
        std::copy(values_, values_ + kLayoutDecoderParameters, request_.values);
        request_.pathBytes = value->size - 1;
        std::memcpy(request_.path, path, value->size - 1);
        if (schedule_) schedule_->schedule_work(schedule_->handle, sizeof request_, &request_);
    }

    // A patch:Set of layoutView with the view; false when the notify buffer is full.
    bool sendView() {
        LV2_Atom_Forge_Frame frame;
        if (!lv2_atom_forge_frame_time(&forge_, 0)) return false;
        if (!lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet)) return false;
        lv2_atom_forge_key(&forge_, uris_.patchProperty);
        lv2_atom_forge_urid(&forge_, uris_.layoutView);
        lv2_atom_forge_key(&forge_, uris_.patchValue);
        const bool written = lv2_atom_forge_atom(&forge_, sizeof view_, uris_.atomChunk) &&
                             lv2_atom_forge_write(&forge_, &view_, sizeof view_);
        lv2_atom_forge_pop(&forge_, &frame);
        return written;
    }

    void answerGet() {
        if (!atomOut_) return;
        LV2_Atom_Forge_Frame frame;
        if (!lv2_atom_forge_frame_time(&forge_, 0)) return;
        lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet);
        lv2_atom_forge_key(&forge_, uris_.patchProperty);
        lv2_atom_forge_urid(&forge_, uris_.layoutFile);
        lv2_atom_forge_key(&forge_, uris_.patchValue);
        lv2_atom_forge_atom(&forge_, shownPathBytes_ + 1, uris_.atomPath);
        lv2_atom_forge_write(&forge_, shownPath_, shownPathBytes_);
        lv2_atom_forge_write(&forge_, "", 1);
        lv2_atom_forge_pop(&forge_, &frame);
    }

    LayoutDecoderEngine engine_;
    LV2_Worker_Schedule* schedule_;
    Uris uris_{};
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame outFrame_{};
    bool activated_ = false;
    bool mapped_ = false;

    const float* in_[4] = {};
    float* out_[32] = {};
    const float* control_[kLayoutDecoderParameters] = {};
    const LV2_Atom_Sequence* atomIn_ = nullptr;
    LV2_Atom_Sequence* atomOut_ = nullptr;

    // Audio thread's own.
    float values_[kLayoutDecoderParameters] = {};     // normalised, as last read
    float planValues_[kLayoutDecoderParameters] = {}; // as last sent for a plan
    bool asWritten_ = false;
    WorkRequest request_{};
    std::uint32_t shownPathBytes_ = 0;
    char shownPath_[kLdLv2MaxPathBytes] = {};
    float rate_;
    LayoutView view_{};
    std::uint32_t viewGeneration_ = 0;
    bool viewPending_ = false; // the UI has not been sent view_ yet

    std::mutex state_; // the layout in state: worker, save, restore (never run)
    std::string fileName_, fileText_, filePath_;
};

const LV2_Descriptor kDescriptor =
    kiv::lv2::WorkerPluginEntry<LayoutDecoderLv2>::descriptor(kLayoutDecoderUri.text);

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
