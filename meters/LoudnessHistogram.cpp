#include "meters/LoudnessHistogram.h"

#include <new>

bool LoudnessHistogram::Init(int bins, bool withSums) {
    mBins = bins < 1 ? 1 : bins;
    mCounts.reset(new (std::nothrow) std::uint32_t[mBins]);
    mSums.reset(withSums ? new (std::nothrow) double[mBins] : nullptr);
    const bool ok = mCounts && (mSums || !withSums);
    if (!ok) {
        mCounts.reset();
        mSums.reset();
        mBins = 0;
    }
    mTopStep = 1;
    while (mTopStep * 2 <= mBins) mTopStep *= 2;
    Reset();
    return ok;
}

void LoudnessHistogram::Reset() {
    for (int i = 0; i < mBins; ++i) mCounts[i] = 0;
    if (mSums)
        for (int i = 0; i < mBins; ++i) mSums[i] = 0.0;
    mTotal = 0;
}

int LoudnessHistogram::BinOf(double lufs) const {
    const double x = (lufs - kLowestLufs) * kBinsPerLu;
    if (!(x >= 1.0)) return 0;  // also NaN
    if (x >= static_cast<double>(mBins)) return mBins > 0 ? mBins - 1 : 0;
    return static_cast<int>(x);
}

void LoudnessHistogram::Add(double lufs, double meanSquare) {
    if (mBins == 0 || mTotal >= kMaxBlocks) return;
    const int first = Node(BinOf(lufs));
    for (int i = first; i <= mBins; i += i & -i) mCounts[i - 1] += 1;
    if (mSums)
        for (int i = first; i <= mBins; i += i & -i) mSums[i - 1] += meanSquare;
    mTotal += 1;
}

std::int64_t LoudnessHistogram::CountFrom(int bin) const {
    if (bin < 0) bin = 0;
    if (bin >= mBins) return 0;
    std::int64_t n = 0;
    for (int i = Node(bin); i > 0; i -= i & -i) n += mCounts[i - 1];
    return n;
}

double LoudnessHistogram::SumFrom(int bin) const {
    if (bin < 0) bin = 0;
    if (bin >= mBins || !mSums) return 0.0;
    double s = 0.0;
    for (int i = Node(bin); i > 0; i -= i & -i) s += mSums[i - 1];
    return s;
}

int LoudnessHistogram::BinOfRank(std::int64_t rank) const {
    if (mBins == 0 || mTotal == 0) return 0;
    if (rank < 0) rank = 0;
    if (rank >= mTotal) rank = mTotal - 1;
    // The wanted block is number `rest` (0-based) counted from the loudest. Find the last tree prefix
    // (loudest bins first) that holds no more than `rest` blocks; the block lies in the next bin.
    std::int64_t rest = mTotal - 1 - rank;
    int node = 0;
    for (int step = mTopStep; step > 0; step >>= 1) {
        const int next = node + step;
        if (next <= mBins && mCounts[next - 1] <= rest) {
            node = next;
            rest -= mCounts[next - 1];
        }
    }
    return mBins - 1 - node;  // node + 1 is the 1-based tree index of the bin
}

std::int64_t LoudnessHistogram::Bytes() const {
    return static_cast<std::int64_t>(mBins) * (sizeof(std::uint32_t) + (mSums ? sizeof(double) : 0));
}
