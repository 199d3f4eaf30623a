// The validation suite's LV2 driver: a DSP binary of build/lv2 loaded with dlopen and driven
// only through its lv2_descriptor, as a minimal host does (no features given).
#pragma once

#include <lv2/core/lv2.h>

#include <memory>
#include <string>
#include <vector>

namespace kiv::validation {

struct Lv2BundleUnderTest {
    const char* name;
    std::string so; // <Name>.lv2/<Name>.so
    std::string uri;
    int inputs;
    int outputs;
};

std::vector<Lv2BundleUnderTest> lv2BundlesUnderTest();

// The descriptor of a loaded DSP binary; the library stays loaded for the process.
const LV2_Descriptor* lv2Descriptor(const Lv2BundleUnderTest& bundle, std::string& error);

} // namespace kiv::validation
