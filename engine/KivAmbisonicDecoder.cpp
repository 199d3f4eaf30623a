// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/KivAmbisonicDecoder.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kSpeedOfSoundMetresPerSecond = 342.0f;
constexpr float kDistanceOff = 8.0f; // a distance of exactly 8 m means off / none
// 2^-20: the closest a pattern value comes to 0 or 2 in the shelf design; from there to the
// middle the design is finite and stable at every rate from 8 to 384 kHz and every cut-off.
constexpr float kShelfPatternMargin = 9.5367432e-07f;
} // namespace

SpatialEQMode spatialEQModeOf(float seq) {
    if (seq >= 0.75f) return SpatialEQMode::Shelf;
    if (seq >= 0.25f) return SpatialEQMode::Crossover;
    return SpatialEQMode::SingleBand; // also NaN
}

KivAmbisonicDecoder::KivAmbisonicDecoder(int decoderCount, const DecShape* list, int inputs,
                                         int outputs, int initialBlockSize)
    // The per-channel tables and slots have fixed capacities.
    : numInputs(inputs < kMaxInputs ? inputs : kMaxInputs),
      numOutputs(outputs < kMaxOutputs ? outputs : kMaxOutputs),
      numDecoders(decoderCount < kMaxDecoders ? decoderCount : kMaxDecoders) {
    for (int j = 0; j < numInputs; ++j) shelf[j] = new mavoshelf();
    for (int j = 0; j < numInputs; ++j) nfFilter[j] = new NF_filt1();
    for (int i = 0; i < numDecoders; ++i) {
        decoders[i] = new KivDecoderCoefs();
        setupCoefs(list[i], i);
    }
    if (initialBlockSize > 0) AllocInTemp(initialBlockSize);
}

KivAmbisonicDecoder::~KivAmbisonicDecoder() {
    releaseInTemp();
    for (int j = 0; j < numInputs; ++j) {
        delete shelf[j];
        delete nfFilter[j];
    }
    for (int i = 0; i < numDecoders; ++i) delete decoders[i];
}

void KivAmbisonicDecoder::releaseInTemp() {
    if (inTemp != nullptr) {
        for (int j = 0; j < numInputs; ++j) delete[] inTemp[j];
        delete[] inTemp;
        inTemp = nullptr;
    }
    for (int j = 0; j < numInputs; ++j) {
        delete crossover[j];
        crossover[j] = nullptr;
    }
}

void KivAmbisonicDecoder::setBlockSize(long n) {
    blockSize = static_cast<int>(n);
    AllocInTemp(blockSize);
}

// The work buffers hold at most kMaxWorkFrames: a host may announce any number (2^31 - 1
// would ask for gigabytes, and a failed allocation would end the host's process), and
// longer blocks run in pieces of that length, sample for sample the same.
void KivAmbisonicDecoder::AllocInTemp(int n) {
    if (n > kMaxWorkFrames) n = kMaxWorkFrames;
    releaseInTemp();
    inTemp = new float*[numInputs]();
    for (int j = 0; j < numInputs; ++j) inTemp[j] = new float[n > 0 ? n : 1];
    for (int j = 0; j < numInputs; ++j) {
        crossover[j] = new AllPass(n);
        crossover[j]->SetCutOff(fCut, fs);
    }
    capacity = n;
}

// ---- parameters ----

void KivAmbisonicDecoder::setLPGain(float v) {
    lpGain = 2.0f * v;
    updatemavo();
}

void KivAmbisonicDecoder::setHPGain(float v) {
    hpGain = 2.0f * v;
    updatemavo();
}

void KivAmbisonicDecoder::setFCut(float v) {
    fCut = v * 1150.0f + 50.0f;
    updatemavo();
    setCrossoverCutOffs();
}

// Crossovers exist only once a block size is known.
void KivAmbisonicDecoder::setCrossoverCutOffs() {
    for (int j = 0; j < numInputs; ++j)
        if (crossover[j] != nullptr) crossover[j]->SetCutOff(fCut, fs);
}

