// The editor's window on displays of every depth (pixels as the visual holds them, against the headless
// picture converted the same way), on a display it cannot serve, in a window made larger than the
// editor, and how its windows name themselves to window managers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/HeadlessResponder.h"

// Xlib last (X11TestSupport.h brings it): its macros (None, Bool) must not meet other headers.
#include "X11TestSupport.h"

// After Xlib's own headers.
#include <X11/Xatom.h>

#include "editor/X11Scale.h"

namespace {

// A raster channel (8 bits) as a visual channel of mask's width: the top bits, or the 8 bits
// repeated for a wider channel.
unsigned long ToChannel(int v8, unsigned long mask) {
    int shift = 0, bits = 0;
    while (!(mask & 1)) mask >>= 1, ++shift;
    while (mask & 1) mask >>= 1, ++bits;
    unsigned long v = 0;
    if (bits <= 8) {
        v = static_cast<unsigned long>(v8) >> (8 - bits);
    } else {
        v = (static_cast<unsigned long>(v8) << (bits - 8)) | (static_cast<unsigned long>(v8) >> (16 - bits));
    }
    return v << shift;
}

// The window's pixels as the server holds them, row by row.
std::vector<unsigned long> ReadRaw(Display* d, Window w, int width, int height, XImage** format) {
    std::vector<unsigned long> out;
    XImage* image = XGetImage(d, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(XGetPixel(image, x, y));
    *format = image;
    return out;
}

std::string StringProperty(Display* d, Window w, const char* name, Atom* type) {
    Atom actual = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, AnyPropertyType, &actual,
                           &format, &n, &after, &data) == Success &&
        data) {
        out.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    *type = actual;
    return out;
}

class X11DisplayTest : public ::testing::Test {
  protected:
    // The editor (fed with a tone) in a top-level window on server, and the headless picture of the same.
    void Open(XvfbServer& server, bool allowShm) {
        mX11Plug = MakeQuenlix(EWindowSystem::kX11);
        mHeadlessPlug = MakeQuenlix(EWindowSystem::kHeadless);
        mX11 = dynamic_cast<IGraphicsX11*>(mX11Plug->GetEditor());
        mHeadless = dynamic_cast<IGraphicsHeadless*>(mHeadlessPlug->GetEditor());
        ASSERT_NE(mX11, nullptr);
        mX11->SetDisplayName(server.DisplayName().c_str());
        mX11->SetAllowShm(allowShm);
        PluginHost a(*mX11Plug), b(*mHeadlessPlug);
        a.RunSine(22050, 0.4, 997.0);
        b.RunSine(22050, 0.4, 997.0);
        mHeadless->OpenWindow(nullptr);
        mHeadless->SetAllControlsDirty();
        mHeadless->Tick();
        mHeadless->Tick();
    }

    void TickShown() {
        ASSERT_TRUE(WaitFor([this] {
            mX11->Tick();
            return mX11->ScreenUpdates() > 0;
        }));
        for (int i = 0; i < 3; ++i) {
            XSync(mX11->GetDisplay(), False);
            mX11->Tick();
        }
        XSync(mX11->GetDisplay(), False);
    }

    std::unique_ptr<TestQuenlix> mX11Plug, mHeadlessPlug;
    IGraphicsX11* mX11 = nullptr;
    IGraphicsHeadless* mHeadless = nullptr;
};

}  // namespace

