// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder's seven decoders, in engine-slot order: the product description and the
// exported DecList are made from this one list.
#pragma once

#include "product/DecList.h"

inline constexpr DecShape kRegularDecList[kDecListSize] = {
    QuadSquare, HexagonWithCF, HexagonWithoutCF, OctagonWithCF, OctagonWithoutCF, Cube8, Octahedron,
};
