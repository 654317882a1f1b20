// A minimal plug-in module on the format library alone: a gain effect in mono and stereo with a
// master bypass, a gain control, a 4-byte settings chunk and one custom view. The host-side
// tests load it by path.
#include <cstring>

#include "host/rtas/format/EffectGroup.h"
#include "host/rtas/format/PlugInChunk.h"

namespace {

const OSType kChunkID = FourCharCode("gain");

class GainView : public CCustomView {
  public:
    GainView() : CCustomView("GainView") {}
};

CCustomView* NewGainView() {
    return new GainView();
}

class GainProcess : public CEffectProcessRTAS {
  public:
    void EffectInit() override {
        AddControl(new CPluginControl_OnOff(FourCharCode("bypa"), "Master Bypass", false, true));
        DefineMasterBypassControlIndex(1);
        mGainIndex =
            AddControl(new CPluginControl_Linear(FourCharCode("gain"), "Gain", 0.0, 4.0, 0.5, 1.0, true));
    }

    void RenderAudio(float** inputs, float** outputs, int32_t nFrames) override {
        const float gain = IsBypassed() ? 1.0f : static_cast<float>(Gain());
        for (int c = 0; c < GetNumOutputs(); ++c) {
            for (int32_t s = 0; s < nFrames; ++s) outputs[c][s] = inputs[c][s] * gain;
        }
    }

    ComponentResult GetNumChunks(int32_t* n) override {
        *n = 1;
        return kNoErr;
    }
    ComponentResult GetIndexedChunkID(int32_t index, OSType* id) override {
        if (index != 1) return kChunkRangeErr;
        *id = kChunkID;
        return kNoErr;
    }
    ComponentResult GetChunkSize(OSType id, int32_t* size) override {
        if (id != kChunkID) return kChunkRangeErr;
        *size = kPlugInChunkHeaderSize + 4;
        return kNoErr;
    }
    ComponentResult GetChunk(OSType id, unsigned char* chunk, int32_t capacity) override {
        if (id != kChunkID || capacity < kPlugInChunkHeaderSize + 4) return kChunkRangeErr;
        const float gain = static_cast<float>(Gain());
        std::memcpy(chunk + kPlugInChunkHeaderSize, &gain, 4);
        return kNoErr;
    }
    ComponentResult SetChunk(OSType id, const unsigned char* chunk, int32_t length) override {
        if (id != kChunkID || length != kPlugInChunkHeaderSize + 4) return kChunkRangeErr;
        float gain;
        std::memcpy(&gain, chunk + kPlugInChunkHeaderSize, 4);
        SetControlValue(mGainIndex, GetControl(mGainIndex)->NumberToControl(gain));
        return kNoErr;
    }

    void GetViewRect(ViewRect* rect) override {
        *rect = ViewRect();
        rect->bottom = 40;
        rect->right = 100;
    }
    CPlugInView* CreateCPlugInView() override {
        return CreateViewContainer(GetGroup()->GetCustomViews(), "!GainView[('NoID')]", 100, 40).release();
    }
    // The view ticks a counter from its window's timer while attached.
    void SetViewPort(const ViewPort* port) override {
        if (mWindow) mWindow->RemoveTimer(this);
        mWindow = port ? port->window : nullptr;
        if (mWindow) mWindow->AddTimer(&GainProcess::OnTimer, this, 0.04);
    }
    static void OnTimer(void* context) { ++static_cast<GainProcess*>(context)->mTicks; }

  private:
    double Gain() const { return GetControl(mGainIndex)->ControlToNumber(GetControlValue(mGainIndex)); }
    int mGainIndex = 0;
    IHostWindow* mWindow = nullptr;
    int mTicks = 0;
};

CEffectProcessRTAS* NewGainProcess(const ProcessSetup&) {
    return new GainProcess();
}

class GainGroup : public CEffectGroup {
  public:
    GainGroup() {
        DefineManufacturerNamesAndID("Tester\nTest\nTST", FourCharCode("TSTM"));
        DefinePlugInNamesAndVersion("Gain\nGn", 1);
    }
    void Initialize() override {
        CEffectGroup::Initialize();
        RegisterCustomView("GainView", NewGainView);
    }

  protected:
    void CreateEffectTypes() override {
        for (int channels = 1; channels <= 2; ++channels) {
            auto* type = new CEffectTypeRTAS(FourCharCode(channels == 1 ? "GNm1" : "GNs2"),
                                             FourCharCode("GAIN"), 8192);
            type->DefineTypeNames("Gain\nGn");
            type->DefineStemFormats(StemFormatForChannels(channels), StemFormatForChannels(channels));
            type->AttachEffectProcessCreator(NewGainProcess);
            AddEffectType(type);
        }
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) CEffectGroup* RTASNewPlugInGroup() {
    return new GainGroup();
}
