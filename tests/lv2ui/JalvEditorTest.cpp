// The editor inside a real host: jalv.gtk3 (Debian's jalv) runs the stereo plug-in with its X11 UI on a
// private Xvfb, under a JACK dummy server, both started and stopped by the test. The host's window
// must hold the editor showing what the headless editor shows for the same settings, and its meters
// must move once a tone (jack_simple_client) reaches the plug-in; a screenshot of the host's window is
// written to the build folder (QUENLIX_JALV_SCREENSHOT); the host is closed as a window manager closes
// it and must end cleanly. While the editor's menu is open the host must go on painting its own window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "raster/PNG.h"
#include "tests/cli/WavFiles.h"
#include "tests/lv2/JackServer.h"

// Xlib last (X11TestSupport.h brings it): its macros (None, Bool) must not meet other headers.
#include "tests/x11/X11TestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// jalv.gtk3 with its output in files, in an environment of the test's own; killed if still running.
class JalvProcess {
  public:
    JalvProcess(const std::string& display, const std::string& jackName, const std::string& dir,
                const std::vector<std::string>& args, const char* gdkScale = nullptr)
        : mOut(dir + "/jalv.out"), mErr(dir + "/jalv.err") {
        const std::string bundle = QUENLIX_LV2_BUNDLE;
        const std::string lv2Path = bundle.substr(0, bundle.rfind('/'));
        mPid = fork();
        if (mPid != 0) return;
        setenv("DISPLAY", display.c_str(), 1);
        setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        setenv("LV2_PATH", lv2Path.c_str(), 1);
        setenv("GDK_BACKEND", "x11", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (gdkScale) {
            setenv("GDK_SCALE", gdkScale, 1);
        } else {
            unsetenv("GDK_SCALE");
        }
        for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            setenv(var, dir.c_str(), 1);
        const int out = open(mOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(mErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>("jalv.gtk3")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp("jalv.gtk3", argv.data());
        _exit(127);
    }
    ~JalvProcess() {
        if (mPid > 0 && !mExited) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }
    // Waits at most timeoutMs for the process to end; its wait status, or -1 while it runs.
    int WaitExit(int timeoutMs) {
        for (int t = 0; t <= timeoutMs && !mExited; t += 20) {
            int status = 0;
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                mExited = true;
                mStatus = status;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return mExited ? mStatus : -1;
    }
    bool Running() { return WaitExit(0) == -1; }
    std::string Log() const { return ReadFile(mOut) + ReadFile(mErr); }

  private:
    std::string mOut, mErr;
    pid_t mPid = -1;
    bool mExited = false;
    int mStatus = 0;
};

std::string WindowName(Display* d, Window w) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(d, w, &name) && name) result = name;
    if (name) XFree(name);
    return result;
}

// The first viewable window below `top` named `name`, or 0.
Window FindNamed(Display* d, Window top, const std::string& name) {
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, top, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes wa;
        if (XGetWindowAttributes(d, children[i], &wa) && wa.map_state == IsViewable &&
            WindowName(d, children[i]) == name)
            found = children[i];
        else
            found = FindNamed(d, children[i], name);
    }
    if (children) XFree(children);
    return found;
}

// The child of the root that holds w.
Window TopLevelOf(Display* d, Window w) {
    for (;;) {
        Window root, parent, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
        if (children) XFree(children);
        if (parent == root) return w;
        w = parent;
    }
}

}  // namespace

