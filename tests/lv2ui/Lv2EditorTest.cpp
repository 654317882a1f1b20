// The bundle's X11 UI in a lilv host of the test's own, on a private Xvfb: the UI module is loaded as a
// host loads it, given the instance, the plug-in's extension data and a parent window, and driven by
// idle calls. What the window shows against the headless editor, settings changed in the editor
// reaching the host's write function (with touch gestures), a host port change showing in the editor,
// and many openings and closings while the audio thread runs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/lv2/Lv2EditorSession.h"
#include "tests/lv2/Lv2TestHost.h"

// Xlib last (X11TestSupport.h brings it): its macros (None, Bool) must not meet other headers.
#include "tests/x11/X11TestSupport.h"

namespace {

constexpr const char* kStereo = "urn:harbelwick:quenlix:stereo";

// What the UI told the host, in order.
struct HostCall {
    enum Kind { kWrite, kGrab, kRelease } kind;
    uint32_t port;
    float value;
};

// The UI module loaded from the bundle as the manifest names it.
class UiModule {
  public:
    UiModule() {
        mHandle = dlopen(QUENLIX_LV2_BUNDLE "/quenlix_ui.so", RTLD_NOW | RTLD_LOCAL);
        if (!mHandle) return;
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(mHandle, "lv2ui_descriptor"));
        mDescriptor = entry ? entry(0) : nullptr;
    }
    ~UiModule() {
        if (mHandle) dlclose(mHandle);
    }
    const LV2UI_Descriptor* Descriptor() const { return mDescriptor; }

  private:
    void* mHandle = nullptr;
    const LV2UI_Descriptor* mDescriptor = nullptr;
};

// One UI of an instance, with the features a host in the plug-in's process gives.
class Ui {
  public:
    // scaleFactor > 0: the host gives ui:scaleFactor (as an atom of `scaleType`) through opts:options.
    Ui(const UiModule& module, lv2test::Instance& instance, Window parent, bool withTouch = true,
       float scaleFactor = 0.0f)
        : mDescriptor(module.Descriptor()) {
        mMap.handle = &mUris;
        mMap.map = [](LV2_URID_Map_Handle h, const char* uri) {
            auto* uris = static_cast<std::vector<std::string>*>(h);
            for (size_t i = 0; i < uris->size(); ++i)
                if ((*uris)[i] == uri) return static_cast<LV2_URID>(i + 1);
            uris->push_back(uri);
            return static_cast<LV2_URID>(uris->size());
        };
        mScaleFactor = scaleFactor;
        mOptions[0] = {LV2_OPTIONS_INSTANCE,
                       0,
                       mMap.map(mMap.handle, LV2_UI__scaleFactor),
                       sizeof(float),
                       mMap.map(mMap.handle, LV2_ATOM__Float),
                       &mScaleFactor};
        mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        mData.data_access = lilv_instance_get_descriptor(instance.Raw())->extension_data;
        mResize.handle = this;
        mResize.ui_resize = [](LV2UI_Feature_Handle h, int w, int height) {
            static_cast<Ui*>(h)->resized = {w, height};
            return 0;
        };
        mTouch.handle = this;
        mTouch.touch = [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
            static_cast<Ui*>(h)->calls.push_back(
                {grabbed ? HostCall::kGrab : HostCall::kRelease, port, 0.0f});
        };
        mFeatureList = {{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance.Raw())},
                        {LV2_DATA_ACCESS_URI, &mData},
                        {LV2_UI__parent, reinterpret_cast<void*>(parent)},
                        {LV2_UI__resize, &mResize},
                        {LV2_UI__idleInterface, nullptr},
                        {LV2_UI__touch, &mTouch}};
        if (scaleFactor > 0.0f) {
            mFeatureList.push_back({LV2_URID__map, &mMap});
            mFeatureList.push_back({LV2_OPTIONS__options, mOptions});
        }
        for (LV2_Feature& f : mFeatureList)
            if (withTouch || std::string(f.URI) != LV2_UI__touch) mFeatures.push_back(&f);
        mFeatures.push_back(nullptr);
        LV2UI_Widget widget = nullptr;
        mHandle = mDescriptor->instantiate(mDescriptor, kStereo, QUENLIX_LV2_BUNDLE "/", &Write, this,
                                           &widget, mFeatures.data());
        window = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
        const void* idle = mDescriptor->extension_data(LV2_UI__idleInterface);
        mIdle = static_cast<const LV2UI_Idle_Interface*>(idle);
    }
    ~Ui() {
        if (mHandle) mDescriptor->cleanup(mHandle);
    }
    bool Ok() const { return mHandle != nullptr; }
    // Idle calls at 100 per second for ms milliseconds; the last result.
    int IdleFor(int ms) {
        int result = 0;
        for (int t = 0; t < ms; t += 10) {
            result = mIdle->idle(mHandle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return result;
    }
    int Idle() { return mIdle->idle(mHandle); }

    Window window = 0;
    struct {
        int w = 0, h = 0;
    } resized;
    std::vector<HostCall> calls;

  private:
    static void Write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        if (size == sizeof(float) && protocol == 0)
            static_cast<Ui*>(c)->calls.push_back(
                {HostCall::kWrite, port, *static_cast<const float*>(buffer)});
    }

    const LV2UI_Descriptor* mDescriptor;
    LV2UI_Handle mHandle = nullptr;
    const LV2UI_Idle_Interface* mIdle = nullptr;
    LV2_Extension_Data_Feature mData{};
    LV2UI_Resize mResize{};
    LV2UI_Touch mTouch{};
    std::vector<std::string> mUris;
    LV2_URID_Map mMap{};
    float mScaleFactor = 0.0f;
    LV2_Options_Option mOptions[2] = {};
    std::vector<LV2_Feature> mFeatureList;
    std::vector<const LV2_Feature*> mFeatures;
};

