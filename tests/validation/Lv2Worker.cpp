// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/Lv2Worker.h"

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace kiv::validation {

Lv2Worker::Lv2Worker() {
    if (pthread_create(&thread_, nullptr, &Lv2Worker::run, this) != 0)
        throw std::runtime_error("the LV2 worker's thread cannot start");
}

Lv2Worker::~Lv2Worker() {
    quit_.store(true);
    pthread_join(thread_, nullptr);
}

void* Lv2Worker::run(void* self) {
    static_cast<Lv2Worker*>(self)->loop();
    return nullptr;
}

void Lv2Worker::attach(const LV2_Worker_Interface* worker, LV2_Handle instance) {
    worker_ = worker;
    instance_ = instance;
}

LV2_Worker_Status Lv2Worker::schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                      const void* data) {
    // Counts only grow; a slot is a count modulo kSlots.
    auto* self = static_cast<Lv2Worker*>(handle);
    const int n = self->requested_.load(std::memory_order_relaxed);
    if (n - self->served_.load() >= kSlots || size > kSlotBytes) return LV2_WORKER_ERR_NO_SPACE;
    Slot& slot = self->requests_[n % kSlots];
    slot.size = size;
    std::memcpy(slot.bytes, data, size);
    self->requested_.store(n + 1, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
}

// The worker thread, while it runs work.
LV2_Worker_Status Lv2Worker::respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                     const void* data) {
    auto* self = static_cast<Lv2Worker*>(handle);
    const int n = self->answered_.load(std::memory_order_relaxed);
    if (n - self->delivered_.load() >= kSlots || size > kSlotBytes) return LV2_WORKER_ERR_NO_SPACE;
    Slot& slot = self->answers_[n % kSlots];
    slot.size = size;
    std::memcpy(slot.bytes, data, size);
    self->answered_.store(n + 1, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
}

void Lv2Worker::loop() {
    while (!quit_.load()) {
        const int worked = worked_.load(std::memory_order_relaxed);
        if (worked < requested_.load(std::memory_order_acquire)) {
            const Slot& r = requests_[worked % kSlots];
            if (worker_ != nullptr)
                worker_->work(instance_, &Lv2Worker::respond, this, r.size, r.bytes);
            worked_.store(worked + 1, std::memory_order_release);
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

void Lv2Worker::afterRun() {
    const int requested = requested_.load(std::memory_order_acquire);
    if (requested == served_.load()) return;
    // Waits without a lock: the audio thread is watched for those.
    while (worked_.load(std::memory_order_acquire) < requested) std::this_thread::yield();
    const int answered = answered_.load(std::memory_order_acquire);
    for (int i = delivered_.load(); i < answered && worker_ != nullptr; ++i)
        worker_->work_response(instance_, answers_[i % kSlots].size, answers_[i % kSlots].bytes);
    if (worker_ != nullptr && worker_->end_run != nullptr) worker_->end_run(instance_);
    delivered_.store(answered);
    served_.store(requested);
}

} // namespace kiv::validation
