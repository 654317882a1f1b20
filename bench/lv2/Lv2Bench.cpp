// Cost of one audio block through each host adapter. Run by hand (never a timed test):
//   build/bench/lv2/lv2_bench
// Figures: time per block of 64, 512 and 4096 frames of 48 kHz stereo noise, EBU R128 type, through
// the LV2 module's run (loaded with lilv from the build tree, controls read and written every run)
// and through the RTAS adapter's ProcessAudio (attach, driver, pass-through, under the plug-in mutex).
// Settings changes: run() of 256 frames at 48, 192 and 384 kHz, RMS type, with the host moving the
// window port every 16th block (change=1) or never (change=0), and the adapter's block while an editor
// thread changes the type and the window as fast as it can; the counters give the mean and the worst
// block, and for change=1 the mean and worst of the blocks that carried a change. run() of 64 frames at
// the same rates while an editor thread changes settings (editor=1) or not (editor=0), with the plug-in
// mutex's waits. The time and memory each of 50 instances adds at 48 and 384 kHz. The cost of one settings
// change made in the editor, which is what the audio thread may wait for.

#include <benchmark/benchmark.h>
#include <lilv/lilv.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
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

// The stereo plug-in of the build's bundle loaded through lilv at `rate`, its controls, two channels
// of noise in and two out connected; the transport port is left unconnected. Active while it lives.
class StereoLv2 {
  public:
    explicit StereoLv2(double rate) {
        mWorld = lilv_world_new();
        mBundle = lilv_new_file_uri(mWorld, nullptr, QUENLIX_LV2_BUNDLE "/");
        lilv_world_load_bundle(mWorld, mBundle);
        mUri = lilv_new_uri(mWorld, "urn:harbelwick:quenlix:stereo");
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), mUri);
        const LV2_Feature* features[] = {nullptr};
        mInstance = plugin ? lilv_plugin_instantiate(plugin, rate, features) : nullptr;
        if (!mInstance) return;
        const uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
        controls.assign(nPorts, 0.0f);
        // Controls first, then the transport, then 2 audio inputs and 2 outputs.
        for (uint32_t i = 0; i + 5 < nPorts; ++i) lilv_instance_connect_port(mInstance, i, &controls[i]);
        controls[nPorts - 6] = 1.0f;  // "Enabled"
        for (int c = 0; c < 2; ++c) {
            lilv_instance_connect_port(mInstance, nPorts - 4 + c, mNoise.in[c].data());
            lilv_instance_connect_port(mInstance, nPorts - 2 + c, mNoise.out[c].data());
        }
        lilv_instance_activate(mInstance);
    }
    ~StereoLv2() {
        if (mInstance) {
            lilv_instance_deactivate(mInstance);
            lilv_instance_free(mInstance);
        }
        lilv_node_free(mUri);
        lilv_node_free(mBundle);
        lilv_world_free(mWorld);
    }
    StereoLv2(const StereoLv2&) = delete;
    StereoLv2& operator=(const StereoLv2&) = delete;

    bool Loaded() const { return mInstance != nullptr; }
    // The module's plug-in object behind the instance (an IPlugBase first of all).
    IPlugBase* Plug() const { return static_cast<IPlugBase*>(lilv_instance_get_handle(mInstance)); }
    void Run(int frames) { lilv_instance_run(mInstance, static_cast<uint32_t>(frames)); }

    std::vector<float> controls;  // one per port, indexed as the ports

  private:
    LilvWorld* mWorld = nullptr;
    LilvNode* mBundle = nullptr;
    LilvNode* mUri = nullptr;
    LilvInstance* mInstance = nullptr;
    Noise mNoise;
};

// The plug-in as the RTAS adapter holds it, stereo at `rate`, reset for it.
std::unique_ptr<Quenlix> MakeAdapterPlug(double rate) {
    auto plug = std::make_unique<Quenlix>(IPlugInstanceInfo());
    plug->SetBlockSize(kMaxBlock);
    plug->SetIO(2, 2);
    plug->SetSampleRate(rate);
    plug->Reset();
    return plug;
}

