// SPDX-License-Identifier: GPL-3.0-or-later
// The project's own plain layout format, one speaker a line:
//
//     # a 5.0 room; '#' starts a comment, blank lines are ignored
//     name Living room 5.0          (optional, once: the rest of the line names the layout)
//     subwoofer                     (optional, once: bass management feeds output N+1)
//     L    30   0  2.10             NAME AZIMUTH ELEVATION [DISTANCE]
//     R   -30   0  2.10
//     C     0   0  2.00
//     LS  110   0  1.60
//     RS -110   0  1.60
//
// Degrees, azimuth anticlockwise seen from above (left positive), elevation up positive;
// distance in metres, 2 when left out. The speakers feed outputs 1 to N in the order of the
// lines. A NAME is one word and not `name` or `subwoofer`. UTF-8, at most 1 MiB.
// Any thread but the audio thread; throws RigError naming `where` and the line.
#pragma once

#include <string>

#include "rig/Layout.h"

// Parses a whole list. The layout is not yet validated.
Layout parseSpeakerList(const std::string& text, const std::string& where);
