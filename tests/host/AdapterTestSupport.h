#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/rtas/IPlugGroup.h"
#include "host/rtas/IPlugProcessRTAS.h"
#include "host/rtas/format/HostModule.h"
#include "tests/host/TestPlug.h"

// A host holding the test plug-in's group, linked in rather than loaded.
inline IPlugGroupInfo TestGroupInfo() {
    return IPlugGroupInfo{"Tester\nTester\nTMFR", FourCharCode("TMFR"), "TestPlug\nTPlg", 1,
                          "1-1 2-2 4-4 5-5 6-6",  FourCharCode("TPLG"), "Effect"};
}

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mModule = rtashost::Module::FromGroup(new IPlugGroup(TestGroupInfo()));
        ASSERT_TRUE(mModule);
    }

    // A created and initialised instance for `channels` in and out.
    std::unique_ptr<rtashost::Instance> Make(int channels, rtashost::InstanceConfig config = {}) {
        std::string error;
        auto instance =
            rtashost::Instance::Create(mModule, mModule->FindEffectType(channels, channels), config, &error);
        EXPECT_TRUE(instance) << error;
        if (instance) {
            EXPECT_TRUE(instance->Initialize());
        }
        return instance;
    }

    static TestPlug* Plug(const rtashost::Instance& instance) {
        return static_cast<TestPlug*>(static_cast<IPlugProcess*>(instance.GetProcess())->GetPlug());
    }
    static IPlugProcess* Process(const rtashost::Instance& instance) {
        return static_cast<IPlugProcess*>(instance.GetProcess());
    }

    std::shared_ptr<rtashost::Module> mModule;
};

// Host-side audio buffers: `channels` channels of `frames` samples.
struct Buffers {
    Buffers(int channels, int frames)
        : in(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames))),
          out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames))) {
        for (auto& c : in) inPtrs.push_back(c.data());
        for (auto& c : out) outPtrs.push_back(c.data());
    }
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtrs, outPtrs;
};
