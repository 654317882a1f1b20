// The editor in an X11 window on a private Xvfb: what the window shows against the headless editor's
// screen, input injected through the server (XTest) against the same input given to the headless
// editor, and repeated opening and closing.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "editor/HeadlessResponder.h"

// Xlib last (X11TestSupport.h brings it): its macros (None, Bool) must not meet other headers.
#include "X11TestSupport.h"

namespace {

class X11EditorTest : public ::testing::Test {
  protected:
    // Large enough for the editor at twice its size.
    static void SetUpTestSuite() { sServer = new XvfbServer(1600, 1000); }
    static void TearDownTestSuite() {
        delete sServer;
        sServer = nullptr;
    }

    void SetUp() override {
        if (!sServer->Running()) GTEST_SKIP() << "no X server for this test: " << sServer->Error();
        mDisplay = XOpenDisplay(sServer->DisplayName().c_str());
        ASSERT_NE(mDisplay, nullptr);
        mX11Plug = MakeQuenlix(EWindowSystem::kX11);
        mHeadlessPlug = MakeQuenlix(EWindowSystem::kHeadless);
        mX11 = dynamic_cast<IGraphicsX11*>(mX11Plug->GetEditor());
        mHeadless = dynamic_cast<IGraphicsHeadless*>(mHeadlessPlug->GetEditor());
        ASSERT_NE(mX11, nullptr);
        ASSERT_NE(mHeadless, nullptr);
        mX11->SetDisplayName(sServer->DisplayName().c_str());
        mHeadless->SetResponder(&mResponder);
    }
    void TearDown() override {
        mX11Plug.reset();
        mHeadlessPlug.reset();
        if (mParent) XDestroyWindow(mDisplay, mParent);
        if (mDisplay) XCloseDisplay(mDisplay);
    }

    // A host window of 700 x 400 (or the size given) on the test's own connection.
    Window MakeParent(unsigned w = 700, unsigned h = 400) {
        mParent = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 30, 40, w, h, 0, 0, 0x202020);
        XMapWindow(mDisplay, mParent);
        XSync(mDisplay, False);
        return mParent;
    }

    // Ticks the X11 editor until it has put something on screen and the server has answered.
    void TickUntilShown() {
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

    void ShowHeadless() {
        mHeadless->SetScale(mX11->GetScale());
        mHeadless->OpenWindow(nullptr);
        mHeadless->SetAllControlsDirty();
        mHeadless->Tick();
        mHeadless->Tick();
    }

    void ExpectWindowEqualsHeadless(const char* when) {
        int w = 0, h = 0;
        const std::vector<LICE_pixel> pixels = ReadWindow(mDisplay, mX11->GetXWindow(), &w, &h);
        std::string first;
        EXPECT_EQ(CountDifferences(pixels, w, h, mHeadless->GetFramebuffer(), &first), 0)
            << when << ": first difference " << first;
    }

    // The same programme into both plug-ins, so that meters and read-outs show something.
    void FeedBoth(double seconds) {
        PluginHost x11Host(*mX11Plug), headlessHost(*mHeadlessPlug);
        const long frames = static_cast<long>(44100 * seconds);
        x11Host.RunSine(frames, 0.4, 997.0);
        headlessHost.RunSine(frames, 0.4, 997.0);
    }

    void InjectInputAtScale(double scale);

    static XvfbServer* sServer;
    Display* mDisplay = nullptr;
    Window mParent = 0;
    std::unique_ptr<TestQuenlix> mX11Plug, mHeadlessPlug;
    IGraphicsX11* mX11 = nullptr;
    IGraphicsHeadless* mHeadless = nullptr;
    ScriptedResponder mResponder;
};

XvfbServer* X11EditorTest::sServer = nullptr;

int OpenFileCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

TEST_F(X11EditorTest, WindowShowsTheHeadlessPictureAsChildAndTopLevel) {
    FeedBoth(0.5);
    ShowHeadless();

    const Window parent = MakeParent();
    ASSERT_NE(mX11->OpenWindow(reinterpret_cast<void*>(parent), nullptr, 10, 20), nullptr);
    EXPECT_TRUE(mX11->WindowIsOpen());
    EXPECT_NE(std::string(mX11->GetGUIAPI()).find("X11"), std::string::npos);
    TickUntilShown();
    Window root, child;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(mDisplay, mX11->GetXWindow(), &root, &x, &y, &w, &h, &border, &depth);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 616u);
    EXPECT_EQ(h, 320u);
    ExpectWindowEqualsHeadless("child window");
    (void)child;

