#include "meters/SimdKernels.h"

#include <atomic>
#include <cmath>
#include <initializer_list>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUENLIX_X86_KERNELS 1
#endif

namespace meters {
namespace {

std::atomic<int> gForcedLevel{-1};  // -1: use the supported level

}  // namespace

SimdLevel SupportedSimdLevel() {
#ifdef QUENLIX_X86_KERNELS
    static const SimdLevel level = __builtin_cpu_supports("avx2") ? SimdLevel::kAvx2 : SimdLevel::kSse2;
    return level;
#else
    return SimdLevel::kScalar;
#endif
}

SimdLevel ActiveSimdLevel() {
    const int forced = gForcedLevel.load(std::memory_order_relaxed);
    return forced < 0 ? SupportedSimdLevel() : static_cast<SimdLevel>(forced);
}

bool SetSimdLevel(SimdLevel level) {
    if (static_cast<int>(level) > static_cast<int>(SupportedSimdLevel())) return false;
    gForcedLevel.store(static_cast<int>(level), std::memory_order_relaxed);
    return true;
}

namespace kernels {
namespace {

// ---- Scalar: the per-sample code's arithmetic, one value at a time. ----

double TruePeakRunScalar(const double* t, double normaliser, const double* x, int n, double* scaled,
                         double* peaks) {
    for (int i = 0; i < n; ++i) scaled[12 + i] = (x[i] * 4.0) / normaliser;
    double largest = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* s = scaled + 12 + i;  // s[-m]: input m samples back
        double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
        for (int m = 0; m < 12; ++m) {
            const double v = s[-m];
            a0 += t[48 - 4 * m] * v;
            a1 += t[47 - 4 * m] * v;
            a2 += t[46 - 4 * m] * v;
            a3 += t[45 - 4 * m] * v;
        }
        a0 += t[0] * s[-12];
        double peak = 0.0;
        for (double a : {a0, a1, a2, a3}) {
            const double m = std::fabs(a);
            if (m > peak) peak = m;
        }
        peaks[i] = peak;
        if (peak > largest) largest = peak;
    }
    return largest;
}

void FollowerRunScalar(FollowerBank& b, int slots, int n, bool magnitude) {
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < slots; ++k) {
            const double x = magnitude ? std::fabs(b.x[k][i]) : b.x[k][i];
            if (x > b.held[k]) b.held[k] = x;
            b.follower[k] = x > b.follower[k] ? x : b.follower[k] / b.decay[k];
        }
    }
}

void KWeightingRunScalar(BiquadBank& pre, BiquadBank& rlb, int slots, const double* x, int n, double* y) {
    for (int k = 0; k < slots; ++k) {
        double px1 = pre.x1[k], px2 = pre.x2[k], py1 = pre.y1[k], py2 = pre.y2[k];
        double rx1 = rlb.x1[k], rx2 = rlb.x2[k], ry1 = rlb.y1[k], ry2 = rlb.y2[k];
        for (int i = 0; i < n; ++i) {
            const double x0 = x[i * kBankLanes + k];
            const double p =
                (pre.b0[k] * x0 + pre.b1[k] * px1 + pre.b2[k] * px2 - pre.a1[k] * py1 - pre.a2[k] * py2) /
                pre.a0n[k];
            px2 = px1;
            px1 = x0;
            py2 = py1;
            py1 = p;
            const double r =
                (rlb.b0[k] * p + rlb.b1[k] * rx1 + rlb.b2[k] * rx2 - rlb.a1[k] * ry1 - rlb.a2[k] * ry2) /
                rlb.a0n[k];
            rx2 = rx1;
            rx1 = p;
            ry2 = ry1;
            ry1 = r;
            y[i * kBankLanes + k] = r;
        }
        pre.x1[k] = px1;
        pre.x2[k] = px2;
        pre.y1[k] = py1;
        pre.y2[k] = py2;
        rlb.x1[k] = rx1;
        rlb.x2[k] = rx2;
        rlb.y1[k] = ry1;
        rlb.y2[k] = ry2;
    }
}

bool AllOnes(const double* a0n, int lanes) {
    for (int k = 0; k < lanes; ++k)
        if (a0n[k] != 1.0) return false;
    return true;
}

#ifdef QUENLIX_X86_KERNELS

// Loops over a fixed handful of terms or frames, unrolled so their values stay in registers.
#define QUENLIX_UNROLL _Pragma("GCC unroll 16")

