// SPDX-License-Identifier: GPL-3.0-or-later
// The decoding engine: decoder slots from the catalogue, the seven user
// parameters in physical units, per-channel crossovers, shelves and near-field
// filters, and the work buffers of the processing chain.
//
// Threads: processReplacing on the audio thread. The parameter setters may come
// from any thread while a block runs (each writes a few floats in place; only
// the near-field coefficients are smoothed). setFS, setBlockSize, resume and
// construction only while no block is being processed.
#pragma once

#include "engine/AllPass.h"
#include "engine/DecShape.h"
#include "engine/KivDecoderCoefs.h"
#include "engine/NF_filt.h"
#include "engine/mavoshelf.h"

class KivAmbisonicDecoder {
public:
    static constexpr int kMaxInputs = 9;
    static constexpr int kMaxDecoders = 32;
    static constexpr int kMaxOutputs = 32;
    static constexpr int kMaxWorkFrames = 1 << 16; // longest work buffer, frames

    KivAmbisonicDecoder(int numDecoders, const DecShape* list, int numInputs, int numOutputs,
                        int blockSize);
    ~KivAmbisonicDecoder();

    KivAmbisonicDecoder(const KivAmbisonicDecoder&) = delete;
    KivAmbisonicDecoder& operator=(const KivAmbisonicDecoder&) = delete;

    // Normalised setters (0 to 1) and getters, in parameter order.
    void setLPGain(float v);   // low-frequency pattern 0 to 2
    void setHPGain(float v);   // high-frequency pattern 0 to 2
    void setFCut(float v);     // 50 to 1200 Hz
    void setDec(float v);      // decoder slot 0 to numDecoders - 1
    void setDistComp(float v); // loudspeaker distance 0.5 to 8 m, 8 = off
    void setNFC(float v);      // encoded distance 0.5 to 8 m, 8 = none
    void setSEQ(float v);      // spatial-EQ mode selector
    float getLPGain() const { return lpGain * 0.5f; }
    float getHPGain() const { return hpGain * 0.5f; }
    float getFCut() const { return (fCut - 50.0f) / 1150.0f; }
    float getDec() const { return static_cast<float>(dec) / static_cast<float>(numDecoders - 1); }
    float getDistComp() const { return (distComp - 0.5f) / 7.5f; }
    float getNFC() const { return (nfc - 0.5f) / 7.5f; }
    float getSEQ() const { return seq; }

    // Physical values for the displays.
    float getLPGainDisplay() const { return lpGain; }
    float getHPGainDisplay() const { return hpGain; }
    float getFCutDisplay() const { return fCut; }
    float getDistCompDisplay() const { return distComp; }
    float getNFCDisplay() const { return nfc; }
    const char* getDecDisplay() const; // name of the active decoder, valid while the engine lives
    const char* getSEQDisplay() const; // "No-Use LF", "Kiv EQ" or "Mavo EQ"

    void chooseDec(int slot); // slot limited to the table
    void setFS(float sampleRateHz);
    void setBlockSize(long n);
    void AllocInTemp(int n);
    void SetDistCoef(float encodedMetres, float speakerMetres);
    void resume(); // clears filter states, snaps the smoothers

    // One block: B-format in (numIn of the active decoder), numOutputs feeds out.
    // Outputs may share memory with inputs. Blocks longer than the work buffers
    // are processed in consecutive pieces.
    void processReplacing(float** in, float** out, int n);

    // Parameters in physical units.
    float lpGain = 1.3f;
    float hpGain = 1.5f;
    float fCut = 380.0f;
    float distComp = 8.0f;
    float nfc = 8.0f;
    float seq = 1.0f;
    int dec = 0;

    float** inTemp = nullptr;
    int numInputs;
    int numOutputs;
    AllPass* crossover[kMaxInputs] = {};
    mavoshelf* shelf[kMaxInputs] = {};
    NF_filt1* nfFilter[kMaxInputs] = {}; // nfFilter[k] belongs to input channel k + 1
    KivDecoderCoefs* decoders[kMaxDecoders] = {};
    int numDecoders;
    int blockSize = 0;
    float fs = 44100.0f;

private:
    int capacity = 0; // length of the work buffers and crossover buffers
    void setupCoefs(DecShape shape, int slot);
    void updatemavo();
    void nearFieldSetup(float encodedMetres, float speakerMetres);
    void releaseInTemp();
    void setCrossoverCutOffs();
    void processBlock(float** in, float** out, int n);
};

// The spatial-EQ mode a selector value picks; NaN picks single band.
enum class SpatialEQMode { SingleBand, Crossover, Shelf };
SpatialEQMode spatialEQModeOf(float seq);
// The name the editor and hosts show for a selector value: "No-Use LF", "Kiv EQ" or
// "Mavo EQ".
const char* spatialEQName(float seq);
