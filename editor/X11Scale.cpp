#include "editor/X11Scale.h"

#include <cstdlib>
#include <cstring>

double ScaleFromGdkScale(const char* value) {
    if (!value || !*value) return 0.0;
    char* end = nullptr;
    const double scale = std::strtod(value, &end);
    if (end == value || *end != '\0' || !(scale > 0.0)) return 0.0;
    return scale;
}

double XftDpiFromResources(const char* resources) {
    if (!resources) return 0.0;
    static const char kKey[] = "Xft.dpi:";
    for (const char* line = resources; *line;) {
        const char* next = std::strchr(line, '\n');
        if (std::strncmp(line, kKey, sizeof kKey - 1) == 0) {
            char* end = nullptr;
            const double dpi = std::strtod(line + sizeof kKey - 1, &end);
            if (end != line + sizeof kKey - 1 && dpi > 0.0) return dpi;
        }
        if (!next) break;
        line = next + 1;
    }
    return 0.0;
}

double ScaleForDpi(double dpi) {
    if (dpi >= 192.0) return 2.0;
    if (dpi >= 144.0) return 1.5;
    return 1.0;
}

double X11ScaleFromEnvironment(Display* display) {
    const double gdk = ScaleFromGdkScale(std::getenv("GDK_SCALE"));
    if (gdk > 0.0) return gdk;
    return ScaleForDpi(XftDpiFromResources(display ? XResourceManagerString(display) : nullptr));
}
