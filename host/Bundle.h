// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's own bundle: the directory three levels above the .so that holds the
// running code (<bundle>/Contents/x86_64-linux/<name>.so). The toolkit finds the
// editor's pictures under <bundle>/Contents/Resources.
//
// gBundleRef is process-wide. Each editor takes one reference when it is built
// (InitMachOLibrary) and gives one back when it is destroyed (ExitMachOLibrary).
// Creating a bundle for the same directory hands out the same object with one more
// reference. User-interface thread only.
#pragma once

#include <string>

namespace VSTGUI {

struct BundleObject; // the bundle directory with its reference count
using CFBundleRef = BundleObject*;

extern CFBundleRef gBundleRef;
CFBundleRef getBundleRef();

// The same object for the same directory, with one more reference.
CFBundleRef CFBundleCreate(const std::string& directory);
void CFBundleRetain(CFBundleRef bundle);
void CFBundleRelease(CFBundleRef bundle);
// The bundle directory without a trailing '/'; empty for a null bundle.
std::string bundleDirectory(CFBundleRef bundle);
int bundleReferenceCount(CFBundleRef bundle);

} // namespace VSTGUI

// Locates the bundle of the running code and takes a reference to it in gBundleRef.
void InitMachOLibrary();
// The part of InitMachOLibrary after the lookup: the bundle of the .so at libraryPath, or
// the message "Could not determine bundle location." when the path has too few components.
void InitBundleFromLibraryPath(const std::string& libraryPath);
// Gives back the reference gBundleRef holds, if any.
void ExitMachOLibrary();

// The directory that InitMachOLibrary derives from a path of the .so: the path with its
// last three components removed. False when a component cannot be removed.
bool bundleDirectoryOf(const std::string& libraryPath, std::string& directory);
