// SPDX-License-Identifier: GPL-3.0-or-later
// IrregularDecoder's seven decoders, in engine-slot order: the product description and the
// exported DecList are made from this one list.
#pragma once

#include "product/DecList.h"

inline constexpr DecShape kIrregularDecList[kDecListSize] = {
    ItuFullRangeV1,   ItuFullRangeV2, ItuLFOptimisedV1, ItuLFOptimisedV2,
    ItuHFOptimisedV1, ItuFullRangeV3, ItuFullRangeV4,
};
