#include "meters/ISPD_ITU.h"

#include <cmath>
#include <initializer_list>

#include "meters/SimdKernels.h"

// Both tables are symmetric about index 24 (coefficient 48 - i equals coefficient i); every
// coefficient whose distance from 24 is a multiple of 4 is 0, and the centre is 1.0.
const double ISPD_ITU::kTableA[kTaps] = {
    0.0,          -0.0113627589, -0.0191044694, -0.0159103563, 0.0,           0.0215911641,  0.035270536,
    0.0286867231, 0.0,           -0.0376174666, -0.0607635168, -0.0490561018, 0.0,           0.0641652807,
    0.1042508861, 0.0851524187,  0.0,           -0.1167752969, -0.1977195989, -0.1714597373, 0.0,
    0.2948842718, 0.631679674,   0.8985659968,  1.0,           0.8985659968,  0.631679674,   0.2948842718,
    0.0,          -0.1714597373, -0.1977195989, -0.1167752969, 0.0,           0.0851524187,  0.1042508861,
    0.0641652807, 0.0,           -0.0490561018, -0.0607635168, -0.0376174666, 0.0,           0.0286867231,
    0.035270536,  0.0215911641,  0.0,           -0.0159103563, -0.0191044694, -0.0113627589, 0.0,
};

const double ISPD_ITU::kTableB[kTaps] = {
    0.0,          -0.0044868228, -0.0088145895, -0.008280566,  0.0,           0.0134174357,  0.0234575469,
    0.0202222846, 0.0,           -0.0291478206, -0.0489424837, -0.0408855541, 0.0,           0.0566018044,
    0.0941425797, 0.0784917518,  0.0,           -0.1112852516, -0.1909072646, -0.1673657032, 0.0,
    0.2923568365, 0.6292755496,  0.8977114802,  1.0,           0.8977114802,  0.6292755496,  0.2923568365,
    0.0,          -0.1673657032, -0.1909072646, -0.1112852516, 0.0,           0.0784917518,  0.0941425797,
    0.0566018044, 0.0,           -0.0408855541, -0.0489424837, -0.0291478206, 0.0,           0.0202222846,
    0.0234575469, 0.0134174357,  0.0,           -0.008280566,  -0.0088145895, -0.0044868228, 0.0,
};

void ISPD_ITU::Init(double sampleRate) {
    mTable = kTableA;
    mNormaliser = kNormaliserA;
    // The rate counts in whole Hz (48000.9 is 48000). A rate outside the int range (or NaN) cannot be
    // truncated safely and keeps table A, the table for every rate that is not a multiple of 48000.
    if (sampleRate > -2147483648.0 && sampleRate < 2147483648.0) {
        const int r = static_cast<int>(sampleRate);
        if (r % 44100 != 0 && r % 48000 == 0) {
            mTable = kTableB;
            mNormaliser = kNormaliserB;
        }
    }
    for (double& h : mHistory) h = 0.0;
    mWriteIndex = 0;
    mFollowing = false;
    Reset();
}

void ISPD_ITU::Reset() {
    if (mFollowing) {
        for (int i = 0; i < 2 * kInputs; ++i) mHistory[i] = mFollowed[i];
        mWriteIndex = mFollowedIndex;
        mFollowing = false;
    }
    // A non-finite input is no audio to go on with: while in the history it would keep the
    // maximum non-finite, so only then does a reset clear the history.
    bool finite = true;
    for (double h : mHistory) finite = finite && std::isfinite(h);
    if (!finite) {
        for (double& h : mHistory) h = 0.0;
        mWriteIndex = 0;
    }
    mPeak = 0.0;
    mTruePeakMax = 0.0;
}

void ISPD_ITU::Follow(const double* x, int n) {
    if (n <= 0) return;
    if (!mFollowing) {
        for (int i = 0; i < 2 * kInputs; ++i) mFollowed[i] = mHistory[i];
        mFollowedIndex = mWriteIndex;
        mFollowing = true;
    }
    // Only the newest inputs stay; each is scaled as the per-sample step scales it.
    for (int i = n > kInputs ? n - kInputs : 0; i < n; ++i) {
        const double scaled = (x[i] * 4.0) / mNormaliser;
        mFollowedIndex = mFollowedIndex == 0 ? kInputs - 1 : mFollowedIndex - 1;
        mFollowed[mFollowedIndex] = scaled;
        mFollowed[mFollowedIndex + kInputs] = scaled;
    }
}

// The four phases as four independent sums over the 13 newest inputs. Each phase adds its terms in
// the order of the written algorithm (j = 48 - p, 44 - p, ... 0, i.e. input m = 0, 1, ... back), zero
// coefficients included, so every value is bit-identical to summing a 49-entry ring that holds each
// input four times; only the four sums are interleaved, which lets them run in parallel.
void ISPD_ITU::ProcessSample(double x) {
    mFollowing = false;
    const double scaled = (x * 4.0) / mNormaliser;
    mWriteIndex = mWriteIndex == 0 ? kInputs - 1 : mWriteIndex - 1;
    mHistory[mWriteIndex] = scaled;
    mHistory[mWriteIndex + kInputs] = scaled;
    const double* s = mHistory + mWriteIndex;  // s[m]: scaled input m samples back
    const double* t = mTable;

    double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    for (int m = 0; m < kInputs - 1; ++m) {
        const double v = s[m];
        a0 += t[48 - 4 * m] * v;
        a1 += t[47 - 4 * m] * v;
        a2 += t[46 - 4 * m] * v;
        a3 += t[45 - 4 * m] * v;
    }
    a0 += t[0] * s[kInputs - 1];  // phase 0 has a 13th tap

    mPeak = 0.0;
    for (double a : {a0, a1, a2, a3}) {
        const double m = std::fabs(a);
        if (m > mPeak) mPeak = m;
    }
    if (mPeak > mTruePeakMax) mTruePeakMax = mPeak;
}

void ISPD_ITU::ProcessRun(const double* x, int n, double* peaks) {
    static_assert(kMaxRun <= meters::kernels::kMaxRun, "a run must fit the kernel");
    if (n <= 0) return;
    mFollowing = false;
    // The 12 inputs before the run, oldest first; the kernel appends the run's own.
    double scaled[kInputs - 1 + kMaxRun];
    for (int m = 0; m < kInputs - 1; ++m) scaled[kInputs - 2 - m] = mHistory[mWriteIndex + m];
    const double largest = meters::kernels::TruePeakRun(mTable, mNormaliser, x, n, scaled, peaks);

    // The 13 newest inputs become the history, newest at index 0.
    const double* newest = scaled + kInputs - 2 + n;
    mWriteIndex = 0;
    for (int m = 0; m < kInputs; ++m) mHistory[m] = mHistory[m + kInputs] = newest[-m];
    mPeak = peaks[n - 1];
    if (largest > mTruePeakMax) mTruePeakMax = largest;
}
