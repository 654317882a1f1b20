// Cost of the base's per-block work around the plug-in's own processing: float to double
// conversion in, the default pass-through process, double to float out; and of a state restore.

#include <benchmark/benchmark.h>

#include <vector>

#include "framework/IPlugBase.h"

namespace {

class BenchPlug : public IPlugBase {
  public:
    BenchPlug()
        : IPlugBase(19, "1-1 2-2 4-4 5-5 6-6", 0, "Bench", "Bench", "Bench", 1, 1, 1, 0, false, false, false,
                    kAPIRTAS) {
        for (int i = 0; i < NParams(); ++i) GetParam(i)->InitDouble("P", 0.0, -144.0, 12.0, 0.1);
        SetInputChannelConnections(0, 6, true);
        SetOutputChannelConnections(0, 6, true);
    }
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int, double) override {}
    void EndInformHostOfParamChange(int) override {}
    void InformHostOfProgramChange() override {}
    double GetSamplePos() override { return 0.0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int*, int*) override {}
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return false; }
};

void BM_BlockFlow(benchmark::State& state) {
    const int nFrames = static_cast<int>(state.range(0));
    BenchPlug plug;
    plug.SetBlockSize(1024);
    std::vector<std::vector<float>> in(6, std::vector<float>(nFrames, 0.5f)),
        out(6, std::vector<float>(nFrames));
    std::vector<float*> ins(6), outs(6);
    for (int c = 0; c < 6; ++c) {
        ins[c] = in[c].data();
        outs[c] = out[c].data();
    }
    for (auto _ : state) {
        WDL_MutexLock lock(plug.GetMutex());
        plug.AttachInputBuffers(0, 6, ins.data(), nFrames);
        plug.AttachOutputBuffers(0, 6, outs.data());
        plug.ProcessBuffers(0.0f, nFrames);
        benchmark::DoNotOptimize(out[5][nFrames - 1]);
    }
    state.SetItemsProcessed(state.iterations() * nFrames * 6);
}
BENCHMARK(BM_BlockFlow)->Arg(64)->Arg(1024)->Arg(4096);

void BM_StateRestore(benchmark::State& state) {
    BenchPlug plug;
    ByteChunk chunk;
    plug.SerializeState(&chunk);
    for (auto _ : state) benchmark::DoNotOptimize(plug.UnserializeState(&chunk, 0));
}
BENCHMARK(BM_StateRestore);

}  // namespace
