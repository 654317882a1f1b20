#include "editor/WindowSystem.h"

#include <atomic>

#include "editor/IGraphicsHeadless.h"
#include "editor/IGraphicsX11.h"

namespace {

std::atomic<EWindowSystem> gWindowSystem{EWindowSystem::kHeadless};

}  // namespace

void SetWindowSystem(EWindowSystem system) {
    gWindowSystem.store(system);
}

EWindowSystem GetWindowSystem() {
    return gWindowSystem.load();
}

IGraphicsLinux* MakeGraphics(IPlugBase* plug, int w, int h, int fps) {
    if (GetWindowSystem() == EWindowSystem::kX11) return new IGraphicsX11(plug, w, h, fps);
    return new IGraphicsHeadless(plug, w, h, fps);
}
