#pragma once

// LoudnessHistogram: how many blocks (and, optionally, what sum of block mean squares) lie in each
// 0.001 LU loudness bin, for measurements that must cover every block since a reset however long.
//
// Bin b holds the blocks whose loudness l (LUFS) has floor((l + 70) * 1000) = b, so bin 0 starts at the
// absolute gate, -70 LUFS. The last bin also takes every louder block (and an infinite one); a block
// below -70 LUFS is never added by the engines and would count in bin 0. The bin of a loudness is a
// non-decreasing function of it, so "the blocks in bins >= BinOf(T)" are exactly the blocks at or
// above some loudness T' with T - 0.001 LU < T' <= T (T inside the bins' range).
//
// Counts and sums are kept as Fenwick trees over the bins in descending order, so the count or sum of
// all bins from a bin upwards, and the bin that holds the block of a given rank, take O(log bins) and
// never subtract one sum from another. Each sum carries only the rounding of its own running additions:
// a sum of n block mean squares (all positive) is within a relative (n - 1) u of the exact one, u =
// 2^-53, that is 4.8e-7 after 2^32 blocks (13.6 years of 100 ms blocks). The counts are exact.
//
// A reset costs the same however many bins there are: every tree node carries the generation it was
// last written in, and a node of an older generation reads as empty (count 0, sum 0.0) until Add
// writes it again, starting from 0 as a zeroed node would. Reset only moves the generation on; once in
// 2^32 resets the generations wrap and that one reset empties every node.
//
// Owns its arrays (allocated in Init only, every byte written there). Threads: audio thread under the
// plug-in mutex, or during construction. Reset, Add and the queries allocate nothing, take no
// logarithm and touch no memory Init did not.

#include <cstdint>
#include <memory>

class LoudnessHistogram {
  public:
    static constexpr double kLowestLufs = -70.0;
    static constexpr double kBinsPerLu = 1000.0;
    // Blocks counted at most; after that Add ignores blocks (over 13 years of 100 ms blocks).
    static constexpr std::int64_t kMaxBlocks = 0xFFFFFFFFll;

    // Allocates `bins` bins (at least 1) of counts and, if withSums, of sums, all zeroed; then Reset.
    // Arrays of that size from an earlier Init are kept as they are. Returns false if an allocation
    // failed; the histogram then holds nothing and every query gives 0.
    bool Init(int bins, bool withSums);

    // Empties every bin, in constant time.
    void Reset();

    // Bin of a loudness: clamped to [0, bins - 1]; NaN gives 0.
    int BinOf(double lufs) const;

    // Adds one block of loudness `lufs` and mean square `meanSquare` (the sum is kept only withSums).
    void Add(double lufs, double meanSquare);

    std::int64_t Total() const { return mTotal; }

    // Blocks, and the sum of their mean squares, in bins >= bin (bin clamped to the bins).
    std::int64_t CountFrom(int bin) const;
    double SumFrom(int bin) const;

    // Bin that holds the block of the given rank (0 = quietest) among all blocks; rank < Total().
    int BinOfRank(std::int64_t rank) const;

    // Loudness at the middle of a bin, LUFS.
    static double CentreLufs(int bin) { return kLowestLufs + (bin + 0.5) / kBinsPerLu; }

    int Bins() const { return mBins; }

    // Bytes allocated by Init.
    std::int64_t Bytes() const;

    // For tests of the wrap: the generation the bins are in, and a jump to a later one, which leaves
    // the histogram as the resets in between would (empty, nodes as they were written). A generation
    // not above the current one changes nothing.
    std::uint32_t Generation() const { return mGeneration; }
    void SkipToGeneration(std::uint32_t generation);

  private:
    int Node(int bin) const { return mBins - bin; }  // 1-based tree index of a bin, loudest first
    // Tree entry i (0-based), as it reads in the current generation.
    bool Current(int i) const { return mGenerations[i] == mGeneration; }
    std::uint32_t CountAt(int i) const { return Current(i) ? mCounts[i] : 0u; }
    void Clear();

    std::unique_ptr<std::uint32_t[]> mCounts;       // Fenwick tree, mBins entries
    std::unique_ptr<double[]> mSums;                // Fenwick tree, mBins entries, or absent
    std::unique_ptr<std::uint32_t[]> mGenerations;  // generation each tree entry was last written in
    int mBins = 0;
    int mTopStep = 0;  // largest power of two <= mBins
    std::int64_t mTotal = 0;
    std::uint32_t mGeneration = 0;
};
