// The headless editor finds its images beside the module that contains it, wherever the module was
// loaded from: a plug-in bundle moved elsewhere shows its own images, never another copy's; and it
// names that module, not the program that loaded it, as the plug-in's paths.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/PNG.h"

namespace {

using ProbeImage = int (*)(const char* name, int* width, int* height, LICE_pixel* topLeft);

struct Loaded {
    bool ok = false;
    int width = 0, height = 0;
    LICE_pixel topLeft = 0;
};

// Bundles made of a copy of the probe module, each in a folder of its own under a fresh temporary folder.
class MovedBundle : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/editor-bundle-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        mRoot = tmpl;
        mDirs.push_back(mRoot);
    }
    void TearDown() override {
        for (void* h : mHandles) dlclose(h);
        for (auto f = mFiles.rbegin(); f != mFiles.rend(); ++f) std::remove(f->c_str());
        for (auto d = mDirs.rbegin(); d != mDirs.rend(); ++d) rmdir(d->c_str());
    }

    // <root>/<name>/Probe.so with an empty resources/img folder beside it; returns the bundle folder.
    std::string MakeBundle(const char* name) {
        const std::string bundle = mRoot + "/" + name;
        for (const std::string& dir : {bundle, bundle + "/resources", bundle + "/resources/img"}) {
            EXPECT_EQ(mkdir(dir.c_str(), 0700), 0) << dir;
            mDirs.push_back(dir);
        }
        std::ifstream in(QUENLIX_IMAGE_PROBE_MODULE, std::ios::binary);
        EXPECT_TRUE(in) << QUENLIX_IMAGE_PROBE_MODULE;
        const std::string module = bundle + "/Probe.so";
        std::ofstream out(module, std::ios::binary);
        out << in.rdbuf();
        out.close();
        EXPECT_TRUE(out) << module;
        mFiles.push_back(module);
        return bundle;
    }
    void AddImage(const std::string& bundle, const char* fileName, int w, int h, LICE_pixel color) {
        LICE_MemBitmap bm(w, h);
        LICE_Clear(&bm, color);
        const std::string path = bundle + "/resources/img/" + fileName;
        ASSERT_TRUE(LICE_WritePNG(path.c_str(), &bm, true)) << path;
        mFiles.push_back(path);
    }
    // Loads the bundle's module by its path (as a host does) and returns its probe.
    ProbeImage Open(const std::string& bundle) {
        const std::string module = bundle + "/Probe.so";
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        if (!handle) return nullptr;
        mHandles.push_back(handle);
        return reinterpret_cast<ProbeImage>(dlsym(handle, "QuenlixProbeImage"));
    }
    // HostPath and PluginPath as the editor inside the bundle's module answers them.
    std::pair<std::string, std::string> Paths(const std::string& bundle) {
        void* handle = dlopen((bundle + "/Probe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        if (!handle) return {};
        mHandles.push_back(handle);
        using ProbePaths = void (*)(char* hostPath, char* pluginPath, int size);
        auto probe = reinterpret_cast<ProbePaths>(dlsym(handle, "QuenlixProbePaths"));
        EXPECT_NE(probe, nullptr);
        if (!probe) return {};
        char host[4096], plugin[4096];
        probe(host, plugin, sizeof host);
        return {host, plugin};
    }
    static Loaded Load(ProbeImage probe, const char* name) {
        Loaded r;
        r.ok = probe(name, &r.width, &r.height, &r.topLeft) != 0;
        return r;
    }

    std::string mRoot;
    std::vector<std::string> mDirs, mFiles;
    std::vector<void*> mHandles;
};

}  // namespace

// Two copies of one module in different places, each with its own "value.png" (a name the source
// tree has too): each copy shows the image beside itself.
TEST_F(MovedBundle, EachCopyLoadsTheImagesBesideItself) {
    const std::string first = MakeBundle("First.rtas");
    const std::string second = MakeBundle("Second.rtas");
    AddImage(first, "value.png", 3, 5, LICE_RGBA(200, 10, 10, 255));
    AddImage(second, "value.png", 7, 2, LICE_RGBA(10, 200, 10, 255));
    ProbeImage probeFirst = Open(first);
    ProbeImage probeSecond = Open(second);
    ASSERT_TRUE(probeFirst && probeSecond);
    ASSERT_NE(probeFirst, probeSecond) << "the copies were not loaded as two modules";

    const Loaded a = Load(probeFirst, "resources/img/value.png");
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.width, 3);
    EXPECT_EQ(a.height, 5);
    EXPECT_EQ(a.topLeft, LICE_RGBA(200, 10, 10, 255));
    const Loaded b = Load(probeSecond, "value.png");
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.width, 7);
    EXPECT_EQ(b.height, 2);
    EXPECT_EQ(b.topLeft, LICE_RGBA(10, 200, 10, 255));
}

// What the bundle lacks still comes from the source tree the module was built from (for programs
// run from a build tree); what nobody has stays missing.
TEST_F(MovedBundle, ImagesMissingBesideTheModuleComeFromTheSourceTree) {
    const std::string bundle = MakeBundle("Bare.rtas");
    ProbeImage probe = Open(bundle);
    ASSERT_TRUE(probe);
    std::unique_ptr<LICE_IBitmap> source(LICE_LoadPNG(QUENLIX_SOURCE_IMAGES "/background.png"));
    if (!source) GTEST_SKIP() << "no images in the source tree";
    const Loaded fallback = Load(probe, "background.png");
    ASSERT_TRUE(fallback.ok);
    EXPECT_EQ(fallback.width, source->getWidth());
    EXPECT_EQ(fallback.height, source->getHeight());
    EXPECT_FALSE(Load(probe, "no-such-image.png").ok);
}

// HostPath is the module file of the copy that asks, PluginPath the folder holding its bundle; the
// program that loaded the modules is neither.
TEST_F(MovedBundle, PathsNameTheModuleAndTheFolderHoldingItsBundle) {
    const std::string outer = mRoot + "/Plug-Ins";
    ASSERT_EQ(mkdir(outer.c_str(), 0700), 0);
    mDirs.push_back(outer);
    const std::string first = MakeBundle("Plug-Ins/First.rtas");
    const std::string second = MakeBundle("Second.rtas");

    const auto a = Paths(first);
    EXPECT_EQ(a.first, first + "/Probe.so");
    EXPECT_EQ(a.second, outer + "/");
    const auto b = Paths(second);
    EXPECT_EQ(b.first, second + "/Probe.so");
    EXPECT_EQ(b.second, mRoot + "/");
}
