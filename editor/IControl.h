// The base of every editor control: a rectangle that draws itself into the editor's off-screen raster,
// may be bound to one plug-in parameter, carries a normalised value and reacts to routed input.
//
// Threads. Mouse handlers, Draw, SetDirty(true), prompts and the draw cycle (IsDirty, SetClean,
// CollectChanges, TakeDirtyArea) run on the UI thread. The plug-in side (audio thread or host threads,
// holding the plug-in mutex) may call SetValueFromPlug, SetAuxParamValueFromPlug, Hide, GrayOut and
// SetDirty(false) at any time while the UI thread draws. Those calls only store atomics and raise change
// flags that the UI thread collects when a draw cycle begins, so a change is never lost between a draw
// and the clean that follows it. None of them allocates, locks or blocks.
#pragma once

#include <atomic>
#include <vector>

#include "editor/IGraphicsStructs.h"
#include "editor/SharedValue.h"

class IGraphics;
class IParam;
class IPlugBase;
class ITextControl;

class IControl {
  public:
    // rect is both the drawing and the hit rectangle. Ownership passes to the editor on AttachControl.
    IControl(IPlugBase* plug, IRECT rect, int paramIdx = -1, int blendMethod = IChannelBlend::kBlendNone);
    virtual ~IControl();
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // UI thread. With R set (right or command click) opens the value prompt; else nothing.
    virtual void OnMouseDown(int x, int y, IMouseMod* mod);
    virtual void OnMouseUp(int x, int y, IMouseMod* mod);
    virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod);
    // UI thread. Back to the default value once one is known.
    virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
    // UI thread. Steps of 0.01 per wheel unit, 0.001 with control or shift.
    virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    // UI thread. True when the control took the key (key codes of the window system's key table).
    virtual bool OnKeyDown(int x, int y, int key);
    virtual void OnMouseOver(int x, int y, IMouseMod* mod);
    virtual void OnMouseOut();

    // UI thread: draws into g's off-screen raster only.
    virtual bool Draw(IGraphics* g) = 0;

    // Any thread. The first call only records the default (value and default become value); later
    // calls store a different value, mark the control dirty and ask for one more draw.
    virtual void SetValueFromPlug(double value);
    // UI thread: the text of a finished text entry opened without a parameter.
    virtual void TextFromTextEntry(const char* text);
    // Any thread. Hidden controls keep their values but are neither hit nor drawn.
    virtual void Hide(bool hide);
    // Any thread. Greyed controls are not hit and draw at a quarter of their opacity.
    virtual void GrayOut(bool gray);
    // UI thread.
    virtual bool IsHit(int x, int y);
    // Clamps the value into [mClampLo, mClampHi] and marks the control dirty. With pushToPlug
    // (UI thread only) the value is also sent to the plug-in and host; pushToPlug false is safe from
    // any thread.
    virtual void SetDirty(bool pushToPlug = true);
    // UI thread (draw cycle): the redraw request, if any, becomes the new dirty state.
    virtual void SetClean();
    // UI thread: dirty, counting changes other threads stored but the draw cycle has not collected.
    virtual bool IsDirty();
    // UI thread (draw cycle): where Draw paints in the state the cycle collected. The rectangle, unless
    // a control paints elsewhere (a read-out paints its text, which may reach past the rectangle).
    virtual IRECT GetDrawArea();
    virtual void OnGUIIdle();
    // Any thread.
    virtual void SetAuxParamValueFromPlug(int auxIndex, double value);
    // UI thread. Whether a press on the control is a gesture on its parameter from the press to the
    // release, which the editor announces to the host at both (a drag, a click that sends a value). A
    // control whose press may well change nothing answers false and announces the change it makes.
    virtual bool PressIsGesture() const { return true; }

    // UI thread: a value the user gave; when it differs, store it, send it and ask for one more draw.
    void SetValueFromUserInput(double value);
    // UI thread: value prompt over the control (menu for an enumerated parameter, else text field).
    void PromptUserInput();
    void PromptUserInput(IRECT* r);

    // Construction time only (before the editor is shared with the plug-in side).
    void AddAuxParam(int paramIdx);
    int AuxParamIdx(int paramIdx) const;
    int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
    double GetAuxParamValue(int auxIndex) const;
    int GetAuxParamIdx(int auxIndex) const;

    // UI thread (draw cycle, called by IGraphics when a cycle begins): takes over the dirty and redraw
    // requests stored by any thread, the grey-out opacity and whatever the control draws from
    // (OnChangesCollected). What other threads store afterwards waits for the next cycle.
    void CollectChanges();
    // UI thread (draw cycle, after CollectChanges): when the control is dirty, true and in *area what
    // must be drawn again for it: what it showed before and what it will show. A hidden control that
    // shows nothing needs nothing drawn; it is cleaned at once and gives false.
    bool TakeDirtyArea(IRECT* area);
    // Any thread: ask for one more draw after the next clean.
    void Redraw();
    // Any thread: mark dirty without clamping or sending anything.
    void MarkDirty();

    int ParamIdx() const { return mParamIdx; }
    IParam* GetParam() const;
    IPlugBase* GetPlug() const { return mPlug; }
    const IRECT* GetRECT() const { return &mRECT; }
    const IRECT* GetTargetRECT() const { return &mTargetRECT; }
    void SetTargetArea(IRECT r) { mTargetRECT = r; }
    double GetValue() const { return mValue.Get(); }
    double GetDefaultValue() const { return mDefaultValue.Get(); }
    bool IsHidden() const { return mHide.load(std::memory_order_acquire); }
    bool IsGrayed() const { return mGrayed.load(std::memory_order_acquire); }
    bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
    void SetMOWhenGrayed(bool allow) { mMOWhenGrayed = allow; }
    bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
    void SetDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
    bool GetDisablePrompt() const { return mDisablePrompt; }
    void DisablePrompt(bool disable) { mDisablePrompt = disable; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    void SetTextEntryLength(int len) { mTextEntryLength = len; }
    IText* GetIText() { return &mText; }
    void SetIText(const IText* text) { mText = *text; }
    const IChannelBlend* GetBlend() const { return &mBlend; }
    void SetValDisplayControl(ITextControl* c) { mValDisplayControl = c; }
    void SetNameDisplayControl(ITextControl* c) { mNameDisplayControl = c; }
    const char* GetTooltip() const { return mTooltip; }
    void SetTooltip(const char* tooltip) { mTooltip = tooltip; }
    void Clamp(double lo, double hi) {
        mClampLo = lo;
        mClampHi = hi;
    }

    // The editor this control is attached to, or null before AttachControl.
    IGraphics* GetGUI() const { return mGraphics; }
    // Set by IGraphics::AttachControl (construction time).
    void SetGUI(IGraphics* g) { mGraphics = g; }

  protected:
    // UI thread (draw cycle): called by CollectChanges, for a control to take over state that other
    // threads hand it (a read-out its newest text).
    virtual void OnChangesCollected() {}

    struct AuxParam {
        SharedValue mValue;
        int mParamIdx;
    };

    int mTextEntryLength = 7;
    IText mText;
    IPlugBase* mPlug;
    IRECT mRECT;
    IRECT mTargetRECT;
    int mParamIdx;
    std::vector<AuxParam> mAuxParams;
    SharedValue mValue{0.0};
    SharedValue mDefaultValue{-1.0};
    double mClampLo = 0.0;
    double mClampHi = 1.0;
    bool mDisablePrompt = true;
    bool mDblAsSingleClick = false;
    bool mMOWhenGrayed = false;
    IChannelBlend mBlend;
    ITextControl* mValDisplayControl = nullptr;
    ITextControl* mNameDisplayControl = nullptr;
    const char* mTooltip = nullptr;
    IGraphics* mGraphics = nullptr;

  private:
    enum : unsigned { kChangeDirty = 1, kChangeRedraw = 2 };

    // Draw-cycle state, UI thread only.
    bool mDirty = true;
    bool mRedraw = false;
    bool mGrayApplied = false;
    // What the control shows on screen, as far as the draw cycle knows: the area it painted last, and
    // whether it showed at all (hidden controls show nothing; an empty area may still show).
    IRECT mShownArea;
    bool mShown = false;
    // Requests from any thread, collected by CollectChanges.
    std::atomic<unsigned> mChanges{0};
    std::atomic<bool> mHide{false};
    std::atomic<bool> mGrayed{false};
};
