// SPDX-License-Identifier: GPL-3.0-or-later
// A set of head-related impulse responses, read from a SOFA file with libmysofa and resampled
// by it to the running rate.
//
// Threads: open() reads a file and allocates: never on the audio thread. An opened set is
// immutable; responseAt may be called from any thread (one internal lock serialises
// libmysofa's lookup, whose scratch buffer is shared).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct MYSOFA_EASY;

class HrtfSet {
public:
    static constexpr int kMaxTaps = 16384;
    static constexpr long long kMaxFileBytes = 64ll << 20;

    // Reads a SOFA file, resampled by libmysofa to sampleRate. The file is checked first
    // (opened non-blocking, a regular file, at most kMaxFileBytes) and read into memory, so
    // that libmysofa never blocks on a FIFO or a device. Throws HrtfError for a file that
    // cannot be read, is not SOFA, has no usable directions, or whose responses (with their
    // delays) exceed maxTaps at sampleRate. A set already open with the same content, path
    // and rate is shared rather than read again.
    static std::shared_ptr<const HrtfSet> open(const std::string& path, double sampleRate,
                                               int maxTaps = kMaxTaps);
    static std::string defaultPath(); // /usr/share/libmysofa/default.sofa

    ~HrtfSet();
    HrtfSet(const HrtfSet&) = delete;
    HrtfSet& operator=(const HrtfSet&) = delete;

    const std::string& name() const { return name_; } // the file's name without directory
    const std::string& path() const { return path_; }
    double sampleRate() const { return sampleRate_; }         // the responses' rate
    double fileSampleRate() const { return fileSampleRate_; } // the set's own rate
    int length() const { return length_; } // taps of each response, delays included
    int measurements() const { return measurements_; }

    // Interpolated responses (libmysofa's interpolated lookup) for a direction in degrees:
    // azimuth anticlockwise seen from above with 0 straight ahead, elevation up positive.
    // At the level mysofa_open gives; the delays libmysofa reports become whole-sample
    // leading zeros. left and right take length() taps each.
    void responseAt(double azimuthDeg, double elevationDeg, float* left, float* right) const;

private:
    HrtfSet() = default;
    static std::shared_ptr<const HrtfSet>
    load(const std::string& path, const std::vector<char>& data, double sampleRate, int maxTaps);

    std::string name_, path_;
    double sampleRate_ = 0, fileSampleRate_ = 0;
    int filterLength_ = 0; // taps libmysofa gives, before the delays
    int length_ = 0;
    int measurements_ = 0;
    float radiusMetres_ = 1.0f; // the measured sources' distance
    MYSOFA_EASY* easy_ = nullptr;
    mutable std::mutex lookup_;
};