void KivAmbisonicDecoder::setDec(float v) {
    const float scaled = static_cast<float>(numDecoders - 1) * v;
    const double rounded = static_cast<double>(scaled) + 0.5;
    // A value outside 0 to 1 (or NaN) must never select a slot outside the table.
    if (!(rounded >= 0.0)) {
        dec = 0;
    } else if (rounded >= static_cast<double>(numDecoders)) {
        dec = numDecoders - 1;
    } else {
        dec = static_cast<int>(rounded);
    }
}

void KivAmbisonicDecoder::chooseDec(int slot) {
    if (slot > numDecoders - 1) slot = numDecoders - 1;
    if (slot < 0) slot = 0;
    dec = slot;
}

void KivAmbisonicDecoder::setDistComp(float v) {
    distComp = v * 7.5f + 0.5f;
    nearFieldSetup(nfc, distComp);
}

void KivAmbisonicDecoder::setNFC(float v) {
    nfc = v * 7.5f + 0.5f;
    nearFieldSetup(nfc, distComp);
}

void KivAmbisonicDecoder::setSEQ(float v) {
    seq = v;
}

void KivAmbisonicDecoder::setFS(float sampleRateHz) {
    fs = sampleRateHz;
    nearFieldSetup(nfc, distComp);
    updatemavo();
    setCrossoverCutOffs();
}

void KivAmbisonicDecoder::SetDistCoef(float encodedMetres, float speakerMetres) {
    nearFieldSetup(encodedMetres, speakerMetres);
}

const char* KivAmbisonicDecoder::getDecDisplay() const {
    return decoders[dec]->name.c_str();
}

const char* spatialEQName(float seq) {
    switch (spatialEQModeOf(seq)) {
    case SpatialEQMode::Shelf:
        return "Mavo EQ";
    case SpatialEQMode::Crossover:
        return "Kiv EQ";
    case SpatialEQMode::SingleBand:
        break;
    }
    return "No-Use LF";
}

const char* KivAmbisonicDecoder::getSEQDisplay() const {
    return spatialEQName(seq);
}

void KivAmbisonicDecoder::resume() {
    for (int j = 0; j < numInputs; ++j) {
        if (crossover[j] != nullptr) crossover[j]->Reset();
        shelf[j]->z = 0.0f;
    }
    for (int j = 1; j < numInputs; ++j) {
        NF_filt1& f = *nfFilter[j - 1];
        f.z1 = 0.0f;
        f.gz.init(f.g);
        f.d1z.init(f.d1);
        f.c1z.init(f.c1);
    }
}

// First-order channels get (s + 342/nfc) / (s + 342/distComp); the numerator reduces to s
// when the material carries no encoded distance. The stored nfc decides "none", even when
// SetDistCoef passes another encoded distance.
void KivAmbisonicDecoder::nearFieldSetup(float encodedMetres, float speakerMetres) {
    const float w1 =
        nfc == kDistanceOff ? 0.0f : kSpeedOfSoundMetresPerSecond / (encodedMetres * fs);
    const float w2 = kSpeedOfSoundMetresPerSecond / (speakerMetres * fs);
    for (int k = 0; k < numInputs - 1; ++k) nfFilter[k]->init(w1, w2, 1.0f);
}

// The shelf design is singular at either end of the pattern range (a band gain of 0: its
// gain comes out infinite or NaN) and breaks down within about 3e-8 of it. So the shelves
// are designed from the patterns held kShelfPatternMargin inside the range: inside that the
// design is exactly the plain one, and at or next to an end the shelves take the design of
// the nearest value that has one, whatever the patterns were before. The shelves thus
// depend on the current parameters only, as a host that restores them expects.
void KivAmbisonicDecoder::updatemavo() {
    if (std::isnan(lpGain) || std::isnan(hpGain)) return;
    const float lp = std::clamp(lpGain, kShelfPatternMargin, 2.0f - kShelfPatternMargin);
    const float hp = std::clamp(hpGain, kShelfPatternMargin, 2.0f - kShelfPatternMargin);
    shelf[0]->init(fs, fCut, 2.0f - lp, 2.0f - hp);
    for (int j = 1; j < numInputs; ++j) shelf[j]->init(fs, fCut, lp, hp);
}
