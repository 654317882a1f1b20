#include "meters/EBUMM6.h"

#include <cmath>

#include "meters/SampleCount.h"
#include "meters/SimdKernels.h"

namespace {

using meters::kernels::BiquadBank;
using meters::kernels::kBankLanes;
constexpr int kRun = ISPD_ITU::kMaxRun;

// Slots that ProcessBlock_M examines for a configuration (1, 2; then 3, 4; then 5; then 6).
int PeakSlots(int config) {
    return config <= 0 ? 2 : (config < 2 ? 4 : (config < 3 ? 5 : 6));
}

// Whether ProcessBlock feeds slot k (0-based) its sample under `config`, or 0.0.
bool LoudnessSlotActive(int k, int config) {
    if (k == 2 || k == 3) return config != 0;
    if (k == 4) return config != 0 && config != 1;
    if (k == 5) return config != 0 && config != 1 && config != 2;
    return true;
}

// A filter whose six history values are all +0.0 and whose input stays 0.0 keeps producing +0.0, so it
// need not run; -0.0 and any other value make it run.
bool AtRest(const KFilter& f) {
    const double h[6] = {f.mX0, f.mX1, f.mX2, f.mY0, f.mY1, f.mY2};
    for (double v : h)
        if (v != 0.0 || std::signbit(v)) return false;
    return true;
}

void LoadBank(const KFilter* f, int slots, BiquadBank& b) {
    for (int k = 0; k < kBankLanes; ++k) {
        // Lanes past the live slots run the first slot's coefficients on zeros and are discarded.
        const KFilter& c = f[k < slots ? k : 0];
        b.b0[k] = c.mB0;
        b.b1[k] = c.mB1;
        b.b2[k] = c.mB2;
        b.a1[k] = c.mA1;
        b.a2[k] = c.mA2;
        b.a0n[k] = c.mA0n;
        const bool live = k < slots;
        b.x1[k] = live ? c.mX1 : 0.0;
        b.x2[k] = live ? c.mX2 : 0.0;
        b.y1[k] = live ? c.mY1 : 0.0;
        b.y2[k] = live ? c.mY2 : 0.0;
    }
}

// The histories back into the filters, as the per-sample step leaves them.
void StoreBank(const BiquadBank& b, int slots, KFilter* f) {
    for (int k = 0; k < slots; ++k) {
        f[k].mX2 = b.x2[k];
        f[k].mX1 = f[k].mX0 = b.x1[k];
        f[k].mY2 = b.y2[k];
        f[k].mY1 = f[k].mY0 = f[k].mOut = b.y1[k];
    }
}

}  // namespace

bool EBUMM6::Init(double sampleRate) {
    mSampleRate = meters::UsableSampleRate(sampleRate);
    const double fs = mSampleRate;

    for (int k = 0; k < kSlots; ++k) {
        mPreFilter[k].Init(KFilter::kPreFilter, fs);
        mRlbFilter[k].Init(KFilter::kRlbFilter, fs);
    }
    for (ISPD_ITU& d : mTruePeak) d.Init(fs);

    bool ok = mMomentary.Init(meters::TruncToCount(0.4 * fs, 1, meters::kMaxRingSamples), kMomentaryOverlap);
    ok = mShortTerm.Init(meters::TruncToCount(3.0 * fs, 1, meters::kMaxRingSamples), kShortTermOverlap) && ok;
    ok = mIntegrator.Init(RMSInt::kCapacity) && ok;
    ok = mLra.Init(kLraCapacity) && ok;
    for (PeakFollower& f : mFollower) f.Init(fs);
    mReady = ok;
    mFiltersMissedAudio = false;

    Reset();
    return ok;
}

std::int64_t EBUMM6::Bytes() const {
    const std::int64_t rings =
        static_cast<std::int64_t>(mMomentary.WindowLength()) + mShortTerm.WindowLength();
    return rings * static_cast<std::int64_t>(sizeof(double)) + mIntegrator.Bytes() + mLra.Bytes();
}

void EBUMM6::Reset() {
    for (ISPD_ITU& d : mTruePeak) d.Reset();
    // The filters go on with the audio. They start again from silence only where they have no audio
    // to go on with: after frames they did not see (FollowBlock), or when a non-finite sample
    // poisoned them.
    for (int k = 0; k < kSlots; ++k) {
        if (mFiltersMissedAudio || !mPreFilter[k].HistoryFinite() || !mRlbFilter[k].HistoryFinite()) {
            mPreFilter[k].Reset();
            mRlbFilter[k].Reset();
        }
    }
    mFiltersMissedAudio = false;
    for (PeakFollower& f : mFollower) f.Reset();
    mMomentary.Reset();
    mShortTerm.Reset();
    mIntegrator.Reset();
    mLra.Reset();
}