TEST_F(X11DisplayTest, EveryDepthShowsTheHeadlessPictureWithAndWithoutSharedMemory) {
    for (const int depth : {16, 24, 30}) {
        XvfbServer server(800, 600, 10000, depth);
        if (!server.Running()) GTEST_SKIP() << server.Error();
        Display* d = XOpenDisplay(server.DisplayName().c_str());
        ASSERT_NE(d, nullptr);
        for (const bool shm : {true, false}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + (shm ? ", shared memory" : ", XPutImage"));
            Open(server, shm);
            ASSERT_NE(mX11->OpenWindow(nullptr), nullptr) << mX11->OpenError();
            if (!shm) {
                EXPECT_FALSE(mX11->UsesShm());
            }
            TickShown();
            XImage* format = nullptr;
            const std::vector<unsigned long> pixels = ReadRaw(d, mX11->GetXWindow(), 616, 320, &format);
            ASSERT_NE(format, nullptr);
            const LICE_IBitmap* screen = mHeadless->GetFramebuffer();
            int differ = 0;
            std::string first;
            for (int y = 0; y < 320; ++y)
                for (int x = 0; x < 616; ++x) {
                    const LICE_pixel p = screen->getBits()[static_cast<size_t>(y) * screen->getRowSpan() + x];
                    const unsigned long want = ToChannel(LICE_GETR(p), format->red_mask) |
                                               ToChannel(LICE_GETG(p), format->green_mask) |
                                               ToChannel(LICE_GETB(p), format->blue_mask);
                    if (pixels[static_cast<size_t>(y) * 616 + x] != want && differ++ == 0)
                        first = std::to_string(x) + "," + std::to_string(y);
                }
            XDestroyImage(format);
            EXPECT_EQ(differ, 0) << "first at " << first;
            EXPECT_EQ(mX11->UnexpectedXErrors(), 0);
            mX11Plug.reset();
            mHeadlessPlug.reset();
        }
        XCloseDisplay(d);
    }
}

TEST_F(X11DisplayTest, AVisualItCannotServeIsRefusedWithOneLineAndNoWindow) {
    XvfbServer server(800, 600, 10000, 8);
    if (!server.Running()) GTEST_SKIP() << server.Error();
    Open(server, true);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(mX11->OpenWindow(nullptr), nullptr);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(mX11->WindowIsOpen());
    EXPECT_NE(mX11->OpenError().find("PseudoColor, depth 8"), std::string::npos) << mX11->OpenError();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    Display* d = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(CountChildren(d, DefaultRootWindow(d)), 0);
    XCloseDisplay(d);
}

TEST_F(X11DisplayTest, AWindowMadeLargerShowsTheBackgroundAroundTheEditorAtItsPlace) {
    XvfbServer server(1024, 768);
    if (!server.Running()) GTEST_SKIP() << server.Error();
    Display* d = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    Open(server, false);
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    TickShown();
    // Grey under the window first, so an area left unpainted is told apart from the black background.
    XSetWindowBackground(d, DefaultRootWindow(d), 0x808080);
    XClearWindow(d, DefaultRootWindow(d));
    XResizeWindow(d, mX11->GetXWindow(), 900, 500);
    XSync(d, False);
    for (int i = 0; i < 5; ++i) {
        XSync(mX11->GetDisplay(), False);
        mX11->Tick();
    }
    XSync(mX11->GetDisplay(), False);
    int w = 0, h = 0;
    const std::vector<LICE_pixel> pixels = ReadWindow(d, mX11->GetXWindow(), &w, &h);
    ASSERT_EQ(w, 900);
    ASSERT_EQ(h, 500);
    int outsideWrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x >= 616 || y >= 320) && pixels[static_cast<size_t>(y) * w + x] != LICE_RGBA(0, 0, 0, 255))
                ++outsideWrong;
    EXPECT_EQ(outsideWrong, 0);
    EXPECT_EQ(CountDifferencesIn(pixels, w, mHeadless->GetFramebuffer(), IRECT(0, 0, 616, 320)), 0);
    XCloseDisplay(d);
}

TEST_F(X11DisplayTest, WindowsNameTheirClassTitleAndProcess) {
    XvfbServer server(1024, 768);
    if (!server.Running()) GTEST_SKIP() << server.Error();
    Display* d = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    Open(server, true);
    const std::string title = "Quenlix - M\xc3\xb6rike.wav";
    mX11->SetWindowTitle(title.c_str());
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    TickShown();
    const Window w = mX11->GetXWindow();
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(d, w, &hint));
    EXPECT_STREQ(hint.res_name, "quenlix");
    EXPECT_STREQ(hint.res_class, "Quenlix");
    XFree(hint.res_name);
    XFree(hint.res_class);
    Atom type = 0;
    EXPECT_EQ(StringProperty(d, w, "_NET_WM_NAME", &type), title);
    EXPECT_EQ(type, XInternAtom(d, "UTF8_STRING", False));
    Atom actual = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                                 &actual, &format, &n, &after, &data),
              Success);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(*reinterpret_cast<long*>(data), static_cast<long>(getpid()));
    XFree(data);
    // A new title reaches the open window.
    mX11->SetWindowTitle("Quenlix - other.wav");
    XSync(mX11->GetDisplay(), False);
    EXPECT_EQ(StringProperty(d, w, "_NET_WM_NAME", &type), "Quenlix - other.wav");
    XCloseDisplay(d);
}

