// SPDX-License-Identifier: GPL-3.0-or-later
// What the state and request fuzz targets hand a plug-in where it expects a file: paths to
// layouts and sets that are there and usable, a directory, a FIFO, devices, a SOFA set cut
// short, text that is not SOFA, a symlink loop, names of factory layouts and of the user's
// layouts and sets, and garbage; and layout texts, whole, cut short, altered or random.
//
// The files live in a scratch directory made once per process, which is also the user's
// configuration directory (XDG_CONFIG_HOME) so that user layouts and sets are looked up there
// and nowhere else; it goes at exit. Threads: the fuzz target's only.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace kiv::fuzz {

// Makes the scratch directory and its files and points XDG_CONFIG_HOME at it. Call once,
// from LLVMFuzzerInitialize, before any bundle is loaded.
void makeHostileFiles();

// A path or a name as a user would type it; no terminator added, but it may hold NUL bytes.
std::string anyPath(FuzzedDataProvider& in);

// A layout file's name, which tells the format by its extension (or tells nothing).
std::string anyFileName(FuzzedDataProvider& in);

// A layout text of any of the three formats, whole or damaged, or random bytes.
std::string anyLayoutText(FuzzedDataProvider& in);

} // namespace kiv::fuzz
