// SPDX-License-Identifier: GPL-3.0-or-later
// The validation suite's LV2 worker, as a host provides one: schedule_work (called from run,
// on the audio thread) copies the request into a fixed ring without allocating or locking;
// a thread of the host's own runs the plug-in's work; after each run the audio thread waits
// for the work scheduled in it, delivers the answers through work_response and calls
// end_run, so that what a block asks for is in force from the next block on, every time.
//
// Threads: feature() and attach() while no block runs; afterRun() on the audio thread.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <cstdint>
#include <pthread.h>

namespace kiv::validation {

class Lv2Worker {
public:
    static constexpr int kSlots = 8;
    static constexpr std::uint32_t kSlotBytes = 4096;

    Lv2Worker();
    ~Lv2Worker();
    Lv2Worker(const Lv2Worker&) = delete;
    Lv2Worker& operator=(const Lv2Worker&) = delete;

    const LV2_Feature* feature() const { return &feature_; }
    // The instance's worker interface (null when it has none).
    void attach(const LV2_Worker_Interface* worker, LV2_Handle instance);
    void afterRun();
    int requestsServed() const { return served_.load(); } // since construction

private:
    struct Slot {
        std::uint32_t size = 0;
        alignas(8) char bytes[kSlotBytes];
    };

    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                      const void* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                     const void* data);
    static void* run(void* self);
    void loop();

    const LV2_Worker_Interface* worker_ = nullptr;
    LV2_Handle instance_ = nullptr;
    Slot requests_[kSlots];
    Slot answers_[kSlots];
    // Counts since construction: requests scheduled, worked and served (answered in run's
    // context); answers given and delivered.
    std::atomic<int> requested_{0}, worked_{0}, served_{0}, answered_{0}, delivered_{0};
    std::atomic<bool> quit_{false};
    LV2_Worker_Schedule schedule_{this, &Lv2Worker::schedule};
    LV2_Feature feature_{LV2_WORKER__schedule, &schedule_};
    // pthread rather than std::thread: this thread's start needs no heap block that the worker
    // thread would free, which the allocation checks would count as a leak.
    pthread_t thread_{};
};

} // namespace kiv::validation
