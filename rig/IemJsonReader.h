// SPDX-License-Identifier: GPL-3.0-or-later
// IEM's JSON layout and decoder files: `LoudspeakerLayout` (at the top or, in older files,
// under `Decoder`) with its `Loudspeakers`, and an optional `Decoder` matrix in ACN order with
// its `Routing`. Any thread but the audio thread; throws RigError naming `where` and the key.
#pragma once

#include <string>

#include "rig/Layout.h"

// Parses a whole file (nlohmann-json). The layout is not yet validated.
Layout parseIemJson(const std::string& text, const std::string& where);
