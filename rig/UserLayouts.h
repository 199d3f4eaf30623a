// SPDX-License-Identifier: GPL-3.0-or-later
// The user's own layouts: files in $XDG_CONFIG_HOME/kivtone/layouts/ (by default
// ~/.config/kivtone/layouts/), offered by file name without its extension, beside the
// factory layouts. Any thread but the audio thread.
#pragma once

#include <string>
#include <vector>

#include "rig/Layout.h"

struct UserLayoutFile {
    std::string name; // file name without extension
    std::string path;
};

// The directory, or "" when neither XDG_CONFIG_HOME nor HOME gives one.
std::string userLayoutDirectory();

// The regular files in the directory (none when it is missing), sorted by name; hidden files
// and backups (ending in ~) are left out. A name found twice keeps its first file.
std::vector<UserLayoutFile> listUserLayouts();

// A layout by what a user typed: a path (holding a '/' or naming an existing file), else a
// factory layout's name, else a user layout's name. Throws RigError saying what was looked
// for and where.
Layout findLayout(const std::string& nameOrPath);
