// The Quenlix module driven the way a host drives it, loaded by path. Run under the address
// sanitizer, LeakSanitizer checks that instances, views and the module itself leave nothing behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/rtas/format/HostModule.h"

namespace {

// A Linux host has the system font library loaded for itself, and it stays loaded when a plug-in
// module goes away; its process-wide configuration is then the host's, not the module's. The
// test host does the same, so that what LeakSanitizer reports is what the module leaves behind.
class HostFontLibrary : public ::testing::Environment {
  public:
    void SetUp() override { mHandle = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NODELETE); }

  private:
    void* mHandle = nullptr;
};

const ::testing::Environment* const kHostFontLibrary =
    ::testing::AddGlobalTestEnvironment(new HostFontLibrary());

using rtashost::Instance;
using rtashost::Module;

const char* const kOutNames[] = {"OUT:RMS IL",     "OUT:RMS ML",    "OUT:RMS ML Max", "OUT:RMS Peak Max",
                                 "OUT:RMS TP Max", "OUT:RMS Crest", "OUT:EBU IL",     "OUT:EBU ML",
                                 "OUT:EBU ML Max", "OUT:EBU SL",    "OUT:EBU SL Max", "OUT:EBU TP Max",
                                 "OUT:EBU LRA"};

std::shared_ptr<Module> LoadQuenlix() {
    std::string error;
    auto module = Module::Load(QUENLIX_RTAS_MODULE, &error);
    EXPECT_TRUE(module) << error;
    return module;
}

// Renders `seconds` of a 1 kHz sine of peak `amplitude` on both channels, in host blocks of 512.
void RenderSine(Instance* instance, double sampleRate, double seconds, double amplitude, long* phase) {
    const int kBlock = 512;
    std::vector<float> l(kBlock), r(kBlock), outL(kBlock), outR(kBlock);
    float* in[] = {l.data(), r.data()};
    float* out[] = {outL.data(), outR.data()};
    const long total = static_cast<long>(seconds * sampleRate);
    for (long done = 0; done < total; done += kBlock) {
        for (int s = 0; s < kBlock; ++s, ++*phase) {
            l[s] = r[s] = static_cast<float>(
                amplitude * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(*phase) / sampleRate));
        }
        instance->Render(in, out, kBlock);
        ASSERT_EQ(outL, l);  // the meter never changes the audio
        ASSERT_EQ(outR, r);
    }
}

TEST(QuenlixModule, RegistersWithTheHost) {
    auto module = LoadQuenlix();
    ASSERT_TRUE(module);
    const CEffectGroup& group = module->GetGroup();
    EXPECT_EQ(group.GetManufacturerNames(), "Harbelwick\nHarbelwick\nQXRV");
    EXPECT_EQ(group.GetManufacturerID(), FourCharCode("QXRV"));
    EXPECT_EQ(group.GetPlugInNames(), "Quenlix\nIPEF");
    ASSERT_EQ(module->GetNumEffectTypes(), 5);
    EXPECT_EQ(module->GetEffectType(0).typeID, FourCharCode("EFN1"));
    EXPECT_EQ(module->GetEffectType(1).typeID, FourCharCode("EFN2"));
    EXPECT_EQ(module->GetEffectType(4).numInputs, 6);
    EXPECT_EQ(module->GetEffectType(2).productID, FourCharCode("QXR5"));
}

TEST(QuenlixModule, WholeHostLifeCycle) {
    auto module = LoadQuenlix();
    ASSERT_TRUE(module);
    rtashost::InstanceConfig config;
    config.sampleRate = 48000.0;
    config.maxQuantum = 1024;
    std::string error;
    auto instance = Instance::Create(module, module->FindEffectType(2, 2), config, &error);
    ASSERT_TRUE(instance) << error;
    ASSERT_TRUE(instance->Initialize());
    ASSERT_EQ(instance->GetNumControls(), 1 + 19);
    EXPECT_EQ(instance->GetControlInfo(2).name, "Type");
    for (const char* name : kOutNames) EXPECT_NE(instance->FindControlByName(name), 0) << name;

    // RMS: a sine of -20 dBFS peak has a power of -23.0 dB per channel; the stereo meter sums the
    // powers of both channels.
    long phase = 0;
    RenderSine(instance.get(), 48000.0, 2.0, 0.1, &phase);
    EXPECT_NEAR(instance->GetControlNumber(instance->FindControlByName("OUT:RMS ML")), -20.0, 0.15);
    EXPECT_NEAR(instance->GetControlNumber(instance->FindControlByName("OUT:RMS Peak Max")), -20.0, 0.15);

    // EBU R128: the same sine on both channels of a stereo insert reads -20 LUFS.
    instance->SetControlNumber(2, 1.0);
    EXPECT_EQ(instance->GetControlText(2), "EBU R128");
    RenderSine(instance.get(), 48000.0, 4.0, 0.1, &phase);
    EXPECT_NEAR(instance->GetControlNumber(instance->FindControlByName("OUT:EBU ML")), -20.0, 0.15);
    EXPECT_NEAR(instance->GetControlNumber(instance->FindControlByName("OUT:EBU SL")), -20.0, 0.15);
    EXPECT_NEAR(instance->GetControlNumber(instance->FindControlByName("OUT:EBU IL")), -20.0, 0.15);

    // The saved state restores into a fresh instance.
    std::vector<unsigned char> chunk;
    ASSERT_TRUE(instance->SaveChunk(&chunk, &error)) << error;
    EXPECT_EQ(chunk.size(), 56u + 19u * 8u);
    auto second = Instance::Create(module, module->FindEffectType(6, 6), config, &error);
    ASSERT_TRUE(second) << error;
    second->Initialize();
    EXPECT_EQ(second->RestoreChunk(chunk), kNoErr);
    EXPECT_EQ(second->GetControlText(2), "EBU R128");
    bool equal = false;
    EXPECT_EQ(second->CompareChunk(chunk, &equal), kNoErr);
    EXPECT_TRUE(equal);

    // The editor opens, redraws and closes, twice.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(instance->OpenView());
        const ViewRect rect = instance->GetViewRect();
        EXPECT_EQ(rect.right, 616);
        EXPECT_EQ(rect.bottom, 320);
        EXPECT_EQ(instance->TickView(), 1);
        RenderSine(instance.get(), 48000.0, 0.1, 0.1, &phase);
        instance->TickView();
        instance->CloseView();
        EXPECT_EQ(instance->TickView(), 0);
    }
    second.reset();
    instance.reset();
    module.reset();  // unloads
}

TEST(QuenlixModule, ManyInstancesAndReloadsLeaveNothingBehind) {
    for (int load = 0; load < 2; ++load) {
        auto module = LoadQuenlix();
        ASSERT_TRUE(module);
        std::vector<std::unique_ptr<Instance>> instances;
        for (int i = 0; i < 12; ++i) {
            std::string error;
            instances.push_back(Instance::Create(module, i % module->GetNumEffectTypes(), {}, &error));
            ASSERT_TRUE(instances.back()) << error;
            instances.back()->Initialize();
            if (i % 3 == 0) {
                ASSERT_TRUE(instances.back()->OpenView());
            }
        }
        // Destroyed in creation order, some with their views still open.
        instances.clear();
    }
}

}  // namespace
