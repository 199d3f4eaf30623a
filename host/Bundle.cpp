// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/Bundle.h"

#include <dlfcn.h>

#include <cstdio>

namespace VSTGUI {

struct BundleObject {
    std::string directory;
    int references = 1;
};

CFBundleRef gBundleRef = nullptr;

namespace {
// This .so only ever has one bundle: its own. The object lives while any editor holds it.
BundleObject* liveBundle = nullptr;
} // namespace

CFBundleRef getBundleRef() {
    return gBundleRef;
}

CFBundleRef CFBundleCreate(const std::string& directory) {
    if (liveBundle && liveBundle->directory == directory) {
        ++liveBundle->references;
        return liveBundle;
    }
    auto* bundle = new BundleObject{directory};
    if (!liveBundle) liveBundle = bundle;
    return bundle;
}

void CFBundleRetain(CFBundleRef bundle) {
    if (bundle) ++bundle->references;
}

void CFBundleRelease(CFBundleRef bundle) {
    if (!bundle || --bundle->references > 0) return;
    if (liveBundle == bundle) liveBundle = nullptr;
    // The last reference is gone: gBundleRef must not go on pointing at freed memory
    // (a later editor whose lookup fails would otherwise load pictures through it).
    if (gBundleRef == bundle) gBundleRef = nullptr;
    delete bundle;
}

std::string bundleDirectory(CFBundleRef bundle) {
    return bundle ? bundle->directory : std::string();
}

int bundleReferenceCount(CFBundleRef bundle) {
    return bundle ? bundle->references : 0;
}

} // namespace VSTGUI

bool bundleDirectoryOf(const std::string& libraryPath, std::string& directory) {
    std::string path = libraryPath;
    for (int level = 0; level < 3; ++level) {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos) return false;
        path.erase(slash);
    }
    directory = path;
    return true;
}

void InitMachOLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&InitMachOLibrary), &info) == 0 || !info.dli_fname ||
        !*info.dli_fname)
        return;
    InitBundleFromLibraryPath(info.dli_fname);
}

void InitBundleFromLibraryPath(const std::string& libraryPath) {
    std::string directory;
    if (!bundleDirectoryOf(libraryPath, directory)) {
        std::fputs("Could not determine bundle location.\n", stdout);
        return;
    }
    // Replaces the previous reference without releasing it: each editor gives its own
    // reference back when it is destroyed.
    VSTGUI::gBundleRef = VSTGUI::CFBundleCreate(directory);
}

void ExitMachOLibrary() {
    VSTGUI::CFBundleRelease(VSTGUI::gBundleRef);
}
