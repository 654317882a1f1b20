// A new instance as the host sees it: parameters, presets, host display texts, the editor's controls and
// the layout switching between the two metering types.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PluginHost.h"
#include "editor/IPlugControls.h"
#include "framework/ByteChunk.h"
#include "meters/RMSMM6.h"

namespace {

std::string HostDisplay(IParam* p, double value) {
    char buf[64] = {};
    p->GetDisplayForHost(value, false, buf, true, sizeof buf);
    return std::string(buf);
}

void LoadPreset(Quenlix& plug, int presetIdx) {
    const IPresetEntry* preset = plug.GetPreset(presetIdx);
    ASSERT_NE(preset, nullptr);
    ByteChunk chunk;
    chunk.PutBytes(preset->mChunk.GetBytes(), preset->mChunk.Size());
    ASSERT_EQ(plug.UnserializeParams(&chunk, 0), Quenlix::kNumParams * 8);
}

class NewInstance : public ::testing::Test {
  protected:
    TestQuenlix plug;
};

TEST_F(NewInstance, DeclaresItselfToTheHost) {
    EXPECT_EQ(plug.NParams(), 19);
    EXPECT_STREQ(plug.GetEffectName(), "Quenlix");
    EXPECT_STREQ(plug.GetProductName(), "");
    EXPECT_STREQ(plug.GetMfrName(), "Harbelwick");
    EXPECT_EQ(plug.GetEffectVersion(), 66304);
    EXPECT_EQ(plug.GetUniqueID(), 0x51585235);  // 'QXR5'
    EXPECT_EQ(plug.GetMfrID(), 0x51585256);     // 'QXRV'
    EXPECT_EQ(plug.NChannelIO(), 5);
    EXPECT_EQ(plug.NInChannels(), 6);
    EXPECT_EQ(plug.NOutChannels(), 6);
    EXPECT_EQ(plug.GetLatency(), 0);
}

// What the parameter table drives, seen from the host and the editor: the value a host reads from a
// read-out parameter is the measurement the editor's text of the same read-out shows, for every read-out
// of either type; a mix-up of read-outs (a column in the wrong place, a result published to its
// neighbour) shows here.
TEST_F(NewInstance, EachReadoutParameterCarriesWhatTheEditorShowsForIt) {
    for (const int type : {0, 1}) {
        SCOPED_TRACE(type);
        TestQuenlix fresh;
        PluginHost host(fresh, 2);
        HostSetsParam(fresh, Quenlix::kType, type);
        // A level, a short louder burst and a quieter end, so that every read-out of a type differs from
        // its neighbours; 55 s end on a publish and a display refresh together (both periods divide it).
        const long frames = 2205L * 1102L;
        host.Run(frames, 4096, [](int c, long i) {
            const double t = static_cast<double>(i) / 44100.0;
            const double level = t >= 20.0 && t < 20.1 ? 0.8 : (t >= 53.0 ? 0.1 : 0.4);
            return static_cast<float>((c == 0 ? 1.0 : 0.8) * level * std::sin(2.0 * M_PI * 997.0 * t));
        });
        const int* params = type == 1 ? quenlix::kEbuReadoutParams.data() : quenlix::kRmsReadoutParams.data();
        const int count = type == 1 ? quenlix::kNumEbuReadouts : quenlix::kNumRmsReadouts;
        for (int i = 0; i < count; ++i) {
            const int idx = params[i];
            SCOPED_TRACE(quenlix::kParams[idx].def.name);
            char published[64] = {};
            fresh.GetParam(idx)->GetDisplayForHost(published, false, sizeof published);
            EXPECT_STREQ(ReadoutText(fresh, fresh.GetReadoutTextControl(idx)), published);
            EXPECT_EQ(fresh.mLastInformed[idx], ParamValue(fresh, idx));
        }
        // The other type's read-outs are not published.
        for (const int idx : quenlix::kReadoutParams)
            if (quenlix::kParams[idx].type != type) {
                EXPECT_EQ(fresh.mInformsPerParam[idx], 0) << idx;
            }
    }
}

// The first values reach the host after 50 ms of audio and the editor's read-outs after 25 ms, not a
// sample earlier.
TEST_F(NewInstance, PublishesEveryFiftyAndShowsEveryTwentyFiveMilliseconds) {
    PluginHost host(plug, 2);
    HostSetsParam(plug, Quenlix::kType, 1);
    const int tp = quenlix::ParamOf(quenlix::Readout::kEbuTruePeakMax);
    const int shownTp = plug.GetReadoutTextControl(tp);
    host.RunConstant(1102 - 1, 0.5f, 512);
    EXPECT_STREQ(ReadoutText(plug, shownTp), "-inf");
    host.RunConstant(1, 0.5f);
    EXPECT_STRNE(ReadoutText(plug, shownTp), "-inf");
    host.RunConstant(2205 - 1102 - 1, 0.5f, 512);
    EXPECT_EQ(plug.mInformsPerParam[tp], 0);
    host.RunConstant(1, 0.5f);
    EXPECT_EQ(plug.mInformsPerParam[tp], 1);
}

TEST_F(NewInstance, HostDisplayTexts) {
    IParam* type = plug.GetParam(Quenlix::kType);
    EXPECT_EQ(HostDisplay(type, 0), "RMS");
    EXPECT_EQ(HostDisplay(type, 1), "EBU R128");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kSync), 1), "on");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kRmsChannelConfig), 3), "4 Channel");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kRmsMeterMode), 1), "RMS +3dB (dBFS)");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kEbuChannelConfig), 3), "5.1 Surround");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kRmsWindow), 300.7), "301");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kOutEbuIl), -23.04), "-23.0");
    EXPECT_EQ(HostDisplay(plug.GetParam(Quenlix::kOutRmsCrest), 3.05), "3.0");
}

