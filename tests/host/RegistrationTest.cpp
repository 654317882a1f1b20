#include <gtest/gtest.h>

#include <set>

#include "framework/HostLookup.h"
#include "tests/host/AdapterTestSupport.h"

namespace {

using Kind = CPluginControl::Kind;

TEST_F(AdapterTest, GroupRegistersMakerNamesAndOneTypePerConfiguration) {
    const CEffectGroup& group = mModule->GetGroup();
    EXPECT_EQ(group.GetManufacturerNames(), "Tester\nTester\nTMFR");
    EXPECT_EQ(group.GetManufacturerID(), FourCharCode("TMFR"));
    EXPECT_EQ(group.GetPlugInNames(), "TestPlug\nTPlg");
    EXPECT_EQ(group.GetGestalts(), std::vector<int32_t>{14});

    const int channels[] = {1, 2, 4, 5, 6};
    const int32_t stems[] = {0, 1, 3, 5, 6};
    const char* codes[] = {"EFN1", "EFN2", "EFN3", "EFN4", "EFN5"};
    ASSERT_EQ(mModule->GetNumEffectTypes(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto type = mModule->GetEffectType(i);
        SCOPED_TRACE(codes[i]);
        EXPECT_EQ(type.typeID, FourCharCode(codes[i]));
        EXPECT_EQ(type.productID, FourCharCode("TPLG"));
        EXPECT_EQ(type.categoryFlags, 8192u);
        EXPECT_EQ(type.names, "TestPlug\nTPlg");
        EXPECT_EQ(type.sampleRateSupport, 6);
        EXPECT_EQ(type.inputStemFormat, stems[i]);
        EXPECT_EQ(type.outputStemFormat, stems[i]);
        EXPECT_EQ(type.numInputs, channels[i]);
        EXPECT_EQ(type.gestalts, (std::vector<int32_t>{8, 48, 55}));
    }
}

TEST(IPlugGroupCodes, CategoriesAndTypeCodes) {
    EXPECT_EQ(IPlugGroup::CategoryFlags("None"), 0u);
    EXPECT_EQ(IPlugGroup::CategoryFlags("Reverb"), 8u);
    EXPECT_EQ(IPlugGroup::CategoryFlags("SoundField"), 512u);
    EXPECT_EQ(IPlugGroup::CategoryFlags("Effect"), 8192u);
    EXPECT_EQ(IPlugGroup::CategoryFlags("eq"), 8192u);
    EXPECT_EQ(IPlugGroup::CategoryFlags(nullptr), 8192u);
    std::set<OSType> codes;
    for (int i = 0; i < 99; ++i) codes.insert(IPlugGroup::TypeCodeForConfiguration(i));
    EXPECT_EQ(codes.size(), 99u);
    EXPECT_EQ(codes.count(0u), 0u);
    EXPECT_EQ(IPlugGroup::TypeCodeForConfiguration(9), FourCharCode("EF10"));
}

TEST(IPlugGroupConfigurations, MalformedPairsAreSkippedAndStemsCapped) {
    IPlugGroupInfo info = TestGroupInfo();
    info.channelIOStr = "2-2 x 9-9";
    auto module = rtashost::Module::FromGroup(new IPlugGroup(info));
    ASSERT_EQ(module->GetNumEffectTypes(), 2);
    EXPECT_EQ(module->GetEffectType(1).typeID, FourCharCode("EFN2"));
    EXPECT_EQ(module->GetEffectType(1).inputStemFormat, -1);
}

TEST_F(AdapterTest, EffectInitPublishesBypassAndOneControlPerParameter) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->GetNumControls(), 1 + kNumTestParams);

    const auto bypass = instance->GetControlInfo(1);
    EXPECT_EQ(bypass.id, FourCharCode("bypa"));
    EXPECT_EQ(bypass.names, "Master Bypass\nMastrByp\nMByp\nByp");
    EXPECT_EQ(bypass.kind, Kind::OnOff);
    EXPECT_FALSE(instance->IsBypassed());

    for (int i = 0; i < kNumTestParams; ++i) EXPECT_EQ(instance->GetControlInfo(i + 2).id, 0x206C6420u + i);

    const auto power = instance->GetControlInfo(kPower + 2);
    EXPECT_EQ(power.kind, Kind::List);
    EXPECT_EQ(power.maximum, 1.0);
    EXPECT_EQ(instance->GetControlNumber(kPower + 2), 1.0);

