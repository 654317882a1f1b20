#pragma once

#include <string>

#include "framework/ByteChunk.h"
#include "framework/Channels.h"
#include "framework/EAPI.h"
#include "framework/IEditorLink.h"
#include "framework/IMidi.h"
#include "framework/IParam.h"
#include "framework/IPresetEntry.h"
#include "framework/ITimeInfo.h"
#include "framework/LatencyDelayLine.h"
#include "framework/WDL_Mutex.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_TypedBuf.h"

// Host-neutral base of every plug-in: owns the parameters, preset slots, channel model with its
// 64-bit scratch buffers, the editor and the recursive mutex that serialises the audio thread
// against parameter, state and editor changes. A host adapter derives from it, supplies the
// hooks without a default (informing the host, transport, MIDI out, editor resize) and feeds it
// 32-bit float blocks; the product class overrides Reset, OnParamChange and
// ProcessDoubleReplacing.
//
// Threads: the host's audio thread (block entry points, under mMutex held by the adapter) and
// its main thread (parameters, state, editor). Entry points below say which lock they take.
class IPlugBase {
  public:
    // Sizes of the fixed name buffers, terminating zero included; longer names are cut.
    static constexpr int kNameSize = 128;
    // Largest channel count taken from a channel-I/O string; larger counts are cut to it.
    static constexpr int kMaxChannels = 256;

