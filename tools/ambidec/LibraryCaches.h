// SPDX-License-Identifier: GPL-3.0-or-later
// At the very end of the process: gives back the process-wide caches of cairo and
// fontconfig, which the plots (and a plug-in's editor, drawn for a snapshot) fill. They are
// meant to live until the process ends, but fontconfig keeps pointers inside them as
// offsets that a leak checker cannot follow. Call only when no plug-in is loaded any more.
#pragma once

namespace kiv::ambidec {

void releaseLibraryCaches();

} // namespace kiv::ambidec