    const auto count = instance->GetControlInfo(kCount + 2);
    EXPECT_EQ(count.kind, Kind::Discrete);
    EXPECT_EQ(count.minimum, -2.0);
    EXPECT_EQ(count.maximum, 5.0);
    EXPECT_EQ(instance->GetControlNumber(kCount + 2), 1.0);

    const auto mode = instance->GetControlInfo(kMode + 2);
    EXPECT_EQ(mode.kind, Kind::List);
    EXPECT_EQ(mode.entries, (std::vector<std::string>{"Soft", "Medium", "Hard"}));

    const auto gain = instance->GetControlInfo(kGain + 2);
    EXPECT_EQ(gain.kind, Kind::Linear);
    EXPECT_EQ(gain.name, "Gain");
    EXPECT_EQ(gain.minimum, -60.0);
    EXPECT_EQ(gain.maximum, 12.0);
    EXPECT_EQ(gain.numSteps, 721);
    EXPECT_NEAR(instance->GetControlNumber(kGain + 2), 0.0, 1e-6);

    auto* process = Process(*instance);
    EXPECT_EQ(process->IsControlAutomatable(1), 1);
    EXPECT_EQ(process->IsControlAutomatable(kGain + 2), 1);
    EXPECT_EQ(process->IsControlAutomatable(kHidden + 2), 0);
    EXPECT_EQ(process->IsControlAutomatable(99), 0);

    // The plug-in was announced and reset for the host's rate.
    TestPlug* plug = Plug(*instance);
    EXPECT_EQ(plug->NPresets(), 2);  // the unused third slot was pruned
    EXPECT_EQ(plug->GetBlockSize(), 1024);
    EXPECT_EQ(plug->mResets, 1);
    EXPECT_TRUE(plug->IsInChannelConnected(1));
    EXPECT_FALSE(plug->IsInChannelConnected(2));
}

TEST_F(AdapterTest, InstanceTakesTheHostRateAndQuantum) {
    rtashost::InstanceConfig config;
    config.sampleRate = 96000.0;
    config.maxQuantum = 256;
    auto instance = Make(6, config);
    ASSERT_TRUE(instance);
    EXPECT_EQ(Plug(*instance)->GetSampleRate(), 96000.0);
    EXPECT_EQ(Plug(*instance)->GetBlockSize(), 256);
}

TEST_F(AdapterTest, HostControlChangesReachParameterEditorAndReaction) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    plug->mParamChanges.clear();

    instance->SetControlNumber(kGain + 2, -12.5);
    EXPECT_NEAR(plug->GetParam(kGain)->Value(), -12.5, 1e-6);
    EXPECT_NEAR(plug->GetGainProbe()->GetValue(), plug->GetParam(kGain)->GetNormalized(-12.5), 1e-9);

    instance->SetControlNumber(kMode + 2, 2.0);
    EXPECT_EQ(plug->GetParam(kMode)->Value(), 2.0);
    instance->SetControlNumber(kCount + 2, -2.0);
    EXPECT_EQ(plug->GetParam(kCount)->Value(), -2.0);
    EXPECT_EQ(plug->mParamChanges, (std::vector<int>{kGain, kMode, kCount}));

    // The master bypass and invalid indices never reach the plug-in.
    instance->SetBypass(true);
    instance->SetControlValue(0, 5);
    instance->SetControlValue(2 + kNumTestParams, 5);
    Process(*instance)->UpdateControlValueInAlgorithm(-3);
    EXPECT_EQ(plug->mParamChanges.size(), 3u);
}

// Automation playing a constant, a control surface re-sending: the value in force again is no change,
// so the plug-in does not react (and restart what it measures), while a new value still reaches it.
TEST_F(AdapterTest, HostControlSetToTheValueInForceIsNoChange) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    instance->SetControlNumber(kGain + 2, -12.5);
    instance->SetControlNumber(kMode + 2, 2.0);
    plug->mParamChanges.clear();
    const double gain = plug->GetParam(kGain)->Value();
    for (int i = 0; i < 3; ++i) {
        instance->SetControlNumber(kGain + 2, -12.5);
        instance->SetControlNumber(kMode + 2, 2.0);
        instance->SetControlNumber(kCount + 2, plug->GetParam(kCount)->Value());
    }
    EXPECT_TRUE(plug->mParamChanges.empty());
    EXPECT_EQ(plug->GetParam(kGain)->Value(), gain);
    instance->SetControlNumber(kMode + 2, 1.0);
    EXPECT_EQ(plug->mParamChanges, std::vector<int>{kMode});
}