// ---- SSE2: two doubles a vector. ----

// |a| as max(|a|, 0.0): maxpd returns its second operand when either is NaN, so a NaN phase counts as
// 0.0, exactly as the per-sample "larger than the peak so far" test ignores it.
inline __m128d MagnitudeSse2(__m128d a) {
    const __m128d signless = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
    return _mm_max_pd(_mm_and_pd(a, signless), _mm_setzero_pd());
}

// Lanes (phase 0, phase 1) and (phase 2, phase 3) of one frame; returns both phase pairs' magnitudes
// folded to (max(|p0|, |p2|), max(|p1|, |p3|)).
inline __m128d FrameSse2(const __m128d* t01, const __m128d* t23, __m128d t0, const double* s) {
    __m128d a01 = _mm_setzero_pd(), a23 = _mm_setzero_pd();
    QUENLIX_UNROLL for (int m = 0; m < 12; ++m) {
        const __m128d v = _mm_set1_pd(s[-m]);
        a01 = _mm_add_pd(a01, _mm_mul_pd(t01[m], v));
        a23 = _mm_add_pd(a23, _mm_mul_pd(t23[m], v));
    }
    // Phase 0's thirteenth tap, in lane 0 only.
    a01 = _mm_move_sd(a01, _mm_add_pd(a01, _mm_mul_pd(t0, _mm_set1_pd(s[-12]))));
    return _mm_max_pd(MagnitudeSse2(a01), MagnitudeSse2(a23));
}

double TruePeakRunSse2(const double* t, double normaliser, const double* x, int n, double* scaled,
                       double* peaks) {
    const __m128d four = _mm_set1_pd(4.0), norm = _mm_set1_pd(normaliser);
    int j = 0;
    for (; j + 2 <= n; j += 2)
        _mm_storeu_pd(scaled + 12 + j, _mm_div_pd(_mm_mul_pd(_mm_loadu_pd(x + j), four), norm));
    for (; j < n; ++j) scaled[12 + j] = (x[j] * 4.0) / normaliser;
    __m128d t01[12], t23[12];
    for (int m = 0; m < 12; ++m) {
        t01[m] = _mm_set_pd(t[47 - 4 * m], t[48 - 4 * m]);
        t23[m] = _mm_set_pd(t[45 - 4 * m], t[46 - 4 * m]);
    }
    const __m128d t0 = _mm_set1_pd(t[0]);
    // Peaks are never NaN and never negative, so their largest does not depend on the order.
    __m128d largest = _mm_setzero_pd();
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m128d f0 = FrameSse2(t01, t23, t0, scaled + 12 + i);
        const __m128d f1 = FrameSse2(t01, t23, t0, scaled + 13 + i);
        const __m128d p = _mm_max_pd(_mm_unpacklo_pd(f0, f1), _mm_unpackhi_pd(f0, f1));
        _mm_storeu_pd(peaks + i, p);
        largest = _mm_max_pd(largest, p);
    }
    if (i < n) {
        const __m128d f = FrameSse2(t01, t23, t0, scaled + 12 + i);
        const __m128d p = _mm_max_pd(f, _mm_unpackhi_pd(f, f));
        _mm_store_sd(peaks + i, p);
        largest = _mm_max_pd(largest, _mm_unpacklo_pd(p, p));
    }
    return _mm_cvtsd_f64(_mm_max_pd(largest, _mm_unpackhi_pd(largest, largest)));
}

// The filter banks over SSE2's two doubles a vector.
namespace sse2 {
using Vec = __m128d;
constexpr int kLanes = 2;
inline Vec Load(const double* p) {
    return _mm_load_pd(p);
}
inline void Store(double* p, Vec v) {
    _mm_store_pd(p, v);
}
inline Vec LoadU(const double* p) {
    return _mm_loadu_pd(p);
}
inline void StoreU(double* p, Vec v) {
    _mm_storeu_pd(p, v);
}
inline Vec Add(Vec a, Vec b) {
    return _mm_add_pd(a, b);
}
inline Vec Sub(Vec a, Vec b) {
    return _mm_sub_pd(a, b);
}
inline Vec Mul(Vec a, Vec b) {
    return _mm_mul_pd(a, b);
}
inline Vec Div(Vec a, Vec b) {
    return _mm_div_pd(a, b);
}
inline Vec Max(Vec a, Vec b) {
    return _mm_max_pd(a, b);
}
inline Vec And(Vec a, Vec b) {
    return _mm_and_pd(a, b);
}
inline Vec AllBits() {
    return _mm_castsi128_pd(_mm_set1_epi64x(-1));
}
inline Vec Signless() {
    return _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
}
inline Vec Gather(const double* const* x, int i) {
    return _mm_set_pd(x[1][i], x[0][i]);
}
inline Vec SelectGreater(Vec x, Vec a, Vec b) {
    const Vec gt = _mm_cmpgt_pd(x, a);
    return _mm_or_pd(_mm_and_pd(gt, x), _mm_andnot_pd(gt, b));
}
#include "meters/SimdBankKernels.inc"
}  // namespace sse2

