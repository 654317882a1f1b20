#include "host/lv2/Lv2EditorSession.h"

#include <chrono>

#include "editor/IGraphicsLinux.h"
#include "framework/IPlugBase.h"

namespace lv2 {

FrameSchedule::FrameSchedule(int fps) : mPeriod(1000.0 / (fps > 0 ? fps : 25)) {}

bool FrameSchedule::Due(double nowMs) {
    if (mStarted && nowMs < mNext - mPeriod / 4.0) return false;
    mNext = mStarted && nowMs < mNext + mPeriod ? mNext + mPeriod : nowMs + mPeriod;
    mStarted = true;
    return true;
}

IGraphicsLinux* EditorSession::Graphics() const {
    return dynamic_cast<IGraphicsLinux*>(mPlug ? mPlug->GetGUI() : nullptr);
}

uintptr_t EditorSession::Open(uintptr_t parent, const EditorHost& host) {
    IGraphicsLinux* g = Graphics();
    if (!g || mOpen || parent == 0 || !host.write) return 0;
    void* window = g->OpenWindow(reinterpret_cast<void*>(parent));
    if (!window) return 0;
    mHost = host;
    mOpen = true;
    mSchedule = FrameSchedule(g->FPS());
    return reinterpret_cast<uintptr_t>(window);
}

bool EditorSession::Idle() {
    IGraphicsLinux* g = Graphics();
    if (!mOpen || !g || !g->WindowIsOpen()) return false;
    const double now =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (mSchedule.Due(now)) g->Tick();
    if (mGrabbed >= 0 && !g->IsMouseDown()) Release();
    return g->WindowIsOpen();
}

void EditorSession::Close() {
    if (!mOpen) return;
    Release();
    // The host's functions are not called again, not even by what closing the window reports.
    mOpen = false;
    mHost = {};
    if (IGraphicsLinux* g = Graphics()) g->CloseWindow();
}

void EditorSession::Write(int port, float value) const {
    if (mOpen && mHost.write && port >= 0) mHost.write(mHost.controller, static_cast<uint32_t>(port), value);
}

void EditorSession::Touch(int port, bool grabbed) {
    if (!mOpen || port < 0) return;
    if (!grabbed) {
        if (port == mGrabbed) Release();
        return;
    }
    if (port == mGrabbed) return;
    Release();
    mGrabbed = port;
    if (mHost.touch) mHost.touch(mHost.controller, static_cast<uint32_t>(port), true);
}

void EditorSession::Release() {
    if (mGrabbed < 0) return;
    const uint32_t port = static_cast<uint32_t>(mGrabbed);
    mGrabbed = -1;
    if (mHost.touch) mHost.touch(mHost.controller, port, false);
}

}  // namespace lv2