TEST_F(NewInstance, WindowSpansTenToThreeThousandMsOverTheNormalisedRange) {
    IParam* window = plug.GetParam(Quenlix::kRmsWindow);
    window->SetNormalized(0.0);
    EXPECT_EQ(window->Value(), 10.0);
    window->SetNormalized(1.0);
    EXPECT_EQ(window->Value(), 3000.0);
}

TEST_F(NewInstance, HasThreeFactoryPresets) {
    ASSERT_EQ(plug.NPresets(), 3);
    EXPECT_STREQ(plug.GetPreset(0)->mName, "Default");
    EXPECT_STREQ(plug.GetPreset(1)->mName, "RMS 300 ML");
    EXPECT_STREQ(plug.GetPreset(2)->mName, "EBU R128");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(plug.GetPreset(i)->mInitialized);
        EXPECT_EQ(plug.GetPreset(i)->mChunk.Size(), 19 * 8);
    }
    plug.PruneUninitializedPresets();
    EXPECT_EQ(plug.NPresets(), 3);
}

class Presets : public NewInstance {};

TEST_F(Presets, EbuPresetSetsTypeOnlyAndSwitchesTheLayout) {
    LoadPreset(plug, 2);
    EXPECT_EQ(ParamValue(plug, Quenlix::kType), 1.0);
    for (int i = 1; i < Quenlix::kNumParams; ++i)
        EXPECT_EQ(ParamValue(plug, i), quenlix::kParams[i].def.defaultValue) << i;
    EXPECT_FALSE(plug.GetEditor()->GetControl(layout::kEbuChannelSelector)->IsHidden());
    EXPECT_TRUE(plug.GetEditor()->GetControl(layout::kRmsChannelSelector)->IsHidden());
    EXPECT_EQ(ControlValue(plug, layout::kBackground), 1.0);
}

TEST_F(Presets, RmsPresetSetsTypeAndWindowAfterAnotherPreset) {
    LoadPreset(plug, 2);
    HostSetsParam(plug, Quenlix::kRmsWindow, 1000.0);
    LoadPreset(plug, 1);
    EXPECT_EQ(ParamValue(plug, Quenlix::kType), 0.0);
    EXPECT_EQ(ParamValue(plug, Quenlix::kRmsWindow), 300.0);
    EXPECT_EQ(plug.GetRmsMeter().mWindowMs, 300.0);
    EXPECT_TRUE(plug.GetEditor()->GetControl(layout::kEbuChannelSelector)->IsHidden());
}

TEST_F(Presets, DefaultPresetRestoresEveryDefault) {
    HostSetsParam(plug, Quenlix::kType, 1);
    HostSetsParam(plug, Quenlix::kSync, 1);
    HostSetsParam(plug, Quenlix::kRmsMeterMode, 1);
    LoadPreset(plug, 0);
    for (int i = 0; i < Quenlix::kNumParams; ++i)
        EXPECT_EQ(ParamValue(plug, i), quenlix::kParams[i].def.defaultValue) << i;
    EXPECT_EQ(plug.GetRmsMeter().mRmsOffsetDb, 0.0);
}

class EditorLayout : public NewInstance {
  protected:
    IGraphics* editor() { return plug.GetEditor(); }
    bool Hidden(int idx) { return editor()->GetControl(idx)->IsHidden(); }

    // The controls only one layout shows.
    std::vector<int> RmsOnly() {
        std::vector<int> v = {layout::kRmsChannelSelector, layout::kRmsModeSelector, layout::kWindowField};
        for (int i = 0; i < 6; ++i) v.push_back(layout::kFirstRmsReadout + i);
        return v;
    }
    std::vector<int> EbuOnly() {
        std::vector<int> v = {layout::kEbuChannelSelector};
        for (int i = 0; i < 7; ++i) v.push_back(layout::kFirstEbuReadout + i);
        return v;
    }
    void ExpectLayout(bool ebu) {
        for (int idx : RmsOnly()) EXPECT_EQ(Hidden(idx), ebu) << idx;
        for (int idx : EbuOnly()) EXPECT_EQ(Hidden(idx), !ebu) << idx;
        // Shared controls are never hidden; the output value fields never shown.
        for (int idx :
             {0, layout::kBackground, layout::kTypeSelector, layout::kSyncSelector, layout::kVersionText})
            EXPECT_FALSE(Hidden(idx)) << idx;
        for (int k = 0; k < 6; ++k) {
            EXPECT_FALSE(Hidden(layout::LedMeter(k)));
            EXPECT_FALSE(Hidden(layout::PeakReadout(k)));
            EXPECT_FALSE(Hidden(layout::ClipLamp(k)));
        }
        for (int idx = 1; idx <= 13; ++idx) EXPECT_TRUE(Hidden(idx)) << idx;
    }
};

