// The framework's general controls: a colour panel, a bitmap strip showing the frame of its value, the
// vertical or horizontal drag knob, and a text read-out fed by the plug-in side. Threads as in
// editor/IControl.h.
#pragma once

#include "editor/IControl.h"
#include "editor/SharedText.h"

// Fills its rectangle with one colour.
class IPanelControl : public IControl {
  public:
    IPanelControl(IPlugBase* plug, IRECT rect, const IColor* color);
    bool Draw(IGraphics* g) override;

  protected:
    IColor mColor;
};

// Shows the frame of a bitmap strip that matches its value. Placed at (x, y), sized to one frame.
class IBitmapControl : public IControl {
  public:
    IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap,
                   int blendMethod = IChannelBlend::kBlendNone);
    bool Draw(IGraphics* g) override;

    // The 1-based frame of an n-frame strip for a value: trunc((n - 1) * value + 0.5) + 1, held
    // within 1..n (NaN and values below -0.5 / (n - 1) give 1). Strips of fewer than 2 frames give 1.
    static int FrameForValue(int n, double value);

  protected:
    IBitmap mBitmap;
};

// Turns vertical (or horizontal) drags into value changes: a drag over the full extent changes the
// value by 1 / gearing (ten times finer with control or shift).
class IKnobControl : public IControl {
  public:
    enum EDirection { kVertical = 0, kHorizontal = 1 };

    IKnobControl(IPlugBase* plug, IRECT rect, int paramIdx, int direction = kVertical, double gearing = 4.0);
    // UI thread.
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;

  protected:
    int mDirection;
    double mGearing;
};

// A text read-out. The plug-in side replaces the text; the UI thread takes the newest one when a draw
// cycle begins and draws that one until the next cycle.
class ITextControl : public IControl {
  public:
    // The style is copied whole (cached font included). Texts longer than SharedText::kCapacity - 1
    // bytes are cut.
    ITextControl(IPlugBase* plug, IRECT rect, const IText* style, const char* text);
    // UI thread.
    bool Draw(IGraphics* g) override;
    // UI thread: the box of the text it draws, measured with its style and widened by the ink a glyph
    // may put beside its advance (the text is not clipped to the rectangle, so a text wider than the
    // rectangle reaches past it). Empty for an empty text, or before the control is attached.
    IRECT GetDrawArea() override;
    // Any thread, one writer at a time (the plug-in mutex serialises them). When the text differs from
    // the current one it is stored and the control marked dirty; an equal text changes nothing.
    // Never allocates or blocks.
    void SetTextFromPlug(const char* text);
    // Writer side: the text last stored (what SetTextFromPlug compares with).
    const char* GetTextForPlug() const { return mStr.GetWritten(); }
    // UI thread: the text taken when the current draw cycle began (the initial one before the first).
    const char* GetTextForDraw() const { return mStr.Current(); }

  protected:
    void OnChangesCollected() override;

    SharedText mStr;

  private:
    IRECT mDrawArea;
    bool mDrawAreaKnown = false;
};
