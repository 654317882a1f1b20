#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/rtas/format/EffectGroup.h"
#include "host/rtas/format/FourCharCode.h"
#include "host/rtas/format/PlugInView.h"
#include "host/rtas/format/PluginControl.h"
#include "host/rtas/format/Process.h"
#include "host/rtas/format/Transport.h"

// The host side of the format: what a host program uses to load a plug-in module, pick an
// effect type, and drive one instance (initialise, render, controls, settings chunks, editor
// view). Everything here is for the host's main thread except Instance::Render, which is the
// host's audio thread (it may also be called from the main thread when the host has no separate
// audio thread, as a command-line host does). No call throws; failures come back as false, null
// or a result code, with a message where one is asked for.
//
// Typical use:
//   std::string error;
//   auto module = rtashost::Module::Load("/path/Quenlix.rtas/Quenlix.so", &error);
//   int type = module->FindEffectType(2, 2);
//   rtashost::InstanceConfig config;  config.sampleRate = 48000.0;
//   auto instance = rtashost::Instance::Create(module, type, config, &error);
//   instance->Initialize();
//   instance->Render(inputs, outputs, nFrames);          // as many blocks as wanted
//   double lufs = instance->GetControlNumber(instance->FindControlByName("OUT:EBU IL"));
//   std::vector<unsigned char> chunk;  instance->SaveChunk(&chunk, &error);
//   instance->OpenView();  instance->TickView();  instance->CloseView();  // the editor, 25 ticks/s
//   instance.reset();  module.reset();                    // the module unloads with its last user
namespace rtashost {

// The transport the host shows its processes. Values are set by the host (any thread) and read
// by the plug-in on the audio thread; each value is atomic on its own.
class HostTransport : public ITransport {
  public:
    void SetPlaying(bool playing) { mPlaying = playing; }
    void SetSampleLocation(int64_t samples) { mSampleLocation = samples; }
    void SetTempo(double bpm) { mTempo = bpm; }
    void SetMeter(int32_t numerator, int32_t denominator) {
        mNumerator = numerator;
        mDenominator = denominator;
    }
    void SetTickPosition(int64_t ticks) { mTicks = ticks; }

    bool IsTransportPlaying() const override { return mPlaying; }
    int64_t GetCurrentSampleLocation() const override { return mSampleLocation; }
    double GetCurrentTempo() const override { return mTempo; }
    void GetCurrentMeter(int32_t* numerator, int32_t* denominator) const override;
    int64_t GetCurrentTickPosition() const override { return mTicks; }

  private:
    std::atomic<bool> mPlaying{false};
    std::atomic<int64_t> mSampleLocation{0};
    std::atomic<double> mTempo{120.0};
    std::atomic<int32_t> mNumerator{4};
    std::atomic<int32_t> mDenominator{4};
    std::atomic<int64_t> mTicks{0};
};

// The host's plug-in window: runs the timers the plug-in's view registers when the host ticks
// it. Main thread only.
class HostWindow : public IHostWindow {
  public:
    void AddTimer(TimerCallback callback, void* context, double intervalSeconds) override;
    void RemoveTimer(void* context) override;
    // Runs every registered timer once (a host calls this at the shortest registered interval).
    // Returns how many ran. A callback may remove timers.
    int Tick();
    int GetNumTimers() const { return static_cast<int>(mTimers.size()); }
    // Shortest registered interval in seconds, 0 when none.
    double GetTimerInterval() const;

  private:
    struct Timer {
        TimerCallback callback;
        void* context;
        double intervalSeconds;
    };
    std::vector<Timer> mTimers;
};

// One effect type of a module, as the host lists it.
struct EffectTypeInfo {
    OSType typeID = 0;
    OSType productID = 0;
    uint32_t categoryFlags = 0;
    std::string names;  // long to short forms separated by '\n'
    int numInputs = 0;
    int numOutputs = 0;
    int32_t inputStemFormat = -1;
    int32_t outputStemFormat = -1;
    int32_t sampleRateSupport = 0;
    std::vector<int32_t> gestalts;
};

// A loaded plug-in module. Shared by the host and every instance created from it: the module
// is unloaded (group deleted, library closed) when the last holder lets go.
class Module {
  public:
    // Loads the shared object at `path`, calls its entry point (kPlugInGroupEntryPointName) and
    // initialises the group. Null with a message in *error (when given) if the file cannot be
    // loaded, has no entry point, or the entry point returns no group.
    static std::shared_ptr<Module> Load(const std::string& path, std::string* error);
    // Wraps a group that is already in the program (linked in, not loaded): takes ownership.
    // Initialises it. Null when group is null.
    static std::shared_ptr<Module> FromGroup(CEffectGroup* group);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const CEffectGroup& GetGroup() const { return *mGroup; }
    const std::string& GetPath() const { return mPath; }
    int GetNumEffectTypes() const { return mGroup->GetNumEffectTypes(); }
    // Index outside 0 .. count - 1 gives a default (empty) record.
    EffectTypeInfo GetEffectType(int index) const;
    // Index of the first type with these channel counts, or -1.
    int FindEffectType(int numInputs, int numOutputs) const;