    // nParams parameters and nPresets preset slots are created empty; channelIOStr lists the
    // supported "in-out" pairs separated by single blanks ("1-1 2-2 4-4 5-5 6-6").
    // version is packed major << 16 | minor << 8 | patch. The sample rate starts at 44100 Hz, or at
    // the rate of a ScopedCreationSampleRate live on this thread. Main thread.
    IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
              const char* productName, const char* mfrName, int version, int uniqueID, int mfrID, int latency,
              bool plugDoesMidi, bool plugDoesChunks, bool plugIsInstrument, EAPI api);
    IPlugBase(const IPlugBase&) = delete;
    IPlugBase& operator=(const IPlugBase&) = delete;

    // Deletes the editor, parameters, presets (last to first), channels and delay line.
    virtual ~IPlugBase();

    // ---- Hooks for the product class (defaults as noted) ----

    // Clears measurements after a rate or configuration change. Default: takes and releases the
    // mutex. Main or audio thread, mutex may already be held.
    virtual void Reset();
    // Reacts to a parameter change (paramIdx may also be a plug-in-defined command index).
    // Default: takes and releases the mutex. Called with the mutex held.
    virtual void OnParamChange(int paramIdx);
    // The host's user asks to start every measurement afresh (a reset control of the host format,
    // not a parameter). Default: nothing. Audio or main thread, mutex held.
    virtual void OnResetRequest() {}
    // The editor asks for every measurement to start afresh (a press on a control that resets).
    // Default: OnResetRequest at once (it takes what lock it needs). An adapter whose audio thread
    // must never wait for the editor hands the request to that thread, which calls OnResetRequest at
    // the start of its next block. UI thread, mutex not held.
    virtual void ResetFromGUI() { OnResetRequest(); }
    // The value a setting starts with on an instance metering nIn input channels. A host format
    // that fixes the width when it creates an instance (LV2) sets it before any state is restored
    // and states it as the default in its description. Default: the parameter's own default (0.0
    // for an invalid index). Takes no lock; any thread.
    virtual double GetDefaultForChannels(int paramIdx, int /*nIn*/) const {
        const IParam* param = GetParam(paramIdx);
        return param ? param->GetDefault() : 0.0;
    }
    // Sets the plug-in up for the sample rate set last, as far as can be done before processing, and
    // says whether it can run at that rate; when it cannot, `why` receives the reason (a few words,
    // no newline). Asked by a host adapter that can refuse an instance, when it instantiates one.
    // Default: true. Main thread.
    virtual bool PrepareForSampleRate(std::string* /*why*/) { return true; }
    // Processes one block of at most the block size. Default: input c to output c where the
    // input exists, other outputs zero. Audio thread, mutex held; must not allocate.
    virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
    // Float twin of the default above.
    virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
    virtual void OnGUIOpen() {}
    virtual void OnGUIClose() {}
    virtual void OnIdle() {}
    // Default: takes and releases the mutex.
    virtual void OnActivate(bool active);
    // Default: forwards the message to SendMidiMsg.
    virtual void ProcessMidiMsg(IMidiMsg* pMsg);
    virtual void ProcessSysEx(ISysEx* /*pSysEx*/) {}
    // Default: writes "" into name (when not null) and returns false.
    virtual bool MidiNoteName(int noteNumber, char* name);

    // State (main thread). The defaults forward to SerializeParams / UnserializeParams.
    virtual bool SerializeState(ByteChunk* pChunk);
    virtual int UnserializeState(ByteChunk* pChunk, int startPos);
    // Whether data holds the current parameter values within single-precision tolerance,
    // starting at value number startPos. data must hold (startPos + NParams()) doubles.
    // Takes no lock.
    virtual bool CompareState(const unsigned char* data, int startPos);

    virtual void OnWindowResize() {}
    virtual bool HostRequestingAboutBox() { return false; }
    virtual void OnHostIdentified() {}
    virtual void PopupHostContextMenuForParam(int /*paramIdx*/, int /*x*/, int /*y*/) {}

    // A parameter change made in the editor: under the mutex, sets the parameter from the
    // normalised value and calls OnParamChange; then, with the mutex released, tells the host.
    // Invalid indices and a value equal to the one in force change nothing. Main thread, never
    // with the mutex held (the host's functions may wait for its audio thread).
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);

    // ---- Supplied by the host adapter ----
    virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
    virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
    virtual void EndInformHostOfParamChange(int paramIdx) = 0;
    virtual void InformHostOfProgramChange() = 0;
    virtual bool IsRenderingOffline() { return false; }
    virtual double GetSamplePos() = 0;
    virtual double GetTempo() = 0;
    virtual void GetTimeSig(int* pNum, int* pDenom) = 0;
    virtual void GetTime(ITimeInfo* pTimeInfo) = 0;
    // The host id (EHost), kHostUninit until identified. Adapters may identify lazily.
    virtual int GetHost() { return mHost; }
    virtual EAPI GetAPI() { return mAPI; }
    virtual void ResizeGraphics(int w, int h) = 0;
    virtual void HostSpecificInit() {}

    // Takes ownership of the editor (null is ignored). Under the mutex, pushes every parameter's
    // normalised value to it, lets it prepare its rasters, and keeps it. An editor attached
    // earlier is deleted. Main thread, during construction.
    virtual void AttachGraphics(IEditorLink* pGraphics);
    // Stores the latency; an existing delay line is resized to it and cleared. No lock.
    virtual void SetLatency(int samples);
    virtual bool SendMidiMsg(IMidiMsg* pMsg) = 0;
    virtual bool SendSysEx(ISysEx* /*pSysEx*/) { return false; }
    // Pushes every parameter's plain value to the attached editor.
    virtual void RedrawParamControls();
    virtual void DirtyPTCompareState() {}
    virtual void PresetsChangedByHost() {}
    // Resizes (and zero-fills) every scratch buffer when blockSize differs from the current
    // size; the same size leaves the contents alone. Negative sizes count as 0. Allocates, so
    // never called while a block runs; takes no lock.
    virtual void SetBlockSize(int blockSize);

    // ---- Channels and blocks (host adapter) ----
    // Connection calls take no lock: the adapter calls them before it takes the mutex for a
    // block. Channel ranges are clipped to the existing channels.
    void SetInputChannelConnections(int idx, int n, bool connected);
    void SetOutputChannelConnections(int idx, int n, bool connected);
    // Audio thread, mutex held, no allocation. Act on channels idx .. idx + n - 1 only, so a
    // host may attach its channels in several calls before the block runs. Each connected
    // channel in range takes the next host pointer; disconnected channels take none. Nothing
    // happens with a block size of 0 or nFrames <= 0; frames beyond the block size are
    // converted by the following Process or PassThrough call, piece by piece, and frames beyond
    // a channel's own nFrames read as silence.
    void AttachInputBuffers(int idx, int n, float** ppData, int nFrames);
    void AttachOutputBuffers(int idx, int n, float** ppData);
    // Runs ProcessDoubleReplacing and converts connected outputs back to float. A call longer
    // than the block size is run in pieces of at most the block size. sampleType only selects
    // the float variant. Every call, even one of no frames, ends the attachment: afterwards no
    // channel holds a host pointer.
    void ProcessBuffers(float sampleType, int nFrames);
    // Bypass: inputs to outputs (delayed by the latency when a delay line exists), then
    // converted back to float and the attachment ended as in ProcessBuffers.
    void PassThroughBuffers(float sampleType, int nFrames);
    // Bypass on the double arrays; nFrames is clipped to the block size.
    void PassThroughBuffers(double sampleType, int nFrames);
    // Fills every scratch buffer with zeros. No lock.
    void ZeroScratchBuffers();

    // No lock, no notification: the plug-in picks the rate up in its Reset.
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    // Identifies the host by name (see LookUpHost); version packed like the plug-in's.
    void SetHost(const char* name, int version);

    // ---- State and presets (main thread) ----
    // Appends every parameter value (8-byte double each, index order) under the mutex.
    // True when every value was appended.
    bool SerializeParams(ByteChunk* pChunk);
    // Reads the values written by SerializeParams from byte startPos, under the mutex, pushes
    // every parameter's value into the attached editor, then calls OnParamChange for every
    // parameter. Returns the position after the last value read, or -1 when the chunk ended
    // early or startPos lies outside it (nothing is read then). A non-finite stored value leaves
    // its parameter unchanged.
    int UnserializeParams(ByteChunk* pChunk, int startPos);
    // Fills the first uninitialised preset slot (does nothing when none is left). Variadic
    // pairs: parameter index (int), then the value: int for bool, int and enum parameters,
    // double for double parameters. Parameters not named keep their current value.
    // Construction only.
    void MakePresetFromNamedParams(const char* name, int nNamedParams, ...);
    // Removes every preset slot that was never initialised, keeping the order of the rest.
    void PruneUninitializedPresets();

    // ---- Queries ----
    IParam* GetParam(int idx) const { return mParams.Get(idx); }
    int NParams() const { return mParams.GetSize(); }
    IEditorLink* GetGUI() const { return mGraphics; }
    WDL_Mutex* GetMutex() { return &mMutex; }
    double GetSampleRate() const { return mSampleRate; }
    int GetBlockSize() const { return mBlockSize; }
    int GetLatency() const { return mLatency; }
    int NInChannels() const { return mInChannels.GetSize(); }
    int NOutChannels() const { return mOutChannels.GetSize(); }
    bool IsInChannelConnected(int chIdx) const;
    bool IsOutChannelConnected(int chIdx) const;
    int NChannelIO() const { return mChannelIO.GetSize(); }
    // Writes the pair's counts; an invalid index writes nothing and returns false.
    bool GetChannelIO(int pairIdx, int* pNIn, int* pNOut) const;
    const char* GetEffectName() const { return mEffectName; }
    const char* GetProductName() const { return mProductName; }
    const char* GetMfrName() const { return mMfrName; }
    int GetUniqueID() const { return mUniqueID; }
    int GetMfrID() const { return mMfrID; }
    int GetEffectVersion() const { return mVersion; }
    int GetHostVersion() const { return mHostVersion; }
    int NPresets() const { return mPresets.GetSize(); }
    const IPresetEntry* GetPreset(int idx) const { return mPresets.Get(idx); }

  protected:
    // For adapters: creates the delay line used while bypassed, sized for the channel counts,
    // with a delay of the current latency. Replaces an existing one. Construction only.
    void CreateLatencyDelayLine();

    // The current block's channel buffers as ProcessDoubleReplacing sees them.
    double** GetInData() const { return mInData.Get(); }
    double** GetOutData() const { return mOutData.Get(); }

    WDL_OwningPtrList<ChannelIOPair> mChannelIO;
    WDL_Mutex mMutex;
    char mEffectName[kNameSize];
    char mProductName[kNameSize];
    char mMfrName[kNameSize];
    int mUniqueID;
    int mMfrID;
    int mVersion;
    EAPI mAPI;
    int mHost = -1;
    int mHostVersion = 0;
    bool mDoesMidi, mDoesChunks, mIsInst;  // capability flags, kept but not read
    double mSampleRate = 44100.0;
    int mBlockSize = 0;
    int mLatency;
    LatencyDelayLine* mDelay = nullptr;  // owned
    IEditorLink* mGraphics = nullptr;    // owned
    WDL_OwningPtrList<IParam> mParams;
    WDL_OwningPtrList<IPresetEntry> mPresets;
    WDL_TypedBuf<double*> mInData{static_cast<int>(sizeof(double*)) * 8};
    WDL_TypedBuf<double*> mOutData{static_cast<int>(sizeof(double*)) * 8};
    WDL_OwningPtrList<InChannel> mInChannels;
    WDL_OwningPtrList<OutChannel> mOutChannels;

  private:
    void ParseChannelIO(const char* channelIOStr, int* pMaxIn, int* pMaxOut);
    // Converts frames [offset, offset + nFrames) of one / every attached host input into scratch.
    static void ConvertInput(InChannel* ch, int offset, int nFrames);
    void ConvertInputs(int offset, int nFrames);
    // Converts frames [0, nFrames) of every connected output's scratch to its host buffer at offset.
    void ConvertOutputs(int offset, int nFrames);
    // Runs one piece of at most the block size on the scratch buffers.
    void PassThroughPiece(int nFrames);
    // Drops the host pointers of the finished call.
    void ForgetHostBuffers();
};
