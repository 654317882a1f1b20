#pragma once

#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/IPlugBase.h"
#include "host/lv2/Lv2EditorSession.h"
#include "host/lv2/Lv2Ports.h"
#include "host/lv2/Lv2Transport.h"

// What the host format hands a new plug-in instance. Carries nothing for this format: the
// channel pair, sample rate and host features reach the adapter through Instantiate.
struct IPlugInstanceInfo {};

// The plug-in-side base class for the LV2 host format: sits between IPlugBase and the product
// class, as IPlugRTAS does for RTAS. One instance is one LV2 plug-in instance of one channel-I/O
// pair (Lv2Ports.h gives the port layout).
//
// - Control input ports are the host's side of the setting parameters: a value that changed since
//   the last run is pushed into the editor, stored clamped and reported through OnParamChange, under
//   the plug-in mutex, as the RTAS adapter does for a host control change.
// - Control output ports carry the "OUT:" parameters the plug-in writes; every run ends by copying
//   their values to the ports.
// - "Reset" asks the plug-in to start its measurements afresh on each rising edge; "Enabled" at 0
//   bypasses (audio passes, nothing is processed, nothing is cleared); the atom input carries the
//   host's transport (time:Position), whose events split the block so that each piece sees the
//   transport of its own frames.
// - State: the plug-in's serialized parameters plus the plug-in's version (SaveState /
//   RestoreState); a short, foreign or damaged state changes nothing and logs one line, as does
//   a state the plug-in fails to read, which is reported to the host as a failure.
//
// - Editor: the bundle's X11 UI opens the plug-in's own editor inside the host's window (OpenEditor
//   and the calls after it); a setting changed in the editor is handed to the host as the new value
//   of its control port, so that the host's controls and automation follow.
//
// Threads, in LV2's classes: construction, Instantiate, Activate, Deactivate, SaveState,
// RestoreState on the host's instantiation (main) thread; ConnectPort and Run on its audio thread;
// the editor calls on the host's UI thread. Run takes the plug-in mutex for the whole block and
// otherwise never allocates or blocks. The editor never takes that mutex: a setting it changes is
// stored at once (an atomic value) and flagged, a reset it asks for is flagged, and Run reacts to both
// at the start of its next block, so the audio thread never waits for the UI thread (lv2:hardRTCapable).
// Only instantiation-class calls share the mutex with Run, and LV2 never runs those during Run.
class IPlugLV2 : public IPlugBase {
  public:
    // Declarations as for IPlugBase, plus the number of side-chain input channels (not supported
    // by this format; kept for the product class's sake). All channels start connected; the
    // block size is set by Instantiate. Main thread.
    IPlugLV2(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
             const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
             int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
             bool plugIsInstrument, int plugSideChainChannels);
    ~IPlugLV2() override;

    // Readies the instance for one channel-I/O pair at sampleRate: connects the first nIn / nOut
    // channels, takes the host's urid:map, log and block-length options (all optional; without
    // urid:map there is no transport and no state), sizes the scratch buffers and the port table.
    // False, with a line on the host's log when it has one, when the pair does not fit the
    // plug-in, the rate is not a positive finite number, or the plug-in cannot run at the rate
    // (PrepareForSampleRate). Instantiation thread, once, before any other call below.
    bool Instantiate(int nIn, int nOut, double sampleRate, const char* bundlePath,
                     const LV2_Feature* const* features);
    // The port table. Ports outside the layout are ignored. Audio thread (or before Activate).
    void ConnectPort(uint32_t port, void* data);
    // Calls the plug-in's Reset: it decides what a (re)activation clears. Instantiation thread.
    void Activate();
    void Deactivate() {}
    // One block of any length. Audio thread.
    void Run(uint32_t nFrames);

    // LV2 state interface. Instantiation thread.
    LV2_State_Status SaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // The editor in the host's UI (lv2::EditorAccess). UI thread.
    uintptr_t OpenEditor(uintptr_t parent, const lv2::EditorHost& host) {
        return mEditorSession.Open(parent, host);
    }
    bool IdleEditor() { return mEditorSession.Idle(); }
    void CloseEditor() { mEditorSession.Close(); }

