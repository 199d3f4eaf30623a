// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/Bundles.h"

#include <map>
#include <stdexcept>

namespace kiv::validation {

const std::vector<BundleUnderTest>& bundlesUnderTest() {
    static const std::vector<BundleUnderTest> bundles = {
        {"RegularDecoder", KIV_REGULAR_BUNDLE, 4, 8, 7, true},
        {"IrregularDecoder", KIV_IRREGULAR_BUNDLE, 3, 5, 7, true},
    };
    return bundles;
}

const std::vector<BundleUnderTest>& allBundlesUnderTest() {
    static const std::vector<BundleUnderTest> bundles = [] {
        std::vector<BundleUnderTest> all = bundlesUnderTest();
        all.push_back({"BFormatConverter", KIV_CONVERTER_BUNDLE, 4, 4, 2, false});
        all.push_back({"LayoutDecoder", KIV_LAYOUT_BUNDLE, 4, 32, 7, false});
        all.push_back({"HeadphoneMonitor", KIV_HEADPHONE_BUNDLE, 32, 2, 1, false});
        return all;
    }();
    return bundles;
}

const vsthost::PluginLibrary& libraryOf(const BundleUnderTest& bundle) {
    static std::map<std::string, std::unique_ptr<vsthost::PluginLibrary>> open;
    auto& library = open[bundle.path];
    if (!library) {
        std::string error;
        library = vsthost::PluginLibrary::open(bundle.path, error);
        if (!library) throw std::runtime_error(error);
    }
    return *library;
}

std::unique_ptr<vsthost::PluginInstance> newInstance(const BundleUnderTest& bundle) {
    std::string error;
    auto instance = vsthost::PluginInstance::create(libraryOf(bundle), error);
    if (!instance) throw std::runtime_error(error);
    return instance;
}

std::unique_ptr<vsthost::PluginInstance> startedInstance(const BundleUnderTest& bundle,
                                                         float sampleRate, int blockSize) {
    auto instance = newInstance(bundle);
    instance->start(sampleRate, blockSize);
    return instance;
}

} // namespace kiv::validation
