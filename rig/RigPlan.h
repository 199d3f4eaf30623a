// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder a layout gets: a first-order decoder from the file decoded exactly as written,
// or one designed from the speakers' positions (for a layout without a decoder, and for a
// higher-order preset, which is never cut down to its first-order columns). With the lines
// the user is told. Row o of the plan feeds output o + 1: the speaker whose output channel that
// is, or nothing where a file's channels leave a gap. Any thread but the audio thread.
#pragma once

#include <string>

#include "engine/DecoderPlan.h"
#include "rig/Layout.h"

struct RigPlan {
    DecoderPlan plan;
    bool asWritten = false; // the file's own first-order decoder
    // One line each, for the user; empty when there is nothing to say.
    std::string notice;    // e.g. that a higher-order preset was redesigned
    std::string uncovered; // "Uncovered: below -12 degrees elevation" for a designed decoder
};

// The layout must be validated (the readers and factory layouts are). Throws RigError, its
// line starting with `where` (the file name) when no decoder can be designed.
RigPlan planForLayout(const Layout& layout, const std::string& where = "layout");