void BM_Lv2Run(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    StereoLv2 lv2(kFs);
    if (!lv2.Loaded()) {
        state.SkipWithError("the LV2 bundle did not load");
        return;
    }
    lv2.controls[0] = 1.0f;  // "Type": EBU R128
    for (auto _ : state) lv2.Run(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RtasProcessAudio(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    auto plug = MakeAdapterPlug(kFs);
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

// Wall time of one call in microseconds.
template <typename F>
double Microseconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Mean and worst of a set of block times, as counters named prefix + "_mean_us" / "_worst_us".
struct BlockTimes {
    void Add(double us) {
        sum += us;
        worst = std::max(worst, us);
        ++n;
    }
    void Report(benchmark::State& state, const char* prefix) const {
        if (n == 0) return;
        state.counters[std::string(prefix) + "_mean_us"] = sum / static_cast<double>(n);
        state.counters[std::string(prefix) + "_worst_us"] = worst;
    }
    double sum = 0.0, worst = 0.0;
    long n = 0;
};

void BM_Lv2RunSettingsChange(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const bool change = state.range(1) != 0;
    constexpr int n = 256;
    StereoLv2 lv2(rate);
    if (!lv2.Loaded()) {
        state.SkipWithError("the LV2 bundle did not load");
        return;
    }
    float& window = lv2.controls[Quenlix::kRmsWindow];
    lv2.controls[0] = 0.0f;  // "Type": RMS
    window = 300.0f;
    BlockTimes all, changed;
    long block = 0;
    for (auto _ : state) {
        const bool now = change && block % 16 == 0;
        if (now) window = window == 300.0f ? 400.0f : 300.0f;
        const double us = Microseconds([&] { lv2.Run(n); });
        all.Add(us);
        if (now) changed.Add(us);
        ++block;
    }
    all.Report(state, "run");
    changed.Report(state, "changed");
}

// The adapter's block while the editor changes settings on a thread of its own (type and window in
// turn, each change a reaction with the engines reset): the audio thread's wait for the editor shows
// in the worst block.
void BM_BlockWhileEditorChanges(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    constexpr int n = 256;
    auto plug = MakeAdapterPlug(rate);
    Noise noise;
    float* in[2] = {noise.in[0].data(), noise.in[1].data()};
    float* out[2] = {noise.out[0].data(), noise.out[1].data()};
    std::atomic<bool> stop{false};
    std::atomic<long> changes{0};
    std::thread editor([&] {
        for (long i = 0; !stop.load(); ++i) {
            if (i % 2)
                plug->SetParameterFromGUI(Quenlix::kType, static_cast<double>((i / 2) % 2));
            else
                plug->SetParameterFromGUI(Quenlix::kRmsWindow, (i / 2) % 2 ? 0.2 : 0.4);
            changes.fetch_add(1);
            std::this_thread::yield();
        }
    });
    BlockTimes all;
    for (auto _ : state) all.Add(Microseconds([&] { plug->ProcessAudio(in, out, n); }));
    stop = true;
    editor.join();
    all.Report(state, "block");
    state.counters["editor_changes"] = static_cast<double>(changes.load());
}

// run() of 64 frames through the LV2 module while the editor, on a thread of its own, changes settings
// as fast as it can (type and window in turn, each change a reaction with the engines reset), or never
// (editor=0): mean and worst block, and the plug-in mutex's waits (count and worst) over the run. The
// editor's changes reach the instance as the bundle's UI makes them, through the plug-in's own
// SetParameterFromGUI.
void BM_Lv2RunWhileEditorChanges(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const bool editorChanges = state.range(1) != 0;
    constexpr int n = 64;
    StereoLv2 lv2(rate);
    if (!lv2.Loaded()) {
        state.SkipWithError("the LV2 bundle did not load");
        return;
    }
    IPlugBase* plug = lv2.Plug();
    lv2.controls[0] = NAN;  // the host leaves the settings to the editor
    lv2.controls[Quenlix::kRmsWindow] = NAN;
    const WDL_Mutex::WaitStats before = plug->GetMutex()->GetWaitStats();
    std::atomic<bool> stop{false};
    std::atomic<long> changes{0};
    std::thread editor([&] {
        for (long i = 0; editorChanges && !stop.load(); ++i) {
            if (i % 2)
                plug->SetParameterFromGUI(Quenlix::kType, static_cast<double>((i / 2) % 2));
            else
                plug->SetParameterFromGUI(Quenlix::kRmsWindow, (i / 2) % 2 ? 0.2 : 0.4);
            changes.fetch_add(1);
            std::this_thread::yield();
        }
    });
    BlockTimes all;
    for (auto _ : state) all.Add(Microseconds([&] { lv2.Run(n); }));
    stop = true;
    editor.join();
    const WDL_Mutex::WaitStats after = plug->GetMutex()->GetWaitStats();
    all.Report(state, "run");
    state.counters["editor_changes"] = static_cast<double>(changes.load());
    state.counters["mutex_waits"] = static_cast<double>(after.waits - before.waits);
    state.counters["worst_wait_us"] = static_cast<double>(after.worstNs) / 1000.0;
}

// Resident memory of the process in bytes (/proc/self/statm), 0 when unknown.
double ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0.0;
    unsigned long size = 0, resident = 0;
    const bool read = std::fscanf(f, "%lu %lu", &size, &resident) == 2;
    std::fclose(f);
    return read ? static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) : 0.0;
}

// CPU time the process has used, in milliseconds.
double ProcessCpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A session opening: 50 stereo instances created (instantiate and activate) through lilv at `rate`, as a
// host with Quenlix on 50 tracks does, then freed. Counters: the time and the resident memory each
// instance adds (the first one, which loads the module's libraries, included in the mean).
void BM_Lv2Instances(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    constexpr int kInstances = 50;
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, QUENLIX_LV2_BUNDLE "/");
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, "urn:harbelwick:quenlix:stereo");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    const LV2_Feature* features[] = {nullptr};
    double ms = 0.0, cpuMs = 0.0, bytes = 0.0;
    for (auto _ : state) {
        std::vector<LilvInstance*> instances;
        const double before = ResidentBytes();
        const double cpuBefore = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kInstances && plugin; ++i) {
            LilvInstance* instance = lilv_plugin_instantiate(plugin, rate, features);
            if (!instance) break;
            lilv_instance_activate(instance);
            instances.push_back(instance);
        }
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        cpuMs = ProcessCpuMs() - cpuBefore;
        bytes = ResidentBytes() - before;
        if (instances.size() != kInstances) state.SkipWithError("an instance was refused");
        for (LilvInstance* instance : instances) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    state.counters["ms_per_instance"] = ms / kInstances;
    state.counters["cpu_ms_per_instance"] = cpuMs / kInstances;
    state.counters["MB_per_instance"] = bytes / kInstances / 1e6;
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
}

