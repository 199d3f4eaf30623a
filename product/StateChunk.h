// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in's state as bytes, as the VST chunk carries it: a magic number, a version, the
// parameters (normalised, 0 to 1, as float bits) and length-prefixed texts, all little-endian.
// The reader checks every length against what is left and against a limit, and says what is
// wrong in one line (RigError, "state chunk: ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class StateChunkWriter {
public:
    // Writes the header and the first `count` of `values`.
    StateChunkWriter(std::uint32_t magic, std::uint32_t version, const std::vector<float>& values,
                     int count);
    void text(const std::string& s);
    std::vector<char> take() { return std::move(out_); }

private:
    void u32(std::uint32_t v);
    std::vector<char> out_;
};

class StateChunkReader {
public:
    // Reads the header and `count` parameters. Throws for no data, a chunk of another product
    // (`product` names the one expected), an unknown version, or a parameter outside 0 to 1.
    StateChunkReader(const void* data, std::size_t size, std::uint32_t magic, std::uint32_t version,
                     const char* product, int count);
    const std::vector<float>& values() const { return values_; }
    // The next text, at most `limit` bytes; `what` names it in the messages.
    std::string text(std::uint32_t limit, const char* what);
    // Throws when bytes are left over.
    void finish() const;

private:
    std::uint32_t u32(const char* what);
    const unsigned char* p_;
    std::size_t left_;
    std::vector<float> values_;
};