class Lv2EditorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { sServer = new XvfbServer(); }
    static void TearDownTestSuite() {
        delete sServer;
        sServer = nullptr;
    }

    void SetUp() override {
        if (!sServer->Running()) GTEST_SKIP() << "no X server for this test: " << sServer->Error();
        // The plug-in's editor connects to the display its host runs on.
        setenv("DISPLAY", sServer->DisplayName().c_str(), 1);
        mDisplay = XOpenDisplay(sServer->DisplayName().c_str());
        ASSERT_NE(mDisplay, nullptr);
        ASSERT_NE(mModule.Descriptor(), nullptr) << dlerror();
        mParent =
            XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 20, 30, 700, 400, 0, 0, 0x202020);
        XMapWindow(mDisplay, mParent);
        XSync(mDisplay, False);
        mHeadlessPlug = MakeQuenlix(EWindowSystem::kHeadless);
        mHeadless = dynamic_cast<IGraphicsHeadless*>(mHeadlessPlug->GetEditor());
        ASSERT_NE(mHeadless, nullptr);
    }
    void TearDown() override {
        mHeadlessPlug.reset();
        if (mParent) XDestroyWindow(mDisplay, mParent);
        if (mDisplay) XCloseDisplay(mDisplay);
    }

    int DifferencesFromHeadless(Window window, std::string* first) {
        XSync(mDisplay, False);
        mHeadless->OpenWindow(nullptr);
        mHeadless->SetAllControlsDirty();
        mHeadless->Tick();
        int w = 0, h = 0;
        const std::vector<LICE_pixel> pixels = ReadWindow(mDisplay, window, &w, &h);
        return CountDifferences(pixels, w, h, mHeadless->GetFramebuffer(), first);
    }

    static XvfbServer* sServer;
    UiModule mModule;
    lv2test::Bundle mBundle;
    Display* mDisplay = nullptr;
    Window mParent = 0;
    std::unique_ptr<TestQuenlix> mHeadlessPlug;
    IGraphicsHeadless* mHeadless = nullptr;
};

XvfbServer* Lv2EditorTest::sServer = nullptr;

Window ParentOf(Display* display, Window w) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    return parent;
}

}  // namespace

