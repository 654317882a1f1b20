#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/rtas/format/FourCharCode.h"
#include "host/rtas/format/PlugInView.h"
#include "host/rtas/format/PluginControl.h"

class CEffectGroup;
class ITransport;

// What a host supplies when it creates a process. The effect type fills in the channel counts
// and the group; the host fills in the rest.
struct ProcessSetup {
    int numInputs = 2;  // channels of the insert
    int numOutputs = 2;
    double sampleRate = 44100.0;          // Hz
    int maxQuantum = 1024;                // most frames the host hands RenderAudio at once (>= 1)
    int16_t hostVersion = 0;              // host's 16-bit version number
    ITransport* transport = nullptr;      // non-owning, may be null; outlives the process
    const CEffectGroup* group = nullptr;  // the group the process's type belongs to
};

// One plug-in instance as the host sees it: its control table, state-change counter, settings
// chunks and editor view. Control indices start at 1; 0 and out-of-range indices are invalid and
// are ignored by every call.
//
// Threads: created, initialised and destroyed on the host's main thread. Control values may also
// be written and read on the audio thread (allocation-free, lock-free). Everything else is main
// thread only.
class CProcess {
  public:
    CProcess();
    virtual ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Control table, built while the effect initialises (main thread). AddControl takes
    // ownership and returns the new control's index (1, 2, ...); the table starts at the
    // control's default value.
    int AddControl(CPluginControl* control);
    void DefineMasterBypassControlIndex(int index) { mMasterBypassIndex = index; }
    int GetMasterBypassControlIndex() const { return mMasterBypassIndex; }
    int GetNumControls() const { return static_cast<int>(mControls.size()); }
    bool IsValidControlIndex(int index) const { return index >= 1 && index <= GetNumControls(); }
    CPluginControl* GetControl(int index) const;

    // Plug-in writes a control value the host should see (automation write): stores it in the
    // table and counts the write. Any thread, allocation-free.
    virtual void SetControlValue(int index, int32_t value);
    // The table's value of a control (0 for an invalid index). Any thread.
    int32_t GetControlValue(int index) const;
    // Plug-in starts and ends a gesture on a control (the host holds automation meanwhile).
    void TouchControl(int index);
    void ReleaseControl(int index);
    bool IsControlTouched(int index) const;
    // Number of plug-in writes to the control since it was added.
    uint32_t GetControlWriteCount(int index) const;

    // Host changes a control (main thread): stores the value in the control object and the
    // table, then tells the algorithm through UpdateControlValueInAlgorithm.
    void HostSetControlValue(int index, int32_t value);
    virtual void UpdateControlValueInAlgorithm(int /*index*/) {}
    virtual int IsControlAutomatable(int index);

    // Compare-state bookkeeping: the plug-in bumps the counter whenever its saved state changes.
    void IncrementStateChangeCounter() { mStateChangeCounter.fetch_add(1, std::memory_order_relaxed); }
    uint32_t GetStateChangeCounter() const { return mStateChangeCounter.load(std::memory_order_relaxed); }

    // Settings chunks (main thread). Chunks are raw bytes with a PlugInChunkHeader in front; every
    // call is told how many bytes it may touch. Results: kNoErr or kChunkRangeErr. Defaults: no
    // chunks.
    virtual ComponentResult GetNumChunks(int32_t* numChunks);
    virtual ComponentResult GetIndexedChunkID(int32_t index, OSType* chunkID);
    virtual ComponentResult GetChunkSize(OSType chunkID, int32_t* size);
    virtual ComponentResult GetChunk(OSType chunkID, unsigned char* chunk, int32_t capacity);
    virtual ComponentResult SetChunk(OSType chunkID, const unsigned char* chunk, int32_t length);
    virtual ComponentResult CompareActiveChunk(const unsigned char* chunk, int32_t length, bool* isEqual);