    mX11->CloseWindow();
    EXPECT_FALSE(mX11->WindowIsOpen());
    ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
    TickUntilShown();
    char* title = nullptr;
    ASSERT_TRUE(XFetchName(mDisplay, mX11->GetXWindow(), &title));
    EXPECT_STREQ(title, mX11Plug->GetEffectName());
    XFree(title);
    ExpectWindowEqualsHeadless("top-level window");
}

// Clicks, a wheel turn, a menu and typing through the server at the window's scale, against the same
// input at 1x coordinates given to the headless editor.
void X11EditorTest::InjectInputAtScale(double scale) {
    // Both start in the EBU R128 layout; the menu brings back RMS.
    SetParamFromHost(*mX11Plug, Quenlix::kType, 1.0);
    SetParamFromHost(*mHeadlessPlug, Quenlix::kType, 1.0);
    const IRECT typeRect = *mX11->GetControl(layout::kTypeSelector)->GetRECT();
    const IRECT fieldRect = *mX11->GetControl(layout::kWindowField)->GetRECT();

    mX11->SetRequestedScale(scale);
    const Window parent = MakeParent(static_cast<unsigned>(700 * scale), static_cast<unsigned>(400 * scale));
    ASSERT_NE(mX11->OpenWindow(reinterpret_cast<void*>(parent), nullptr, 0, 0), nullptr);
    ASSERT_EQ(mX11->GetScale(), scale);
    TickUntilShown();
    const Window editor = mX11->GetXWindow();
    // Where the user sees the controls: their rectangles at the window's scale.
    const IRECT typeOnScreen = mX11->ToScreen(typeRect);
    const IRECT fieldOnScreen = mX11->ToScreen(fieldRect);

    // The user, on a connection of its own; the editor's thread keeps ticking meanwhile. Windows may
    // vanish between the user's listing them and looking at them: such errors are only counted.
    XErrorCounter vanishedWindows;
    std::atomic<bool> done{false};
    std::string failure;
    std::thread user([&] {
        Display* d = XOpenDisplay(sServer->DisplayName().c_str());
        const auto click = [d](Point p, unsigned int button) {
            XTestFakeMotionEvent(d, -1, p.x, p.y, 0);
            XTestFakeButtonEvent(d, button, True, 0);
            XTestFakeButtonEvent(d, button, False, 0);
            XFlush(d);
        };
        const auto type = [d](const char* keys) {
            for (const char* k = keys; *k; ++k) {
                KeySym sym = static_cast<KeySym>(static_cast<unsigned char>(*k));
                if (*k == '\r') sym = XK_Return;
                if (*k == 0x1b) sym = XK_Escape;
                if (*k == '.') sym = XK_period;
                if (*k == ',') sym = XK_comma;
                const KeyCode code = XKeysymToKeycode(d, sym);
                XTestFakeKeyEvent(d, code, True, 0);
                XTestFakeKeyEvent(d, code, False, 0);
            }
            XFlush(d);
        };
        const auto step = [&](bool ok, const char* what) {
            if (!ok && failure.empty()) failure = what;
            return ok;
        };
        const Point field = CentreOnScreen(d, editor, &fieldOnScreen);
        // Type selector: the menu opens; its first item is "RMS".
        click(CentreOnScreen(d, editor, &typeOnScreen), 1);
        Window menu = 0;
        if (step(WaitFor([&] { return (menu = FindMenuWindow(d)) != 0; }), "the menu window did not open")) {
            XWindowAttributes wa;
            XGetWindowAttributes(d, menu, &wa);
            const int itemHeight = (wa.height - 2) / 2;
            click({wa.x + 20, wa.y + 1 + itemHeight / 2}, 1);
            step(WaitFor([&] { return FindMenuWindow(d) == 0; }), "the menu did not close");
        }
        // A wheel turn up over "RMS Window".
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        click(field, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // A double click opens the field; letters and the comma are refused, the ninth character too.
        click(field, 1);
        click(field, 1);
        if (step(WaitFor([&] { return CountChildren(d, editor) == 1; }), "the text field did not open")) {
            type("12a,3.56789\r");
            step(WaitFor([&] { return CountChildren(d, editor) == 0; }), "Return did not close the field");
        }
        // Escape discards what was typed.
        std::this_thread::sleep_for(std::chrono::milliseconds(450));
        click(field, 1);
        click(field, 1);
        if (step(WaitFor([&] { return CountChildren(d, editor) == 1; }), "the second field did not open")) {
            type("99\x1b");
            step(WaitFor([&] { return CountChildren(d, editor) == 0; }), "Escape did not close the field");
        }
        XCloseDisplay(d);
        done = true;
    });
    while (!done) {
        mX11->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    user.join();
    EXPECT_EQ(failure, "");
    TickUntilShown();

    // The same input given to the headless editor.
    ShowHeadless();
    const int tx = (typeRect.L + typeRect.R) / 2, ty = (typeRect.T + typeRect.B) / 2;
    const int fx = (fieldRect.L + fieldRect.R) / 2, fy = (fieldRect.T + fieldRect.B) / 2;
    mResponder.QueueMenuChoice({0});
    mHeadless->MouseDown(tx, ty);
    mHeadless->MouseUp(tx, ty);
    mHeadless->MouseWheel(fx, fy, 1);
    mResponder.QueueText("12a,3.56789\r");
    mHeadless->MouseDown(fx, fy);
    mHeadless->MouseUp(fx, fy);
    mHeadless->MouseDown(fx, fy, HeadlessMouse(), 2);
    mHeadless->MouseUp(fx, fy);
    mHeadless->Tick();
    mResponder.QueueText("99\x1b");
    mHeadless->MouseDown(fx, fy);
    mHeadless->MouseUp(fx, fy);
    mHeadless->MouseDown(fx, fy, HeadlessMouse(), 2);
    mHeadless->MouseUp(fx, fy);
    for (int i = 0; i < 3; ++i) mHeadless->Tick();

    EXPECT_EQ(mX11Plug->GetParam(Quenlix::kType)->Int(), 0);
    EXPECT_EQ(mHeadlessPlug->GetParam(Quenlix::kType)->Int(), 0);
    for (int i = 0; i < Quenlix::kNumParams; ++i)
        EXPECT_EQ(mX11Plug->GetParam(i)->Value(), mHeadlessPlug->GetParam(i)->Value()) << "parameter " << i;
    EXPECT_FALSE(mX11->TextEntryOpen());
    // "123.5678": the applied text, not the refused characters and not the cancelled "99".
    EXPECT_NEAR(mX11Plug->GetParam(Quenlix::kRmsWindow)->Value(), 123.5678, 0.5);
    ExpectWindowEqualsHeadless("after the menu, the wheel and the fields");
}

TEST_F(X11EditorTest, InjectedInputActsAsOnTheHeadlessEditor) {
    InjectInputAtScale(1.0);
}

TEST_F(X11EditorTest, InjectedInputAtTwiceTheSizeActsAsAtOneTimes) {
    InjectInputAtScale(2.0);
}

TEST_F(X11EditorTest, OpeningAndClosingLeavesNoErrorsOrConnections) {
    XErrorCounter errors;
    const Window parent = MakeParent();
    const int filesBefore = OpenFileCount();
    for (int i = 0; i < 200; ++i) {
        void* opened =
            (i % 2) ? mX11->OpenWindow(nullptr) : mX11->OpenWindow(reinterpret_cast<void*>(parent));
        ASSERT_NE(opened, nullptr) << "cycle " << i;
        mX11->SetAllControlsDirty();
        mX11->Tick();
        mX11->CloseWindow();
    }
    EXPECT_EQ(OpenFileCount(), filesBefore);
    EXPECT_EQ(mX11->UnexpectedXErrors(), 0);

    // A host that destroys its window before closing the editor (a frame may still meet the dead
    // window: the error stays on the editor's connection), and one that hands over no window.
    const Window doomed = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, 700, 400, 0, 0, 0);
    XSync(mDisplay, False);
    ASSERT_NE(mX11->OpenWindow(reinterpret_cast<void*>(doomed)), nullptr);
    mX11->Tick();
    XDestroyWindow(mDisplay, doomed);
    XSync(mDisplay, False);
    mX11->SetAllControlsDirty();
    mX11->Tick();
    mX11->CloseWindow();
    EXPECT_EQ(mX11->OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(0x7fffff0))), nullptr);
    EXPECT_FALSE(mX11->WindowIsOpen());
    XSync(mDisplay, False);
    EXPECT_EQ(errors.Count(), 0);  // nothing reached the host's handler
    EXPECT_EQ(OpenFileCount(), filesBefore);
}