TEST(X11Scale, DesktopSettingsGiveTheScale) {
    const struct {
        const char* gdkScale;
        double scale;
    } gdk[] = {{"2", 2.0}, {"1", 1.0},  {"1.5", 1.5}, {"", 0.0},
               {"x", 0.0}, {"2x", 0.0}, {"-1", 0.0},  {nullptr, 0.0}};
    for (const auto& c : gdk)
        EXPECT_EQ(ScaleFromGdkScale(c.gdkScale), c.scale) << (c.gdkScale ? c.gdkScale : "null");
    const struct {
        const char* resources;
        double dpi;
    } xft[] = {{"Xft.dpi:\t192\n", 192.0},
               {"Xcursor.size:\t24\nXft.dpi:\t144\nXft.antialias:\t1\n", 144.0},
               {"Xft.dpi: 96", 96.0},
               {"Xft.dpiX:\t192\n", 0.0},
               {"Xcursor.size:\t24\n", 0.0},
               {"", 0.0},
               {nullptr, 0.0}};
    for (const auto& c : xft)
        EXPECT_EQ(XftDpiFromResources(c.resources), c.dpi) << (c.resources ? c.resources : "null");
    const struct {
        double dpi, scale;
    } dpi[] = {{0.0, 1.0},   {96.0, 1.0},  {120.0, 1.0}, {143.9, 1.0},
               {144.0, 1.5}, {191.0, 1.5}, {192.0, 2.0}, {288.0, 2.0}};
    for (const auto& c : dpi) EXPECT_EQ(ScaleForDpi(c.dpi), c.scale) << c.dpi;
}

TEST_F(X11DisplayTest, TheWindowTakesItsSizeFromGdkScaleOrXftDpi) {
    XvfbServer server(1600, 1000);
    if (!server.Running()) GTEST_SKIP() << server.Error();
    Display* d = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(d, nullptr);
    const char* before = std::getenv("GDK_SCALE");
    const std::string saved = before ? before : "";
    const auto geometry = [&](unsigned* w, unsigned* h) {
        Window root;
        int x = 0, y = 0;
        unsigned border = 0, depth = 0;
        XGetGeometry(d, mX11->GetXWindow(), &root, &x, &y, w, h, &border, &depth);
    };
    unsetenv("GDK_SCALE");
    // The desktop's density in the resource database, as xrdb sets it.
    const char dpi[] = "Xft.dpi:\t144\n";
    XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(dpi), static_cast<int>(sizeof dpi - 1));
    XSync(d, False);
    Open(server, true);
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    unsigned w = 0, h = 0;
    geometry(&w, &h);
    EXPECT_EQ(w, 924u);
    EXPECT_EQ(h, 480u);
    mX11->CloseWindow();
    // GDK_SCALE wins over the density; a host's or user's choice wins over both.
    setenv("GDK_SCALE", "2", 1);
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    geometry(&w, &h);
    EXPECT_EQ(w, 1232u);
    EXPECT_EQ(h, 640u);
    mX11->CloseWindow();
    mX11->SetRequestedScale(1.0);
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    geometry(&w, &h);
    EXPECT_EQ(w, 616u);
    EXPECT_EQ(h, 320u);
    if (before) {
        setenv("GDK_SCALE", saved.c_str(), 1);
    } else {
        unsetenv("GDK_SCALE");
    }
    mX11Plug.reset();
    XCloseDisplay(d);
}
