// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/fuzz/StatefulProducts.h"

#include "product/HeadphoneMonitorLv2Ports.h"
#include "product/LayoutDecoderLv2Ports.h"

namespace kiv::fuzz {

namespace {

// Each control's physical range and default, as the product's own conversions give them.
template <typename Physical>
std::vector<ControlPort> controlsOf(int count, const std::vector<float>& defaults,
                                    Physical physical) {
    std::vector<ControlPort> ports;
    for (int k = 0; k < count; ++k)
        ports.push_back({physical(k, 0.0f), physical(k, 1.0f), physical(k, defaults[k])});
    return ports;
}

} // namespace

const std::vector<StatefulProduct>& statefulProducts() {
    static const std::vector<StatefulProduct> products = {
        {kLayoutDecoderName,
         kLayoutDecoderUri.text,
         kLdChunkMagic,
         kLdChunkVersion,
         kLayoutDecoderParameters,
         {Field::FileName, Field::LayoutText},
         kLdLv2FirstInput,
         kLdLv2FirstControl - kLdLv2FirstInput,
         kLdLv2FirstControl,
         controlsOf(kLayoutDecoderParameters, ldDefaultValues(), ldPhysical),
         -1,
         kLdLv2ControlIn,
         kLdLv2NotifyOut,
         {{kLdLv2StateTextUri, Field::LayoutText}, {kLdLv2StateNameUri, Field::FileName}},
         {kLdLv2LayoutFileUri}},
        {kHeadphoneMonitorName,
         kHeadphoneMonitorUri.text,
         kHmChunkMagic,
         kHmChunkVersion,
         kHeadphoneMonitorParameters,
         {Field::FileName, Field::LayoutText, Field::Path},
         kHmLv2FirstInput,
         kHmLv2FirstControl - kHmLv2FirstInput,
         kHmLv2FirstControl,
         controlsOf(kHeadphoneMonitorParameters, hmDefaultValues(), hmPhysical),
         static_cast<int>(kHmLv2Latency),
         kHmLv2ControlIn,
         kHmLv2NotifyOut,
         {{kHmLv2StateTextUri, Field::LayoutText},
          {kHmLv2StateNameUri, Field::FileName},
          {kHmLv2StateHrtfUri, Field::Path}},
         {kHmLv2LayoutFileUri, kHmLv2HrtfFileUri}},
    };
    return products;
}

const StatefulProduct* statefulProductNamed(const std::string& nameOrUri) {
    for (const StatefulProduct& p : statefulProducts())
        if (nameOrUri == p.name || nameOrUri == p.lv2Uri) return &p;
    return nullptr;
}

} // namespace kiv::fuzz
