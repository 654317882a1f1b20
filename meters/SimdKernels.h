#pragma once

// Vector kernels of the engines' block paths, with the instruction set chosen at run time.
//
// Every kernel computes, lane by lane, exactly the operations of the engines' per-sample code in the
// same order (no fused multiply-add: the build forbids contraction and the AVX2 code is compiled
// without FMA), so every result is bit-identical whichever path runs; only independent values (the
// four phases of an interpolator, the frames of a run, the slots of a filter bank) sit side by side.
//
// Paths: AVX2 (4 doubles a vector) where the processor has it, SSE2 (2 doubles) on any other x86-64,
// plain scalar code elsewhere. SetSimdLevel lets tests and benchmarks force a lower path.
//
// Threads: the kernels are pure functions of their arguments, callable from any thread; they allocate
// nothing and take no lock. The level is one process-wide atomic value.

namespace meters {

enum class SimdLevel { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// The best level this processor and build support.
SimdLevel SupportedSimdLevel();
// The level the kernels use: the supported one unless SetSimdLevel chose a lower one.
SimdLevel ActiveSimdLevel();
// Uses `level` from now on when the processor supports it; returns false (and changes nothing)
// otherwise. Any thread; meant for tests and benchmarks, set before audio runs.
bool SetSimdLevel(SimdLevel level);

namespace kernels {

// Largest run the engines hand to one kernel call.
constexpr int kMaxRun = 128;
// Slots of a filter bank: six, padded to a whole number of 4-double vectors.
constexpr int kBankLanes = 8;

// True-peak interpolation of one slot over a run (1 <= n <= kMaxRun). scaled[0 .. 11] holds the 12
// scaled inputs before the run, oldest first; the kernel appends the run's own, scaled[12 + i] =
// (x[i] * 4.0) / normaliser. `table` is the 49-entry coefficient table. peaks[i] receives the largest
// |interpolated value| of the four phases of input i, each phase summed from 0.0 in the written order
// (newest input first), a NaN phase not counting. Returns the largest peak of the run (0.0 or more).
double TruePeakRun(const double* table, double normaliser, const double* x, int n, double* scaled,
                   double* peaks);

// Peak followers of up to kBankLanes slots side by side over a run. Lane k reads x[k][i] (its
// magnitude when `magnitude` is true) and does: held = x > held ? x : held; follower = x > follower ?
// x : follower / decay. Lanes from `slots` up to the next whole vector must have valid x pointers and
// a finite decay; their results are not to be used.
struct FollowerBank {
    alignas(32) double held[kBankLanes], follower[kBankLanes], decay[kBankLanes];
    const double* x[kBankLanes];
};
void FollowerRun(FollowerBank& bank, int slots, int n, bool magnitude);

// The two K-weighting stages of the first `slots` slots side by side (1 <= slots <= kBankLanes),
// direct form I. Coefficient and history arrays hold one entry per lane; x and y are frame-major with
// a stride of kBankLanes (x[i * kBankLanes + k] is slot k's input at frame i). Lanes from `slots` up
// to the next whole vector are computed too: give them finite coefficients and zero inputs. Each stage
// computes (b0 x0 + b1 x1 + b2 x2 - a1 y1 - a2 y2) / a0n, left to right; the division is skipped when every
// lane's a0n is exactly 1.0 (a division by 1.0 returns its operand unchanged). The histories are
// updated in place. 1 <= n <= kMaxRun.
struct BiquadBank {
    alignas(32) double b0[kBankLanes], b1[kBankLanes], b2[kBankLanes], a1[kBankLanes], a2[kBankLanes];
    alignas(32) double a0n[kBankLanes];
    alignas(32) double x1[kBankLanes], x2[kBankLanes], y1[kBankLanes], y2[kBankLanes];
};
void KWeightingRun(BiquadBank& pre, BiquadBank& rlb, int slots, const double* x, int n, double* y);

}  // namespace kernels
}  // namespace meters
