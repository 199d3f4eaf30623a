// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's rows of kiv_bench: the VST bundle hosted through our test host, 8 feeds
// (the cube) and 24 feeds, blocks 64 and 512, in ns per frame; beside them IEM's
// BinauralDecoder at first order (Debian's iem-plugin-suite-vst), a peer hosted as the
// benchmark reference, skipped with a line when it is not installed.
#pragma once

#include <map>
#include <string>

void registerHeadphoneBenchmarks();
void printHeadphoneSummary(const std::map<std::string, double>& nsPerFrame);
