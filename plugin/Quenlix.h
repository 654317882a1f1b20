#pragma once

// Quenlix: the level and loudness meter plug-in.
//
// Owns the RMS and EBU R128 measuring engines, mirrors its six setting parameters, feeds the editor's
// meters and read-outs every 25 ms of audio and publishes thirteen "OUT:" parameters every 50 ms. The
// audio passes through unchanged.
//
// Threads.
// - Construction and destruction: the host's main thread (MakePlug serialises construction).
// - ProcessDoubleReplacing: the audio thread, with the plug-in mutex held by the host adapter. Allocates
//   nothing, takes no other lock, logs nothing; logarithms and text formatting only at refresh points.
// - OnParamChange, Reset, SampleRate_Changed, UpdateGUI: the main thread (editor, host controls, state
//   restore), the host's initialisation path, or the audio thread between blocks where the host adapter
//   hands the editor's changes over to it (LV2). Each takes the plug-in's recursive mutex for its whole
//   run, so engines are never reconfigured while a block is measured.

#include <memory>

// The host adapter base: each build target's include path picks the host format's IPlugAdapter.h.
#include "IPlugAdapter.h"
#include "plugin/QuenlixParams.h"

class EBUMM6;
class IGraphics;
class RMSMM6;

// Parameter indices (Quenlix::kType ...) come from the parameter table's index base.
class Quenlix : public IPlugAdapter, public quenlix::ParamIndex {
  public:
    // OnParamChange indices that are not parameters: a click on the LED meter of channel k (1 .. 6)
    // sends kResetCommandFirst + k - 1 and resets both engines.
    static constexpr int kResetCommandFirst = 21;
    static constexpr int kResetCommandLast = 26;

    static constexpr int kNumChannels = 6;
    static constexpr int kNumRmsReadouts = quenlix::kNumRmsReadouts;
    static constexpr int kNumEbuReadouts = quenlix::kNumEbuReadouts;
    static constexpr int kNumOutputParams = quenlix::kNumReadouts;

    // Main thread. Builds parameters, engines (for the base's initial rate: 44100 Hz, or the host's when the
    // adapter knows it already), editor and presets.
    explicit Quenlix(IPlugInstanceInfo instanceInfo);
    // Frees the RMS engine, then the EBU engine; the base then frees the editor and the parameters.
    ~Quenlix() override;

    // Host adapter, after it has set the channels and the sample rate. Re-initialises both engines when
    // the rate changed (or they could not be set up before); otherwise, while "Sync" is on, starts
    // every measurement afresh, the engines going on with the audio. Takes the plug-in mutex.
    void Reset() override;
    // Refuses rates below meters::kMinSampleRate; otherwise sets the engines up for the rate (as Reset)
    // and reports whether they got their memory. Takes the plug-in mutex.
    bool PrepareForSampleRate(std::string* why) override;
    // After a parameter's value changed (0 .. 18), or a reset command (21 .. 26, honoured only while the
    // editor's mouse button is down, and passed on to ResetFromGUI without the mutex). Other indices are
    // ignored. Takes the plug-in mutex.
    void OnParamChange(int paramIdx) override;
    // A host's reset control: clears every measurement of both engines, as a click on an LED meter
    // does. Takes the plug-in mutex.
    void OnResetRequest() override;
    // The channel settings follow the width: an instance of nIn channels measures all of them (mono:
    // its one channel). Every other setting keeps its default. Any thread.
    double GetDefaultForChannels(int paramIdx, int nIn) const override;
    // Audio thread, plug-in mutex held by the caller. inputs / outputs hold NInChannels() /
    // NOutChannels() pointers to nFrames doubles each; null pointers count as silent inputs and
    // receive nothing as outputs.
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    // Shows the controls of the current metering type and hides the other type's. Mutex held.
    void UpdateGUI();
    // Re-initialises both engines for mMeterSampleRate and recomputes the refresh periods. Mutex held.
    void SampleRate_Changed();

    // The editor model (owned by the base, alive as long as the plug-in).
    IGraphics* GetEditor() const { return mEditor; }
    // Read-only views of the engines, for hosts that want more than the output parameters. Read them
    // under the plug-in mutex.
    const RMSMM6& GetRmsMeter() const { return *mRmsMeter; }
    const EBUMM6& GetEbuMeter() const { return *mEbuMeter; }
    int GetDisplayPeriod() const { return mDisplayPeriod; }
    // The editor's text control that shows read-out parameter paramIdx in the column of its type; -1
    // for a setting or before the editor is built.
    int GetReadoutTextControl(int paramIdx) const;
    int GetParamPeriod() const { return mParamPeriod; }

  private:
    // Construction steps, in the order that fixes the editor's control indices.
    void DefineParams();
    void BuildEditor();
    // BuildEditor's steps: each initialises the parameters its controls are bound to and appends the
    // controls, in index order.
    void AttachOutputFields(IGraphics* g);
    void AttachBackground(IGraphics* g);
    void AttachSelectors(IGraphics* g);
    void AttachWindowField(IGraphics* g);
    void AttachEbuSelector(IGraphics* g);
    void AttachReadouts(IGraphics* g);
    void AttachChannelMeters(IGraphics* g);
    // Gives the controls bound to no parameter their first value (taken as their default).
    void SeedUnboundControls(IGraphics* g);
    void MakePresets();
    void AttachVersionText();

    // Applies the "RMS Window" and "RMS Meter Mode" mirrors to the RMS engine.
    void ApplyRmsWindowAndMode();
    // Window, mode, then a reset of both engines.
    void Reconfigure();
    void ResetMeters();
    void ComputeRefreshPeriods();

    // Refresh points of the driver (audio thread).
    void FeedDisplay();
    void FeedRmsReadouts();
    void FeedEbuReadouts();
    void PublishOutputs();
    void PublishOutput(int paramIdx, double v, double barPosition);

    void SetReadoutText(int controlIdx, const char* text);

    double mMeterSampleRate;
    bool mEnginesReady = false;  // both engines got their memory at the last Init
    int mNumInputs;
    int mNumOutputs;
    double mDisplayIntervalMs = 25.0;
    double mParamIntervalMs = 50.0;
    int mDisplayPeriod = 1;
    int mDisplayCounter = 0;
    int mParamPeriod = 1;
    int mParamCounter = 0;
    std::unique_ptr<RMSMM6> mRmsMeter;
    std::unique_ptr<EBUMM6> mEbuMeter;
    int mMeterType = 0;
    int mSync = 0;
    int mRmsChannelConfig = 0;
    int mRmsMeterMode = 0;
    double mRmsWindowMs = 300.0;
    int mEbuChannelConfig = 0;
    int mBackgroundControl = -1;
    int mRmsReadouts[kNumRmsReadouts] = {};
    int mEbuReadouts[kNumEbuReadouts] = {};
    int mOutputControls[kNumParams] = {};  // by parameter index; a read-out's hidden value field
    int mLedMeters[kNumChannels] = {};
    int mClipLamps[kNumChannels] = {};
    int mPeakReadouts[kNumChannels] = {};

    IGraphics* mEditor = nullptr;  // owned by the base once attached
};
