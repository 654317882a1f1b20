#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/HostLookup.h"
#include "tests/framework/TestPlug.h"

// ---- Host identification ----

TEST(HostLookup, FirstKeyInTableOrderDecides) {
    EXPECT_EQ(LookUpHost("ProTools"), kHostProTools);
    EXPECT_EQ(LookUpHost("Pro Tools"), kHostUnknown);  // the blank breaks "protools"
    EXPECT_EQ(LookUpHost("Reaper64"), kHostReaper);
    EXPECT_EQ(LookUpHost("Logic Live Edition"), kHostAbletonLive);  // "live" is tested before "logic"
    EXPECT_EQ(LookUpHost("Logic Pro X"), kHostLogic);
    EXPECT_EQ(LookUpHost("Steinberg CUBASE Reaper"), kHostCubase);
    EXPECT_EQ(LookUpHost("PreSonus Studio One"), kHostStudioOne);
    EXPECT_EQ(LookUpHost("MOTU Digital Performer"), kHostDigitalPerformer);
    EXPECT_EQ(LookUpHost(""), kHostUnknown);
    EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
}

TEST(HostLookup, OnlyTheFirst255CharactersCount) {
    std::string name(255, 'x');
    EXPECT_EQ(LookUpHost((name + "reaper").c_str()), kHostUnknown);
    EXPECT_EQ(LookUpHost((std::string(249, 'x') + "reaper").c_str()), kHostReaper);
}

TEST(HostLookup, SetHostIdentifiesOnce) {
    TestPlug plug(3);
    EXPECT_EQ(plug.GetHost(), kHostUninit);
    plug.SetHost("ProTools", 0x80100);
    EXPECT_EQ(plug.GetHost(), kHostProTools);
    EXPECT_EQ(plug.GetHostVersion(), 0x80100);
}

// ---- Construction ----

TEST(PlugConstruction, NamesAreCutToTheirBuffers) {
    const std::string longName(300, 'n');
    class Named : public IPlugBase {
      public:
        explicit Named(const char* name)
            : IPlugBase(0, "1-1", 0, name, name, name, 1, 2, 3, 0, false, false, false, kAPIRTAS) {}
        void BeginInformHostOfParamChange(int) override {}
        void InformHostOfParamChange(int, double) override {}
        void EndInformHostOfParamChange(int) override {}
        void InformHostOfProgramChange() override {}
        double GetSamplePos() override { return 0; }
        double GetTempo() override { return 0; }
        void GetTimeSig(int*, int*) override {}
        void GetTime(ITimeInfo*) override {}
        void ResizeGraphics(int, int) override {}
        bool SendMidiMsg(IMidiMsg*) override { return false; }
    };
    Named plug(longName.c_str());
    EXPECT_EQ(std::strlen(plug.GetEffectName()), 127u);
    EXPECT_EQ(std::strlen(plug.GetProductName()), 127u);
    EXPECT_EQ(std::strlen(plug.GetMfrName()), 127u);
    Named unnamed(nullptr);
    EXPECT_STREQ(unnamed.GetEffectName(), "");
}

// ---- Parameter changes from the editor ----

TEST(ParameterFromGUI, StoresThenInformsThenReacts) {
    TestPlug plug;
    plug.SetParameterFromGUI(0, 0.7);
    EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
    ASSERT_EQ(plug.informed.size(), 1u);
    EXPECT_EQ(plug.informed[0].paramIdx, 0);
    EXPECT_EQ(plug.informed[0].value, 0.7);
    ASSERT_EQ(plug.changes, std::vector<int>{0});
    EXPECT_EQ(plug.valuesSeen[0], 1.0);  // OnParamChange saw the stored value
}

TEST(ParameterFromGUI, InvalidIndicesAreIgnored) {
    TestPlug plug;
    plug.SetParameterFromGUI(-1, 0.5);
    plug.SetParameterFromGUI(19, 0.5);
    EXPECT_TRUE(plug.informed.empty());
    EXPECT_TRUE(plug.changes.empty());
}

// ---- Editor link ----

namespace {

struct EditorEvent {
    int paramIdx;
    double value;
    bool normalized;
};

class FakeEditor : public IEditorLink {
  public:
    FakeEditor(std::vector<EditorEvent>* events, int* prepared, int* deleted)
        : mEvents(events), mPrepared(prepared), mDeleted(deleted) {}
    ~FakeEditor() override { ++*mDeleted; }
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override {
        mEvents->push_back({paramIdx, value, normalized});
    }
    void PrepDraw() override { ++*mPrepared; }

  private:
    std::vector<EditorEvent>* mEvents;
    int* mPrepared;
    int* mDeleted;
};

}  // namespace

TEST(EditorLink, AttachPushesNormalisedValuesAndTheBaseDeletesTheEditor) {
    std::vector<EditorEvent> events;
    int prepared = 0, deleted = 0;
    {
        TestPlug plug(3);
        plug.AttachGraphics(nullptr);
        EXPECT_EQ(plug.GetGUI(), nullptr);
        auto* editor = new FakeEditor(&events, &prepared, &deleted);
        plug.AttachGraphics(editor);
        EXPECT_EQ(plug.GetGUI(), editor);
        ASSERT_EQ(events.size(), 3u);
        EXPECT_TRUE(events[1].normalized);
        EXPECT_NEAR(events[1].value, plug.GetParam(1)->GetNormalized(), 1e-15);
        EXPECT_EQ(prepared, 1);

        events.clear();
        plug.RedrawParamControls();
        ASSERT_EQ(events.size(), 3u);
        EXPECT_FALSE(events[1].normalized);
        EXPECT_EQ(events[1].value, 300.0);

        // A second editor replaces the first, which must not leak.
        plug.AttachGraphics(new FakeEditor(&events, &prepared, &deleted));
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 2);
}

// ---- Default hooks ----

TEST(DefaultHooks, ProcessCopiesMatchingChannelsAndZeroesTheRest) {
    TestPlug plug(3, "1-2");
    double in0[4] = {1, 2, 3, 4};
    double out0[4] = {}, out1[4] = {9, 9, 9, 9};
    double* ins[] = {in0};
    double* outs[] = {out0, out1};
    plug.IPlugBase::ProcessDoubleReplacing(ins, outs, 4);
    EXPECT_EQ(out0[3], 4.0);
    EXPECT_EQ(out1[0], 0.0);
    float fin[2] = {1, 2}, fout0[2] = {}, fout1[2] = {9, 9};
    float* fins[] = {fin};
    float* fouts[] = {fout0, fout1};
    plug.ProcessSingleReplacing(fins, fouts, 2);
    EXPECT_EQ(fout0[1], 2.0f);
    EXPECT_EQ(fout1[1], 0.0f);
    char name[8] = "x";
    EXPECT_FALSE(plug.MidiNoteName(60, name));
    EXPECT_STREQ(name, "");
}
