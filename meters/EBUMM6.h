#pragma once

// EBUMM6: the EBU R128 loudness engine for up to six input slots (ITU-R BS.1770 K-weighting).
//
// For each run of frames the driver calls ProcessBlock_M (true peak and peak followers) and then
// ProcessBlock (K-weighting, 400 ms and 3 s windows, gated integration, loudness range). Results are
// read from the public members:
//   mTruePeak[k].mTruePeakMax          true-peak maximum of slot k, linear magnitude
//   mFollower[k].mHeld / .mFollower    slot k's held true peak and decaying follower, linear
//   mMomentary.mResult / .mMaxResult   momentary (400 ms) mean square and its maximum, linear;
//                                      valid once mMomentary.mFull is 1
//   mShortTerm.mResult / .mMaxResult   short-term (3 s) mean square and its maximum, linear;
//                                      valid once mShortTerm.mFull is 1
//   mIntegrator.mIntegratedLufs        integrated loudness, LUFS; valid once mIntegrator.mCount >= 1
//   mLra.mRangeLu                      loudness range, LU; valid once mLra.mCount >= 1
// The windows' results come at their hops; their maxima are taken at every sample of a full window.
// Integrated loudness and loudness range cover every block since the last reset (RMSInt.h, LRA.h).
// Mean squares become LUFS through LoudnessLufs (common/Levels.h).
//
// Channel configurations (`config`): 0 "2.0 Stereo" slots 1-2; 1 "4.0 Surround" slots 1-4;
// 2 "4.1 Surround" slots 1-5 with weights 1.41 on slots 4 and 5, 0 on slot 6; 3 "5.1 Surround"
// slots 1-6 with weight 0 on slot 4 (LFE: true peak only) and 1.41 on slots 5 and 6.
//
// Threads: everything runs on the audio thread under the plug-in mutex, or during construction.
// Init allocates (and may be called again for a new rate); Reset and the block calls never
// allocate, lock or take a logarithm per sample. Non-finite samples give non-finite or meaningless
// results but never undefined behaviour; Reset restores correct measuring.

#include <cstdint>

#include "meters/ISPD_ITU.h"
#include "meters/KFilter.h"
#include "meters/LRA.h"
#include "meters/PeakFollower.h"
#include "meters/RMSInt.h"
#include "meters/RMS_MS.h"

class EBUMM6 {
  public:
    static constexpr int kSlots = 6;
    static constexpr double kMomentaryOverlap = 0.75;
    static constexpr double kShortTermOverlap = 2.0 / 3.0;  // 0.6666666666666666
    static constexpr int kLraCapacity = 3600;

    // Sets filters, detectors and followers up for sampleRate (Hz), allocates the two rings (400 ms and
    // 3 s), the integrator store and the loudness-range arrays, writing every byte of them (arrays of
    // the sizes an earlier Init left are kept), then resets. A non-finite or non-positive rate counts
    // as 44100 Hz. Returns false if an allocation failed; the engine then measures nothing until a
    // later Init succeeds.
    bool Init(double sampleRate);

    // Clears every measurement: maxima, held peaks, both windows (sum, fill, so the momentary and
    // short-term values are "not yet valid" again), the integrator and the loudness range, in the same
    // time at any rate, as no array is cleared (RMS_MS.h, RMSInt.h, LRA.h). Keeps
    // coefficients, window lengths, the table choice and the signal history (the K-weighting filters
    // and the true-peak interpolators), which goes on with the audio: a reset in the middle of a
    // programme shows neither a step from silence nor the filters settling. Filters and interpolators
    // poisoned by a non-finite sample are cleared, and so are filters that missed frames (FollowBlock).
    void Reset();

    // The two sections over frames 0 .. nFrames-1, slot k's sample i being slots[k][i]; any split of
    // the audio into runs gives the same bits. All six pointers must be valid for nFrames doubles
    // (silent slots point at zeros).
    // - ProcessBlock_M, the peak section: true peak and follower for the active slots of `config`; the
    //   interpolators of the other slots follow their samples unmeasured (ISPD_ITU::Follow).
    // - ProcessBlock, the loudness section. With integrate == 0 the windows run but no block reaches
    //   the integrator or the loudness range, which then stand still. The work runs a run of frames at a
    //   time, with
    // the true-peak phases and the slots' K-weighting filters side by side in vector lanes.
    void ProcessBlock_M(const double* const* slots, int nFrames, int config);
    void ProcessBlock(const double* const* slots, int nFrames, int config, int integrate);

    // For frames the engine does not measure (the other meter type is shown): the true-peak
    // interpolators of all six slots keep up with the audio (ISPD_ITU::Follow), so that measuring
    // after the next Reset goes on from it. The K-weighting filters, which only running them would
    // keep up, start from silence at that Reset instead. Measurements stay as they are; measuring
    // again without a reset goes on as if these frames had never come.
    void FollowBlock(const double* const* slots, int nFrames);

    double SampleRate() const { return mSampleRate; }

    // Bytes the last Init allocated: the two rings, the integrator and the loudness range.
    std::int64_t Bytes() const;

    ISPD_ITU mTruePeak[kSlots];
    KFilter mPreFilter[kSlots];
    KFilter mRlbFilter[kSlots];
    RMS_MS mMomentary;
    RMS_MS mShortTerm;
    RMSInt mIntegrator;
    LRA mLra;
    PeakFollower mFollower[kSlots];

  private:
    double mSampleRate = 0.0;
    bool mReady = false;               // every array allocated by the last Init
    bool mFiltersMissedAudio = false;  // FollowBlock ran since the filters last ran
};
