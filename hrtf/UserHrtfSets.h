// SPDX-License-Identifier: GPL-3.0-or-later
// The user's own sets of head-related responses: the *.sofa files in
// $XDG_CONFIG_HOME/kivtone/hrtf/ (~/.config/kivtone/hrtf/ without it), sorted by name.
// Reads a directory: not on the audio thread.
#pragma once

#include <string>
#include <vector>

std::string userHrtfDirectory();
std::vector<std::string> userHrtfSetPaths(); // full paths; empty when there is no directory
