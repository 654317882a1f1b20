#pragma once

#include "framework/IPlugBase.h"

class IPlugProcess;

// What the host format hands a new plug-in instance. Carries nothing for this format; the
// product class passes it on to IPlugRTAS unchanged.
struct IPlugInstanceInfo {};

// The plug-in-side base class for the RTAS host format: sits between IPlugBase and the product
// class. It carries host control changes into the base, tells the host about parameter changes
// made by the plug-in (host control i + 2 for parameter i), reads the host's transport, and
// runs audio blocks under the plug-in mutex.
//
// Threads: construction, Created, SetParameter, state and editor calls on the host's main
// thread; ProcessAudio, ProcessAudioBypassed and SetIO on its audio thread. The Inform* calls
// come from whichever thread changed the parameter (the audio thread for output parameters)
// and never allocate or lock anything but the plug-in mutex.
class IPlugRTAS : public IPlugBase {
  public:
    // Declarations as for IPlugBase, plus the number of side-chain input channels. The base
    // gets the RTAS interface kind. When the plug-in has inputs a latency delay line is created;
    // all channels start connected and the block size is 1024 frames. Main thread.
    IPlugRTAS(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
              const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
              int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
              bool plugIsInstrument, int plugSideChainChannels);
    ~IPlugRTAS() override;

    // The owning process announces itself once the instance exists: prunes unused preset
    // slots, sets the block size to the host's maximum render quantum and calls
    // OnHostIdentified. Main thread.
    void Created(IPlugProcess* process);
    IPlugProcess* GetProcess() const { return mProcess; }

    // Audio thread: one block of at most the block size, under the plug-in mutex. Host buffers
    // are one per connected channel, in channel order.
    void ProcessAudio(float** inputs, float** outputs, int nFrames);
    void ProcessAudioBypassed(float** inputs, float** outputs, int nFrames);

    // Marks the first nInputs inputs (one more while a side-chain is connected) and the first
    // nOutputs outputs connected, the rest disconnected. Audio thread, before the block's lock.
    void SetIO(int nInputs, int nOutputs);

    // Host changed host control `hostControlIndex` (parameter index + 2): reads the control's
    // value, pushes it into the editor, stores it clamped and calls OnParamChange, all under the
    // plug-in mutex. A value equal to the parameter's (after clamping) is no change and does
    // nothing. Invalid indices do nothing. Main thread.
    void SetParameter(int hostControlIndex);

    // The host connects or disconnects the side-chain input; a change zeroes the scratch
    // buffers. Main thread, never during a block.
    void SetSideChainConnected(bool connected);
    bool HasSideChain() const { return mHasSideChain; }
    bool IsSideChainConnected() const { return mSideChainConnected; }
    // Number of parameters announced to the host.
    int GetNumAnnouncedParams() const { return mAnnouncedParams; }

    // ---- IPlugBase hooks supplied by this adapter ----
    // Touch / release host control paramIdx + 2 (only with a process and a valid index).
    void BeginInformHostOfParamChange(int paramIdx) override;
    // Sets host control paramIdx + 2 from the parameter's current value (normalizedValue is not
    // used). Allocation-free; may run on the audio thread.
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // Begin, Inform, End for every announced parameter.
    void InformHostOfProgramChange() override;
    // Transport, read from the host when it has one (0 otherwise). Audio thread.
    double GetSamplePos() override;
    double GetTempo() override;
    void GetTimeSig(int* pNum, int* pDenom) override;
    void GetTime(ITimeInfo* pTimeInfo) override;
    // Identifies the host as "ProTools" on first use.
    int GetHost() override;
    // Asks the host to rebuild the plug-in window. Main thread.
    void ResizeGraphics(int w, int h) override;
    // MIDI output is not supported by this format.
    bool SendMidiMsg(IMidiMsg* pMsg) override;
    // Tells the host the saved state changed (bumps the process's state-change counter).
    void DirtyPTCompareState() override;

  private:
    IPlugProcess* mProcess = nullptr;  // not owned; the process owns this plug-in
    bool mHasSideChain = false;
    bool mSideChainConnected = false;
    int mAnnouncedParams;
};

// Defined by the product: builds a new instance. The caller (IPlugProcessRTAS) owns it and
// deletes it through the virtual destructor. Main thread; may throw (the process reports the
// failure to the host as a failed creation).
IPlugRTAS* MakePlug();
