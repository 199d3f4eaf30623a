// SPDX-License-Identifier: GPL-3.0-or-later
// The two bundles under validation, where the build put them, and the helpers every check
// uses to reach them through our test host only (entry point, record, dispatcher).
//
// Threads: libraryOf and newInstance from one thread at a time.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace kiv::validation {

struct BundleUnderTest {
    std::string name; // RegularDecoder, IrregularDecoder, BFormatConverter, LayoutDecoder
    std::string path; // the .vst directory
    int inputs;
    int outputs;
    int programs;
    // False for the B-format converter (no decoding engine: nothing allocated at a new block
    // size; one parameter, a program per direction that follows the parameter) and for
    // LayoutDecoder (ten parameters, a program per factory layout): their program names say
    // what the programs are and do not change.
    bool decoder;
};

inline std::ostream& operator<<(std::ostream& os, const BundleUnderTest& bundle) {
    return os << bundle.name;
}

// The two decoders: every check runs on them.
const std::vector<BundleUnderTest>& bundlesUnderTest();
// The decoders and the B-format converter, for the checks that ask nothing of a decoder in
// particular (lifecycle, rates and blocks, signals, real-time safety, the dispatcher sweep).
const std::vector<BundleUnderTest>& allBundlesUnderTest();

// The bundle's library, opened on first use and kept until the process ends (as a host
// keeps a library while it has instances).
const vsthost::PluginLibrary& libraryOf(const BundleUnderTest& bundle);

// A new instance; throws std::runtime_error when the bundle refuses to create one.
std::unique_ptr<vsthost::PluginInstance> newInstance(const BundleUnderTest& bundle);

// A new instance, opened and switched on at the rate and block size given.
std::unique_ptr<vsthost::PluginInstance> startedInstance(const BundleUnderTest& bundle,
                                                         float sampleRate, int blockSize);

// For parameterised test names.
struct BundleName {
    template <typename Info> std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

} // namespace kiv::validation
