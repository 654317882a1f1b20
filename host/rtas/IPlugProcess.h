#pragma once

#include <cstdint>

#include "host/rtas/format/Process.h"

class IPlugCustomUI;
class IPlugDigiView;
class IPlugRTAS;

// One plug-in instance as the host format sees it: owns the plug-in (made by MakePlug) and the
// editor interface, publishes the plug-in's parameters as host controls (the master bypass at
// index 1, parameter i at index i + 2), serves the settings chunk and the editor view.
//
// Threads: everything here is the host's main thread except SetControlValue, which the plug-in
// also calls from the audio thread (allocation-free). Invalid control indices are ignored.
class IPlugProcess : public CEffectProcessRTAS {
  public:
    // Creates the plug-in with MakePlug; `chunkID` names the settings chunk. An exception from
    // MakePlug passes to the caller (the effect type reports a failed creation); a null plug-in
    // leaves a process that does nothing.
    explicit IPlugProcess(OSType chunkID);
    // Closes the editor, deletes the editor interface and then the plug-in.
    ~IPlugProcess() override;

    IPlugRTAS* GetPlug() const { return mPlug; }
    IPlugCustomUI* GetCustomUI() const { return mCustomUI; }
    OSType GetChunkID() const { return mChunkID; }

    // Stores the value in the control object, then in the control table.
    void SetControlValue(int index, int32_t value) override;
    // Host changed a control: forwarded to the plug-in except for the master bypass.
    void UpdateControlValueInAlgorithm(int index) override;
    // 1 for the master bypass, otherwise the parameter's automatable flag (0 when invalid).
    int IsControlAutomatable(int index) override;
    int32_t GetDelaySamplesLong() override;

    // Settings chunk: one chunk, index 1, ID GetChunkID(); data at byte 56 is the plug-in's
    // SerializeState. Foreign IDs and indices, and malformed chunks, give kChunkRangeErr and
    // change nothing. Restoring (with the refresh of every host control) and comparing hold the
    // plug-in mutex, so they never interleave with a block.
    ComponentResult GetNumChunks(int32_t* numChunks) override;
    ComponentResult GetIndexedChunkID(int32_t index, OSType* chunkID) override;
    ComponentResult GetChunkSize(OSType chunkID, int32_t* size) override;
    ComponentResult GetChunk(OSType chunkID, unsigned char* chunk, int32_t capacity) override;
    ComponentResult SetChunk(OSType chunkID, const unsigned char* chunk, int32_t length) override;
    ComponentResult CompareActiveChunk(const unsigned char* chunk, int32_t length, bool* isEqual) override;

    // Editor view: the editor's size; a container holding one "IPlugDigiView" (null when the
    // plug-in has no editor or anything fails); opening the editor in the port's window or, for
    // a null port, closing it.
    void GetViewRect(ViewRect* rect) override;
    CPlugInView* CreateCPlugInView() override;
    void SetViewPort(const ViewPort* port) override;
    // The last parameter clicked in the editor + 2, or 0.
    int32_t ChooseControl(int x, int y) override;

    // The custom view being destroyed by its container (called by IPlugDigiView).
    void ForgetCustomView(IPlugDigiView* view);

  protected:
    // Publishes the master bypass and the parameters as host controls, then sets the plug-in's
    // channels and rate and resets it.
    void EffectInit() override;
    void BuildControls();
    // Creates the editor interface on first use; null without a plug-in.
    IPlugCustomUI* EnsureCustomUI();
    // The control value that represents parameter paramIdx's current value.
    int32_t ParamToControlValue(int paramIdx) const;

    IPlugRTAS* mPlug = nullptr;          // owned
    IPlugCustomUI* mCustomUI = nullptr;  // owned, created lazily
    ViewRect mPluginWinRect;
    int16_t mLeftOffset = 0;
    int16_t mTopOffset = 0;
    bool mOffsetTaken = false;
    ViewPort mViewPort;                    // copy of the host's port while attached
    IPlugDigiView* mCustomView = nullptr;  // owned by the host's view container
    OSType mChunkID;
};
