// SPDX-License-Identifier: GPL-3.0-or-later
// One dispatcher call made the way a careful but hostile host makes it: every pointer the
// call carries is a guarded buffer of exactly the size the interface gives that opcode
// (a zero-byte one, pointing straight at an inaccessible page, for opcodes that must not
// touch ptr at all), and afterwards the probe checks what the plug-in left behind: nothing
// written before or after a buffer, every text it wrote terminated within its limit
// (63 characters, program names 23, our vendor-specific message line 255), every rectangle it
// handed out readable.
//
// Shared by the dispatcher sweep test and the libFuzzer target.
// Threads: whichever thread drives the instance.
#pragma once

#include "host/VstRecords.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kiv::validation {

// What an opcode's ptr (and, for two opcodes, value) refers to.
enum class PointerUse {
    Untouched,   // the opcode must not read or write ptr
    TextOut,     // the plug-in writes a NUL-terminated text of at most limit - 1 characters
    TextIn,      // the host passes a NUL-terminated text
    PinOut,      // VstPinProperties filled by the plug-in
    RecordIn,    // a record the plug-in may read (events, offline tasks, patch info)
    RecordOut,   // a record the plug-in may fill (parameter properties, MIDI names)
    PointerOut,  // the plug-in stores a pointer into ptr (rectangle, chunk)
    ChunkIn,     // value bytes of chunk data
    Window,      // the host's parent window; the probe passes none
    Arrangements // value and ptr both refer to speaker arrangements
};

struct OpcodeContract {
    PointerUse use;
    std::size_t size; // bytes behind ptr (text limit including the terminator)
};

// index matters for effVendorSpecific only: our own requests (host/VstOpcodes.h) pass a path
// or a buffer of their own size; any other index is given a ptr that must stay untouched.
OpcodeContract contractOf(VstInt32 opcode, VstInt32 index = 0);

// The longest text the plug-ins may write into a host's text buffer, and into a program
// name buffer, both including the terminator.
constexpr std::size_t kTextLimit = 64;
constexpr std::size_t kProgramNameLimit = 24;

struct ProbeCall {
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
    bool withPointer = true;   // false passes a null ptr (and a null value where it is one)
    std::string textIn;        // for TextIn opcodes
    unsigned char fill = 0x47; // what output buffers hold before the call
};

struct ProbeResult {
    VstIntPtr answer = 0;
    std::vector<std::string> violations; // empty when the plug-in kept the contract
};

// Calls dispatcher(effect, ...) once with buffers built from the contract, then checks them.
ProbeResult probe(AEffect* effect, const ProbeCall& call);

// Reads back every text and record the plug-in offers a host (program names, parameter
// texts, pin properties, vendor and product, the editor rectangle) through probe().
std::vector<std::string> auditTexts(AEffect* effect);

// A one-line description of a call for failure messages.
std::string describe(const ProbeCall& call);

} // namespace kiv::validation