TEST(Lv2EditorBundle, EveryPluginNamesTheX11UiThatTheUiModuleIs) {
    lv2test::Bundle bundle;
    UiModule module;
    ASSERT_NE(module.Descriptor(), nullptr);
    LilvNode* x11 = lilv_new_uri(bundle.World(), LV2_UI__X11UI);
    for (const lv2test::PluginCase& pc : lv2test::kPlugins) {
        LilvUIs* uis = lilv_plugin_get_uis(bundle.Plugin(pc.uri));
        ASSERT_EQ(lilv_uis_size(uis), 1u) << pc.uri;
        const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
        EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), module.Descriptor()->URI) << pc.uri;
        EXPECT_TRUE(lilv_ui_is_a(ui, x11)) << pc.uri;
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        EXPECT_STREQ(path, QUENLIX_LV2_BUNDLE "/quenlix_ui.so") << pc.uri;
        lilv_free(path);
        lilv_uis_free(uis);
    }
    lilv_node_free(x11);
}

TEST_F(Lv2EditorTest, OpensInTheHostWindowAtItsSizeAndFollowsTheHostsPorts) {
    lv2test::Instance instance(mBundle, kStereo, 44100.0);
    ASSERT_TRUE(instance.Ok());
    Ui ui(mModule, instance, mParent);
    ASSERT_TRUE(ui.Ok());
    EXPECT_EQ(ParentOf(mDisplay, ui.window), mParent);
    EXPECT_EQ(ui.resized.w, 616);
    EXPECT_EQ(ui.resized.h, 320);
    EXPECT_EQ(ui.IdleFor(200), 0);
    std::string first;
    EXPECT_EQ(DifferencesFromHeadless(ui.window, &first), 0) << "first difference " << first;

    // The host moves "Type" to EBU R128: the plug-in takes it at its next block, the editor shows it.
    instance.Control("type") = 1.0f;
    std::vector<std::vector<float>> silence(2, std::vector<float>(64, 0.0f)), out = silence;
    instance.Run(silence, &out, 0, 64);
    ui.IdleFor(200);
    SetParamFromHost(*mHeadlessPlug, Quenlix::kType, 1.0);
    PluginHost(*mHeadlessPlug).RunConstant(64, 0.0f, 64);
    EXPECT_EQ(DifferencesFromHeadless(ui.window, &first), 0) << "first difference " << first;
    EXPECT_TRUE(ui.calls.empty()) << "a host change was echoed to the host";
}

// The host counts ui:resize in its own pixels, scaleFactor screen pixels each: the editor drawn at the
// host's scale is reported at its 1x size in those units.
TEST_F(Lv2EditorTest, TheHostsScaleFactorDrawsTheEditorAtThatSizeAndTellsTheHost) {
    unsetenv("GDK_SCALE");
    const struct {
        float scaleFactor;
        int w, h;
    } cases[] = {{2.0f, 1232, 640}, {1.5f, 924, 480}, {1.0f, 616, 320}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scaleFactor);
        lv2test::Instance instance(mBundle, kStereo, 44100.0);
        ASSERT_TRUE(instance.Ok());
        Ui ui(mModule, instance, mParent, true, c.scaleFactor);
        ASSERT_TRUE(ui.Ok());
        EXPECT_EQ(ui.resized.w, 616);
        EXPECT_EQ(ui.resized.h, 320);
        EXPECT_EQ(ui.IdleFor(100), 0);
        Window root;
        int x = 0, y = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        XGetGeometry(mDisplay, ui.window, &root, &x, &y, &w, &h, &border, &depth);
        EXPECT_EQ(static_cast<int>(w), c.w);
        EXPECT_EQ(static_cast<int>(h), c.h);
    }
}

