// SPDX-License-Identifier: GPL-3.0-or-later
// Whether an object's properties lie inside it. lv2_atom_object_get trusts the sizes it
// walks: a property cut off by the object's end (a host's malformed patch:Set) would be read
// beyond it, header or value. Allocates nothing: for run.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include <cstdint>

namespace kiv::lv2 {

inline bool propertiesInside(const LV2_Atom_Object* object) {
    const std::uint32_t size = object->atom.size;
    if (size < sizeof(LV2_Atom_Object_Body)) return false;
    const auto* body = reinterpret_cast<const std::uint8_t*>(&object->body);
    for (std::uint64_t at = sizeof(LV2_Atom_Object_Body); at < size;) {
        if (size - at < sizeof(LV2_Atom_Property_Body)) return false;
        const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(body + at);
        const std::uint64_t bytes =
            sizeof(LV2_Atom_Property_Body) + std::uint64_t{property->value.size};
        if (bytes > size - at) return false;
        at += (bytes + 7) & ~std::uint64_t{7};
    }
    return true;
}

} // namespace kiv::lv2
