#pragma once

// RMSMM6: the RMS level engine for up to six input slots.
//
// For the slots selected by `config` it measures the mean square of the summed slot powers over a
// sliding window (10 to 3000 ms), the integrated mean square since the last reset, the sample-peak
// maximum, per-slot true-peak maxima and per-slot peak followers. All results are linear; the driver
// converts them to dBFS (LevelDb of the square root, or of the peak) and adds the offsets.
//
// Channel configurations (`config`, compared as unsigned): 0 "Stereo" slots 1, 2; 1 "Left" slot 1;
// 2 "Right" slot 2; 3 "4 Channel" slots 1-4; 4 "6 Channel" slots 1-6; any other value selects none.
//
// Threads: everything runs on the audio thread under the plug-in mutex, or during construction.
// Init allocates the ring for the longest window (and writes all of it); SetWindow, Reset and the
// block calls never allocate, lock or take a logarithm. Reset and SetWindow cost the same at any rate
// and window: until the window is full the power leaving it is 0.0 and the ring is not read, so no
// power from before a reset is ever read again. GetCrestVal_db takes logarithms (refresh points only).
// Non-finite samples never cause undefined behaviour; Reset restores correct measuring.

#include <cstdint>

#include "meters/ISPD_ITU.h"
#include "meters/PeakFollower.h"
#include "meters/RMS_MS.h"

class RMSMM6 {
  public:
    static constexpr int kSlots = 6;

    // fs, window limits (ms) and overlap; allocates the ring for maxWindowMs (keeps the ring of an
    // earlier Init of the same size); active window = minWindowMs; offsets 0; then Reset. The plug-in
    // passes 10.0, 3000.0, 0.75 and the host rate. A non-finite or non-positive rate counts as
    // 44100 Hz; an overlap outside [0, 1] is clamped into it (NaN counts as 0). Returns false if the
    // ring could not be allocated; ProcessBlock then measures nothing until a later Init succeeds.
    bool Init(double minWindowMs, double maxWindowMs, double overlap, double sampleRate);

    // Takes windowMs if it differs from the active window and lies within [min, max] (inclusive), then
    // resets. Otherwise (equal, out of range, NaN) does nothing at all.
    void SetWindow(double windowMs);

    // Clears every measurement: maxima, held peaks, the window (sum, fill: no windowed result until
    // it is full again) and the integration. Keeps configuration, window length, overlap, offsets
    // and the true-peak interpolators' history, which goes on with the audio so that a reset in the
    // middle of a programme shows the interpolators no step from silence.
    void Reset();

    // The two sections over frames 0 .. nFrames-1, slot k's sample i being slots[k][i]; any split of
    // the audio into runs gives the same bits. All six pointers must be valid for nFrames doubles.
    // - ProcessBlock_M, the follower section: feeds each selected slot's follower with |s_k|.
    // - ProcessBlock, the measuring section: true peaks (when enable != 0.0), sample peak, window and
    //   integration. Returns 1 when the run's last frame produced a new windowed result. Interpolators
    //   that do not measure (slots not selected, or enable == 0.0) follow their samples
    //   (ISPD_ITU::Follow).
    void ProcessBlock_M(const double* const* slots, int nFrames, int config);
    int ProcessBlock(const double* const* slots, int nFrames, double enable, int config);

    // For frames the engine does not measure (transport stopped under "Sync", or the other meter type
    // shown): the true-peak interpolators of all six slots keep up with the audio (ISPD_ITU::Follow),
    // so that measuring after the next Reset goes on from it. Measurements stay as they are; measuring
    // again without a reset goes on as if these frames had never come.
    void FollowBlock(const double* const* slots, int nFrames);

    // Crest factor in dB: rounded peak-maximum level minus rounded integrated level (offsets applied);
    // -144.0 when the integrated level is below -140 dB. Writes the two read-outs it computes.
    double GetCrestVal_db();

    int Capacity() const { return mCapacity; }

    // Configuration (Init / SetWindow; offsets set by the parameter reactions).
    double mFs = 44100.0;  // Hz
    double mMinWindowMs = 10.0;
    double mMaxWindowMs = 3000.0;
    double mWindowMs = 10.0;  // active window, ms
    int mWindowLength = 1;    // samples of the active window
    double mOverlap = 0.75;
    double mRmsOffsetDb = 0.0;  // 3.0 in "RMS +3dB (dBFS)"
    double mPeakOffsetDb = 0.0;
    double mCommonOffsetDb = 0.0;

    // Results, linear.
    double mMeanSquare = 0.0;            // windowed mean square ("OUT:RMS ML")
    double mMaxMeanSquare = 0.0;         // window mean square's maximum at any sample ("OUT:RMS ML Max")
    double mIntegratedMeanSquare = 0.0;  // since reset, published once the window is full ("OUT:RMS IL")
    double mSamplePeak = 0.0;            // largest selected |s_k| of the latest sample
    double mPeakMax = 0.0;               // since reset ("OUT:RMS Peak Max")
    int mFull = 0;                       // 1 once the active window has been filled since reset
    int mReady = 0;                      // 1 only for the sample that produced a windowed result

    // Read-out levels in dB, -144.0 after a reset. The display feed writes the first two;
    // GetCrestVal_db and the display feed write the other two.
    double mReadoutDb = -144.0;
    double mMaxReadoutDb = -144.0;
    double mIntegratedReadoutDb = -144.0;
    double mPeakMaxReadoutDb = -144.0;

    // Integration since reset. The count is 64-bit so the mean stays defined for any session length.
    double mIntegratedSum = 0.0;
    std::int64_t mIntegratedCount = 0;

    ISPD_ITU mTruePeak[kSlots];
    PeakFollower mFollower[kSlots];

  private:
    // Everything of ProcessBlock after the true peaks (sample peak, window, integration) for frames
    // from .. from + n - 1 of the slot arrays.
    void MeasureRun(const double* const* slots, int from, int n, unsigned selected);

    // The sliding window over the summed slot powers, its ring sized for the longest window; its
    // results are copied into mMeanSquare, mMaxMeanSquare, mFull and mReady after every run.
    RMS_MS mWindow;
    int mCapacity = 0;  // 0 when Init failed
    // Copies the window's results into the public fields.
    void TakeWindowResults();
};
