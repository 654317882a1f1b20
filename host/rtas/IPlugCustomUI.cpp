#include "host/rtas/IPlugCustomUI.h"

#include <cstdint>

#include "editor/IGraphics.h"
#include "editor/IGraphicsLinux.h"
#include "editor/WindowSystem.h"
#include "host/rtas/IPlugProcess.h"
#include "host/rtas/IPlugRTAS.h"

IPlugCustomUI::IPlugCustomUI(IPlugProcess* process)
    : mProcess(process),
      mGraphics(process && process->GetPlug() ? static_cast<IGraphics*>(process->GetPlug()->GetGUI())
                                              : nullptr) {}

IPlugCustomUI::~IPlugCustomUI() {
    Close();
}

void IPlugCustomUI::GetRect(ViewRect* rect) const {
    if (!rect) return;
    *rect = ViewRect();
    if (!mGraphics) return;
    rect->bottom = static_cast<int16_t>(mGraphics->Height());
    rect->right = static_cast<int16_t>(mGraphics->Width());
}

void IPlugCustomUI::Open(IHostWindow* window, short x, short y) {
    if (!mGraphics) return;
    if (mHostWindow) mHostWindow->RemoveTimer(this);
    mHostWindow = window;
    // A window-system binding opens inside the host's native window (or on its own when there is
    // none); the headless one only needs to know a host window is there.
    if (GetWindowSystem() == EWindowSystem::kX11)
        mGraphics->OpenWindow(
            reinterpret_cast<void*>(static_cast<uintptr_t>(window ? window->GetNativeWindow() : 0)), nullptr,
            x, y);
    else
        mGraphics->OpenWindow(window, nullptr, x, y);
    if (window && dynamic_cast<IGraphicsLinux*>(mGraphics)) {
        const int fps = mGraphics->FPS() > 0 ? mGraphics->FPS() : 25;
        window->AddTimer(&IPlugCustomUI::OnTimer, this, 1.0 / fps);
    }
    mGraphics->SetAllControlsDirty();
    mProcess->GetPlug()->OnGUIOpen();
}

void IPlugCustomUI::Close() {
    if (mHostWindow) mHostWindow->RemoveTimer(this);
    mHostWindow = nullptr;
    if (mGraphics && mGraphics->WindowIsOpen()) mGraphics->CloseWindow();
}

void IPlugCustomUI::OnTimer(void* context) {
    auto* ui = static_cast<IPlugCustomUI*>(context);
    if (auto* binding = dynamic_cast<IGraphicsLinux*>(ui->mGraphics)) binding->Tick();
}

void IPlugCustomUI::Draw() {
    if (mGraphics) mGraphics->SetAllControlsDirty();
}

IPlugDigiView::IPlugDigiView() : CCustomView("IPlugDigiView") {}

IPlugDigiView::~IPlugDigiView() {
    if (mCustomUI) mCustomUI->GetProcess()->ForgetCustomView(this);
}

void IPlugDigiView::Draw() {
    if (mCustomUI) mCustomUI->Draw();
}

CCustomView* CreateIPlugDigiView() {
    return new IPlugDigiView();
}