// ---- AVX2: four doubles a vector (compiled for AVX2 only, never with FMA). ----

// The filter banks over AVX2's four doubles a vector: the same body, every function of it compiled for
// AVX2.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
using Vec = __m256d;
constexpr int kLanes = 4;
inline Vec Load(const double* p) {
    return _mm256_load_pd(p);
}
inline void Store(double* p, Vec v) {
    _mm256_store_pd(p, v);
}
inline Vec LoadU(const double* p) {
    return _mm256_loadu_pd(p);
}
inline void StoreU(double* p, Vec v) {
    _mm256_storeu_pd(p, v);
}
inline Vec Add(Vec a, Vec b) {
    return _mm256_add_pd(a, b);
}
inline Vec Sub(Vec a, Vec b) {
    return _mm256_sub_pd(a, b);
}
inline Vec Mul(Vec a, Vec b) {
    return _mm256_mul_pd(a, b);
}
inline Vec Div(Vec a, Vec b) {
    return _mm256_div_pd(a, b);
}
inline Vec Max(Vec a, Vec b) {
    return _mm256_max_pd(a, b);
}
inline Vec And(Vec a, Vec b) {
    return _mm256_and_pd(a, b);
}
inline Vec AllBits() {
    return _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
}
inline Vec Signless() {
    return _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
}
inline Vec Gather(const double* const* x, int i) {
    return _mm256_set_pd(x[3][i], x[2][i], x[1][i], x[0][i]);
}
inline Vec SelectGreater(Vec x, Vec a, Vec b) {
    return _mm256_blendv_pd(b, x, _mm256_cmp_pd(x, a, _CMP_GT_OQ));
}
#include "meters/SimdBankKernels.inc"
}  // namespace avx2
#pragma GCC pop_options

#define QUENLIX_AVX2 __attribute__((target("avx2")))

QUENLIX_AVX2 inline __m256d MagnitudeAvx2(__m256d a) {
    const __m256d signless = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
    return _mm256_max_pd(_mm256_and_pd(a, signless), _mm256_setzero_pd());
}

// The four phases of one frame in lanes 0 .. 3, as magnitudes.
QUENLIX_AVX2 inline __m256d FrameAvx2(const __m256d* tp, __m256d t0, const double* s) {
    __m256d a = _mm256_setzero_pd();
    QUENLIX_UNROLL for (int m = 0; m < 12; ++m) a =
        _mm256_add_pd(a, _mm256_mul_pd(tp[m], _mm256_set1_pd(s[-m])));
    a = _mm256_blend_pd(a, _mm256_add_pd(a, _mm256_mul_pd(t0, _mm256_set1_pd(s[-12]))), 0x1);
    return MagnitudeAvx2(a);
}