TEST_F(AdapterTest, PluginChangesAreReportedOnTheirHostControl) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    const int gain = kGain + 2;

    plug->BeginInformHostOfParamChange(kGain);
    EXPECT_TRUE(instance->IsControlTouched(gain));
    plug->SetParameterFromGUI(kGain, 1.0);
    EXPECT_EQ(instance->GetControlValue(gain), 2147483647);
    EXPECT_EQ(Process(*instance)->GetControl(gain)->GetValue(), 2147483647);
    plug->EndInformHostOfParamChange(kGain);
    EXPECT_FALSE(instance->IsControlTouched(gain));

    plug->SetParameterFromGUI(kMode, 0.5);  // snaps to 1 of 0..2
    EXPECT_EQ(instance->GetControlNumber(kMode + 2), 1.0);

    // A program change reports every parameter once; invalid indices are ignored.
    const uint32_t before = instance->GetControlWriteCount(kPower + 2);
    plug->InformHostOfProgramChange();
    EXPECT_EQ(instance->GetControlWriteCount(kPower + 2), before + 1);
    plug->InformHostOfParamChange(kNumTestParams, 0.0);
    plug->BeginInformHostOfParamChange(-1);

    const uint32_t state = instance->GetStateChangeCounter();
    plug->DirtyPTCompareState();
    EXPECT_EQ(instance->GetStateChangeCounter(), state + 1);
}

TEST_F(AdapterTest, HostIsIdentifiedAsProToolsWithItsVersion) {
    rtashost::InstanceConfig config;
    config.hostVersion = 0x0801;
    auto instance = Make(1, config);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    EXPECT_EQ(plug->GetHost(), kHostProTools);
    // v x 16 = 0x8010: 0x010 | (0x8000 x 10).
    EXPECT_EQ(plug->GetHostVersion(), 0x010 | 0x50000);
    EXPECT_EQ(plug->GetAPI(), kAPIRTAS);
}

TEST_F(AdapterTest, TransportIsReadFromTheHost) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    auto& transport = instance->GetTransport();
    transport.SetPlaying(true);
    transport.SetSampleLocation(48000);
    transport.SetTempo(90.0);
    transport.SetMeter(6, 8);
    transport.SetTickPosition(960000 * 5 / 2);
    ITimeInfo info;
    Plug(*instance)->GetTime(&info);
    EXPECT_EQ(info.mSamplePos, 48000.0);
    EXPECT_EQ(info.mTempo, 90.0);
    EXPECT_EQ(info.mNumerator, 6);
    EXPECT_EQ(info.mDenominator, 8);
    EXPECT_TRUE(info.mTransportIsRunning);
    EXPECT_DOUBLE_EQ(info.mPPQPos, 2.5);
    EXPECT_EQ(info.mLastBar, 0.0);
    EXPECT_EQ(info.mCycleEnd, 0.0);
    EXPECT_FALSE(info.mTransportLoopEnabled);
}

TEST_F(AdapterTest, FailedPlugInCreationIsReportedToTheHost) {
    std::string error;
    gMakePlugThrows = true;
    EXPECT_FALSE(rtashost::Instance::Create(mModule, 0, {}, &error));
    gMakePlugThrows = false;
    EXPECT_FALSE(error.empty());

    // A process without a plug-in answers every call safely.
    gMakePlugReturnsNull = true;
    auto instance = rtashost::Instance::Create(mModule, 1, {}, &error);
    gMakePlugReturnsNull = false;
    ASSERT_TRUE(instance);
    instance->Initialize();
    EXPECT_EQ(instance->GetNumControls(), 0);
    Buffers buffers(2, 16);
    buffers.out[1][3] = 1.0f;
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 16);
    EXPECT_EQ(buffers.out[1][3], 0.0f);
    std::vector<unsigned char> chunk;
    EXPECT_FALSE(instance->SaveChunk(&chunk, &error));
    EXPECT_FALSE(instance->OpenView());
    EXPECT_EQ(instance->ChooseControl(0, 0), 0);
}

}  // namespace
