// A loadable module with its own copy of the editor, as the plug-in module has: the bundle tests
// copy it to folders of their own and ask it to load images there and to name its paths.
#include <cstdio>
#include <memory>

#include "editor/IGraphicsHeadless.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"

// Loads `name` through a headless editor without a resource folder of its own. Returns 1 and the
// image's size and top-left pixel when it loaded, 0 when not. Any thread.
extern "C" __attribute__((visibility("default"))) int QuenlixProbeImage(const char* name, int* width,
                                                                        int* height, LICE_pixel* topLeft) {
    IGraphicsHeadless g(nullptr, 16, 16);
    std::unique_ptr<LICE_IBitmap> bm(g.OSLoadBitmap(1, name));
    if (!bm) return 0;
    *width = bm->getWidth();
    *height = bm->getHeight();
    *topLeft = LICE_GetPixel(bm.get(), 0, 0);
    return 1;
}

// What a headless editor inside this module answers for HostPath and PluginPath, each copied into a
// buffer of `size` bytes (zero-terminated; "" when the editor left it unchanged). Any thread.
extern "C" __attribute__((visibility("default"))) void QuenlixProbePaths(char* hostPath, char* pluginPath,
                                                                         int size) {
    IGraphicsHeadless g(nullptr, 16, 16);
    WDL_String host, plugin;
    g.HostPath(&host);
    g.PluginPath(&plugin);
    std::snprintf(hostPath, static_cast<size_t>(size), "%s", host.Get());
    std::snprintf(pluginPath, static_cast<size_t>(size), "%s", plugin.Get());
}
