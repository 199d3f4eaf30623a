// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/lv2/PatchPort.h"

#include "host/lv2/ObjectBounds.h"

#include <lv2/patch/patch.h>

#include <cstring>

namespace kiv::lv2 {

void PatchPort::map(LV2_URID_Map* map) {
    if (!map) return;
    map_ = map;
    mapped_ = true;
    atomPath = uridOf(LV2_ATOM__Path);
    atomString = uridOf(LV2_ATOM__String);
    atomChunk = uridOf(LV2_ATOM__Chunk);
    atomObject = uridOf(LV2_ATOM__Object);
    atomSequence = uridOf(LV2_ATOM__Sequence);
    atomUrid = uridOf(LV2_ATOM__URID);
    patchSet = uridOf(LV2_PATCH__Set);
    patchGet = uridOf(LV2_PATCH__Get);
    patchProperty = uridOf(LV2_PATCH__property);
    patchValue = uridOf(LV2_PATCH__value);
    lv2_atom_forge_init(&forge_, map);
}

LV2_URID PatchPort::uridOf(const char* uri) const {
    return map_ ? map_->map(map_->handle, uri) : 0;
}

bool PatchPort::messageOf(const LV2_Atom* atom, PatchMessage& message) const {
    if (atom->type != atomObject || atom->size < sizeof(LV2_Atom_Object_Body)) return false;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
    if (object->body.otype != patchGet && object->body.otype != patchSet) return false;
    // lv2_atom_object_get trusts the sizes it walks: a property cut off by the object's end
    // would be read beyond it. Such an object is refused whole.
    if (!propertiesInside(object)) return false;
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(object, patchProperty, &property, patchValue, &value, 0);
    message.get = object->body.otype == patchGet;
    message.property = 0;
    if (property && property->type == atomUrid && property->size == sizeof(LV2_URID))
        message.property = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
    message.value = message.get ? nullptr : value;
    return true;
}

const char* PatchPort::pathOf(const LV2_Atom* value, std::uint32_t maxBytes,
                              std::uint32_t& bytes) const {
    if (!value || value->type != atomPath || value->size < 2 || value->size > maxBytes)
        return nullptr;
    const char* path = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
    if (path[value->size - 1] != '\0' || std::memchr(path, '\0', value->size - 1)) return nullptr;
    bytes = value->size - 1;
    return path;
}

void PatchPort::begin(LV2_Atom_Sequence* out) {
    open_ = false;
    if (!mapped_ || !out) return;
    // The host gives the buffer's capacity as the sequence's size.
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(out), out->atom.size);
    open_ = lv2_atom_forge_sequence_head(&forge_, &sequence_, 0) != 0;
}

void PatchPort::end() {
    if (open_) lv2_atom_forge_pop(&forge_, &sequence_);
    open_ = false;
}

bool PatchPort::set(LV2_URID property, LV2_URID type, const void* body, std::uint32_t bytes,
                    bool terminated) {
    if (!open_) return false;
    // What the sequence holds now, to go back to when the event does not fit.
    const std::uint32_t offset = forge_.offset;
    LV2_Atom* sequence = lv2_atom_forge_deref(&forge_, sequence_.ref);
    const std::uint32_t size = sequence->size;

    LV2_Atom_Forge_Frame frame;
    bool whole = lv2_atom_forge_frame_time(&forge_, 0) &&
                 lv2_atom_forge_object(&forge_, &frame, 0, patchSet);
    if (whole) {
        whole = lv2_atom_forge_key(&forge_, patchProperty) &&
                lv2_atom_forge_urid(&forge_, property) && lv2_atom_forge_key(&forge_, patchValue) &&
                lv2_atom_forge_atom(&forge_, bytes + (terminated ? 1 : 0), type) &&
                (bytes == 0 || lv2_atom_forge_raw(&forge_, body, bytes)) &&
                (!terminated || lv2_atom_forge_raw(&forge_, "", 1));
        if (whole) lv2_atom_forge_pad(&forge_, bytes + (terminated ? 1 : 0));
        lv2_atom_forge_pop(&forge_, &frame);
    }
    // The padding must fit too: the next event starts 64-bit aligned.
    whole = whole && lv2_atom_pad_size(forge_.offset) == forge_.offset;
    if (!whole) {
        forge_.offset = offset;
        sequence->size = size;
    }
    return whole;
}

} // namespace kiv::lv2
