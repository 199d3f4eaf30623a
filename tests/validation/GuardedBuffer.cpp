// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/GuardedBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace kiv::validation {

GuardedBuffer::GuardedBuffer(std::size_t size, unsigned char fill) : size_(size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bodyPages = (size + page - 1) / page;
    mappingSize_ = (bodyPages + 2) * page;
    mapping_ = mmap(nullptr, mappingSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) throw std::bad_alloc();
    char* body = static_cast<char*>(mapping_) + page;
    if (bodyPages > 0 && mprotect(body, bodyPages * page, PROT_READ | PROT_WRITE) != 0) {
        munmap(mapping_, mappingSize_);
        throw std::bad_alloc();
    }
    // The buffer ends where the trailing guard page begins.
    data_ = body + bodyPages * page - size;
    slack_ = body;
    refill(fill);
}

void GuardedBuffer::refill(unsigned char fill) {
    std::memset(slack_, kSlackPattern, static_cast<std::size_t>(data_ - slack_));
    std::memset(data_, fill, size_);
}

GuardedBuffer GuardedBuffer::text(const std::string& text) {
    GuardedBuffer buffer(text.size() + 1);
    std::memcpy(buffer.data_, text.data(), text.size());
    buffer.data_[text.size()] = '\0';
    return buffer;
}

GuardedBuffer::~GuardedBuffer() {
    if (mapping_ != nullptr) munmap(mapping_, mappingSize_);
}

GuardedBuffer::GuardedBuffer(GuardedBuffer&& other) noexcept
    : mapping_(other.mapping_), mappingSize_(other.mappingSize_), data_(other.data_),
      size_(other.size_), slack_(other.slack_) {
    other.mapping_ = nullptr;
}

std::size_t GuardedBuffer::textLength() const {
    const void* end = std::memchr(data_, '\0', size_);
    return end == nullptr ? size_ : static_cast<std::size_t>(static_cast<const char*>(end) - data_);
}

bool GuardedBuffer::slackIntact() const {
    for (const char* p = slack_; p < data_; ++p)
        if (static_cast<unsigned char>(*p) != kSlackPattern) return false;
    return true;
}

} // namespace kiv::validation
