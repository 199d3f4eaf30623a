// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/pwchain/MonitorLayoutChoice.h"

#include <cmath>
#include <stdexcept>

#include "product/HeadphoneMonitorProduct.h"
#include "product/LayoutDecoderProduct.h"
#include "rig/FactoryLayouts.h"

namespace kiv::pwchain {

int monitorLayoutChoice(const DecoderChoice& choice) {
    int found = -1;
    if (choice.product == kLayoutDecoderProduct.name) {
        found = hmLayoutChoiceNamed(factoryLayouts()[choice.program].name);
    } else {
        for (const ProductDescription* product :
             {&kRegularDecoderProduct, &kIrregularDecoderProduct}) {
            if (choice.product != product->name) continue;
            const FactoryProgram& p = product->programs[choice.program];
            const int slot = static_cast<int>(std::lround(p.values[kLayout] * 6.0f));
            found = hmLayoutChoiceOfShape(product->decList[slot]);
        }
    }
    if (found < 0)
        throw std::runtime_error(kHeadphoneMonitorProduct.name +
                                 std::string(" has no layout for ") + choice.layout);
    return found;
}

} // namespace kiv::pwchain
