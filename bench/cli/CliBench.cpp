// Throughput of the command-line host on a 300 s stereo 48 kHz file, as a multiple of real time: the whole
// host path (file reading, de-interleaving, host blocks through the plug-in module, controls read back);
// beside it the same file read and fed straight to the measuring engine, and the file reading alone, so the
// cost the host path adds over the engines shows.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "BenchProgramme.h"
#include "cli/AudioSource.h"
#include "cli/Meterer.h"
#include "cli/PluginSession.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "tests/meters/EngineFrames.h"

namespace {

using namespace quenlix::cli;

using namespace quenlix::bench;

void BM_MeterFileThroughPlugin(benchmark::State& state) {
    std::string error;
    std::unique_ptr<SessionFactory> factory = makePluginSessionFactory(QUENLIX_BENCH_PLUGIN, error);
    if (!factory) {
        state.SkipWithError(error.c_str());
        return;
    }
    Options options;
    options.blockFrames = static_cast<int>(state.range(0));
    options.quiet = true;
    options.type = static_cast<int>(state.range(1));
    std::ostringstream sink;
    Progress progress(sink, false, 1);
    MeterJob job{benchFile(), [](std::string& e) { return openAudioFile(benchFile(), e); }};
    for (auto _ : state) {
        FileReport report = meterOne(job, 0, *factory, options, nullptr, progress);
        if (!report.ok) {
            state.SkipWithError(report.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(report.measurements.integratedLufs);
    }
    setRealTimeCounter(state);
}
// Arguments: host block size, type (0 RMS, 1 EBU R128).
BENCHMARK(BM_MeterFileThroughPlugin)
    ->Args({512, 1})
    ->Args({512, 0})
    ->Args({4096, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

void BM_EngineOnFile(benchmark::State& state) {
    const bool ebu = state.range(0) == 1;
    std::vector<float> interleaved(2 * 512);
    auto ebuMeter = std::make_unique<EBUMM6>();
    auto rmsMeter = std::make_unique<RMSMM6>();
    for (auto _ : state) {
        ebuMeter->Init(kRate);
        rmsMeter->Init(10.0, 3000.0, 0.75, kRate);
        rmsMeter->SetWindow(300.0);
        std::string error;
        auto source = openAudioFile(benchFile(), error);
        if (!source) {
            state.SkipWithError(error.c_str());
            return;
        }
        for (std::int64_t got; (got = source->read(interleaved.data(), 512, error)) > 0;) {
            for (std::int64_t i = 0; i < got; ++i) {
                double l = interleaved[2 * i], r = interleaved[2 * i + 1];
                if (ebu) {
                    ProcessFrame_M(*ebuMeter, l, r, 0.0, 0.0, 0.0, 0.0, 0);
                    ProcessFrame(*ebuMeter, l, r, 0.0, 0.0, 0.0, 0.0, 0, 1);
                } else {
                    ProcessFrame_M(*rmsMeter, l, r, 0.0, 0.0, 0.0, 0.0, 1.0, 0);
                    ProcessFrame(*rmsMeter, l, r, 0.0, 0.0, 0.0, 0.0, 1.0, 0);
                }
            }
        }
        benchmark::DoNotOptimize(ebuMeter->mIntegrator.mIntegratedLufs);
        benchmark::DoNotOptimize(rmsMeter->mIntegratedMeanSquare);
    }
    setRealTimeCounter(state);
}
// Argument: type (0 RMS, 1 EBU R128), stereo configuration as the plug-in uses for a stereo file.
BENCHMARK(BM_EngineOnFile)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ReadFileOnly(benchmark::State& state) {
    std::vector<float> interleaved(2 * 512);
    for (auto _ : state) {
        std::string error;
        auto source = openAudioFile(benchFile(), error);
        if (!source) {
            state.SkipWithError(error.c_str());
            return;
        }
        double sum = 0.0;
        for (std::int64_t got; (got = source->read(interleaved.data(), 512, error)) > 0;)
            sum += interleaved[0];
        benchmark::DoNotOptimize(sum);
    }
    setRealTimeCounter(state);
}
BENCHMARK(BM_ReadFileOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
