#include <gtest/gtest.h>

#include <vector>

#include "host/rtas/format/HostModule.h"
#include "host/rtas/format/PlugInChunk.h"

namespace {

using rtashost::Instance;
using rtashost::InstanceConfig;
using rtashost::Module;

class HostModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        mModule = Module::Load(QUENLIX_FORMAT_TEST_MODULE, &error);
        ASSERT_TRUE(mModule) << error;
    }

    std::unique_ptr<Instance> MakeInstance(int inputs) {
        std::string error;
        auto instance =
            Instance::Create(mModule, mModule->FindEffectType(inputs, inputs), InstanceConfig(), &error);
        EXPECT_TRUE(instance) << error;
        if (instance) {
            EXPECT_TRUE(instance->Initialize());
        }
        return instance;
    }

    std::shared_ptr<Module> mModule;
};

TEST(HostModuleLoading, MissingFileAndForeignLibraryAreReported) {
    std::string error;
    EXPECT_FALSE(Module::Load("/nonexistent/plugin.so", &error));
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
    EXPECT_FALSE(Module::Load("libm.so.6", &error));
    EXPECT_NE(error.find("no entry point"), std::string::npos) << error;
}

TEST_F(HostModuleTest, ListsTheGroupAndItsEffectTypes) {
    EXPECT_EQ(mModule->GetGroup().GetManufacturerID(), FourCharCode("TSTM"));
    ASSERT_EQ(mModule->GetNumEffectTypes(), 2);
    const auto stereo = mModule->GetEffectType(1);
    EXPECT_EQ(stereo.typeID, FourCharCode("GNs2"));
    EXPECT_EQ(stereo.numInputs, 2);
    EXPECT_EQ(stereo.outputStemFormat, 1);
    EXPECT_EQ(mModule->FindEffectType(1, 1), 0);
    EXPECT_EQ(mModule->FindEffectType(6, 6), -1);
    EXPECT_EQ(mModule->GetEffectType(7).typeID, 0u);
}

TEST_F(HostModuleTest, InstanceRendersFollowsControlsAndBypass) {
    auto instance = MakeInstance(2);
    ASSERT_TRUE(instance);
    EXPECT_EQ(instance->GetNumOutputs(), 2);
    const int gain = instance->FindControlByName("Gain");
    ASSERT_EQ(gain, 2);
    EXPECT_EQ(instance->FindControl(FourCharCode("bypa")), 1);
    instance->SetControlNumber(gain, 2.0);

    std::vector<float> l(64, 0.25f), r(64, -0.5f), outL(64), outR(64);
    float* in[] = {l.data(), r.data()};
    float* out[] = {outL.data(), outR.data()};
    instance->Render(in, out, 64);
    EXPECT_FLOAT_EQ(outL[63], 0.5f);
    EXPECT_FLOAT_EQ(outR[0], -1.0f);

    instance->SetBypass(true);
    EXPECT_TRUE(instance->IsBypassed());
    instance->Render(in, out, 64);
    EXPECT_FLOAT_EQ(outL[10], 0.25f);
    EXPECT_EQ(instance->GetControlText(1), "on");
}

TEST_F(HostModuleTest, ChunkSavedFromOneInstanceRestoresAnother) {
    auto first = MakeInstance(1);
    auto second = MakeInstance(1);
    ASSERT_TRUE(first && second);
    first->SetControlNumber(2, 3.5);
    std::vector<unsigned char> chunk;
    std::string error;
    ASSERT_TRUE(first->SaveChunk(&chunk, &error)) << error;
    ASSERT_EQ(chunk.size(), 60u);
    EXPECT_EQ(ReadChunkField(chunk.data(), 0), 60);
    EXPECT_EQ(static_cast<OSType>(ReadChunkField(chunk.data(), 20)), FourCharCode("gain"));
    EXPECT_EQ(second->RestoreChunk(chunk), kNoErr);
    EXPECT_NEAR(second->GetControlNumber(2), 3.5, 1e-6);
    // Too short to hold a header: refused before the process sees it.
    EXPECT_EQ(second->RestoreChunk(std::vector<unsigned char>(10)), kChunkRangeErr);
}

TEST_F(HostModuleTest, ViewRunsItsTimerOnlyWhileOpen) {
    auto instance = MakeInstance(2);
    ASSERT_TRUE(instance);
    EXPECT_EQ(instance->GetViewRect().right, 100);
    EXPECT_EQ(instance->TickView(), 0);
    ASSERT_TRUE(instance->OpenView());
    EXPECT_TRUE(instance->IsViewOpen());
    EXPECT_EQ(instance->TickView(), 1);
    EXPECT_DOUBLE_EQ(instance->GetViewWindow()->GetTimerInterval(), 0.04);
    instance->CloseView();
    EXPECT_FALSE(instance->IsViewOpen());
    EXPECT_EQ(instance->TickView(), 0);
    instance->CloseView();
    ASSERT_TRUE(instance->OpenView());
    // Destroying an instance with an open view closes it first.
}

TEST_F(HostModuleTest, InstancesKeepTheModuleLoaded) {
    auto instance = MakeInstance(1);
    ASSERT_TRUE(instance);
    mModule.reset();
    std::vector<float> in(8, 1.0f), out(8);
    float* pin[] = {in.data()};
    float* pout[] = {out.data()};
    instance->Render(pin, pout, 8);
    EXPECT_FLOAT_EQ(out[7], 1.0f);
}

TEST_F(HostModuleTest, InvalidTypeAndConfigAreRefused) {
    std::string error;
    EXPECT_FALSE(Instance::Create(mModule, 5, InstanceConfig(), &error));
    InstanceConfig config;
    config.maxQuantum = 0;
    EXPECT_FALSE(Instance::Create(mModule, 0, config, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace

namespace {

struct TimerLog {
    rtashost::HostWindow* window;
    int runs = 0;
    bool removeOther = false;
    TimerLog* other = nullptr;
};

void LogTimer(void* context) {
    auto* log = static_cast<TimerLog*>(context);
    ++log->runs;
    if (log->removeOther) log->window->RemoveTimer(log->other);
}

TEST(HostWindowTimers, RemovalDuringATickIsHonoured) {
    rtashost::HostWindow window;
    TimerLog first{&window}, second{&window};
    first.removeOther = true;
    first.other = &second;
    window.AddTimer(LogTimer, &first, 0.04);
    window.AddTimer(LogTimer, &second, 0.02);
    EXPECT_DOUBLE_EQ(window.GetTimerInterval(), 0.02);
    EXPECT_EQ(window.Tick(), 1);
    EXPECT_EQ(second.runs, 0);
    window.AddTimer(LogTimer, &first, 0.1);  // replaces, does not add
    EXPECT_EQ(window.GetNumTimers(), 1);
    window.RemoveTimer(&first);
    window.RemoveTimer(&first);
    EXPECT_EQ(window.Tick(), 0);
}

}  // namespace
