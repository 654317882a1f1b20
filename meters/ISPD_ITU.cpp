#include "meters/ISPD_ITU.h"

#include <cmath>

// Both tables are symmetric about index 24 (coefficient 48 - i equals coefficient i); every
// coefficient whose distance from 24 is a multiple of 4 is 0, and the centre is 1.0.
const double ISPD_ITU::kTableA[kTaps] = {
  0.0,           -0.0113627589, -0.0191044694, -0.0159103563, 0.0,
  0.0215911641,  0.035270536,   0.0286867231,  0.0,           -0.0376174666,
  -0.0607635168, -0.0490561018, 0.0,           0.0641652807,  0.1042508861,
  0.0851524187,  0.0,           -0.1167752969, -0.1977195989, -0.1714597373,
  0.0,           0.2948842718,  0.631679674,   0.8985659968,  1.0,
  0.8985659968,  0.631679674,   0.2948842718,  0.0,           -0.1714597373,
  -0.1977195989, -0.1167752969, 0.0,           0.0851524187,  0.1042508861,
  0.0641652807,  0.0,           -0.0490561018, -0.0607635168, -0.0376174666,
  0.0,           0.0286867231,  0.035270536,   0.0215911641,  0.0,
  -0.0159103563, -0.0191044694, -0.0113627589, 0.0,
};

const double ISPD_ITU::kTableB[kTaps] = {
  0.0,           -0.0044868228, -0.0088145895, -0.008280566,  0.0,
  0.0134174357,  0.0234575469,  0.0202222846,  0.0,           -0.0291478206,
  -0.0489424837, -0.0408855541, 0.0,           0.0566018044,  0.0941425797,
  0.0784917518,  0.0,           -0.1112852516, -0.1909072646, -0.1673657032,
  0.0,           0.2923568365,  0.6292755496,  0.8977114802,  1.0,
  0.8977114802,  0.6292755496,  0.2923568365,  0.0,           -0.1673657032,
  -0.1909072646, -0.1112852516, 0.0,           0.0784917518,  0.0941425797,
  0.0566018044,  0.0,           -0.0408855541, -0.0489424837, -0.0291478206,
  0.0,           0.0202222846,  0.0234575469,  0.0134174357,  0.0,
  -0.008280566,  -0.0088145895, -0.0044868228, 0.0,
};

void ISPD_ITU::Init(double sampleRate)
{
  mTable = kTableA;
  mNormaliser = kNormaliserA;
  // The rate counts in whole Hz (48000.9 is 48000). A rate outside the int range (or NaN) cannot be
  // truncated safely and keeps table A, the table for every rate that is not a multiple of 48000.
  if (sampleRate > -2147483648.0 && sampleRate < 2147483648.0)
  {
    const int r = static_cast<int>(sampleRate);
    if (r % 44100 != 0 && r % 48000 == 0)
    {
      mTable = kTableB;
      mNormaliser = kNormaliserB;
    }
  }
  mAccumulator = 0.0;
  mScaledInput = 0.0;
  Reset();
}

void ISPD_ITU::Reset()
{
  for (double& h : mHistory) h = 0.0;
  mWriteIndex = 0;
  mPeak = 0.0;
  mTruePeakMax = 0.0;
}

void ISPD_ITU::ProcessSample(double x)
{
  mPeak = 0.0;
  mScaledInput = (x * 4.0) / mNormaliser;
  for (int p = 0; p < 4; ++p)
  {
    mHistory[mWriteIndex] = mScaledInput;
    mAccumulator = 0.0;
    // Terms in descending j; history[(write index + j + 1) mod 49] is the entry j + 1 places after
    // the newest, i.e. 48 - j places behind it.
    int idx = mWriteIndex + (48 - p) + 1;
    if (idx >= kTaps) idx -= kTaps;
    for (int j = 48 - p; j >= 0; j -= 4)
    {
      mAccumulator += mTable[j] * mHistory[idx];
      idx -= 4;
      if (idx < 0) idx += kTaps;
    }
    mWriteIndex = mWriteIndex + 1 == kTaps ? 0 : mWriteIndex + 1;
    const double a = std::fabs(mAccumulator);
    if (a > mPeak) mPeak = a;
  }
  if (mPeak > mTruePeakMax) mTruePeakMax = mPeak;
}
