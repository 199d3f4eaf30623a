// SPDX-License-Identifier: GPL-3.0-or-later
// The PipeWire configuration fragment of one use (ChainKind) with one decoder: a filter-chain
// module whose capture side is a four-channel virtual sink and whose playback side carries
// the decoder's feeds (or the follower's channels). It goes into pipewire.conf.d/.
#pragma once

#include <string>

#include "tools/pwchain/ChainKind.h"
#include "tools/pwchain/DecoderChoice.h"

namespace kiv::pwchain {

// The sink's node name: "kivtone.<kind>"; the playback side's is that with ".output".
std::string sinkNodeName(const ChainKind& kind);

// The file's whole text.
std::string filterChainText(const ChainKind& kind, const DecoderChoice& choice);

} // namespace kiv::pwchain
