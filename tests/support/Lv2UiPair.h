// SPDX-License-Identifier: GPL-3.0-or-later
// An LV2 plug-in and its UI wired as a host wires them, for the editor tests: the DSP binary
// instantiated with urid:map and a worker run in place after each block, its UI opened inside
// a window of the test's (ui:parent). What the UI writes reaches the plug-in before the next
// block (control ports, atoms on the control port); what the plug-in notifies reaches the UI
// (and onNotify) after it. Restores a state of atom:String values first when one is given.
// One thread.
#pragma once

#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// The ports of a product with patch messages: audio, controls (physical values), an optional
// control output, the atom ports.
struct Lv2UiPorts {
    std::uint32_t firstInput, inputs, firstOutput, outputs;
    std::uint32_t firstControl;
    std::vector<float> defaults; // one per control port, physical
    std::uint32_t controlIn, notifyOut;
    int controlOut; // -1: none
};

inline LV2_URID lv2TestUrid(LV2_URID_Map_Handle, const char* uri) {
    static std::vector<std::string> table;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == uri) return static_cast<LV2_URID>(i + 1);
    table.push_back(uri);
    return static_cast<LV2_URID>(table.size());
}
inline LV2_URID lv2TestUrid(const char* uri) {
    return lv2TestUrid(nullptr, uri);
}

class Lv2UiPair {
public:
    static constexpr int kFrames = 512;