    // Editor view (main thread). GetViewRect gives the editor's size (an empty rectangle when
    // there is none); CreateCPlugInView returns a new container the host owns, or null;
    // SetViewPort attaches the view to a host window, or detaches it when `port` is null.
    virtual void GetViewRect(ViewRect* rect);
    virtual CPlugInView* CreateCPlugInView() { return nullptr; }
    virtual void SetViewPort(const ViewPort* /*port*/) {}
    // The control under the mouse for the host's automation shortcuts: its index, or 0.
    virtual int32_t ChooseControl(int /*x*/, int /*y*/) { return 0; }
    // Plug-in asks the host to close and reopen its window (after a size change). The host
    // takes the request with ConsumeWindowRebuildRequest. Main thread.
    void RequestWindowRebuild() { mWindowRebuildRequested = true; }
    bool ConsumeWindowRebuildRequest();

    virtual int32_t GetDelaySamplesLong() { return 0; }

  private:
    struct Entry {
        std::unique_ptr<CPluginControl> control;
        std::atomic<int32_t> value{0};
        std::atomic<bool> touched{false};
        std::atomic<uint32_t> writes{0};
    };
    const Entry* GetEntry(int index) const;

    std::vector<std::unique_ptr<Entry>> mControls;
    int mMasterBypassIndex = 0;
    std::atomic<uint32_t> mStateChangeCounter{0};
    bool mWindowRebuildRequested = false;
};

// An effect process: a process with an insert's channel counts, a sample rate, a master bypass
// and a one-time effect initialisation.
class CEffectProcess : public CProcess {
  public:
    // Takes the setup the host passed to the creating effect type (CEffectTypeRTAS::CreateProcess),
    // or defaults when constructed outside one.
    CEffectProcess();

    // Runs EffectInit once; later calls do nothing. Main thread, before the first render.
    void InitializeEffect();
    bool IsEffectInitialized() const { return mEffectInitialized; }

    int GetNumInputs() const { return mSetup.numInputs; }
    int GetNumOutputs() const { return mSetup.numOutputs; }
    double GetSampleRate() const { return mSetup.sampleRate; }
    int16_t GetHostVersion() const { return mSetup.hostVersion; }
    ITransport* GetTransport() const { return mSetup.transport; }
    const CEffectGroup* GetGroup() const { return mSetup.group; }
    // True while the master bypass control is defined and on. Any thread.
    bool IsBypassed() const;

  protected:
    // Plug-in builds its control table here.
    virtual void EffectInit() {}
    const ProcessSetup& GetSetup() const { return mSetup; }

  private:
    ProcessSetup mSetup;
    bool mEffectInitialized = false;
};

// An effect process rendered by the host's native audio engine in blocks of at most the
// maximum quantum.
class CEffectProcessRTAS : public CEffectProcess {
  public:
    // Audio thread: one block of nFrames 32-bit float frames, one buffer per input and output
    // channel (GetNumInputs / GetNumOutputs of them; while a side-chain is connected its buffer
    // follows the inputs). The host keeps nFrames to GetMaximumRTASQuantum, but a process must
    // cope with longer calls. Must not allocate or block. The default copies inputs to outputs.
    virtual void RenderAudio(float** inputs, float** outputs, int32_t nFrames);
    int GetMaximumRTASQuantum() const { return GetSetup().maxQuantum; }

    // Main thread: the host connects or disconnects a side-chain input.
    virtual void ConnectSideChain() {}
    virtual void DisconnectSideChain() {}
};

// Creates a process on the main thread; the effect type calls it with the setup in effect (the
// same setup the new process's constructor takes).
typedef CEffectProcessRTAS* (*ProcessCreator)(const ProcessSetup& setup);

// The setup a process under construction on this call path takes (used by CEffectTypeRTAS).
// Creation is serialised by a process-wide lock, so only one setup is pending at a time.
class ScopedProcessSetup {
  public:
    explicit ScopedProcessSetup(const ProcessSetup& setup);
    ~ScopedProcessSetup();
    ScopedProcessSetup(const ScopedProcessSetup&) = delete;
    ScopedProcessSetup& operator=(const ScopedProcessSetup&) = delete;
};