    const lv2::PortLayout& GetPortLayout() const { return mLayout; }
    // The bundle folder, ending in "/" (the host's bundle path as given).
    const std::string& GetBundlePath() const { return mBundlePath; }
    bool IsBypassed() const { return mBypassed; }

    // ---- IPlugBase hooks supplied by this adapter ----
    // A plug-in cannot change its input ports: a setting changed in the open editor reaches the host
    // through the UI (its port value, the drag as a ui:touch gesture); nothing else does. "OUT:"
    // parameters, reported from the audio thread, reach the host only through the output ports,
    // copied after every run. Settings: UI thread.
    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    void InformHostOfProgramChange() override {}
    // A setting changed in the editor: stored at once, without the mutex; the plug-in's reaction
    // (OnParamChange) runs at the start of the next block; the host is told at once. UI thread.
    void SetParameterFromGUI(int paramIdx, double normalizedValue) override;
    // Handed to the audio thread: OnResetRequest at the start of the next block. UI thread.
    void ResetFromGUI() override;
    // Transport from the last time:Position (stopped until the host sends one). Audio thread.
    double GetSamplePos() override;
    double GetTempo() override;
    void GetTimeSig(int* pNum, int* pDenom) override;
    void GetTime(ITimeInfo* pTimeInfo) override;
    // LV2 does not name its host: identified as unknown on first use.
    int GetHost() override;
    // The editor's window belongs to the host's UI; nothing to do here.
    void ResizeGraphics(int /*w*/, int /*h*/) override {}
    // MIDI output is not supported by this adapter.
    bool SendMidiMsg(IMidiMsg* /*pMsg*/) override { return false; }

  protected:
    // A setting: a parameter the host sets through an input port.
    bool IsSetting(int paramIdx) const;
    // A line on the host's log (an error when isError, else a warning); nothing without a log.
    // Never on the audio thread.
    void LogLine(bool isError, const char* format, ...) const;

  private:
    // Sets every setting to its default for an instance of nIn inputs. Instantiation thread.
    void ApplyChannelDefaults(int nIn);
    // Reacts to the settings changed and the resets asked for in the editor since the last block.
    // Audio thread, mutex held.
    void ApplyEditorRequests();
    // Applies changed control inputs and the reset trigger. Audio thread, mutex held.
    void ApplyControlInputs();
    // Attaches frames [offset, offset + nFrames) of the audio ports and runs them. Mutex held.
    void RunPiece(int offset, int nFrames);
    void WriteControlOutputs();
    // Checks a retrieved state; on failure writes the reason into why and returns false.
    bool CheckState(const void* version, size_t versionSize, uint32_t versionType, const void* params,
                    size_t paramsSize, uint32_t paramsType, std::string* why) const;

    lv2::PortLayout mLayout;
    std::vector<float*> mControlPorts;  // one per parameter
    std::vector<bool> mIsOutput;        // per parameter: an "OUT:" parameter
    std::vector<float> mLastControl;    // last value seen on each input port, NaN before any
    std::vector<float*> mAudioIn, mAudioOut;
    std::vector<float> mSilence;  // stands in for an input port the host left unconnected
    const float* mResetPort = nullptr;
    const float* mEnabledPort = nullptr;
    const LV2_Atom_Sequence* mTransportPort = nullptr;
    bool mResetHigh = false;
    bool mBypassed = false;
    // The editor's hand-over to the audio thread: per parameter, "changed since the last block", and
    // whether any is set; a reset asked for. Set by the UI thread, taken (cleared) by Run.
    std::unique_ptr<std::atomic<bool>[]> mEditorChanged;
    std::atomic<bool> mEditorChangePending{false};
    std::atomic<bool> mEditorResetPending{false};

    Lv2Transport mTransport;
    LV2_URID_Map* mMap = nullptr;
    LV2_Log_Logger mLogger = {};
    struct Urids {
        LV2_URID atomInt = 0, atomChunk = 0, atomSequence = 0, stateVersion = 0, stateParams = 0;
    } mUrid;
    std::string mBundlePath;
    lv2::EditorSession mEditorSession{this};
};

// Defined by the product: builds a new instance. The caller (the module's instantiate) owns it
// and deletes it through the virtual destructor. Main thread; may throw.
IPlugLV2* MakePlug();
