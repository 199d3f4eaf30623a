// SPDX-License-Identifier: GPL-3.0-or-later
// The validation suite's LV2 driver: a DSP binary of build/lv2 loaded with dlopen and driven
// only through its lv2_descriptor, as a minimal host does.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <ostream>

#include <string>
#include <vector>

namespace kiv::validation {

struct Lv2BundleUnderTest {
    const char* name = "";
    std::string so; // <Name>.lv2/<Name>.so
    std::string uri;
    int inputs = 0;
    int outputs = 0;
    int controls = 0; // ports after the audio ones: seven for a decoder, one for the converter
    int presets = 0;
    bool decoder = false;
    int controlOutputs = 0; // output controls after those: the decoders' decoder in use
};

inline std::ostream& operator<<(std::ostream& os, const Lv2BundleUnderTest& bundle) {
    return os << bundle.name;
}

// The two decoders.
std::vector<Lv2BundleUnderTest> lv2BundlesUnderTest();
// The decoders and the B-format converter.
std::vector<Lv2BundleUnderTest> allLv2BundlesUnderTest();

// The descriptor of a loaded DSP binary; the library stays loaded for the process.
const LV2_Descriptor* lv2Descriptor(const Lv2BundleUnderTest& bundle, std::string& error);

// The physical port value that stands for a normalised value of control k, as presets.ttl
// writes it (one that maps back to the normalised value exactly where a float does).
float lv2ControlValue(const Lv2BundleUnderTest& bundle, int k, float normalised);
// Control k's value in preset p, physical.
float lv2PresetValue(const Lv2BundleUnderTest& bundle, int p, int k);

// Instance features of a host that announces its longest block: urid:map and options with
// bufsz:maxBlockLength, and `extra` when given (a worker's schedule). The map's table is the
// process's, a fixed array (mapping allocates nothing); one thread at a time.
class Lv2HostFeatures {
public:
    explicit Lv2HostFeatures(int maxBlockLength, const LV2_Feature* extra = nullptr);
    Lv2HostFeatures(const Lv2HostFeatures&) = delete;
    Lv2HostFeatures& operator=(const Lv2HostFeatures&) = delete;
    const LV2_Feature* const* features() const { return list_; }

private:
    static LV2_URID map(LV2_URID_Map_Handle, const char* uri);

    std::int32_t maxBlockLength_;
    LV2_URID_Map map_{nullptr, &Lv2HostFeatures::map};
    LV2_Options_Option options_[2] = {};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
    const LV2_Feature* list_[4] = {&mapFeature_, &optionsFeature_, nullptr, nullptr};
};

} // namespace kiv::validation