TEST(RealHostEditor, JalvGtkShowsTheEditorInItsWindowAndClosesCleanly) {
    XvfbServer xvfb(1024, 768);
    if (!xvfb.Running()) GTEST_SKIP() << "no X server for this test: " << xvfb.Error();
    const std::string jackName = "quenlix-jalv-gtk-test-" + std::to_string(getpid());
    lv2test::JackServer jack(jackName);
    if (!jack.Ready()) GTEST_SKIP() << "the JACK dummy server could not be started on this machine";
    quenlix::cli::test::ScratchDir dir;

    // The host sets "Type" to EBU R128 before the editor opens: the editor shows the host's setting.
    const std::string scratch = dir.file("");
    JalvProcess jalv(
        xvfb.DisplayName(), jackName, scratch.substr(0, scratch.size() - 1),
        {"-x", "--jack-name", "quenlix-jalv-gtk", "-c", "type=1", "urn:harbelwick:quenlix:stereo"});
    Display* d = XOpenDisplay(xvfb.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    Window editor = 0;
    const bool shown = WaitFor(
        [&] { return (editor = FindNamed(d, DefaultRootWindow(d), "Quenlix")) != 0 || !jalv.Running(); },
        30000);
    ASSERT_TRUE(shown && editor) << "no editor window in jalv.gtk3:\n" << jalv.Log();
    const Window host = TopLevelOf(d, editor);
    EXPECT_NE(host, editor) << "the editor is not inside the host's window";

    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(d, editor, &wa));
    EXPECT_EQ(wa.width, 616);
    EXPECT_EQ(wa.height, 320);

    // The headless editor with the same settings and the same (silent) input, RMS and EBU R128.
    auto rmsPlug = MakeQuenlix(EWindowSystem::kHeadless), plug = MakeQuenlix(EWindowSystem::kHeadless);
    SetParamFromHost(*plug, Quenlix::kType, 1.0);
    const auto picture = [](TestQuenlix& p) {
        PluginHost(p).RunConstant(48000, 0.0f);
        auto* headless = dynamic_cast<IGraphicsHeadless*>(p.GetEditor());
        headless->OpenWindow(nullptr);
        headless->SetAllControlsDirty();
        headless->Tick();
        return headless->GetFramebuffer();
    };
    const LICE_IBitmap* rmsScreen = picture(*rmsPlug);
    const LICE_IBitmap* screen = picture(*plug);

    // The header (title, selectors, mode text; left of the build date) is settled after the first
    // frames; the rest follows the meters. Pixels of the header that differ from `expected`, once
    // they are all equal or after 10 s.
    const IRECT header(0, 0, 460, 62);
    const auto headerDifferences = [&](const LICE_IBitmap* expected) {
        int differences = -1;
        WaitFor(
            [&] {
                int w = 0, h = 0;
                const std::vector<LICE_pixel> pixels = ReadWindow(d, editor, &w, &h);
                if (w != 616 || h != 320) return false;
                differences = CountDifferencesIn(pixels, w, expected, header);
                return differences == 0;
            },
            10000);
        return differences;
    };
    EXPECT_EQ(headerDifferences(screen), 0) << "the host's setting is not what the editor shows";

    // The user switches "Type" in the editor to RMS and back, from its menu, inside the host. The
    // menu may vanish between the user's listing the windows and looking at them: such errors are
    // only counted.
    XErrorCounter vanishedWindows;
    Display* user = XOpenDisplay(xvfb.DisplayName().c_str());
    const IRECT typeRect =
        *dynamic_cast<IGraphics*>(plug->GetEditor())->GetControl(layout::kTypeSelector)->GetRECT();
    for (int item : {0, 1}) {
        Click(user, CentreOnScreen(user, editor, &typeRect), 1);
        Window menu = 0;
        ASSERT_TRUE(WaitFor([&] { return (menu = FindMenuWindow(user)) != 0; }))
            << "no menu for item " << item;
        XWindowAttributes mwa;
        XGetWindowAttributes(user, menu, &mwa);
        const int itemHeight = (mwa.height - 2) / 2;
        Click(user, {mwa.x + 20, mwa.y + 1 + item * itemHeight + itemHeight / 2}, 1);
        EXPECT_TRUE(WaitFor([&] { return FindMenuWindow(user) == 0; })) << "the menu stayed open";
        EXPECT_EQ(headerDifferences(item == 0 ? rmsScreen : screen), 0) << "after choosing item " << item;
    }
    XCloseDisplay(user);

    // A tone from another JACK client into the plug-in: the meters and read-outs below the header
    // leave the silent picture while the editor stays open.
    const pid_t tone = fork();
    if (tone == 0) {
        setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execlp("jack_simple_client", "jack_simple_client", static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string connect =
        "JACK_DEFAULT_SERVER='" + jackName + "' jack_connect jack_simple_client:output";
    const bool connected = WaitFor(
        [&] {
            return std::system((connect + "1 quenlix-jalv-gtk:in_1 2>/dev/null").c_str()) == 0 &&
                   std::system((connect + "2 quenlix-jalv-gtk:in_2 2>/dev/null").c_str()) == 0;
        },
        10000);
    EXPECT_TRUE(connected) << "the tone could not be connected to jalv's inputs";
    int moving = 0;
    EXPECT_TRUE(WaitFor(
        [&] {
            int w = 0, h = 0;
            const std::vector<LICE_pixel> pixels = ReadWindow(d, editor, &w, &h);
            if (w != 616 || h != 320) return false;
            moving = CountDifferencesIn(pixels, w, screen, IRECT(0, header.B, w, h));
            return moving > 2000;
        },
        15000))
        << "the meters did not move: " << moving << " pixels changed";
    // Let the read-outs settle for the picture.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));

    // The screenshot of the host's window.
    XWindowAttributes hostAttrs;
    ASSERT_TRUE(XGetWindowAttributes(d, host, &hostAttrs));
    int w = 0, h = 0;
    const std::vector<LICE_pixel> hostPixels = ReadWindow(d, host, &w, &h);
    LICE_MemBitmap shot(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shot.getBits()[static_cast<size_t>(y) * shot.getRowSpan() + x] =
                hostPixels[static_cast<size_t>(y) * w + x];
    EXPECT_TRUE(LICE_WritePNG(QUENLIX_JALV_SCREENSHOT, &shot, false));
    std::printf("jalv.gtk3 window %dx%d with the editor at %dx%d; screenshot %s\n", w, h, wa.width, wa.height,
                QUENLIX_JALV_SCREENSHOT);

    // Closed as a window manager closes a window: WM_DELETE_WINDOW to the host's top-level window.
    AskWindowToClose(d, host);
    const int status = jalv.WaitExit(15000);
    if (tone > 0) {
        kill(tone, SIGTERM);
        waitpid(tone, nullptr, 0);
    }
    XCloseDisplay(d);
    ASSERT_NE(status, -1) << "jalv.gtk3 did not end after its window was closed:\n" << jalv.Log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << ":\n" << jalv.Log();
    const std::string log = jalv.Log();
    for (const char* bad : {"X Error", "BadWindow", "BadDrawable", "cannot be opened", "CRITICAL"})
        EXPECT_EQ(log.find(bad), std::string::npos) << bad << " in:\n" << log;
}

// While the editor's menu is open inside jalv.gtk3, the host's own window goes on painting: a window
// laid over the host's part above the editor and taken away again leaves that part as it was.
TEST(RealHostEditor, JalvGtkRepaintsItsWindowWhileTheEditorsMenuIsOpen) {
    XvfbServer xvfb(1024, 768);
    if (!xvfb.Running()) GTEST_SKIP() << "no X server for this test: " << xvfb.Error();
    const std::string jackName = "quenlix-jalv-menu-test-" + std::to_string(getpid());
    lv2test::JackServer jack(jackName);
    if (!jack.Ready()) GTEST_SKIP() << "the JACK dummy server could not be started on this machine";
    quenlix::cli::test::ScratchDir dir;
    const std::string scratch = dir.file("");
    JalvProcess jalv(xvfb.DisplayName(), jackName, scratch.substr(0, scratch.size() - 1),
                     {"-x", "--jack-name", "quenlix-jalv-menu", "urn:harbelwick:quenlix:stereo"});
    Display* d = XOpenDisplay(xvfb.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    Window editor = 0;
    const bool shown = WaitFor(
        [&] { return (editor = FindNamed(d, DefaultRootWindow(d), "Quenlix")) != 0 || !jalv.Running(); },
        30000);
    ASSERT_TRUE(shown && editor) << "no editor window in jalv.gtk3:\n" << jalv.Log();
    const Window host = TopLevelOf(d, editor);
    int editorTop = 0, hostX = 0, hostY = 0;
    Window child;
    XTranslateCoordinates(d, editor, host, 0, 0, &hostX, &editorTop, &child);
    XTranslateCoordinates(d, host, DefaultRootWindow(d), 0, 0, &hostX, &hostY, &child);
    ASSERT_GE(editorTop, 10) << "nothing of the host's own above the editor";

    // The host's part above the editor, once it has settled.
    const auto hostPart = [&] {
        int w = 0, h = 0;
        std::vector<LICE_pixel> pixels = ReadWindow(d, host, &w, &h);
        pixels.resize(std::min(pixels.size(), static_cast<size_t>(w) * editorTop));
        return pixels;
    };
    std::vector<LICE_pixel> settled = hostPart();
    ASSERT_TRUE(WaitFor(
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::vector<LICE_pixel> now = hostPart();
            const bool same = now == settled;
            settled = std::move(now);
            return same;
        },
        10000));

    XErrorCounter vanishedWindows;  // the menu may vanish between being listed and looked at
    const IRECT typeRect = *dynamic_cast<IGraphics*>(MakeQuenlix(EWindowSystem::kHeadless)->GetEditor())
                                ->GetControl(layout::kTypeSelector)
                                ->GetRECT();
    Click(d, CentreOnScreen(d, editor, &typeRect), 1);
    ASSERT_TRUE(WaitFor([&] { return FindMenuWindow(d) != 0; })) << "the menu did not open";

    XWindowAttributes hostAttrs;
    ASSERT_TRUE(XGetWindowAttributes(d, host, &hostAttrs));
    XSetWindowAttributes attrs;
    attrs.override_redirect = True;
    attrs.background_pixel = 0xFF0000;
    const Window cover = XCreateWindow(d, DefaultRootWindow(d), hostX, hostY, hostAttrs.width,
                                       static_cast<unsigned>(editorTop), 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
    XMapRaised(d, cover);
    XSync(d, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XDestroyWindow(d, cover);
    XSync(d, False);
    EXPECT_TRUE(WaitFor([&] { return hostPart() == settled; }, 3000))
        << "the host did not paint its window again while the menu was open";
    EXPECT_NE(FindMenuWindow(d), 0u) << "the menu closed by itself";

    const KeyCode escape = XKeysymToKeycode(d, XK_Escape);
    XTestFakeKeyEvent(d, escape, True, 0);
    XTestFakeKeyEvent(d, escape, False, 0);
    XFlush(d);
    EXPECT_TRUE(WaitFor([&] { return FindMenuWindow(d) == 0; })) << "Escape did not close the menu";
    AskWindowToClose(d, host);
    const int status = jalv.WaitExit(15000);
    XCloseDisplay(d);
    ASSERT_NE(status, -1) << "jalv.gtk3 did not end after its window was closed:\n" << jalv.Log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << ":\n" << jalv.Log();
}

// jalv.gtk3 on a desktop at twice the density (GDK_SCALE=2): the editor is drawn at twice its size and
// fills the area the host reserves for it, 1232 x 640 pixels, instead of its top-left quarter. The
// screenshot of the host's window is written beside the 1x one (QUENLIX_JALV_SCREENSHOT_2X).
TEST(RealHostEditor, JalvGtkAtTwiceTheDensityShowsTheEditorFillingItsArea) {
    XvfbServer xvfb(1800, 1200);
    if (!xvfb.Running()) GTEST_SKIP() << "no X server for this test: " << xvfb.Error();
    const std::string jackName = "quenlix-jalv-gtk2x-test-" + std::to_string(getpid());
    lv2test::JackServer jack(jackName);
    if (!jack.Ready()) GTEST_SKIP() << "the JACK dummy server could not be started on this machine";
    quenlix::cli::test::ScratchDir dir;
    const std::string scratch = dir.file("");
    JalvProcess jalv(
        xvfb.DisplayName(), jackName, scratch.substr(0, scratch.size() - 1),
        {"-x", "--jack-name", "quenlix-jalv-gtk2x", "-c", "type=1", "urn:harbelwick:quenlix:stereo"}, "2");
    Display* d = XOpenDisplay(xvfb.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    Window editor = 0;
    const bool shown = WaitFor(
        [&] { return (editor = FindNamed(d, DefaultRootWindow(d), "Quenlix")) != 0 || !jalv.Running(); },
        30000);
    ASSERT_TRUE(shown && editor) << "no editor window in jalv.gtk3:\n" << jalv.Log();
    const Window host = TopLevelOf(d, editor);
    // A tone into the plug-in, so the picture shows the meters at work.
    const pid_t tone = fork();
    if (tone == 0) {
        setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execlp("jack_simple_client", "jack_simple_client", static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string connect =
        "JACK_DEFAULT_SERVER='" + jackName + "' jack_connect jack_simple_client:output";
    WaitFor(
        [&] {
            return std::system((connect + "1 quenlix-jalv-gtk2x:in_1 2>/dev/null").c_str()) == 0 &&
                   std::system((connect + "2 quenlix-jalv-gtk2x:in_2 2>/dev/null").c_str()) == 0;
        },
        10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    // The editor at twice its size fills the host's window below the host's own menu bar, edge to edge.
    XWindowAttributes wa, hostArea;
    ASSERT_TRUE(XGetWindowAttributes(d, editor, &wa));
    ASSERT_TRUE(XGetWindowAttributes(d, host, &hostArea));
    EXPECT_EQ(wa.width, 1232);
    EXPECT_EQ(wa.height, 640);
    int editorX = 0, editorY = 0;
    Window child;
    XTranslateCoordinates(d, editor, host, 0, 0, &editorX, &editorY, &child);
    EXPECT_EQ(editorX, 0);
    EXPECT_EQ(hostArea.width, 1232) << "the host's window is " << hostArea.width << " x " << hostArea.height;
    EXPECT_EQ(hostArea.height - editorY, 640) << "the host's window is " << hostArea.width << " x "
                                              << hostArea.height << ", the editor at y " << editorY;
    int w = 0, h = 0;
    std::vector<LICE_pixel> hostPixels;
    {
        // A host window larger than the screen cannot be read back: an error to count, not the end.
        XErrorCounter unreadable;
        hostPixels = ReadWindow(d, host, &w, &h);
        XSync(d, False);
        if (unreadable.Count() > 0 || hostPixels.empty()) w = h = 0;
    }
    LICE_MemBitmap shot(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shot.getBits()[static_cast<size_t>(y) * shot.getRowSpan() + x] =
                hostPixels[static_cast<size_t>(y) * w + x];
    if (w > 0) {
        EXPECT_TRUE(LICE_WritePNG(QUENLIX_JALV_SCREENSHOT_2X, &shot, false));
    }
    std::printf("jalv.gtk3 (GDK_SCALE=2) window %dx%d with the editor at %dx%d; screenshot %s\n", w, h,
                wa.width, wa.height, QUENLIX_JALV_SCREENSHOT_2X);

    AskWindowToClose(d, host);
    const int status = jalv.WaitExit(15000);
    if (tone > 0) {
        kill(tone, SIGTERM);
        waitpid(tone, nullptr, 0);
    }
    XCloseDisplay(d);
    ASSERT_NE(status, -1) << "jalv.gtk3 did not end after its window was closed:\n" << jalv.Log();
    const std::string log = jalv.Log();
    for (const char* bad : {"X Error", "BadWindow", "BadDrawable", "cannot be opened", "CRITICAL"})
        EXPECT_EQ(log.find(bad), std::string::npos) << bad << " in:\n" << log;
}