  private:
    Module() = default;
    void* mLibrary = nullptr;        // dlopen handle, null for a linked-in group
    CEffectGroup* mGroup = nullptr;  // owned
    std::string mPath;
};

// What the host supplies to every instance it creates.
struct InstanceConfig {
    double sampleRate = 44100.0;   // Hz, > 0
    int maxQuantum = 1024;         // the host's maximum render block, frames, >= 1
    int16_t hostVersion = 0x0800;  // the host's 16-bit version number
};

// Description of one host control.
struct ControlInfo {
    OSType id = 0;
    std::string name;   // longest form
    std::string names;  // all forms, '\n'-separated
    CPluginControl::Kind kind = CPluginControl::Kind::Discrete;
    double minimum = 0.0;
    double maximum = 0.0;
    int32_t numSteps = 0;
    bool automatable = false;
    std::vector<std::string> entries;  // list controls only
};

// One plug-in instance (a process) of a module. Holds its module loaded while it lives.
class Instance {
  public:
    // Creates a process of effect type `typeIndex` with `config`. Null with *error set when the
    // index is invalid or the module fails to create the process.
    static std::unique_ptr<Instance> Create(std::shared_ptr<Module> module, int typeIndex,
                                            const InstanceConfig& config, std::string* error);
    // Closes an open view, then deletes the process.
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Runs the process's effect initialisation (builds its controls) once. True once done.
    bool Initialize();
    int GetNumInputs() const { return mProcess->GetNumInputs(); }
    int GetNumOutputs() const { return mProcess->GetNumOutputs(); }
    const InstanceConfig& GetConfig() const { return mConfig; }

    // Renders nFrames frames: one buffer per input and per output channel. Longer calls than
    // the configured maximum quantum are passed on as they are (the process must cope).
    // Nothing happens before Initialize or with nFrames <= 0.
    void Render(float** inputs, float** outputs, int nFrames);

    // Master bypass (false when the process defines none).
    void SetBypass(bool bypassed);
    bool IsBypassed() const { return mProcess->IsBypassed(); }

    // Controls, indexed 1 .. GetNumControls(). Invalid indices read as 0 / empty and writes to
    // them do nothing.
    int GetNumControls() const { return mProcess->GetNumControls(); }
    ControlInfo GetControlInfo(int index) const;
    int FindControl(OSType id) const;                      // index or 0
    int FindControlByName(const std::string& name) const;  // by longest name; index or 0
    int32_t GetControlValue(int index) const { return mProcess->GetControlValue(index); }
    // The host (user or automation) sets a control: the plug-in follows.
    void SetControlValue(int index, int32_t value) { mProcess->HostSetControlValue(index, value); }
    // The same in the control's own units (NaN gives the minimum).
    double GetControlNumber(int index) const;
    void SetControlNumber(int index, double number);
    // The host's text for the control's current value.
    std::string GetControlText(int index) const;
    bool IsControlTouched(int index) const { return mProcess->IsControlTouched(index); }
    uint32_t GetControlWriteCount(int index) const { return mProcess->GetControlWriteCount(index); }
    uint32_t GetStateChangeCounter() const { return mProcess->GetStateChangeCounter(); }

    // Settings chunk: the first chunk the process offers, header filled by the host (size,
    // manufacturer, product, type and chunk IDs). False with *error set when the process offers
    // none or fails.
    bool SaveChunk(std::vector<unsigned char>* chunk, std::string* error) const;
    // Restores a chunk saved by SaveChunk (the chunk ID is read from its header); the process's
    // result code.
    ComponentResult RestoreChunk(const std::vector<unsigned char>& chunk);
    // Whether the chunk matches the current state; the process's result code.
    ComponentResult CompareChunk(const std::vector<unsigned char>& chunk, bool* isEqual) const;

    HostTransport& GetTransport() { return mTransport; }

    // Editor view. OpenView asks for the view, creates its container and a host window for it,
    // and attaches it with port bounds at (0, 0) and the view's size. False when the plug-in has
    // no view. CloseView detaches and disposes the view, then the window; closing a closed view
    // does nothing.
    bool OpenView();
    void CloseView();
    bool IsViewOpen() const { return mView != nullptr; }
    // One tick of the open view's window timers (the editor redraws what changed); the number
    // of timers run, 0 when no view is open.
    int TickView();
    // The open view's window, or null.
    HostWindow* GetViewWindow() const { return mWindow.get(); }
    // Host idle: serves a window-rebuild request (closes and reopens the view). True when the
    // view was rebuilt.
    bool IdleView();
    ViewRect GetViewRect() const;
    // The control the host's automation shortcut refers to (0 for none).
    int32_t ChooseControl(int x, int y) { return mProcess->ChooseControl(x, y); }

    // The process itself, for hosts and tests that need a call not wrapped here.
    CEffectProcessRTAS* GetProcess() const { return mProcess.get(); }

  private:
    Instance() = default;
    std::shared_ptr<Module> mModule;  // destroyed after the process
    HostTransport mTransport;         // outlives the process
    InstanceConfig mConfig;
    OSType mTypeID = 0;
    std::unique_ptr<CEffectProcessRTAS> mProcess;
    std::unique_ptr<HostWindow> mWindow;  // destroyed after the view
    std::unique_ptr<CPlugInView> mView;
};

}  // namespace rtashost