// A server that goes away while the window is open (it crashed, the link dropped) ends the window, never
// the host's process: the editor asks to be closed, its timer does nothing more and closing it is safe.
TEST(X11EditorConnection, AServerThatGoesAwayClosesTheWindowNotTheProcess) {
    XvfbServer server;
    if (!server.Running()) GTEST_SKIP() << "no X server for this test: " << server.Error();
    auto plug = MakeQuenlix(EWindowSystem::kX11);
    auto* x11 = dynamic_cast<IGraphicsX11*>(plug->GetEditor());
    ASSERT_NE(x11, nullptr);
    x11->SetDisplayName(server.DisplayName().c_str());
    ASSERT_NE(x11->OpenWindow(nullptr), nullptr);
    x11->Tick();
    EXPECT_FALSE(x11->ConnectionLost());
    EXPECT_FALSE(x11->CloseRequested());

    server.Stop();
    EXPECT_TRUE(WaitFor([x11] {
        x11->Tick();
        return x11->ConnectionLost();
    }));
    EXPECT_TRUE(x11->CloseRequested());
    EXPECT_FALSE(x11->Tick());
    x11->CloseWindow();
    EXPECT_FALSE(x11->WindowIsOpen());
    EXPECT_EQ(x11->GetConnectionFd(), -1);
}

