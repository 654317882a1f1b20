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
inline Vec Zero() {
    return _mm_setzero_pd();
}
inline Vec Set1(double v) {
    return _mm_set1_pd(v);
}
// a with b added in lane 0 only.
inline Vec AddLane0(Vec a, Vec b) {
    return _mm_move_sd(a, _mm_add_pd(a, b));
}
// The largest lane; the lanes are never NaN.
inline double HMax(Vec v) {
    return _mm_cvtsd_f64(_mm_max_pd(v, _mm_unpackhi_pd(v, v)));
}
#include "meters/SimdKernelBody.inc"
}  // namespace sse2

// ---- AVX2: four doubles a vector (compiled for AVX2 only, never with FMA). ----

// The same body over four doubles a vector, every function of it compiled for AVX2.
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
inline Vec Zero() {
    return _mm256_setzero_pd();
}
inline Vec Set1(double v) {
    return _mm256_set1_pd(v);
}
// a with b added in lane 0 only.
inline Vec AddLane0(Vec a, Vec b) {
    return _mm256_blend_pd(a, _mm256_add_pd(a, b), 0x1);
}
// The largest lane; the lanes are never NaN.
inline double HMax(Vec v) {
    const __m128d h = _mm_max_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_max_pd(h, _mm_unpackhi_pd(h, h)));
}
#include "meters/SimdKernelBody.inc"
}  // namespace avx2
#pragma GCC pop_options

#endif  // QUENLIX_X86_KERNELS

}  // namespace

double TruePeakRun(const double* table, double normaliser, const double* x, int n, double* scaled,
                   double* peaks) {
    switch (ActiveSimdLevel()) {
#ifdef QUENLIX_X86_KERNELS
        case SimdLevel::kAvx2:
            return avx2::TruePeakRunVec(table, normaliser, x, n, scaled, peaks);
        case SimdLevel::kSse2:
            return sse2::TruePeakRunVec(table, normaliser, x, n, scaled, peaks);
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
