// The single-line edit field of the headless window system: holds the typed text and filters every
// keystroke as the editor's text entry requires (characters allowed by the parameter's type, the
// control's length limit). UI thread only.
#pragma once

#include <algorithm>
#include <string>

#include "editor/IGraphicsStructs.h"

class IControl;
class IParam;

class HeadlessTextField {
  public:
    enum EKeyResult {
        kInserted,  // the character went into the text
        kEdited,    // an arrow, backspace or delete key moved the caret or removed text
        kRefused,   // filtered out (not allowed, or the text would grow past the limit)
        kApply,     // Return or Enter: the caller applies the text and closes the field
        kCancel,    // Escape: the caller closes the field without applying it
    };

    // The text starts fully selected, so the first typed character replaces it. maxLength <= 0 means
    // no limit; the limit counts characters (UTF-8 code points).
    HeadlessTextField(IControl* control, IParam* param, const IRECT& rect, const IText& style,
                      const char* text, int maxLength);

    // One key-down or key-repeat event: platform key code and the character it produced (a Unicode
    // code point; control characters for Return 13, Enter 3, Escape 27, backspace 8, forward delete
    // 127).
    EKeyResult Key(int keyCode, int character);

    // The text as applied: UTF-8, at most 31 bytes, never cut inside a character.
    std::string GetTextToApply() const;

    const std::string& GetText() const { return mText; }
    // The selection as byte offsets (lo <= hi); the caret is at the selection's moving end.
    size_t GetSelectionStart() const { return std::min(mSelStart, mSelEnd); }
    size_t GetSelectionEnd() const { return std::max(mSelStart, mSelEnd); }
    size_t GetCaret() const { return mSelEnd; }
    IControl* GetControl() const { return mControl; }
    IParam* GetParam() const { return mParam; }
    const IRECT& GetRect() const { return mRect; }
    const IText& GetStyle() const { return mStyle; }

    // Whether a character may be typed for a parameter: with a double parameter digits, "+", "-" and
    // "."; with a bool, int or enum parameter digits, "+" and "-"; without a parameter (or of type
    // none) any printable character.
    static bool CharacterAllowed(const IParam* param, int character);

    static constexpr int kMaxAppliedBytes = 31;

  private:
    void ReplaceSelection(const std::string& with);
    // Byte offset of the character boundary before / after pos.
    size_t PrevBoundary(size_t pos) const;
    size_t NextBoundary(size_t pos) const;

    IControl* mControl;
    IParam* mParam;
    IRECT mRect;
    IText mStyle;
    std::string mText;
    size_t mSelStart;  // byte offsets; the caret is at mSelEnd
    size_t mSelEnd;
    int mMaxLength;
};

// Number of UTF-8 code points in s.
int Utf8Length(const std::string& s);
