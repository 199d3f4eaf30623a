// SPDX-License-Identifier: GPL-3.0-or-later
// A buffer handed to a plug-in with inaccessible pages on both sides: its last byte sits
// right against a PROT_NONE page, so a write (or read) even one byte past the end faults at
// once; the bytes between the leading PROT_NONE page and the buffer's start hold a known
// pattern, so a write before the start is seen by slackIntact(). Used for every pointer
// that the validation suite passes through the dispatcher.
//
// Threads: an object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>

namespace kiv::validation {

class GuardedBuffer {
public:
    // size bytes, each set to fill.
    explicit GuardedBuffer(std::size_t size, unsigned char fill = 0);
    // A NUL-terminated copy of text whose terminator is the buffer's last byte.
    static GuardedBuffer text(const std::string& text);
    ~GuardedBuffer();
    GuardedBuffer(GuardedBuffer&& other) noexcept;
    GuardedBuffer& operator=(GuardedBuffer&&) = delete;
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The length of the NUL-terminated text at the start, or size() when it has no
    // terminator inside the buffer.
    std::size_t textLength() const;
    // Sets every byte to fill and the slack to its pattern again, for reuse.
    void refill(unsigned char fill);
    // False when anything wrote into the accessible bytes before data().
    bool slackIntact() const;

    static constexpr unsigned char kSlackPattern = 0xA5;

private:
    GuardedBuffer() = default;
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    char* slack_ = nullptr;
};

} // namespace kiv::validation
