// The meter's own controls: a bitmap control that sends a command when pressed, a value field with
// its drag, reset and typed prompt, and a popup selector for an enumerated parameter.
// Threads as in editor/IControl.h: everything here except the plug-in-side setters is UI thread.
#pragma once

#include "editor/IControls.h"
#include "editor/IPopupMenu.h"

// Draws like IBitmapControl; a press sends messageIdx to the plug-in's OnParamChange (an action code,
// not a parameter) without the plug-in mutex: the plug-in takes it, or hands the action to its audio
// thread, as the action needs. Its value comes only from the plug-in side (SetControlFromPlug).
class IBitmapControlClick : public IBitmapControl {
  public:
    IBitmapControlClick(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap, int messageIdx);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // The first click of a double click has already notified.
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

  protected:
    int mMessageIdx;
};

// A value field: frame 1 of its bitmap with the parameter's display text over it. A click re-sends the
// value, shift-click resets it to the default, a vertical drag changes it, a double click or a right
// click opens the value prompt.
class IParameterButton : public IKnobControl {
  public:
    // compactText: text rectangle inset (2, 1, 2, 1), otherwise (2, 9, 2, 11). ratioLabel: show
    // "inf" at the maximum and " : 1" after the value otherwise.
    IParameterButton(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap, const IText* style,
                     bool compactText, bool ratioLabel);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;

    // Size of the prompt's text while the double-click prompt is being created.
    static constexpr int kPromptTextSize = 13;

  protected:
    IBitmap mBitmap;
    IRECT mBitmapRECT;
    IRECT mEntryRECT;
    IRECT mLabelRECT;
    bool mRatioLabel;
    int mButtonParamIdx;
};

// A popup selector: shows the frame of the current entry and opens a menu of the parameter's display
// texts; a top-level choice i of n sets the value i / (n - 1). Only a choice other than the parameter's
// current entry is a change: it alone reaches the plug-in and the host, inside a gesture of its own. A
// menu dismissed (Escape, a click outside) or closed on the entry already ticked sends nothing.
class IMyPopupMenu : public IControl {
  public:
    // paramIdx must name a parameter of plug (its display texts become the menu).
    IMyPopupMenu(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;
    bool PressIsGesture() const override { return false; }

    IPopupMenu* GetMenu() { return &mMenu; }

  protected:
    // The menu opened by a press ended: chosen as IGraphics::ShowPopupMenu gives it.
    void MenuClosed(IPopupMenu* chosen);

    IBitmap mBitmap;
    IRECT mBitmapRECT;
    int mMenuParamIdx;
    int mNumItems;
    IPopupMenu mMenu;
};
