// Cost of one audio block through each host adapter. Run by hand (never a timed test):
//   build/bench/lv2/lv2_bench
// Figures: time per block of 64, 512 and 4096 frames of 48 kHz stereo noise, EBU R128 type, through
// the LV2 module's run (loaded with lilv from the build tree, controls read and written every run)
// and through the RTAS adapter's ProcessAudio (attach, driver, pass-through, under the plug-in mutex).

#include <benchmark/benchmark.h>
#include <lilv/lilv.h>

#include <memory>
#include <random>
#include <vector>

#include "plugin/Quenlix.h"

namespace {

constexpr double kFs = 48000.0;
constexpr int kMaxBlock = 4096;

// Two channels of noise around -20 dBFS, one block of the largest size.
struct Noise {
    Noise() : in(2, std::vector<float>(kMaxBlock)), out(2, std::vector<float>(kMaxBlock)) {
        std::mt19937 rng{1};
        std::normal_distribution<float> noise(0.0f, 0.1f);
        for (auto& c : in)
            for (float& s : c) s = noise(rng);
    }
    std::vector<std::vector<float>> in, out;
};

void BM_Lv2Run(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, QUENLIX_LV2_BUNDLE "/");
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, "urn:harbelwick:quenlix:stereo");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    const LV2_Feature* features[] = {nullptr};
    LilvInstance* instance = plugin ? lilv_plugin_instantiate(plugin, kFs, features) : nullptr;
    if (!instance) {
        state.SkipWithError("the LV2 bundle did not load");
        lilv_world_free(world);
        return;
    }
    const uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
    std::vector<float> controls(nPorts, 0.0f);
    Noise noise;
    // Controls first, then the transport (left unconnected), then 2 audio inputs and 2 outputs.
    for (uint32_t i = 0; i + 5 < nPorts; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
    controls[0] = 1.0f;           // "Type": EBU R128
    controls[nPorts - 6] = 1.0f;  // "Enabled"
    for (int c = 0; c < 2; ++c) {
        lilv_instance_connect_port(instance, nPorts - 4 + c, noise.in[c].data());
        lilv_instance_connect_port(instance, nPorts - 2 + c, noise.out[c].data());
    }
    lilv_instance_activate(instance);
    for (auto _ : state) lilv_instance_run(instance, static_cast<uint32_t>(n));
    state.SetItemsProcessed(state.iterations() * n);
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
}

void BM_RtasProcessAudio(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    auto plug = std::make_unique<Quenlix>(IPlugInstanceInfo());
    plug->SetBlockSize(kMaxBlock);
    plug->SetIO(2, 2);
    plug->SetSampleRate(kFs);
    plug->Reset();
    {
        WDL_MutexLock lock(plug->GetMutex());
        plug->GetParam(Quenlix::kType)->Set(1.0);
        plug->OnParamChange(Quenlix::kType);
    }
    Noise noise;
    float* in[2] = {noise.in[0].data(), noise.in[1].data()};
    float* out[2] = {noise.out[0].data(), noise.out[1].data()};
    for (auto _ : state) plug->ProcessAudio(in, out, n);
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(BM_Lv2Run)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_RtasProcessAudio)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_MAIN();
