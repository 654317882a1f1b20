// The Quenlix editor in an X11 window on a private Xvfb: a full redraw (every control drawn and the
// whole window put on screen), a typical tick while audio runs (the six meters, their peak read-outs
// and the read-outs of the active type changed), and one second of an open editor with nothing to
// draw (25 ticks; the CPU time per iteration is the editor's CPU use of that second, the X server's
// not included).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "XvfbServer.h"
#include "editor/IControls.h"
#include "editor/IGraphicsX11.h"
#include "editor/WindowSystem.h"
#include "plugin/Quenlix.h"

// Xlib last: its macros must not meet other headers.
#include <X11/Xlib.h>

namespace {

struct OpenEditor {
    XvfbServer server;
    std::unique_ptr<Quenlix> plug;
    IGraphicsX11* editor = nullptr;

    bool Open() {
        if (!server.Running()) return false;
        SetWindowSystem(EWindowSystem::kX11);
        plug = std::make_unique<Quenlix>(IPlugInstanceInfo());
        SetWindowSystem(EWindowSystem::kHeadless);
        editor = dynamic_cast<IGraphicsX11*>(plug->GetEditor());
        editor->SetDisplayName(server.DisplayName().c_str());
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
    if (!e.Open()) {
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
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

void BM_MeterTick(benchmark::State& state) {
    OpenEditor e;
    if (!e.Open()) {
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
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond);

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

}  // namespace

BENCHMARK_MAIN();