QUENLIX_AVX2 double TruePeakRunAvx2(const double* t, double normaliser, const double* x, int n,
                                    double* scaled, double* peaks) {
    const __m256d four = _mm256_set1_pd(4.0), norm = _mm256_set1_pd(normaliser);
    int j = 0;
    for (; j + 4 <= n; j += 4)
        _mm256_storeu_pd(scaled + 12 + j, _mm256_div_pd(_mm256_mul_pd(_mm256_loadu_pd(x + j), four), norm));
    for (; j < n; ++j) scaled[12 + j] = (x[j] * 4.0) / normaliser;
    __m256d tp[12];
    for (int m = 0; m < 12; ++m)
        tp[m] = _mm256_set_pd(t[45 - 4 * m], t[46 - 4 * m], t[47 - 4 * m], t[48 - 4 * m]);
    const __m256d t0 = _mm256_set1_pd(t[0]);
    // Peaks are never NaN and never negative, so their largest does not depend on the order.
    __m256d largest4 = _mm256_setzero_pd();
    __m128d largest = _mm_setzero_pd();
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        // Eight frames at once, one term of each per step, so the eight sums' additions overlap.
        const double* s = scaled + 12 + i;
        __m256d f[8];
        QUENLIX_UNROLL for (int k = 0; k < 8; ++k) f[k] = _mm256_setzero_pd();
        QUENLIX_UNROLL for (int m = 0; m < 12; ++m) {
            const __m256d c = tp[m];
            QUENLIX_UNROLL for (int k = 0; k < 8; ++k) f[k] =
                _mm256_add_pd(f[k], _mm256_mul_pd(c, _mm256_set1_pd(s[k - m])));
        }
        QUENLIX_UNROLL for (int k = 0; k < 8; ++k) f[k] = MagnitudeAvx2(
            _mm256_blend_pd(f[k], _mm256_add_pd(f[k], _mm256_mul_pd(t0, _mm256_set1_pd(s[k - 12]))), 0x1));
        QUENLIX_UNROLL for (int g = 0; g < 8; g += 4) {
            // (f0 01, f1 01, f0 23, f1 23) and (f2 01, f3 01, f2 23, f3 23), folded into (f0, f1, f2, f3).
            const __m256d a =
                _mm256_max_pd(_mm256_unpacklo_pd(f[g], f[g + 1]), _mm256_unpackhi_pd(f[g], f[g + 1]));
            const __m256d b =
                _mm256_max_pd(_mm256_unpacklo_pd(f[g + 2], f[g + 3]), _mm256_unpackhi_pd(f[g + 2], f[g + 3]));
            const __m256d p =
                _mm256_max_pd(_mm256_permute2f128_pd(a, b, 0x20), _mm256_permute2f128_pd(a, b, 0x31));
            _mm256_storeu_pd(peaks + i + g, p);
            largest4 = _mm256_max_pd(largest4, p);
        }
    }
    for (; i < n; ++i) {
        const __m256d f = FrameAvx2(tp, t0, scaled + 12 + i);
        const __m128d h = _mm_max_pd(_mm256_castpd256_pd128(f), _mm256_extractf128_pd(f, 1));
        const __m128d p = _mm_max_pd(h, _mm_unpackhi_pd(h, h));
        _mm_store_sd(peaks + i, p);
        largest = _mm_max_pd(largest, p);
    }
    largest =
        _mm_max_pd(largest, _mm_max_pd(_mm256_castpd256_pd128(largest4), _mm256_extractf128_pd(largest4, 1)));
    return _mm_cvtsd_f64(_mm_max_pd(largest, _mm_unpackhi_pd(largest, largest)));
}

#endif  // QUENLIX_X86_KERNELS

}  // namespace

double TruePeakRun(const double* table, double normaliser, const double* x, int n, double* scaled,
                   double* peaks) {
    switch (ActiveSimdLevel()) {
#ifdef QUENLIX_X86_KERNELS
        case SimdLevel::kAvx2:
            return TruePeakRunAvx2(table, normaliser, x, n, scaled, peaks);
        case SimdLevel::kSse2:
            return TruePeakRunSse2(table, normaliser, x, n, scaled, peaks);
#endif
        default:
            return TruePeakRunScalar(table, normaliser, x, n, scaled, peaks);
    }
}

void FollowerRun(FollowerBank& bank, int slots, int n, bool magnitude) {
    switch (ActiveSimdLevel()) {
#ifdef QUENLIX_X86_KERNELS
        case SimdLevel::kAvx2:
            return avx2::FollowerRunVec(bank, slots, n, magnitude);
        case SimdLevel::kSse2:
            return sse2::FollowerRunVec(bank, slots, n, magnitude);
#endif
        default:
            return FollowerRunScalar(bank, slots, n, magnitude);
    }
}

void KWeightingRun(BiquadBank& pre, BiquadBank& rlb, int slots, const double* x, int n, double* y) {
    switch (ActiveSimdLevel()) {
#ifdef QUENLIX_X86_KERNELS
        case SimdLevel::kAvx2:
            return avx2::KWeightingRunVec(pre, rlb, slots, x, n, y);
        case SimdLevel::kSse2:
            return sse2::KWeightingRunVec(pre, rlb, slots, x, n, y);
#endif
        default:
            return KWeightingRunScalar(pre, rlb, slots, x, n, y);
    }
}

}  // namespace kernels
}  // namespace meters