TEST_F(X11EditorTest, NoDisplayMeansNoWindow) {
    mX11->SetDisplayName(":4093");
    EXPECT_EQ(mX11->OpenWindow(nullptr), nullptr);
    EXPECT_FALSE(mX11->WindowIsOpen());
    EXPECT_FALSE(mX11->Tick());
}

// An open menu is served by the editor's own ticks (a host's idle call): each tick returns while the
// menu stays open and the editor keeps drawing what the plug-in side changes; the choice, or nothing,
// reaches the selector when the menu closes, and the press that opened it ends then.
TEST_F(X11EditorTest, OpenMenuLeavesTheHostsCallAndTheEditorKeepsDrawing) {
    enum EClose { kClickItem, kEscape, kClickOutside };
    const struct {
        const char* what;
        EClose close;
        int type;  // "Type" afterwards
    } cases[] = {
        {"RMS clicked", kClickItem, 0},
        {"Escape", kEscape, 1},
        {"a click outside", kClickOutside, 1},
    };
    const IRECT typeRect = *mX11->GetControl(layout::kTypeSelector)->GetRECT();
    const Window parent = MakeParent();
    ASSERT_NE(mX11->OpenWindow(reinterpret_cast<void*>(parent), nullptr, 0, 0), nullptr);
    TickUntilShown();
    const Window editor = mX11->GetXWindow();
    PluginHost host(*mX11Plug);
    XErrorCounter vanishedWindows;

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetParamFromHost(*mX11Plug, Quenlix::kType, 1.0);
        TickUntilShown();
        Click(mDisplay, CentreOnScreen(mDisplay, editor, &typeRect), 1);

        // A tick that waited for the menu to close would never return: after 3 s a watchdog closes it.
        std::atomic<bool> returned{false};
        std::thread watchdog([&] {
            if (WaitFor([&] { return returned.load(); }, 3000)) return;
            Display* d = XOpenDisplay(sServer->DisplayName().c_str());
            const KeyCode escape = XKeysymToKeycode(d, XK_Escape);
            XTestFakeKeyEvent(d, escape, True, 0);
            XTestFakeKeyEvent(d, escape, False, 0);
            XCloseDisplay(d);
        });
        double longestTickMs = 0;
        const bool opened = WaitFor([&] {
            const auto start = std::chrono::steady_clock::now();
            mX11->Tick();
            longestTickMs = std::max(
                longestTickMs,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            return mX11->MenuOpen() && FindMenuWindow(mDisplay) != 0;
        });
        returned = true;
        watchdog.join();
        ASSERT_TRUE(opened) << "the tick did not come back with the menu open";
        EXPECT_LT(longestTickMs, 500.0);

        // Meanwhile the plug-in meters and the editor's ticks draw it.
        const int updates = mX11->ScreenUpdates();
        for (int i = 0; i < 5; ++i) {
            host.RunSine(4410, 0.1 * (i + 1), 997.0);
            mX11->Tick();
        }
        EXPECT_GE(mX11->ScreenUpdates() - updates, 4) << "the editor stopped drawing";
        EXPECT_TRUE(mX11->MenuOpen());

        const Window menu = FindMenuWindow(mDisplay);
        XWindowAttributes wa;
        ASSERT_TRUE(XGetWindowAttributes(mDisplay, menu, &wa));
        if (c.close == kClickItem) Click(mDisplay, {wa.x + 20, wa.y + 1 + (wa.height - 2) / 4}, 1);
        if (c.close == kClickOutside) Click(mDisplay, {30 + 650, 40 + 380}, 1);
        if (c.close == kEscape) {
            const KeyCode escape = XKeysymToKeycode(mDisplay, XK_Escape);
            XTestFakeKeyEvent(mDisplay, escape, True, 0);
            XTestFakeKeyEvent(mDisplay, escape, False, 0);
            XFlush(mDisplay);
        }
        EXPECT_TRUE(WaitFor([&] {
            mX11->Tick();
            return !mX11->MenuOpen() && FindMenuWindow(mDisplay) == 0;
        })) << "the menu did not close";
        EXPECT_EQ(mX11Plug->GetParam(Quenlix::kType)->Int(), c.type);
        EXPECT_FALSE(mX11->IsMouseDown()) << "the press that opened the menu did not end";
    }
    EXPECT_EQ(mX11->UnexpectedXErrors(), 0);
}
