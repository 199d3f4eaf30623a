// SPDX-License-Identifier: GPL-3.0-or-later
// The `.ambdec` decoder preset, versions 1 to 3: speakers and matrices as the file gives
// them. Any thread but the audio thread; throws RigError naming `where` and the line.
#pragma once

#include <string>

#include "rig/Layout.h"

// Parses a whole preset. The layout is not yet validated (parseLayout in LayoutFile.h does
// that); its speakers feed outputs 1 to N in file order.
Layout parseAmbdec(const std::string& text, const std::string& where);
