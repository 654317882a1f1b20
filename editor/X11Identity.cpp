#include "editor/X11Identity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstring>
#include <string>

void X11SetWindowTitle(Display* display, Window window, const char* title) {
    const std::string text = title ? title : "";
    // WM_NAME is Latin-1 by definition: managers that read only it get the ASCII part right; the
    // UTF-8 form is what current ones show.
    XStoreName(display, window, text.c_str());
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

void X11SetWindowIdentity(Display* display, Window window, const char* title) {
    X11SetWindowTitle(display, window, title);
    if (XClassHint* hint = XAllocClassHint()) {
        std::string name = kX11ResourceName, cls = kX11ResourceClass;
        hint->res_name = &name[0];
        hint->res_class = &cls[0];
        XSetClassHint(display, window, hint);
        XFree(hint);
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        char* list[] = {host};
        XTextProperty machine;
        if (XStringListToTextProperty(list, 1, &machine)) {
            XSetWMClientMachine(display, window, &machine);
            XFree(machine.value);
        }
    }
    const long pid = static_cast<long>(getpid());
    const Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
    XChangeProperty(display, window, netPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
}
