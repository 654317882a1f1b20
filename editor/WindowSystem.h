// Which window-system binding a plug-in's editor is built with. A plug-in builds its editor once, in its
// constructor, long before a host opens a window, so the host (or the module a host loads) says up front
// which window system its windows belong to: the headless one (no screen; hosts that only read the
// editor's picture, tests) or X11.
//
// Main thread, before the plug-ins concerned are constructed; the setting is process-wide (per copy of
// the editor library, i.e. per loaded module).
#pragma once

class IGraphicsLinux;
class IPlugBase;

enum class EWindowSystem { kHeadless = 0, kX11 = 1 };

void SetWindowSystem(EWindowSystem system);
EWindowSystem GetWindowSystem();

// A new editor of the selected binding; fps <= 0 selects 25 frames per second.
IGraphicsLinux* MakeGraphics(IPlugBase* plug, int w, int h, int fps);
