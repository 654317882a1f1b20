#include "meters/LoudnessHistogram.h"

#include <new>

bool LoudnessHistogram::Init(int bins, bool withSums) {
    const int wanted = bins < 1 ? 1 : bins;
    bool ok = mCounts && mBins == wanted && (mSums != nullptr) == withSums;
    if (!ok) {
        mCounts.reset();
        mSums.reset();
        mGenerations.reset();
        // Zeroed here, on the thread that initialises: every node is empty in generation 0, and the
        // audio thread never takes the page faults of touching an array for the first time.
        mCounts.reset(new (std::nothrow) std::uint32_t[wanted]());
        mSums.reset(withSums ? new (std::nothrow) double[wanted]() : nullptr);
        mGenerations.reset(new (std::nothrow) std::uint32_t[wanted]());
        mGeneration = 0;
        mBins = wanted;
        ok = mCounts && mGenerations && (mSums || !withSums);
        if (!ok) {
            mCounts.reset();
            mSums.reset();
            mGenerations.reset();
            mBins = 0;
        }
    }
    mTopStep = 1;
    while (mTopStep * 2 <= mBins) mTopStep *= 2;
    Reset();
    return ok;
}

void LoudnessHistogram::Reset() {
    mTotal = 0;
    if (mBins == 0) return;
    mGeneration += 1;
    // Generation 0 again: nodes last written 2^32 generations ago would read as current.
    if (mGeneration == 0) Clear();
}

void LoudnessHistogram::Clear() {
    for (int i = 0; i < mBins; ++i) {
        mCounts[i] = 0;
        mGenerations[i] = 0;
    }
    if (mSums)
        for (int i = 0; i < mBins; ++i) mSums[i] = 0.0;
    mGeneration = 0;
}

void LoudnessHistogram::SkipToGeneration(std::uint32_t generation) {
    if (mBins == 0 || generation <= mGeneration) return;
    mGeneration = generation;
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
    for (int i = Node(BinOf(lufs)); i <= mBins; i += i & -i) {
        const int at = i - 1;
        if (!Current(at)) {
            // First write since a reset: the node starts from what a zeroed array holds.
            mCounts[at] = 0;
            if (mSums) mSums[at] = 0.0;
            mGenerations[at] = mGeneration;
        }
        mCounts[at] += 1;
        if (mSums) mSums[at] += meanSquare;
    }
    mTotal += 1;
}

std::int64_t LoudnessHistogram::CountFrom(int bin) const {
    if (bin < 0) bin = 0;
    if (bin >= mBins) return 0;
    std::int64_t n = 0;
    for (int i = Node(bin); i > 0; i -= i & -i) n += CountAt(i - 1);
    return n;
}

double LoudnessHistogram::SumFrom(int bin) const {
    if (bin < 0) bin = 0;
    if (bin >= mBins || !mSums) return 0.0;
    double s = 0.0;
    // An empty node adds 0.0, as a zeroed one does, so the sum's bits are those of a zeroed tree.
    for (int i = Node(bin); i > 0; i -= i & -i) s += Current(i - 1) ? mSums[i - 1] : 0.0;
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
        if (next <= mBins && CountAt(next - 1) <= rest) {
            node = next;
            rest -= CountAt(next - 1);
        }
    }
    return mBins - 1 - node;  // node + 1 is the 1-based tree index of the bin
}

std::int64_t LoudnessHistogram::Bytes() const {
    const std::int64_t perBin = 2 * sizeof(std::uint32_t) + (mSums ? sizeof(double) : 0);
    return static_cast<std::int64_t>(mBins) * perBin;
}
