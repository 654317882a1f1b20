#pragma once

// Rendering the plug-in's editor through the headless window system, the way a host shows it: the
// window is opened, every control marked dirty, and the editor's timer ticked until nothing is left
// to draw. UI-thread helpers for tests and the snapshot tool.

#include "PluginHost.h"
#include "editor/IGraphicsHeadless.h"
#include "raster/Pixel.h"

// Opens the editor's window (as the host adapter does when the host shows the plug-in).
IGraphicsHeadless* OpenEditor(Quenlix& plug);

// Ticks the editor's timer until a tick draws nothing (at most 10 ticks). Returns the ticks that drew.
int TickUntilClean(IGraphicsHeadless* editor);

// Pixel (x, y) of the editor's screen.
LICE_pixel ScreenPixel(const IGraphicsHeadless* editor, int x, int y);

// True when the control's image was found (its rectangle has a size).
bool ControlHasImage(Quenlix& plug, int controlIdx);

// Feeds `seconds` of a demonstration programme to every connected channel: channel k a sine of its own
// frequency at its own level (dBFS) with a slow tremolo.
void RunProgramme(PluginHost& host, int channels, const double* levelsDb, double seconds);