TEST_F(EditorLayout, HasFiftyThreeControlsInTheirPlaces) {
    ASSERT_EQ(editor()->NControls(), layout::kNumControls);
    EXPECT_EQ(editor()->Width(), 616);
    EXPECT_EQ(editor()->Height(), 320);
    EXPECT_EQ(editor()->FPS(), 25);

    // The hidden value fields of the read-outs, in parameter order, right after the panel.
    for (int i = 0; i < quenlix::kNumReadouts; ++i) {
        EXPECT_NE(dynamic_cast<IParameterButton*>(editor()->GetControl(1 + i)), nullptr);
        EXPECT_EQ(editor()->GetControl(1 + i)->ParamIdx(),
                  quenlix::kReadoutParams[static_cast<std::size_t>(i)]);
    }
    EXPECT_NE(dynamic_cast<IPanelControl*>(editor()->GetControl(0)), nullptr);
    EXPECT_EQ(editor()->GetControl(layout::kTypeSelector)->ParamIdx(), 0);
    EXPECT_EQ(editor()->GetControl(layout::kSyncSelector)->ParamIdx(), 1);
    EXPECT_EQ(editor()->GetControl(layout::kRmsChannelSelector)->ParamIdx(), 2);
    EXPECT_EQ(editor()->GetControl(layout::kRmsModeSelector)->ParamIdx(), 3);
    EXPECT_EQ(editor()->GetControl(layout::kWindowField)->ParamIdx(), 4);
    EXPECT_EQ(editor()->GetControl(layout::kEbuChannelSelector)->ParamIdx(), 11);

    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(*editor()->GetControl(layout::kFirstRmsReadout + i)->GetRECT(),
                  IRECT(303, 76 + 40 * i, 357, 318));
        EXPECT_STREQ(ReadoutText(plug, layout::kFirstRmsReadout + i), "-inf");
    }
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(*editor()->GetControl(layout::kFirstEbuReadout + i)->GetRECT(),
                  IRECT(303, 72 + 32 * i, 357, 318));
        EXPECT_STREQ(ReadoutText(plug, layout::kFirstEbuReadout + i), i == 5 ? "-inf" : "---");
    }
    for (int k = 0; k < 6; ++k) {
        const int x = 400 + 32 * k;
        EXPECT_NE(dynamic_cast<IBitmapControlClick*>(editor()->GetControl(layout::LedMeter(k))), nullptr);
        EXPECT_EQ(editor()->GetControl(layout::LedMeter(k))->GetRECT()->L, x);
        EXPECT_EQ(editor()->GetControl(layout::LedMeter(k))->GetRECT()->T, 74);
        EXPECT_EQ(*editor()->GetControl(layout::PeakReadout(k))->GetRECT(), IRECT(x + 1, 292, x + 29, 301));
        EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(k)), "-inf");
        EXPECT_EQ(editor()->GetControl(layout::ClipLamp(k))->GetRECT()->L, x);
        EXPECT_EQ(editor()->GetControl(layout::ClipLamp(k))->GetRECT()->T, 71);
    }
    EXPECT_EQ(*editor()->GetControl(layout::kVersionText)->GetRECT(), IRECT(478, 8, 592, 19));
    const std::string version = ReadoutText(plug, layout::kVersionText);
    EXPECT_EQ(version.rfind("V1.3 Build: ", 0), 0u) << version;
    EXPECT_EQ(version.size(), std::strlen("V1.3 Build: Aug 24 2015")) << version;
}

TEST_F(EditorLayout, OpensInTheRmsLayout) {
    ExpectLayout(false);
    EXPECT_EQ(ControlValue(plug, layout::kBackground), 0.0);
}

TEST_F(EditorLayout, TypeSwitchesLayoutAndBackgroundBeforeAnyAudio) {
    HostSetsParam(plug, Quenlix::kType, 1);
    ExpectLayout(true);
    EXPECT_EQ(ControlValue(plug, layout::kBackground), 1.0);

    HostSetsParam(plug, Quenlix::kType, 0);
    ExpectLayout(false);
    EXPECT_EQ(ControlValue(plug, layout::kBackground), 0.0);

    HostSetsParam(plug, Quenlix::kType, 1);
    HostSetsParam(plug, Quenlix::kType, 1);
    ExpectLayout(true);
}

TEST_F(EditorLayout, SelectorsShowTheParametersAtAttachTime) {
    // The editor records each bound control's value when it is attached to the base.
    EXPECT_EQ(ControlValue(plug, layout::kRmsChannelSelector), 0.0);
    EXPECT_NEAR(ControlValue(plug, layout::kWindowField), plug.GetParam(Quenlix::kRmsWindow)->GetNormalized(),
                1e-12);
}

}  // namespace
