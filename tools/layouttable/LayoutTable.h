// SPDX-License-Identifier: GPL-3.0-or-later
// The page of docs/ that says which output feeds which loudspeaker: for each decoder of
// each product, one row per output with the speaker's direction, the output number (from
// 1), the VST pin name, the LV2 port symbol and the number the editor's diagram shows.
// Written from the product descriptions only, so the page cannot drift from the plug-ins.
#pragma once

#include <string>

#include "product/ProductDescription.h"

namespace kiv::layouttable {

// A direction in words: "ahead", "30° left", "45° right, 35.2° up".
std::string directionText(double azimuthDeg, double elevationDeg);

// The tables of one product, Markdown, one section per decoder in slot order.
std::string productTables(const ProductDescription& product);

// The whole page: both decoders.
std::string layoutPage();

} // namespace kiv::layouttable