// What the editor holds the mutex for: one settings change from the editor (value, reaction, a host
// that returns at once), type and window in turn, so every change resets the engines and every other
// one switches the editor between the RMS and EBU R128 controls.
void BM_EditorSettingsChange(benchmark::State& state) {
    auto plug = MakeAdapterPlug(static_cast<double>(state.range(0)));
    long i = 0;
    for (auto _ : state) {
        if (i % 2)
            plug->SetParameterFromGUI(Quenlix::kType, static_cast<double>((i / 2) % 2));
        else
            plug->SetParameterFromGUI(Quenlix::kRmsWindow, (i / 2) % 2 ? 0.2 : 0.4);
        ++i;
    }
}

}  // namespace

BENCHMARK(BM_EditorSettingsChange)->ArgName("rate")->Arg(48000)->Arg(192000)->Arg(384000);
BENCHMARK(BM_Lv2RunSettingsChange)
    ->ArgNames({"rate", "change"})
    ->ArgsProduct({{48000, 192000, 384000}, {0, 1}})
    ->Iterations(20000);
BENCHMARK(BM_BlockWhileEditorChanges)
    ->ArgName("rate")
    ->Arg(48000)
    ->Arg(192000)
    ->Arg(384000)
    ->Iterations(20000);
BENCHMARK(BM_Lv2RunWhileEditorChanges)
    ->ArgNames({"rate", "editor"})
    ->ArgsProduct({{48000, 192000, 384000}, {0, 1}})
    ->Iterations(100000);
BENCHMARK(BM_Lv2Instances)->ArgName("rate")->Arg(48000)->Arg(384000)->Iterations(1);
BENCHMARK(BM_Lv2Run)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_RtasProcessAudio)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_MAIN();