void EBUMM6::ProcessBlock_M(const double* const* slots, int nFrames, int config) {
    const int peakSlots = PeakSlots(config);
    double peaks[kSlots][kRun];
    meters::kernels::FollowerBank followers;
    for (int k = 0; k < kBankLanes; ++k) {
        const bool live = k < peakSlots;
        followers.held[k] = live ? mFollower[k].mHeld : 0.0;
        followers.follower[k] = live ? mFollower[k].mFollower : 0.0;
        followers.decay[k] = live ? mFollower[k].mDecay : 1.0;
        followers.x[k] = live ? peaks[k] : peaks[0];
    }
    for (int done = 0; done < nFrames;) {
        const int n = nFrames - done < kRun ? nFrames - done : kRun;
        for (int k = 0; k < peakSlots; ++k) mTruePeak[k].ProcessRun(slots[k] + done, n, peaks[k]);
        meters::kernels::FollowerRun(followers, peakSlots, n, false);
        done += n;
    }
    for (int k = 0; k < peakSlots; ++k) {
        mFollower[k].mHeld = followers.held[k];
        mFollower[k].mFollower = followers.follower[k];
    }
    for (int k = peakSlots; k < kSlots; ++k) mTruePeak[k].Follow(slots[k], nFrames);
}

void EBUMM6::FollowBlock(const double* const* slots, int nFrames) {
    if (nFrames <= 0) return;
    for (int k = 0; k < kSlots; ++k) mTruePeak[k].Follow(slots[k], nFrames);
    mFiltersMissedAudio = true;
}

void EBUMM6::ProcessBlock(const double* const* slots, int nFrames, int config, int integrate) {
    if (!mReady || nFrames <= 0) return;
    mFiltersMissedAudio = false;

    // Filters run up to the last slot that is fed or still ringing; the ones after it give +0.0.
    bool active[kSlots];
    int live = 0;
    for (int k = 0; k < kSlots; ++k) {
        active[k] = LoudnessSlotActive(k, config);
        if (active[k] || !AtRest(mPreFilter[k]) || !AtRest(mRlbFilter[k])) live = k + 1;
    }
    alignas(32) BiquadBank pre;
    alignas(32) BiquadBank rlb;
    LoadBank(mPreFilter, live, pre);
    LoadBank(mRlbFilter, live, rlb);

    const RMS_MS::Weights weights = RMS_MS::PowerWeights(config);
    // Every lane of a vector the kernel computes gets an input: the slot's sample or 0.0.
    const int lanes = (live + 3) / 4 * 4;
    alignas(32) double x[kRun * kBankLanes];
    alignas(32) double y[kRun * kBankLanes];
    double power[kRun];
    double results[kRun];
    // Slots after the live ones read 0.0, what their resting filters would give; lanes the kernel
    // computes beyond the live slots come out as 0.0 too (zero history, zero input).
    const int firstRun = nFrames < kRun ? nFrames : kRun;
    for (int k = live; k < kSlots; ++k)
        for (int i = 0; i < firstRun; ++i) y[i * kBankLanes + k] = 0.0;
    for (int done = 0; done < nFrames;) {
        const int n = nFrames - done < kRun ? nFrames - done : kRun;
        for (int k = 0; k < lanes; ++k) {
            if (k < live && active[k]) {
                const double* in = slots[k] + done;
                for (int i = 0; i < n; ++i) x[i * kBankLanes + k] = in[i];
            } else {
                for (int i = 0; i < n; ++i) x[i * kBankLanes + k] = 0.0;
            }
        }
        meters::kernels::KWeightingRun(pre, rlb, live, x, n, y);
        for (int i = 0; i < n; ++i) {
            const double* v = y + i * kBankLanes;
            power[i] = RMS_MS::Power(weights, v[0], v[1], v[2], v[3], v[4], v[5]);
        }
        // The integrator takes only the momentary results and the loudness range only the short-term
        // ones, each in order, so each window can run through the whole run first.
        const int momentaryResults = mMomentary.ProcessRun(power, n, results);
        if (integrate != 0)
            for (int j = 0; j < momentaryResults; ++j) mIntegrator.Process(results[j]);
        const int shortTermResults = mShortTerm.ProcessRun(power, n, results);
        if (integrate != 0)
            for (int j = 0; j < shortTermResults; ++j) mLra.Process(results[j]);
        done += n;
    }
    StoreBank(pre, live, mPreFilter);
    StoreBank(rlb, live, mRlbFilter);
}
