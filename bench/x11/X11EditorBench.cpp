// The Quenlix editor in an X11 window on a private Xvfb, BM_FullRedraw and BM_MeterTick at 1, 1.5 and
// 2 times its size (scale10: the scale times 10): a full redraw (every control drawn and the
// whole window compared with what it shows; nothing changed, so nothing is sent), a typical tick while audio
// runs (the six meters, their peak read-outs and the read-outs of the active type changed), one second of an
// open editor with nothing to draw (25 ticks; the CPU time per iteration is the editor's CPU use of that
// second, the X server's not included), and the plug-in metering music with its editor open, one tick per 40
// ms of audio.
//
// BM_MeteringMusic/type:t/shm:s: `bytes/s` is what the window costs the X connection at 25 ticks per
// second (pixel bytes of XPutImage; 0 through shared memory, so shm:0 is a server on another machine,
// as with ssh -X), `requests/tick` the image requests; the CPU time per iteration is the editor's
// CPU per tick (the audio's processing not timed, the X server's not included).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "XvfbServer.h"
#include "editor/IControls.h"
#include "editor/IGraphicsX11.h"
#include "editor/WindowSystem.h"
#include "plugin/Quenlix.h"

// Xlib last: its macros must not meet other headers.
#include <X11/Xlib.h>

namespace {

struct OpenEditor {
    XvfbServer server{1600, 1000};  // room for the editor at twice its size
    std::unique_ptr<Quenlix> plug;
    IGraphicsX11* editor = nullptr;

    bool Open(bool allowShm = true, double scale = 1.0) {
        if (!server.Running()) return false;
        SetWindowSystem(EWindowSystem::kX11);
        plug = std::make_unique<Quenlix>(IPlugInstanceInfo());
        SetWindowSystem(EWindowSystem::kHeadless);
        editor = dynamic_cast<IGraphicsX11*>(plug->GetEditor());
        editor->SetDisplayName(server.DisplayName().c_str());
        editor->SetAllowShm(allowShm);
        editor->SetRequestedScale(scale);
        if (!editor->OpenWindow(nullptr)) return false;
        for (int i = 0; i < 10; ++i) {
            editor->Tick();
            XSync(editor->GetDisplay(), False);
        }
        return true;
    }
};

// Waits until the server has put everything sent on screen, so that a frame's time includes it.
void Finish(IGraphicsX11* editor) {
    XSync(editor->GetDisplay(), False);
}

void BM_FullRedraw(benchmark::State& state) {
    OpenEditor e;
    if (!e.Open(true, state.range(0) / 10.0)) {
        state.SkipWithError("no X server");
        return;
    }
    for (auto _ : state) {
        e.editor->SetAllControlsDirty();
        e.editor->Tick();
        Finish(e.editor);
    }
    state.SetLabel(e.editor->GetGUIAPI());
}
BENCHMARK(BM_FullRedraw)->ArgName("scale10")->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_MeterTick(benchmark::State& state) {
    OpenEditor e;
    if (!e.Open(true, state.range(0) / 10.0)) {
        state.SkipWithError("no X server");
        return;
    }
    int k = 0;
    char text[16];
    for (auto _ : state) {
        ++k;
        for (int ch = 0; ch < 6; ++ch) {
            // LED meters, peak read-outs and the seven EBU read-outs change as under programme audio.
            e.editor->SetControlFromPlug(34 + 3 * ch, 0.3 + 0.01 * ((k + ch) % 40));
            std::snprintf(text, sizeof text, " %.1f", -20.0 + 0.1 * ((k + ch) % 50));
            e.editor->SetTextFromPlug(35 + 3 * ch, text);
        }
        for (int r = 0; r < 7; ++r) {
            std::snprintf(text, sizeof text, "%.1f", -23.0 + 0.1 * ((k + r) % 30));
            e.editor->SetTextFromPlug(27 + r, text);
        }
        e.editor->Tick();
        Finish(e.editor);
    }
}
BENCHMARK(BM_MeterTick)->ArgName("scale10")->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_IdleSecond(benchmark::State& state) {
    OpenEditor e;
    if (!e.Open()) {
        state.SkipWithError("no X server");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < 25; ++i) {
            e.editor->Tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }
}
BENCHMARK(BM_IdleSecond)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Stereo music-like programme at 48 kHz, 20 s round and round: a chord of detuned partials whose level
// swings slowly, a beat of noise bursts every half second, and the two channels panned apart.
std::vector<float> MusicChannel(int channel) {
    constexpr int kRate = 48000;
    std::vector<float> out(static_cast<size_t>(20 * kRate));
    std::mt19937 rng(11u + static_cast<unsigned>(channel));
    std::normal_distribution<double> noise(0.0, 1.0);
    const double partials[] = {110.0, 220.5, 277.2, 329.6, 440.0, 659.3, 880.0};
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0.0;
        for (int p = 0; p < 7; ++p) {
            const double pan = channel == 0 ? 1.0 - 0.1 * p : 0.4 + 0.1 * p;
            v += pan * 0.04 * std::sin(2.0 * M_PI * partials[p] * (1.0 + 0.001 * channel) * t);
        }
        v *= 1.2 + std::sin(2.0 * M_PI * 0.13 * t);
        const double beat = std::fmod(t, 0.5);
        v += 0.3 * std::exp(-beat * 30.0) * noise(rng);
        out[i] = static_cast<float>(v);
    }
    return out;
}

