#pragma once

// Creates the editor bound to this build's window system, sized w x h, redrawing at fps frames per
// second (0: the default). The plug-in's constructor calls it once; the caller owns the result until
// it hands it to the plug-in base. Main thread.

#include <memory>

class IGraphics;
class IPlugBase;

std::unique_ptr<IGraphics> CreatePlatformEditor(IPlugBase* plug, int w, int h, int fps);
