// An X server of the test's own: Xvfb on a display number it picks itself (-displayfd), started and
// waited for with a bounded timeout, stopped in every outcome by the destructor.
#pragma once

#include <sys/types.h>

#include <string>

class XvfbServer {
  public:
    // Starts Xvfb with one screen of the given size and depth (bits: 8, 16, 24, 30); waits at most
    // timeoutMs for it to accept connections. Running() tells whether it did; Error() says why not.
    explicit XvfbServer(int width = 1024, int height = 768, int timeoutMs = 10000, int depth = 24);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !mDisplayName.empty(); }
    // ":N", or "" when it did not start.
    const std::string& DisplayName() const { return mDisplayName; }
    const std::string& Error() const { return mError; }
    // Ends the server now (as a crash or a shutdown would for its clients); the destructor does it anyway.
    void Stop();

  private:
    pid_t mPid = -1;
    std::string mDisplayName;
    std::string mError;
};

// Counts X errors of every connection in the process while alive (instead of the default handler,
// which ends the process).
class XErrorCounter {
  public:
    XErrorCounter();
    ~XErrorCounter();
    int Count() const;
};

struct _XDisplay;

// Asks a top-level window to close as a window manager does when its close button is clicked
// (WM_DELETE_WINDOW), on the given connection.
void AskWindowToClose(_XDisplay* display, unsigned long window);
