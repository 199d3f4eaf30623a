// SPDX-License-Identifier: GPL-3.0-or-later
// Counts heap allocations, frees and lock acquisitions made on threads that have armed
// the hook: the test executable interposes malloc and its relatives, operator new and
// delete, and the pthread lock and semaphore waits (under AddressSanitizer the sanitizer's
// allocator hooks count the heap instead, since the sanitizer owns malloc). A thread that
// has not armed the hook is never counted, so the test host's own threads may allocate
// freely while an audio thread is watched.
//
// Threads: every operation acts on the calling thread's own counts only.
#pragma once

namespace kiv::validation {

struct HookCounts {
    long allocations = 0;           // malloc, calloc, realloc, the aligned forms, operator new
    long frees = 0;                 // free and operator delete of a non-null pointer
    long locks = 0;                 // mutex, read-write lock, spin lock and semaphore waits
    unsigned long largestBytes = 0; // the largest single allocation asked for

    long total() const { return allocations + frees + locks; }
};

class AllocationHook {
public:
    // Starts counting on the calling thread from zero.
    static void arm();
    // Stops counting on the calling thread and returns what was counted since arm().
    static HookCounts disarm();
    // What the calling thread has counted so far (zero when it never armed).
    static HookCounts counts();
    // True when this executable's interposers are in place (false would make every check
    // that relies on them vacuous).
    static bool active();
};

// Arms the hook for the lifetime of the object on the constructing thread.
class ArmedScope {
public:
    ArmedScope() { AllocationHook::arm(); }
    ~ArmedScope() { AllocationHook::disarm(); }
    ArmedScope(const ArmedScope&) = delete;
    ArmedScope& operator=(const ArmedScope&) = delete;
    HookCounts counts() const { return AllocationHook::counts(); }
};

} // namespace kiv::validation
