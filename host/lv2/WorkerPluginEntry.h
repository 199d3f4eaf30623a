// SPDX-License-Identifier: GPL-3.0-or-later
// The C entry points of an LV2 plug-in that loads files in the host's worker and keeps them
// in its state. Plugin has a constructor (rate, max block, urid:map, worker schedule, the
// host's features) that may throw, and connect, activate, run, deactivate, work, workResponse, save
// and restore as the LV2 calls of the same names take them, less the handle.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>

#include "host/lv2/BlockLength.h"

namespace kiv::lv2 {

template <class Plugin> struct WorkerPluginEntry {
    static Plugin* self(LV2_Handle h) { return static_cast<Plugin*>(h); }

    static LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                                  const LV2_Feature* const* features) {
        if (!(rate > 0.0) || !std::isfinite(rate)) return nullptr;
        LV2_URID_Map* map = nullptr;
        LV2_Worker_Schedule* schedule = nullptr;
        for (int i = 0; features && features[i]; ++i) {
            if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
                map = static_cast<LV2_URID_Map*>(features[i]->data);
            else if (std::strcmp(features[i]->URI, LV2_WORKER__schedule) == 0)
                schedule = static_cast<LV2_Worker_Schedule*>(features[i]->data);
        }
        try {
            return new Plugin(rate, blockLengthFromFeatures(features), map, schedule, features);
        } catch (const std::exception&) {
            return nullptr;
        }
    }

    static LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function respond,
                                  LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                  const void* data) {
        return self(h)->work(respond, handle, size, data);
    }
    static LV2_Worker_Status workResponse(LV2_Handle h, std::uint32_t size, const void* data) {
        return self(h)->workResponse(size, data);
    }
    static LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store,
                                 LV2_State_Handle handle, std::uint32_t,
                                 const LV2_Feature* const* features) {
        return self(h)->save(store, handle, features);
    }
    static LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve,
                                    LV2_State_Handle handle, std::uint32_t,
                                    const LV2_Feature* const* features) {
        return self(h)->restore(retrieve, handle, features);
    }

    static const void* extensionData(const char* uri) {
        static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
        static const LV2_State_Interface state = {save, restore};
        if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &worker;
        if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
        return nullptr;
    }

    static constexpr LV2_Descriptor descriptor(const char* uri) {
        return {uri,
                instantiate,
                [](LV2_Handle h, std::uint32_t port, void* data) { self(h)->connect(port, data); },
                [](LV2_Handle h) { self(h)->activate(); },
                [](LV2_Handle h, std::uint32_t n) { self(h)->run(n); },
                [](LV2_Handle h) { self(h)->deactivate(); },
                [](LV2_Handle h) { delete self(h); },
                extensionData};
    }
};

} // namespace kiv::lv2