    Lv2UiPair(const std::string& bundleDir, const std::string& name, const char* pluginUri,
              float rate, const Lv2UiPorts& ports, unsigned long parent,
              const std::map<std::string, std::string>& state = {})
        : ports(ports), controls(ports.defaults) {
        dspLibrary = dlopen((bundleDir + "/" + name + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
        uiLibrary = dlopen((bundleDir + "/" + name + "_ui.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dspLibrary || !uiLibrary) return;
        dsp = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
            dlsym(dspLibrary, "lv2_descriptor"))(0);
        ui = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(uiLibrary, "lv2ui_descriptor"))(0);
        schedule.handle = this;
        schedule.schedule_work = [](LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
            auto* bytes = static_cast<const char*>(data);
            static_cast<Lv2UiPair*>(h)->requests.emplace_back(bytes, bytes + size);
            return LV2_WORKER_SUCCESS;
        };
        plugin = dsp->instantiate(dsp, rate, bundleDir.c_str(), dspFeatures);
        if (!plugin) return;
        worker =
            static_cast<const LV2_Worker_Interface*>(dsp->extension_data(LV2_WORKER__interface));
        for (uint32_t c = 0; c < ports.inputs; ++c)
            dsp->connect_port(plugin, ports.firstInput + c, audio[0]);
        for (uint32_t o = 0; o < ports.outputs; ++o)
            dsp->connect_port(plugin, ports.firstOutput + o, audio[1]);
        for (std::size_t k = 0; k < controls.size(); ++k)
            dsp->connect_port(plugin, ports.firstControl + uint32_t(k), &controls[k]);
        if (ports.controlOut >= 0)
            dsp->connect_port(plugin, uint32_t(ports.controlOut), &controlOut);
        dsp->connect_port(plugin, ports.controlIn, atomIn);
        dsp->connect_port(plugin, ports.notifyOut, atomOut);
        if (!state.empty()) {
            auto* restore =
                static_cast<const LV2_State_Interface*>(dsp->extension_data(LV2_STATE__interface));
            restored = restore->restore(plugin, &Lv2UiPair::retrieve,
                                        const_cast<std::map<std::string, std::string>*>(&state), 0,
                                        nullptr) == LV2_STATE_SUCCESS;
        }
        dsp->activate(plugin);
        parentFeature.data = reinterpret_cast<void*>(parent);
        LV2UI_Widget widget = nullptr;
        view = ui->instantiate(ui, pluginUri, bundleDir.c_str(), &Lv2UiPair::uiWrite, this, &widget,
                               uiFeatures);
        idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    }
    ~Lv2UiPair() {
        if (view) ui->cleanup(view);
        if (plugin) {
            dsp->deactivate(plugin);
            dsp->cleanup(plugin);
        }
        if (uiLibrary) dlclose(uiLibrary);
        if (dspLibrary) dlclose(dspLibrary);
    }
    Lv2UiPair(const Lv2UiPair&) = delete;
    Lv2UiPair& operator=(const Lv2UiPair&) = delete;

    bool ok() const { return plugin && view && idle; }
    bool stateRestored() const { return restored; }
    float control(int k) const { return controls[std::size_t(k)]; }

    // A control set by the host: the plug-in reads it at its next block, the UI hears of it.
    void setControl(int k, float physical) {
        controls[std::size_t(k)] = physical;
        ui->port_event(view, ports.firstControl + uint32_t(k), sizeof physical, 0, &physical);
    }
    // Blocks, the worker and the UI's idle, a few rounds, as a host would run them.
    void cycle() {
        for (int round = 0; round < 4; ++round) {
            block();
            auto pending = std::move(requests);
            requests.clear();
            for (auto& r : pending)
                worker->work(
                    plugin,
                    [](LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
                        auto* bytes = static_cast<const char*>(data);
                        static_cast<Lv2UiPair*>(h)->answers.emplace_back(bytes, bytes + size);
                        return LV2_WORKER_SUCCESS;
                    },
                    this, static_cast<uint32_t>(r.size()), r.data());
            idle->idle(view);
        }
    }

    // Each atom the plug-in sends on its notify port, before the UI has it.
    std::function<void(const LV2_Atom&)> onNotify;

private:
    void block() {
        auto* in = reinterpret_cast<LV2_Atom_Sequence*>(atomIn);
        in->atom.type = lv2TestUrid(LV2_ATOM__Sequence);
        in->atom.size = sizeof(LV2_Atom_Sequence_Body);
        in->body.unit = in->body.pad = 0;
        for (const std::vector<char>& atom : toPlugin) {
            auto* ev = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<char*>(&in->body) +
                                                         in->atom.size);
            ev->time.frames = 0;
            std::memcpy(&ev->body, atom.data(), atom.size());
            in->atom.size += sizeof(LV2_Atom_Event) - sizeof(LV2_Atom) +
                             lv2_atom_pad_size(static_cast<uint32_t>(atom.size()));
        }
        toPlugin.clear();
        auto* out = reinterpret_cast<LV2_Atom_Sequence*>(atomOut);
        out->atom.type = 0;
        out->atom.size = sizeof atomOut - sizeof(LV2_Atom);
        dsp->run(plugin, kFrames);
        for (auto& a : answers) worker->work_response(plugin, uint32_t(a.size()), a.data());
        answers.clear();
        LV2_ATOM_SEQUENCE_FOREACH(out, ev) {
            if (onNotify) onNotify(ev->body);
            ui->port_event(view, ports.notifyOut, sizeof(LV2_Atom) + ev->body.size,
                           lv2TestUrid(LV2_ATOM__eventTransfer), &ev->body);
        }
    }
    static void uiWrite(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format,
                        const void* buffer) {
        auto* self = static_cast<Lv2UiPair*>(c);
        const uint32_t first = self->ports.firstControl;
        if (format == lv2TestUrid(LV2_ATOM__eventTransfer) && port == self->ports.controlIn) {
            auto* bytes = static_cast<const char*>(buffer);
            self->toPlugin.emplace_back(bytes, bytes + size);
        } else if (format == 0 && size == sizeof(float) && port >= first &&
                   port < first + self->controls.size()) {
            std::memcpy(&self->controls[port - first], buffer, sizeof(float));
        }
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        const auto& state = *static_cast<const std::map<std::string, std::string>*>(h);
        for (const auto& [uri, text] : state)
            if (lv2TestUrid(uri.c_str()) == key) {
                *size = text.size() + 1;
                *type = lv2TestUrid(LV2_ATOM__String);
                *flags = LV2_STATE_IS_POD;
                return text.c_str();
            }
        return nullptr;
    }

    const Lv2UiPorts ports;
    std::vector<float> controls;
    float controlOut = 0.0f;
    bool restored = false;
    void* dspLibrary = nullptr;
    void* uiLibrary = nullptr;
    const LV2_Descriptor* dsp = nullptr;
    const LV2UI_Descriptor* ui = nullptr;
    LV2_Handle plugin = nullptr;
    LV2UI_Handle view = nullptr;
    const LV2_Worker_Interface* worker = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2_URID_Map map{nullptr, &lv2TestUrid};
    LV2_Worker_Schedule schedule{};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    LV2_Feature parentFeature{LV2_UI__parent, nullptr};
    const LV2_Feature* dspFeatures[3] = {&mapFeature, &scheduleFeature, nullptr};
    const LV2_Feature* uiFeatures[3] = {&mapFeature, &parentFeature, nullptr};
    float audio[2][kFrames] = {};
    alignas(8) char atomIn[8192] = {};
    alignas(8) char atomOut[8192] = {};
    std::vector<std::vector<char>> requests, answers, toPlugin;
};

} // namespace
