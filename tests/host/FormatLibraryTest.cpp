#include <gtest/gtest.h>

#include <stdexcept>

#include "host/rtas/format/EffectGroup.h"
#include "host/rtas/format/Process.h"

namespace {

class RecordingProcess : public CEffectProcessRTAS {
  public:
    void UpdateControlValueInAlgorithm(int index) override { mUpdates.push_back(index); }
    std::vector<int> mUpdates;
};

CEffectProcessRTAS* NewRecordingProcess(const ProcessSetup&) {
    return new RecordingProcess();
}
CEffectProcessRTAS* NewFailingProcess(const ProcessSetup&) {
    throw std::runtime_error("no memory");
}

class ProcessControlTable : public ::testing::Test {
  protected:
    void SetUp() override {
        mBypass = mProcess.AddControl(new CPluginControl_OnOff(FourCharCode("bypa"), "Bypass", false, true));
        mProcess.DefineMasterBypassControlIndex(mBypass);
        mLevel = mProcess.AddControl(
            new CPluginControl_Linear(FourCharCode("levl"), "Level", -60.0, 12.0, 0.1, -60.0, false));
    }
    RecordingProcess mProcess;
    int mBypass = 0;
    int mLevel = 0;
};

TEST_F(ProcessControlTable, IndicesStartAtOneAndInvalidOnesAreIgnored) {
    EXPECT_EQ(mBypass, 1);
    EXPECT_EQ(mLevel, 2);
    EXPECT_EQ(mProcess.GetControl(0), nullptr);
    EXPECT_EQ(mProcess.GetControl(3), nullptr);
    mProcess.SetControlValue(0, 5);
    mProcess.SetControlValue(3, 5);
    mProcess.HostSetControlValue(-1, 5);
    mProcess.TouchControl(9);
    EXPECT_EQ(mProcess.GetControlValue(3), 0);
    EXPECT_TRUE(mProcess.mUpdates.empty());
    EXPECT_EQ(mProcess.IsControlAutomatable(2), 0);
    EXPECT_EQ(mProcess.IsControlAutomatable(1), 1);
    EXPECT_EQ(mProcess.IsControlAutomatable(0), 0);
}

TEST_F(ProcessControlTable, PluginWritesReachTheHostWithoutCallingBack) {
    mProcess.TouchControl(mLevel);
    EXPECT_TRUE(mProcess.IsControlTouched(mLevel));
    mProcess.SetControlValue(mLevel, 1234);
    mProcess.ReleaseControl(mLevel);
    EXPECT_FALSE(mProcess.IsControlTouched(mLevel));
    EXPECT_EQ(mProcess.GetControlValue(mLevel), 1234);
    EXPECT_EQ(mProcess.GetControlWriteCount(mLevel), 1u);
    EXPECT_TRUE(mProcess.mUpdates.empty());
}

TEST_F(ProcessControlTable, HostWritesStoreBothCopiesAndTellTheAlgorithm) {
    mProcess.HostSetControlValue(mLevel, 77);
    EXPECT_EQ(mProcess.GetControlValue(mLevel), 77);
    EXPECT_EQ(mProcess.GetControl(mLevel)->GetValue(), 77);
    ASSERT_EQ(mProcess.mUpdates.size(), 1u);
    EXPECT_EQ(mProcess.mUpdates[0], mLevel);
}

TEST_F(ProcessControlTable, BypassFollowsTheMasterBypassControl) {
    EXPECT_FALSE(mProcess.IsBypassed());
    mProcess.HostSetControlValue(mBypass, 2147483647);
    EXPECT_TRUE(mProcess.IsBypassed());
    RecordingProcess withoutBypass;
    EXPECT_FALSE(withoutBypass.IsBypassed());
}

TEST_F(ProcessControlTable, WindowRebuildRequestIsTakenOnce) {
    EXPECT_FALSE(mProcess.ConsumeWindowRebuildRequest());
    mProcess.RequestWindowRebuild();
    EXPECT_TRUE(mProcess.ConsumeWindowRebuildRequest());
    EXPECT_FALSE(mProcess.ConsumeWindowRebuildRequest());
}

class TwoTypeGroup : public CEffectGroup {
  public:
    int mCreated = 0;

