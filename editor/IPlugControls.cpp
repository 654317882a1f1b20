#include "editor/IPlugControls.h"

#include <cstdio>
#include <cstring>

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

namespace {

IRECT FrameRect(int x, int y, const IBitmap* bitmap) {
    if (!bitmap) return IRECT(x, y, x, y);
    return IRECT(x, y, x + bitmap->FrameWidth(), y + bitmap->FrameHeight());
}

// The parameter's value truncated to an entry index. The value is read as it stands, without the
// plug-in mutex, so that a menu never waits for the audio thread (nor the audio thread for a menu).
int CurrentEntry(IPlugBase* plug, int paramIdx) {
    if (!plug) return -1;
    IParam* param = plug->GetParam(paramIdx);
    return param ? param->Int() : -1;
}

}  // namespace

IBitmapControlClick::IBitmapControlClick(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap,
                                         int messageIdx)
    : IBitmapControl(plug, x, y, paramIdx, bitmap), mMessageIdx(messageIdx) {}

void IBitmapControlClick::OnMouseDown(int, int, IMouseMod*) {
    if (mPlug) mPlug->OnParamChange(mMessageIdx);
}

void IBitmapControlClick::OnMouseDblClick(int, int, IMouseMod*) {}

IParameterButton::IParameterButton(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap,
                                   const IText* style, bool compactText, bool ratioLabel)
    : IKnobControl(plug, FrameRect(x, y, bitmap), paramIdx, kVertical, 4.0),
      mBitmap(bitmap ? *bitmap : IBitmap()),
      mBitmapRECT(mRECT),
      mRatioLabel(ratioLabel),
      mButtonParamIdx(paramIdx) {
    if (style) mText = *style;
    if (compactText) {
        mEntryRECT = IRECT(mRECT.L + 2, mRECT.T + 1, mRECT.R - 2, mRECT.B - 1);
    } else {
        mEntryRECT = IRECT(mRECT.L + 2, mRECT.T + 9, mRECT.R - 2, mRECT.B - 11);
    }
    mLabelRECT = mEntryRECT;
    mDisablePrompt = false;
    mTextEntryLength = 8;
}

void IParameterButton::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mod && mod->R) {
        IControl::OnMouseDown(x, y, mod);
    } else if (mod && mod->S) {
        const double def = mDefaultValue.Get();
        if (def >= 0.0) mValue = def;
        SetDirty(true);
    } else {
        OnMouseDrag(x, y, 0, 0, mod);
    }
}

void IParameterButton::OnMouseDblClick(int, int, IMouseMod*) {
    const IText saved = mText;
    mText.mSize = kPromptTextSize;
    mText.mCached = nullptr;
    PromptUserInput(&mEntryRECT);
    mText = saved;
}

bool IParameterButton::Draw(IGraphics* g) {
    g->DrawBitmap(&mBitmap, &mBitmapRECT, 1, &mBlend);
    if (!mPlug) return true;

    // The value is read once, as it stands: drawing never waits for the audio thread.
    IParam* param = mPlug->GetParam(mButtonParamIdx);
    if (!param) return true;
    const double value = param->Value();
    char text[IParam::kDisplaySize + 8] = "";
    param->GetDisplayForHost(value, false, text, true);
    if (!text[0]) return true;
    if (mRatioLabel) {
        if (value == param->GetMax()) {
            std::strcpy(text, "inf");
        } else {
            std::strcat(text, " : 1");
        }
    }
    return g->DrawIText(&mText, text, &mLabelRECT, false);
}

IMyPopupMenu::IMyPopupMenu(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap)
    : IControl(plug, FrameRect(x, y, bitmap), paramIdx),
      mBitmap(bitmap ? *bitmap : IBitmap()),
      mBitmapRECT(mRECT),
      mMenuParamIdx(paramIdx),
      mNumItems(0) {
    IParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    mNumItems = param->GetNDisplayTexts();
    for (int i = 0; i < mNumItems; ++i) mMenu.AddItem(param->GetDisplayTextAtIdx(i));
    mMenu.CheckItemAlone(param->Int());
}

void IMyPopupMenu::OnMouseDown(int, int, IMouseMod*) {
    mMenu.CheckItemAlone(CurrentEntry(mPlug, mMenuParamIdx));
    IGraphics* g = GetGUI();
    // The outcome may arrive after this call, from the editor's event path, while the menu stays open.
    if (g) {
        g->ShowPopupMenu(&mMenu, &mRECT, [this](IPopupMenu* chosen) { MenuClosed(chosen); });
    } else {
        MenuClosed(nullptr);
    }
}

void IMyPopupMenu::MenuClosed(IPopupMenu* chosen) {
    // Drawn again whatever the outcome, as the control of every prompt is.
    MarkDirty();
    Redraw();
    // A choice is compared with the parameter's entry as it is once the menu has closed, not with this
    // control's value: whatever set the parameter last (the host, a restored state, this menu) decides
    // what is already in force.
    const int i = chosen == &mMenu ? mMenu.GetChosenItemIdx() : -1;
    if (!mPlug || i < 0 || i >= mNumItems || i == CurrentEntry(mPlug, mMenuParamIdx)) return;
    mMenu.CheckItemAlone(i);
    // A one-entry selector has nowhere to move: it stays at 0.
    mValue = mNumItems > 1 ? static_cast<double>(i) / (mNumItems - 1) : 0.0;
    mPlug->BeginInformHostOfParamChange(mParamIdx);
    SetDirty(true);
    mPlug->EndInformHostOfParamChange(mParamIdx);
}

bool IMyPopupMenu::Draw(IGraphics* g) {
    const int frame = IBitmapControl::FrameForValue(mBitmap.N, mValue.Get());
    return g->DrawBitmap(&mBitmap, &mBitmapRECT, frame, &mBlend);
}
