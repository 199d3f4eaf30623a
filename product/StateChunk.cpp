// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/StateChunk.h"

#include <cstring>

#include "rig/RigError.h"

StateChunkWriter::StateChunkWriter(std::uint32_t magic, std::uint32_t version,
                                   const std::vector<float>& values, int count) {
    u32(magic);
    u32(version);
    for (int i = 0; i < count; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &values.at(static_cast<std::size_t>(i)), 4);
        u32(bits);
    }
}

void StateChunkWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void StateChunkWriter::text(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
}

StateChunkReader::StateChunkReader(const void* data, std::size_t size, std::uint32_t magic,
                                   std::uint32_t version, const char* product, int count)
    : p_(static_cast<const unsigned char*>(data)), left_(data ? size : 0) {
    if (!data) throw RigError("state chunk: no data");
    if (u32("its magic") != magic)
        throw RigError(std::string("state chunk: not a ") + product + " state");
    const std::uint32_t found = u32("its version");
    if (found != version)
        throw RigError("state chunk: version " + std::to_string(found) + " is not known");
    values_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::uint32_t bits = u32("the parameters");
        float v;
        std::memcpy(&v, &bits, 4);
        if (!(v >= 0.0f && v <= 1.0f))
            throw RigError("state chunk: parameter " + std::to_string(i + 1) + " is not in 0 to 1");
        values_[static_cast<std::size_t>(i)] = v;
    }
}

std::uint32_t StateChunkReader::u32(const char* what) {
    if (left_ < 4) throw RigError(std::string("state chunk: truncated at ") + what);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p_[i]) << (8 * i);
    p_ += 4;
    left_ -= 4;
    return v;
}

std::string StateChunkReader::text(std::uint32_t limit, const char* what) {
    const std::uint32_t n = u32(what);
    if (n > limit) throw RigError(std::string("state chunk: ") + what + " is too long");
    if (left_ < n) throw RigError(std::string("state chunk: truncated in ") + what);
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    left_ -= n;
    return s;
}

void StateChunkReader::finish() const {
    if (left_ != 0) throw RigError("state chunk: " + std::to_string(left_) + " bytes too many");
}
