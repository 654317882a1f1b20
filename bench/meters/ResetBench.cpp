// What a reset and a set-up cost, by sample rate. Run by hand (never a timed test):
//   build/bench/meters/meters_reset_bench
// Figures: the time of one Reset of the EBU engine, of the RMS engine and of both (what a click on a
// meter, a setting change or the host's reset costs the audio thread), each taken between 64-frame
// blocks of programme as a host plays them; and the time of making an engine and its Init (what a
// plug-in instance or the command line pays at start-up), at 48, 192 and 384 kHz.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPeriod = 64;  // frames between two resets, a small host period

enum Engines { kEbu = 0, kRms = 1, kBoth = 2 };

// Four seconds of stereo programme at `rate`: both windows full, blocks in the integrator and the range.
struct Primed {
    explicit Primed(double rate) : left(kPeriod), right(kPeriod), silent(kPeriod, 0.0) {
        ebu.Init(rate);
        rms.Init(10.0, 3000.0, 0.75, rate);
        rms.SetWindow(3000.0);
        for (long done = 0; done < static_cast<long>(4.0 * rate); done += kPeriod) Play(rate, done);
    }
    void Play(double rate, long at) {
        for (int i = 0; i < kPeriod; ++i) {
            const double n = static_cast<double>(at + i);
            left[i] = 0.1 * std::sin(2.0 * kPi * 997.0 * n / rate);
            right[i] = 0.1 * std::sin(2.0 * kPi * 1201.0 * n / rate);
        }
        const double* slots[6] = {left.data(),   right.data(),  silent.data(),
                                  silent.data(), silent.data(), silent.data()};
        ebu.ProcessBlock_M(slots, kPeriod, 0);
        ebu.ProcessBlock(slots, kPeriod, 0, 1);
        rms.ProcessBlock_M(slots, kPeriod, 0);
        rms.ProcessBlock(slots, kPeriod, 1.0, 0);
    }
    EBUMM6 ebu;
    RMSMM6 rms;
    std::vector<double> left, right, silent;
};

// Args: engines (0 EBU, 1 RMS, 2 both), sample rate in Hz. Only the Reset is timed.
void BM_Reset(benchmark::State& state) {
    const int engines = static_cast<int>(state.range(0));
    const double rate = static_cast<double>(state.range(1));
    auto p = std::make_unique<Primed>(rate);
    long at = static_cast<long>(4.0 * rate);
    for (auto _ : state) {
        p->Play(rate, at);
        at += kPeriod;
        const auto start = std::chrono::steady_clock::now();
        if (engines != kRms) p->ebu.Reset();
        if (engines != kEbu) p->rms.Reset();
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    benchmark::DoNotOptimize(p->ebu.mMomentary.mFull);
    state.counters["period_us"] = 1e6 * kPeriod / rate;
}
BENCHMARK(BM_Reset)
    ->ArgNames({"engines", "rate"})
    ->ArgsProduct({{kEbu, kRms, kBoth}, {48000, 192000, 384000}})
    ->UseManualTime()
    ->Iterations(2000)  // the untimed blocks between the resets would otherwise run for minutes
    ->Unit(benchmark::kMicrosecond);

// Making an engine and its Init, then freeing it. Args: engines (0 EBU, 1 RMS), sample rate in Hz.
void BM_MakeAndInit(benchmark::State& state) {
    const bool ebu = state.range(0) == kEbu;
    const double rate = static_cast<double>(state.range(1));
    for (auto _ : state) {
        if (ebu) {
            auto e = std::make_unique<EBUMM6>();
            benchmark::DoNotOptimize(e->Init(rate));
        } else {
            auto r = std::make_unique<RMSMM6>();
            benchmark::DoNotOptimize(r->Init(10.0, 3000.0, 0.75, rate));
        }
    }
}
BENCHMARK(BM_MakeAndInit)
    ->ArgNames({"engines", "rate"})
    ->ArgsProduct({{kEbu, kRms}, {48000, 192000, 384000}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
