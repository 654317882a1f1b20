// Speed of the measuring engines. Run by hand (never a timed test):
//   build/bench/meters/meters_bench
// Figures: frames per second (`frames/s`) and the multiple of real time at 48 kHz (`x_realtime`)
// for both engines, stereo and six channels, through the per-sample calls and through the block
// calls on each instruction set; the cost of one integrator and one loudness-range block in the exact
// stage at its fullest and in the histogram stage; the cost per second of audio once the input falls
// silent after a loud passage (states decaying into subnormal numbers), with and without flush-to-zero.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/LRA.h"
#include "meters/RMSInt.h"
#include "meters/RMSMM6.h"
#include "meters/SimdKernels.h"
#include "tests/meters/EngineFrames.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define QUENLIX_BENCH_FTZ 1
#endif

namespace {

constexpr double kFs = 48000.0;
constexpr double kPi = 3.14159265358979323846;

// One second of six slightly different programme channels around -20 dBFS.
struct Programme {
    Programme() {
        for (int k = 0; k < 6; ++k) {
            ch[k].resize(static_cast<size_t>(kFs));
            for (size_t n = 0; n < ch[k].size(); ++n)
                ch[k][n] = 0.1 * std::sin(2.0 * kPi * (997.0 + 110.0 * k) * n / kFs) +
                           0.02 * std::sin(2.0 * kPi * 61.0 * n / kFs);
        }
    }
    std::vector<double> ch[6];
};

const Programme& Audio() {
    static const Programme p;
    return p;
}

void SetRates(benchmark::State& state, long framesPerIteration) {
    const double frames = static_cast<double>(state.iterations()) * framesPerIteration;
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(frames / kFs, benchmark::Counter::kIsRate);
}

// Feeds `frames` frames of the programme (or silence) to the EBU engine.
void FeedEbu(EBUMM6& e, long frames, int config, bool silent) {
    const Programme& a = Audio();
    const long len = static_cast<long>(a.ch[0].size());
    for (long i = 0; i < frames; ++i) {
        const long n = i % len;
        const double g = silent ? 0.0 : 1.0;
        const double s1 = g * a.ch[0][n], s2 = g * a.ch[1][n], s3 = g * a.ch[2][n];
        const double s4 = g * a.ch[3][n], s5 = g * a.ch[4][n], s6 = g * a.ch[5][n];
        ProcessFrame_M(e, s1, s2, s3, s4, s5, s6, config);
        ProcessFrame(e, s1, s2, s3, s4, s5, s6, config, 1);
    }
}

void FeedRms(RMSMM6& r, long frames, int config, bool silent) {
    const Programme& a = Audio();
    const long len = static_cast<long>(a.ch[0].size());
    for (long i = 0; i < frames; ++i) {
        const long n = i % len;
        const double g = silent ? 0.0 : 1.0;
        const double s1 = g * a.ch[0][n], s2 = g * a.ch[1][n], s3 = g * a.ch[2][n];
        const double s4 = g * a.ch[3][n], s5 = g * a.ch[4][n], s6 = g * a.ch[5][n];
        ProcessFrame_M(r, s1, s2, s3, s4, s5, s6, 1.0, config);
        ProcessFrame(r, s1, s2, s3, s4, s5, s6, 1.0, config);
    }
}

// Arg: EBU channel config (0 = 2.0 stereo, 3 = 5.1, all six slots).
void BM_EBUMM6(benchmark::State& state) {
    EBUMM6 e;
    e.Init(kFs);
    const int config = static_cast<int>(state.range(0));
    constexpr long kBlock = 4800;
    for (auto _ : state) FeedEbu(e, kBlock, config, false);
    benchmark::DoNotOptimize(e.mMomentary.mResult);
    SetRates(state, kBlock);
}
BENCHMARK(BM_EBUMM6)->ArgName("config")->Arg(0)->Arg(3);

// Arg: RMS channel config (0 = stereo, 4 = six channels), window 300 ms, true peak enabled.
void BM_RMSMM6(benchmark::State& state) {
    RMSMM6 r;
    r.Init(10.0, 3000.0, 0.75, kFs);
    r.SetWindow(300.0);
    const int config = static_cast<int>(state.range(0));
    constexpr long kBlock = 4800;
    for (auto _ : state) FeedRms(r, kBlock, config, false);
    benchmark::DoNotOptimize(r.mMeanSquare);
    SetRates(state, kBlock);
}
BENCHMARK(BM_RMSMM6)->ArgName("config")->Arg(0)->Arg(4);

// The block paths the plug-in's driver uses: runs of 256 frames, as between two refresh points.
// Arg 0: channel config (EBU 0 = stereo, 3 = 5.1; RMS 0 = stereo, 4 = six). Arg 1: instruction set
// (0 scalar, 1 SSE2, 2 AVX2 where the processor has it).
constexpr long kRunFrames = 256;

bool UseSimdLevel(benchmark::State& state, long level) {
    if (meters::SetSimdLevel(static_cast<meters::SimdLevel>(level))) return true;
    state.SkipWithError("instruction set not available on this processor");
    return false;
}

void BM_EBUMM6_Block(benchmark::State& state) {
    if (!UseSimdLevel(state, state.range(1))) return;
    EBUMM6 e;
    e.Init(kFs);
    const int config = static_cast<int>(state.range(0));
    const Programme& a = Audio();
    const long len = static_cast<long>(a.ch[0].size());
    long pos = 0;
    for (auto _ : state) {
        const double* slots[6];
        for (int k = 0; k < 6; ++k) slots[k] = a.ch[k].data() + pos;
        e.ProcessBlock_M(slots, kRunFrames, config);
        e.ProcessBlock(slots, kRunFrames, config, 1);
        pos = pos + kRunFrames + kRunFrames <= len ? pos + kRunFrames : 0;
    }
    meters::SetSimdLevel(meters::SupportedSimdLevel());
    benchmark::DoNotOptimize(e.mMomentary.mResult);
    SetRates(state, kRunFrames);
}
BENCHMARK(BM_EBUMM6_Block)->ArgNames({"config", "isa"})->ArgsProduct({{0, 3}, {0, 1, 2}});

void BM_RMSMM6_Block(benchmark::State& state) {
    if (!UseSimdLevel(state, state.range(1))) return;
    RMSMM6 r;
    r.Init(10.0, 3000.0, 0.75, kFs);
    r.SetWindow(300.0);
    const int config = static_cast<int>(state.range(0));
    const Programme& a = Audio();
    const long len = static_cast<long>(a.ch[0].size());
    long pos = 0;
    for (auto _ : state) {
        const double* slots[6];
        for (int k = 0; k < 6; ++k) slots[k] = a.ch[k].data() + pos;
        r.ProcessBlock_M(slots, kRunFrames, config);
        r.ProcessBlock(slots, kRunFrames, 1.0, config);
        pos = pos + kRunFrames + kRunFrames <= len ? pos + kRunFrames : 0;
    }
    meters::SetSimdLevel(meters::SupportedSimdLevel());
    benchmark::DoNotOptimize(r.mMeanSquare);
    SetRates(state, kRunFrames);
}
BENCHMARK(BM_RMSMM6_Block)->ArgNames({"config", "isa"})->ArgsProduct({{0, 4}, {0, 1, 2}});

double BlockMeanSquare(std::mt19937& rng) {
    std::uniform_real_distribution<double> lufs(-35.0, -12.0);
    return std::pow(10.0, (lufs(rng) + 0.691) / 10.0);
}

// One momentary block reaching the integrator. Arg 0 = exact stage with about 36000 stored blocks (the
// store is sized larger here so that it stays in that stage however many iterations run); 1 = histogram
// stage after 100000 blocks. The blocks are random between -35 and -12 LUFS, so the relative threshold
// keeps moving across stored blocks and the exact stage walks its store on many of them.
void BM_RMSInt_Block(benchmark::State& state) {
    const bool exact = state.range(0) == 0;
    RMSInt integ;
    integ.Init(exact ? 1 << 20 : 100);
    std::mt19937 rng(7);
    for (int i = 0; i < (exact ? RMSInt::kCapacity : 100000); ++i) integ.Process(BlockMeanSquare(rng));
    for (auto _ : state) integ.Process(BlockMeanSquare(rng));
    benchmark::DoNotOptimize(integ.mIntegratedLufs);
    state.counters["blocks"] = static_cast<double>(integ.mCount);
}
BENCHMARK(BM_RMSInt_Block)->ArgName("histogram")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One short-term block reaching the loudness range. Arg 0 = exact stage with about 3600 stored blocks
// (store sized larger, as above); 1 = histogram stage after 100000 blocks.
void BM_LRA_Block(benchmark::State& state) {
    const bool exact = state.range(0) == 0;
    LRA lra;
    lra.Init(exact ? 1 << 20 : 100);
    std::mt19937 rng(11);
    for (int i = 0; i < (exact ? EBUMM6::kLraCapacity : 100000); ++i) lra.Process(BlockMeanSquare(rng));
    for (auto _ : state) lra.Process(BlockMeanSquare(rng));
    benchmark::DoNotOptimize(lra.mRangeLu);
    state.counters["blocks"] = static_cast<double>(lra.mCount);
}
BENCHMARK(BM_LRA_Block)->ArgName("histogram")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// For comparison: the first-element-pivot iterative quicksort the range once used, on the same
// 3600-value arrays (0 random, 1 ascending, 2 all equal).
void PlainQuicksort(double* a, int k, int* start, int* end) {
    int i = 0;
    start[0] = 0;
    end[0] = k;
    while (i >= 0) {
        int L = start[i];
        int R = end[i] - 1;
        if (L < R) {
            const double pivot = a[L];
            while (L < R) {
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
            if (end[i] - start[i] > end[i - 1] - start[i - 1]) {
                std::swap(start[i], start[i - 1]);
                std::swap(end[i], end[i - 1]);
            }
        } else {
            i -= 1;
        }
    }
}

void BM_Sort3600(benchmark::State& state) {
    std::mt19937 rng(11);
    std::vector<double> blocks(EBUMM6::kLraCapacity), work(blocks.size());
    for (double& b : blocks) b = BlockMeanSquare(rng);
    if (state.range(1) == 1) std::sort(blocks.begin(), blocks.end());
    if (state.range(1) == 2) std::fill(blocks.begin(), blocks.end(), 0.005);
    int start[300], end[300];
    for (auto _ : state) {
        work = blocks;
        if (state.range(0) == 0)
            PlainQuicksort(work.data(), static_cast<int>(work.size()), start, end);
        else
            std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_Sort3600)
    ->ArgNames({"introsort", "order"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

// Cost of one second of audio. Arg 0: 0 continuous programme, 1 silence after 1 s of programme and
// Arg 1 further seconds of silence (states decaying toward and into subnormal numbers).
// Arg 2: 1 = flush-to-zero and denormals-are-zero on (as the plug-in's audio thread runs).
template <typename Engine, typename Setup, typename Feed>
void SecondOfAudio(benchmark::State& state, Setup setup, Feed feed) {
    const bool silent = state.range(0) != 0;
    const long before = static_cast<long>(state.range(1) * kFs);
#ifdef QUENLIX_BENCH_FTZ
    const unsigned int savedCsr = _mm_getcsr();
    if (state.range(2) != 0) _mm_setcsr(savedCsr | 0x8040u);
#endif
    auto e = std::make_unique<Engine>();
    for (auto _ : state) {
        state.PauseTiming();
        setup(*e);
        feed(*e, static_cast<long>(kFs), false);
        if (silent) feed(*e, before, true);
        state.ResumeTiming();
        feed(*e, static_cast<long>(kFs), silent);
    }
#ifdef QUENLIX_BENCH_FTZ
    _mm_setcsr(savedCsr);
#endif
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EBUMM6_SecondOfAudio(benchmark::State& state) {
    SecondOfAudio<EBUMM6>(
        state, [](EBUMM6& e) { e.Init(kFs); },
        [](EBUMM6& e, long n, bool silent) { FeedEbu(e, n, 3, silent); });
}
BENCHMARK(BM_EBUMM6_SecondOfAudio)
    ->ArgNames({"silent", "after_s", "ftz"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({1, 2, 0})
    ->Args({1, 10, 0})
    ->Args({0, 0, 1})
    ->Args({1, 2, 1})
    ->Args({1, 10, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
// After 160 s of silence the peak followers (falling 40 dB/s from the programme's peak) are
// subnormal too.
BENCHMARK(BM_EBUMM6_SecondOfAudio)
    ->ArgNames({"silent", "after_s", "ftz"})
    ->Args({1, 160, 0})
    ->Args({1, 160, 1})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void BM_RMSMM6_SecondOfAudio(benchmark::State& state) {
    SecondOfAudio<RMSMM6>(
        state,
        [](RMSMM6& r) {
            r.Init(10.0, 3000.0, 0.75, kFs);
            r.SetWindow(300.0);
        },
        [](RMSMM6& r, long n, bool silent) { FeedRms(r, n, 4, silent); });
}
BENCHMARK(BM_RMSMM6_SecondOfAudio)
    ->ArgNames({"silent", "after_s", "ftz"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({1, 2, 0})
    ->Args({1, 10, 0})
    ->Args({0, 0, 1})
    ->Args({1, 10, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RMSMM6_SecondOfAudio)
    ->ArgNames({"silent", "after_s", "ftz"})
    ->Args({1, 160, 0})
    ->Args({1, 160, 1})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