  protected:
    void CreateEffectTypes() override {
        ++mCreated;
        auto* mono = new CEffectTypeRTAS(FourCharCode("EFN1"), FourCharCode("PROD"), 8192);
        mono->DefineStemFormats(StemFormatForChannels(1), StemFormatForChannels(1));
        mono->AttachEffectProcessCreator(NewRecordingProcess);
        AddEffectType(mono);
        auto* six = new CEffectTypeRTAS(FourCharCode("EFN2"), FourCharCode("PROD"), 8192);
        six->DefineStemFormats(StemFormatForChannels(6), StemFormatForChannels(6));
        six->AttachEffectProcessCreator(NewFailingProcess);
        AddEffectType(six);
    }
};

TEST(EffectTypes, StemFormatsFollowTheChannelTable) {
    const int expected[] = {-1, 0, 1, 2, 3, 5, 6, 8, 12};
    for (int channels = 0; channels <= 8; ++channels) {
        EXPECT_EQ(StemFormatForChannels(channels), expected[channels]);
        if (channels > 0) {
            EXPECT_EQ(ChannelsForStemFormat(expected[channels]), channels);
        }
    }
    EXPECT_EQ(StemFormatForChannels(9), -1);
    EXPECT_EQ(StemFormatForChannels(-2), -1);
    EXPECT_EQ(ChannelsForStemFormat(-1), 0);
    EXPECT_EQ(ChannelsForStemFormat(4), 0);
}

TEST(EffectTypes, GroupCreatesItsTypesOnce) {
    TwoTypeGroup group;
    group.Initialize();
    group.Initialize();
    EXPECT_EQ(group.mCreated, 1);
    ASSERT_EQ(group.GetNumEffectTypes(), 2);
    EXPECT_EQ(group.GetEffectType(1)->GetNumInputs(), 6);
    EXPECT_EQ(group.GetEffectType(2), nullptr);
    EXPECT_EQ(group.GetEffectType(-1), nullptr);
}

TEST(EffectTypes, ProcessTakesTheSetupOfItsCreation) {
    TwoTypeGroup group;
    group.Initialize();
    ProcessSetup setup;
    setup.numInputs = 99;  // the type's own channel counts win
    setup.sampleRate = 96000.0;
    setup.maxQuantum = 512;
    setup.hostVersion = -2;
    std::unique_ptr<CEffectProcessRTAS> process(group.GetEffectType(0)->CreateProcess(setup));
    ASSERT_TRUE(process);
    EXPECT_EQ(process->GetNumInputs(), 1);
    EXPECT_EQ(process->GetNumOutputs(), 1);
    EXPECT_EQ(process->GetSampleRate(), 96000.0);
    EXPECT_EQ(process->GetMaximumRTASQuantum(), 512);
    EXPECT_EQ(process->GetHostVersion(), -2);
    EXPECT_EQ(process->GetGroup(), &group);
    // A process built outside a creation gets the defaults, not a stale setup.
    RecordingProcess loose;
    EXPECT_EQ(loose.GetSampleRate(), 44100.0);
    EXPECT_EQ(loose.GetGroup(), nullptr);
}

TEST(EffectTypes, FailingCreatorGivesNoProcess) {
    TwoTypeGroup group;
    group.Initialize();
    EXPECT_EQ(group.GetEffectType(1)->CreateProcess(ProcessSetup()), nullptr);
    CEffectTypeRTAS bare(FourCharCode("EFN3"), 0, 0);
    EXPECT_EQ(bare.CreateProcess(ProcessSetup()), nullptr);
}

class MarkerView : public CCustomView {
  public:
    MarkerView() : CCustomView("Marker") {}
};
CCustomView* NewMarkerView() {
    return new MarkerView();
}
CCustomView* NewNoView() {
    return nullptr;
}

TEST(ViewContainers, DescriptionNamesRegisteredKinds) {
    CustomViewRegistry registry;
    registry.Register("Marker", NewMarkerView);
    registry.Register("Broken", NewNoView);
    auto view = CreateViewContainer(registry, "!Marker[('NoID')]", 616, 320);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->GetWidth(), 616);
    EXPECT_EQ(view->GetHeight(), 320);
    EXPECT_NE(view->FindCustomView("Marker"), nullptr);
    EXPECT_EQ(view->FindCustomView("Other"), nullptr);
    EXPECT_EQ(CreateViewContainer(registry, "!Marker[]!Marker[('x')]", 1, 1)->GetNumCustomViews(), 2);

    EXPECT_FALSE(CreateViewContainer(registry, "", 1, 1));
    EXPECT_FALSE(CreateViewContainer(registry, "!Unknown[('NoID')]", 1, 1));
    EXPECT_FALSE(CreateViewContainer(registry, "!Marker", 1, 1));
    EXPECT_FALSE(CreateViewContainer(registry, "Marker[]", 1, 1));
    EXPECT_FALSE(CreateViewContainer(registry, "![]", 1, 1));
    EXPECT_FALSE(CreateViewContainer(registry, "!Marker[]!Broken[]", 1, 1));
}

}  // namespace