TEST_F(Lv2EditorTest, SettingsChangedInTheEditorReachTheHostsPorts) {
    lv2test::Instance instance(mBundle, kStereo, 44100.0);
    ASSERT_TRUE(instance.Ok());
    Ui ui(mModule, instance, mParent);
    ASSERT_TRUE(ui.Ok());
    ui.IdleFor(100);
    const IRECT typeRect = *mHeadless->GetControl(layout::kTypeSelector)->GetRECT();
    const IRECT fieldRect = *mHeadless->GetControl(layout::kWindowField)->GetRECT();

    // A wheel turn over "RMS Window": the new window length, as the headless editor computes it.
    Click(mDisplay, CentreOnScreen(mDisplay, ui.window, &fieldRect), 4);
    ASSERT_TRUE(WaitFor([&] { return ui.Idle() == 0 && !ui.calls.empty(); }));
    mHeadless->OpenWindow(nullptr);
    mHeadless->MouseWheel((fieldRect.L + fieldRect.R) / 2, (fieldRect.T + fieldRect.B) / 2, 1);
    const float window = static_cast<float>(mHeadlessPlug->GetParam(Quenlix::kRmsWindow)->Value());
    ASSERT_NE(window, 300.0f);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].kind, HostCall::kWrite);
    EXPECT_EQ(ui.calls[0].port, static_cast<uint32_t>(instance.Port("rms_window")));
    EXPECT_EQ(ui.calls[0].value, window);

    // The host echoes the value to the port: the plug-in takes it as no change.
    instance.Control("rms_window") = window;
    std::vector<std::vector<float>> silence(2, std::vector<float>(64, 0.0f)), out = silence;
    instance.Run(silence, &out, 0, 64);
    ui.IdleFor(100);
    EXPECT_EQ(ui.calls.size(), 1u);

    // "Type" from its menu: the press and release frame the change as a gesture.
    ui.calls.clear();
    std::atomic<bool> done{false};
    std::thread user([&] {
        Display* d = XOpenDisplay(sServer->DisplayName().c_str());
        Click(d, CentreOnScreen(d, ui.window, &typeRect), 1);
        Window menu = 0;
        if (WaitFor([&] { return (menu = FindMenuWindow(d)) != 0; })) {
            // The second item, "EBU R128".
            XWindowAttributes wa;
            XGetWindowAttributes(d, menu, &wa);
            const int itemHeight = (wa.height - 2) / 2;
            Click(d, {wa.x + 20, wa.y + 1 + itemHeight + itemHeight / 2}, 1);
        }
        XCloseDisplay(d);
        done = true;
    });
    while (!done) {
        ui.Idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    user.join();
    ui.IdleFor(100);
    const uint32_t typePort = static_cast<uint32_t>(instance.Port("type"));
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ui.calls[0].kind, HostCall::kGrab);
    EXPECT_EQ(ui.calls[1].kind, HostCall::kWrite);
    EXPECT_EQ(ui.calls[1].value, 1.0f);
    EXPECT_EQ(ui.calls[2].kind, HostCall::kRelease);
    for (const HostCall& c : ui.calls) EXPECT_EQ(c.port, typePort);
}

// The plug-in's state as the host keeps it in a session: the bytes stored under each key.
struct SessionState {
    std::map<uint32_t, std::pair<std::vector<uint8_t>, uint32_t>> values;  // key: bytes, type

    static LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t) {
        const auto* b = static_cast<const uint8_t*>(value);
        static_cast<SessionState*>(h)->values[key] = {std::vector<uint8_t>(b, b + size), type};
        return LV2_STATE_SUCCESS;
    }
    static const void* Retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto& values = static_cast<SessionState*>(h)->values;
        auto it = values.find(key);
        if (it == values.end()) return nullptr;
        *size = it->second.first.size();
        *type = it->second.second;
        *flags = LV2_STATE_IS_POD;
        return it->second.first.data();
    }
};

