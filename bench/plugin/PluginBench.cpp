// Speed of the plug-in's audio path. Run by hand (never a timed test):
//   build-<x>/bench/plugin/plugin_bench
// Figures: the multiple of real time (`x_realtime`) of one second of 48 kHz stereo audio through the
// host's float block entry points (conversion, driver, refreshes, pass-through), in both metering
// types, for a programme and for the silence after it while the K-weighting filters' states decay
// through subnormal numbers. `guard` 1 is the plug-in as shipped (flush-to-zero and denormals-are-zero
// for each block); `guard` 0 runs the same per-sample engine calls as the driver without the guard,
// showing what the guard saves on the silent tail.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/DenormalGuard.h"
#include "plugin/Quenlix.h"
#include "tests/meters/EngineFrames.h"

namespace {

constexpr double kFs = 48000.0;
constexpr int kBlock = 512;

// Quenlix without a host process: no transport, parameter reports go nowhere.
class BenchQuenlix : public Quenlix {
  public:
    BenchQuenlix() : Quenlix(IPlugInstanceInfo()) {}
};

void SetParam(Quenlix& plug, int idx, double value) {
    WDL_MutexLock lock(plug.GetMutex());
    plug.GetParam(idx)->Set(value);
    plug.OnParamChange(idx);
}

// Stereo programme (noise around -20 dBFS) or silence, fed in host-sized float blocks.
struct Feeder {
    explicit Feeder(Quenlix& p) : plug(p), left(kBlock), right(kBlock) {
        plug.SetBlockSize(kBlock);
        plug.SetInputChannelConnections(2, 4, false);
        plug.SetOutputChannelConnections(2, 4, false);
        plug.SetSampleRate(kFs);
        plug.Reset();
    }

    void Run(long frames, bool silent) {
        std::normal_distribution<float> noise(0.0f, 0.1f);
        for (long done = 0; done < frames; done += kBlock) {
            for (int i = 0; i < kBlock; ++i) {
                left[i] = silent ? 0.0f : noise(rng);
                right[i] = silent ? 0.0f : noise(rng);
            }
            float* in[2] = {left.data(), right.data()};
            float* out[2] = {outL, outR};
            WDL_MutexLock lock(plug.GetMutex());
            plug.AttachInputBuffers(0, 2, in, kBlock);
            plug.AttachOutputBuffers(0, 2, out);
            plug.ProcessBuffers(0.0f, kBlock);
        }
    }

    // Silence until the EBU engine's high-pass state has decayed into subnormal numbers.
    void RunUntilSubnormal() {
        const EBUMM6& ebu = plug.GetEbuMeter();
        for (int i = 0; i < 2000 && std::fpclassify(ebu.mRlbFilter[0].mY1) != FP_SUBNORMAL; ++i)
            Run(kBlock, true);
    }

    Quenlix& plug;
    std::vector<float> left, right;
    float outL[kBlock], outR[kBlock];
    std::mt19937 rng{1};
};

// Arg 0: type (0 RMS, 1 EBU). Arg 1: 0 programme, 1 silence from the moment the filters are subnormal.
void BM_PluginSecondOfAudio(benchmark::State& state) {
    auto plug = std::make_unique<BenchQuenlix>();
    Feeder feeder(*plug);
    SetParam(*plug, Quenlix::kType, static_cast<double>(state.range(0)));
    const bool silent = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        SetParam(*plug, Quenlix::kSync, 0.0);  // any reaction resets both engines
        feeder.Run(static_cast<long>(kFs / 4), false);
        if (silent) feeder.RunUntilSubnormal();
        state.ResumeTiming();
        feeder.Run(static_cast<long>(kFs), silent);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PluginSecondOfAudio)
    ->ArgNames({"type", "silent"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Cost of one host callback of 64 frames through the float block entry (conversion, driver, refreshes,
// pass-through), the small blocks a low-latency session uses. Arg 0: type (0 RMS, 1 EBU); arg 1:
// channels (2 stereo, 6 six channels: "6 Channel" / "5.1 Surround"). Time per iteration is time per
// callback; `frames/s` is the throughput it allows.
void BM_Callback64(benchmark::State& state) {
    constexpr int kFrames = 64;
    const int channels = static_cast<int>(state.range(1));
    auto plug = std::make_unique<BenchQuenlix>();
    plug->SetBlockSize(kFrames);
    plug->SetInputChannelConnections(0, channels, true);
    plug->SetOutputChannelConnections(0, channels, true);
    plug->SetInputChannelConnections(channels, 6 - channels, false);
    plug->SetOutputChannelConnections(channels, 6 - channels, false);
    plug->SetSampleRate(kFs);
    plug->Reset();
    SetParam(*plug, Quenlix::kType, static_cast<double>(state.range(0)));
    if (channels == 6) {
        SetParam(*plug, Quenlix::kRmsChannelConfig, 4.0);
        SetParam(*plug, Quenlix::kEbuChannelConfig, 3.0);
    }
    // One second of noise around -20 dBFS per channel, played round and round.
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    std::vector<std::vector<float>> in(static_cast<size_t>(channels),
                                       std::vector<float>(static_cast<size_t>(kFs)));
    for (auto& c : in)
        for (float& v : c) v = noise(rng);
    std::vector<std::vector<float>> out(static_cast<size_t>(channels), std::vector<float>(kFrames));
    long pos = 0;
    for (auto _ : state) {
        float* inp[6];
        float* outp[6];
        for (int c = 0; c < channels; ++c) {
            inp[c] = in[static_cast<size_t>(c)].data() + pos;
            outp[c] = out[static_cast<size_t>(c)].data();
        }
        WDL_MutexLock lock(plug->GetMutex());
        plug->AttachInputBuffers(0, channels, inp, kFrames);
        plug->AttachOutputBuffers(0, channels, outp);
        plug->ProcessBuffers(0.0f, kFrames);
        pos = pos + 2 * kFrames <= static_cast<long>(kFs) ? pos + kFrames : 0;
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Callback64)->ArgNames({"type", "channels"})->ArgsProduct({{0, 1}, {2, 6}});

// The EBU engine fed exactly as the driver feeds it, for the silent tail, with and without the guard.
// Arg 0: 1 = the driver's flush-to-zero guard around each block.
void BM_EbuTailDriverLoop(benchmark::State& state) {
    const bool guard = state.range(0) != 0;
    EBUMM6 ebu;
    ebu.Init(kFs);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 0.1);
    auto block = [&](bool silent) {
        for (int i = 0; i < kBlock; ++i) {
            const double s1 = silent ? 0.0 : noise(rng), s2 = silent ? 0.0 : noise(rng);
            ProcessFrame_M(ebu, s1, s2, 0.0, 0.0, 0.0, 0.0, 0);
            ProcessFrame(ebu, s1, s2, 0.0, 0.0, 0.0, 0.0, 0, 1);
        }
    };
    for (auto _ : state) {
        state.PauseTiming();
        ebu.Reset();
        for (int b = 0; b < 24; ++b) block(false);
        for (int b = 0; b < 2000 && std::fpclassify(ebu.mRlbFilter[0].mY1) != FP_SUBNORMAL; ++b) block(true);
        state.ResumeTiming();
        for (long done = 0; done < static_cast<long>(kFs); done += kBlock) {
            if (guard) {
                ScopedFlushDenormals flush;
                block(true);
            } else {
                block(true);
            }
        }
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EbuTailDriverLoop)
    ->ArgName("guard")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
