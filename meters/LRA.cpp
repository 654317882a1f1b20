#include "meters/LRA.h"

#include <cmath>
#include <new>

#include "meters/Levels.h"

bool LRA::Init(int maxBlocks)
{
  mCapacity = maxBlocks < 1 ? 1 : maxBlocks;
  mStore.reset(new (std::nothrow) double[mCapacity]);
  mWork.reset(new (std::nothrow) double[mCapacity]);
  mAbsoluteGateLufs = -70.0;
  mRelativeGateLu = -20.0;
  mLowPercentile = 10.0;
  mHighPercentile = 95.0;
  mSortStart.reset(new (std::nothrow) int[kSortStackSize]);
  mSortEnd.reset(new (std::nothrow) int[kSortStackSize]);
  const bool ok = mStore && mWork && mSortStart && mSortEnd;
  if (!ok) mCapacity = 0;
  Reset();
  return ok;
}

void LRA::Reset()
{
  mRangeLu = 0.0;
  mRunningSum = 0.0;
  mCount = 0;
}

void LRA::Process(double z)
{
  if (mCapacity == 0) return;

  if (meters::LoudnessLufs(z) >= mAbsoluteGateLufs)
  {
    mRunningSum += z;
    mStore[mCount] = z;
    mCount += 1;
    mGatedLufs = meters::LoudnessLufs(mRunningSum / mCount);
  }
  if (mCount != 0)
  {
    double* work = mWork.get();
    for (int i = 0; i < mCount; ++i) work[i] = mStore[i];

    mRelativeThresholdLufs = mGatedLufs + mRelativeGateLu;
    int k = 0;
    for (int i = 0; i < mCount; ++i)
    {
      const double v = work[i];
      if (meters::LoudnessLufs(v) >= mRelativeThresholdLufs) work[k++] = v;
    }
    mRelativeCount = k;

    // k >= 1 for finite data (the loudest block is never below the gated loudness); an infinite block
    // mean square can empty the gated set, and then the range stays as it was.
    if (k >= 1)
    {
      SortAscending(k);
      const int lowIndex = static_cast<int>(std::floor(mLowPercentile * (k - 1) / 100.0 + 0.5));
      const int highIndex = static_cast<int>(std::floor((k - 1) * mHighPercentile / 100.0 + 0.5));
      mLowLufs = meters::LoudnessLufs(work[lowIndex]);
      mHighLufs = meters::LoudnessLufs(work[highIndex]);
      mRangeLu = mHighLufs - mLowLufs;
    }
  }
  if (mCount == mCapacity)
  {
    mCount = 0;
    mRunningSum = 0.0;
  }
}

// In-place iterative quicksort of work[0, k) into ascending order. The shorter part of every split is
// sorted first, so the stack depth stays below log2(k) + 2, far within its 300 entries.
void LRA::SortAscending(int k)
{
  double* a = mWork.get();
  int* start = mSortStart.get();
  int* end = mSortEnd.get();
  int i = 0;
  start[0] = 0;
  end[0] = k;
  while (i >= 0)
  {
    int L = start[i];
    int R = end[i] - 1;
    if (L < R)
    {
      const double pivot = a[L];
      while (L < R)
      {
        while (a[R] >= pivot && L < R) R--;
        if (L < R) a[L++] = a[R];
        while (a[L] <= pivot && L < R) L++;
        if (L < R) a[R--] = a[L];
      }
      a[L] = pivot;
      start[i + 1] = L + 1;
      end[i + 1] = end[i];
      end[i] = L;
      i += 1;
      if (end[i] - start[i] > end[i - 1] - start[i - 1])
      {
        const int s = start[i];
        const int e = end[i];
        start[i] = start[i - 1];
        end[i] = end[i - 1];
        start[i - 1] = s;
        end[i - 1] = e;
      }
    }
    else
    {
      i -= 1;
    }
  }
}