// A session saved at EBU R128 with Sync on and opened again: the host restores the plug-in's state and
// its ports, then shows the UI. The selectors show what was restored, and the Type menu opened and
// closed with Escape leaves the type alone and tells the host nothing.
TEST_F(Lv2EditorTest, ARestoredStateShowsInTheSelectorsAndADismissedMenuChangesNothing) {
    std::vector<std::vector<float>> silence(2, std::vector<float>(64, 0.0f)), out = silence;
    SessionState session;
    {
        lv2test::Instance saved(mBundle, kStereo, 44100.0);
        ASSERT_TRUE(saved.Ok());
        saved.Control("type") = 1.0f;
        saved.Control("sync") = 1.0f;
        saved.Run(silence, &out, 0, 64);
        ASSERT_EQ(saved.State()->save(saved.Raw()->lv2_handle, SessionState::Store, &session, 0, nullptr),
                  LV2_STATE_SUCCESS);
    }
    lv2test::Instance instance(mBundle, kStereo, 44100.0);
    ASSERT_TRUE(instance.Ok());
    instance.Control("type") = 1.0f;
    instance.Control("sync") = 1.0f;
    ASSERT_EQ(
        instance.State()->restore(instance.Raw()->lv2_handle, SessionState::Retrieve, &session, 0, nullptr),
        LV2_STATE_SUCCESS);
    instance.Run(silence, &out, 0, 64);

    Ui ui(mModule, instance, mParent);
    ASSERT_TRUE(ui.Ok());
    ui.IdleFor(200);
    SetParamFromHost(*mHeadlessPlug, Quenlix::kType, 1.0);
    SetParamFromHost(*mHeadlessPlug, Quenlix::kSync, 1.0);
    PluginHost(*mHeadlessPlug).RunConstant(64, 0.0f, 64);
    std::string first;
    EXPECT_EQ(DifferencesFromHeadless(ui.window, &first), 0) << "first difference " << first;

    const IRECT typeRect = *mHeadless->GetControl(layout::kTypeSelector)->GetRECT();
    // The menu may vanish between the user's listing the windows and looking at one: such errors are
    // only counted.
    XErrorCounter vanishedWindows;
    std::atomic<bool> done{false};
    bool menuShown = false, escaped = false;
    std::thread user([&] {
        Display* d = XOpenDisplay(sServer->DisplayName().c_str());
        Click(d, CentreOnScreen(d, ui.window, &typeRect), 1);
        menuShown = WaitFor([&] { return FindMenuWindow(d) != 0; });
        // The menu takes the keyboard just after it shows; a key sent before that goes elsewhere, so
        // Escape is pressed until the menu has gone.
        const KeyCode escape = XKeysymToKeycode(d, XK_Escape);
        for (int i = 0; i < 25 && menuShown && !escaped; ++i) {
            XTestFakeKeyEvent(d, escape, True, 0);
            XTestFakeKeyEvent(d, escape, False, 0);
            XFlush(d);
            escaped = WaitFor([&] { return FindMenuWindow(d) == 0; }, 200);
        }
        if (FindMenuWindow(d) != 0) Click(d, {1, 1}, 1);  // never leave the editor inside its menu
        XCloseDisplay(d);
        done = true;
    });
    while (!done) {
        ui.Idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    user.join();
    ui.IdleFor(100);
    EXPECT_TRUE(menuShown);
    EXPECT_TRUE(escaped);
    EXPECT_TRUE(ui.calls.empty()) << ui.calls.size() << " calls, the first to port " << ui.calls[0].port;

    // The plug-in still meters EBU R128 with Sync on, and the editor still shows it.
    instance.Run(silence, &out, 0, 64);
    SessionState after;
    ASSERT_EQ(instance.State()->save(instance.Raw()->lv2_handle, SessionState::Store, &after, 0, nullptr),
              LV2_STATE_SUCCESS);
    EXPECT_EQ(after.values, session.values);
    EXPECT_EQ(DifferencesFromHeadless(ui.window, &first), 0) << "first difference " << first;
}

TEST_F(Lv2EditorTest, OpeningAndClosingManyTimesLeavesNothingAndNeverDisturbsTheAudio) {
    XErrorCounter errors;
    lv2test::Instance instance(mBundle, kStereo, 48000.0);
    ASSERT_TRUE(instance.Ok());
    const int childrenBefore = CountChildren(mDisplay, mParent);

    // The audio thread runs blocks of a sine all along; every block must come out unchanged.
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0}, changed{0};
    std::thread audio([&] {
        std::vector<std::vector<float>> in(2, std::vector<float>(256)), out = in;
        for (long b = 0; !stop; ++b) {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 256; ++i)
                    in[c][i] = 0.25f * static_cast<float>(std::sin(0.01 * (b * 256 + i)));
            instance.Run(in, &out, 0, 256);
            if (out != in) ++changed;
            ++blocks;
        }
    });
    int failed = 0;
    for (int i = 0; i < 200; ++i) {
        Ui ui(mModule, instance, mParent, i % 2 == 0);
        if (!ui.Ok()) {
            ++failed;
            continue;
        }
        ui.Idle();
        if (i % 50 == 0) ui.IdleFor(60);
        // A second UI of the same instance while one is open is refused, not a second window.
        if (i == 7) {
            Ui second(mModule, instance, mParent);
            EXPECT_FALSE(second.Ok());
        }
    }
    stop = true;
    audio.join();
    EXPECT_EQ(failed, 0);
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(changed.load(), 0);
    XSync(mDisplay, False);
    EXPECT_EQ(CountChildren(mDisplay, mParent), childrenBefore);
    EXPECT_EQ(errors.Count(), 0);
}

