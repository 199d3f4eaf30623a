// SPDX-License-Identifier: GPL-3.0-or-later
// The patch messages of a plug-in with parameters of its own (a file, a view): the patch:Set
// and patch:Get objects on its control port, and its answers, patch:Set events on its notify
// port. An answer goes out whole or not at all: when the host's notify buffer is full the
// sequence stays as it was, never with half an event in it. Audio thread: nothing allocated,
// nothing locked.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace kiv::lv2 {

// One patch message of the control port.
struct PatchMessage {
    bool get;              // patch:Get; otherwise patch:Set
    LV2_URID property;     // 0: none given, or not a URID
    const LV2_Atom* value; // patch:Set's value; null when none
};

class PatchPort {
public:
    // Without urid:map the port stays unused: mapped() is false and nothing is read or sent.
    void map(LV2_URID_Map* map);
    bool mapped() const { return mapped_; }
    LV2_URID uridOf(const char* uri) const;

    // Each patch:Get and patch:Set in `in` (may be null), in order. Other events are skipped;
    // a truncated event ends the sequence.
    template <class Handle> void read(const LV2_Atom_Sequence* in, Handle&& handle) const {
        if (!mapped_ || !in || in->atom.type != atomSequence ||
            in->atom.size < sizeof(LV2_Atom_Sequence_Body))
            return;
        const char* end = reinterpret_cast<const char*>(&in->body) + in->atom.size;
        LV2_ATOM_SEQUENCE_FOREACH(in, ev) {
            const char* body = reinterpret_cast<const char*>(&ev->body + 1);
            if (body > end || ev->body.size > static_cast<std::size_t>(end - body)) break;
            PatchMessage message{};
            if (messageOf(&ev->body, message)) handle(message);
        }
    }

    // The path a patch:Set carries: an atom:Path of 2 to maxBytes bytes with its terminator and
    // no other NUL; bytes is its length without the terminator. Null for anything else.
    const char* pathOf(const LV2_Atom* value, std::uint32_t maxBytes, std::uint32_t& bytes) const;

    // The notify sequence of one run, in out (null: no notify port connected).
    void begin(LV2_Atom_Sequence* out);
    void end();

    // A patch:Set of property to an atom of `type` with `bytes` bytes of body (and a
    // terminating NUL with terminated), at frame 0. False, with nothing written, when there
    // is no room or no notify port.
    bool set(LV2_URID property, LV2_URID type, const void* body, std::uint32_t bytes,
             bool terminated = false);
    bool setPath(LV2_URID property, const char* path, std::uint32_t bytes) {
        return set(property, atomPath, path, bytes, true);
    }

    LV2_URID atomPath = 0, atomString = 0, atomChunk = 0, atomObject = 0, atomSequence = 0,
             atomUrid = 0, patchSet = 0, patchGet = 0, patchProperty = 0, patchValue = 0;

private:
    bool messageOf(const LV2_Atom* atom, PatchMessage& message) const;

    LV2_URID_Map* map_ = nullptr;
    bool mapped_ = false;
    bool open_ = false; // a sequence is begun in the notify buffer
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame sequence_{};
};

} // namespace kiv::lv2
