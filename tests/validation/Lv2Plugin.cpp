#include "tests/validation/Lv2Plugin.h"

#include <dlfcn.h>

namespace kiv::validation {

std::vector<Lv2BundleUnderTest> lv2BundlesUnderTest() {
    return {
        {"RegularDecoder", KIV_REGULAR_LV2 "/RegularDecoder.so", "urn:kivtone:RegularDecoder", 4,
         8},
        {"IrregularDecoder", KIV_IRREGULAR_LV2 "/IrregularDecoder.so",
         "urn:kivtone:IrregularDecoder", 3, 5},
    };
}

const LV2_Descriptor* lv2Descriptor(const Lv2BundleUnderTest& bundle, std::string& error) {
    void* library = dlopen(bundle.so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = dlerror();
        return nullptr;
    }
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    auto entry = reinterpret_cast<Entry>(dlsym(library, "lv2_descriptor"));
    if (entry == nullptr) {
        error = bundle.so + " exports no lv2_descriptor";
        return nullptr;
    }
    const LV2_Descriptor* d = entry(0);
    if (d == nullptr || bundle.uri != d->URI)
        error = bundle.so + ": descriptor 0 is not " + bundle.uri;
    return error.empty() ? d : nullptr;
}

} // namespace kiv::validation