void BM_MeteringMusic(benchmark::State& state) {
    constexpr int kBlock = 256;
    constexpr int kTickFrames = 1920;  // 40 ms at 48 kHz: 25 ticks per second
    OpenEditor e;
    if (!e.Open(state.range(1) != 0)) {
        state.SkipWithError("no X server");
        return;
    }
    Quenlix& plug = *e.plug;
    {
        WDL_MutexLock lock(plug.GetMutex());
        plug.SetBlockSize(kBlock);
        plug.SetInputChannelConnections(0, 2, true);
        plug.SetOutputChannelConnections(0, 2, true);
        plug.SetInputChannelConnections(2, 4, false);
        plug.SetOutputChannelConnections(2, 4, false);
        plug.SetSampleRate(48000.0);
        plug.Reset();
        const double type = static_cast<double>(state.range(0));
        plug.GetParam(Quenlix::kType)->Set(type);
        plug.OnParamChange(Quenlix::kType);
        e.editor->SetParameterFromPlug(Quenlix::kType, type, false);
    }
    const std::vector<float> left = MusicChannel(0), right = MusicChannel(1);
    std::vector<float> outL(kBlock), outR(kBlock);
    size_t pos = 0;
    auto meterTick = [&] {
        for (int done = 0; done < kTickFrames; done += kBlock) {
            float* in[2] = {const_cast<float*>(left.data()) + pos, const_cast<float*>(right.data()) + pos};
            float* out[2] = {outL.data(), outR.data()};
            WDL_MutexLock lock(plug.GetMutex());
            plug.AttachInputBuffers(0, 2, in, kBlock);
            plug.AttachOutputBuffers(0, 2, out);
            plug.ProcessBuffers(0.0f, kBlock);
            pos = pos + 2 * kBlock <= left.size() ? pos + kBlock : 0;
        }
    };
    // Ten seconds of music first, so that every read-out shows a value.
    for (int i = 0; i < 250; ++i) {
        meterTick();
        e.editor->Tick();
        Finish(e.editor);
    }
    const long long bytesBefore = e.editor->BytesSent();
    const long long requestsBefore = e.editor->ImageRequests();
    for (auto _ : state) {
        state.PauseTiming();
        meterTick();
        state.ResumeTiming();
        e.editor->Tick();
        Finish(e.editor);
    }
    const double ticks = static_cast<double>(state.iterations());
    state.counters["bytes/s"] = static_cast<double>(e.editor->BytesSent() - bytesBefore) / ticks * 25.0;
    state.counters["requests/tick"] = static_cast<double>(e.editor->ImageRequests() - requestsBefore) / ticks;
    state.SetLabel(e.editor->GetGUIAPI());
}
BENCHMARK(BM_MeteringMusic)
    ->ArgNames({"type", "shm"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
