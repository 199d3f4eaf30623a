// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/lv2/BlockLength.h"

#include <cstdint>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

namespace kiv::lv2 {

namespace {

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    if (features == nullptr) return nullptr;
    for (const LV2_Feature* const* f = features; *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

} // namespace

int blockLengthFromFeatures(const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    const auto* options =
        static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
    if (map == nullptr || map->map == nullptr || options == nullptr) return kDefaultBlockLength;

    const LV2_URID maxLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID nominalLength = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
    const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
    std::int32_t maximum = 0;
    std::int32_t nominal = 0;
    // The array ends with an option whose key and value are both empty.
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->context != LV2_OPTIONS_INSTANCE || o->type != atomInt ||
            o->size != sizeof(std::int32_t) || o->value == nullptr)
            continue;
        std::int32_t value = 0;
        std::memcpy(&value, o->value, sizeof value);
        if (o->key == maxLength) maximum = value;
        if (o->key == nominalLength) nominal = value;
    }
    if (maximum > 0) return maximum;
    if (nominal > 0) return nominal;
    return kDefaultBlockLength;
}

} // namespace kiv::lv2