TEST_F(Lv2EditorTest, WithoutTheInstanceOrAParentTheUiIsRefused) {
    lv2test::Instance instance(mBundle, kStereo, 44100.0);
    ASSERT_TRUE(instance.Ok());
    const LV2UI_Descriptor* d = mModule.Descriptor();
    LV2UI_Widget widget = nullptr;
    const auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
    LV2_Extension_Data_Feature data{lilv_instance_get_descriptor(instance.Raw())->extension_data};
    const LV2_Feature access{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance.Raw())};
    const LV2_Feature dataAccess{LV2_DATA_ACCESS_URI, &data};
    const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(mParent)};
    const LV2_Feature badParent{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(0x7fffff0))};
    const LV2_Feature* noInstance[] = {&dataAccess, &parent, nullptr};
    const LV2_Feature* noData[] = {&access, &parent, nullptr};
    const LV2_Feature* noParent[] = {&access, &dataAccess, nullptr};
    const LV2_Feature* notAWindow[] = {&access, &dataAccess, &badParent, nullptr};
    XErrorCounter errors;
    for (const LV2_Feature** features : {noInstance, noData, noParent, notAWindow})
        EXPECT_EQ(d->instantiate(d, kStereo, QUENLIX_LV2_BUNDLE "/", write, nullptr, &widget, features),
                  nullptr);
    // With no display the plug-in keeps running and the UI says it cannot open.
    setenv("DISPLAY", ":4093", 1);
    const LV2_Feature* all[] = {&access, &dataAccess, &parent, nullptr};
    EXPECT_EQ(d->instantiate(d, kStereo, QUENLIX_LV2_BUNDLE "/", write, nullptr, &widget, all), nullptr);
    EXPECT_EQ(errors.Count(), 0);
}

TEST(Lv2EditorSchedule, FramesComeAtTheEditorsRateWhateverTheHostsIdleRate) {
    // Host idle rates (calls per second, with jitter in ms) against the frames drawn in ten seconds.
    struct Case {
        double callsPerSecond, jitterMs;
    };
    for (const Case c :
         {Case{25, 0.0}, Case{25, 3.0}, Case{30, 0.0}, Case{60, 2.0}, Case{100, 0.0}, Case{1000, 0.0}}) {
        lv2::FrameSchedule schedule(25);
        int frames = 0;
        const double period = 1000.0 / c.callsPerSecond;
        for (int i = 0; i * period < 10000.0; ++i) {
            const double jitter = c.jitterMs * ((i * 7919) % 11 - 5) / 5.0;
            if (schedule.Due(i * period + jitter)) ++frames;
        }
        EXPECT_GE(frames, 240) << c.callsPerSecond << " calls/s";
        EXPECT_LE(frames, 260) << c.callsPerSecond << " calls/s";
    }
    // A host that stalled for a second draws one frame, not a burst to catch up.
    lv2::FrameSchedule schedule(25);
    EXPECT_TRUE(schedule.Due(0.0));
    EXPECT_TRUE(schedule.Due(1000.0));
    EXPECT_FALSE(schedule.Due(1001.0));
    EXPECT_FALSE(schedule.Due(1020.0));
    EXPECT_TRUE(schedule.Due(1040.0));
}
