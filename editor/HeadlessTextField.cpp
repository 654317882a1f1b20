#include "editor/HeadlessTextField.h"

#include <algorithm>

#include "editor/KeyTable.h"
#include "framework/IParam.h"

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0u) == 0x80u;
}

std::string EncodeUtf8(int cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace

int Utf8Length(const std::string& s) {
    int n = 0;
    for (unsigned char c : s)
        if (!IsContinuation(c)) ++n;
    return n;
}

HeadlessTextField::HeadlessTextField(IControl* control, IParam* param, const IRECT& rect, const IText& style,
                                     const char* text, int maxLength)
    : mControl(control),
      mParam(param),
      mRect(rect),
      mStyle(style),
      mText(text ? text : ""),
      mSelStart(0),
      mSelEnd(mText.size()),
      mMaxLength(maxLength) {}

bool HeadlessTextField::CharacterAllowed(const IParam* param, int character) {
    const bool digitOrSign = (character >= '0' && character <= '9') || character == '+' || character == '-';
    const int type = param ? param->Type() : IParam::kTypeNone;
    switch (type) {
        case IParam::kTypeDouble:
            return digitOrSign || character == '.';
        case IParam::kTypeBool:
        case IParam::kTypeInt:
        case IParam::kTypeEnum:
            return digitOrSign;
        default:
            return character >= 0x20 && character != 0x7F && character <= 0x10FFFF;
    }
}

size_t HeadlessTextField::PrevBoundary(size_t pos) const {
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && IsContinuation(static_cast<unsigned char>(mText[pos]))) --pos;
    return pos;
}

size_t HeadlessTextField::NextBoundary(size_t pos) const {
    if (pos >= mText.size()) return mText.size();
    ++pos;
    while (pos < mText.size() && IsContinuation(static_cast<unsigned char>(mText[pos]))) ++pos;
    return pos;
}

void HeadlessTextField::ReplaceSelection(const std::string& with) {
    const size_t lo = std::min(mSelStart, mSelEnd);
    const size_t hi = std::max(mSelStart, mSelEnd);
    mText.replace(lo, hi - lo, with);
    mSelStart = mSelEnd = lo + with.size();
}

HeadlessTextField::EKeyResult HeadlessTextField::Key(int keyCode, int character) {
    if (character == kChar_Return || character == kChar_Enter) return kApply;
    if (character == kChar_Escape) return kCancel;

    const size_t lo = std::min(mSelStart, mSelEnd);
    const size_t hi = std::max(mSelStart, mSelEnd);
    if (keyCode == kVK_LeftArrow || keyCode == kVK_UpArrow) {
        mSelStart = mSelEnd = (lo != hi) ? lo : (keyCode == kVK_UpArrow ? 0 : PrevBoundary(lo));
        return kEdited;
    }
    if (keyCode == kVK_RightArrow || keyCode == kVK_DownArrow) {
        mSelStart = mSelEnd = (lo != hi) ? hi : (keyCode == kVK_DownArrow ? mText.size() : NextBoundary(hi));
        return kEdited;
    }
    if (character == kChar_Backspace || character == kChar_Delete) {
        if (lo == hi) {
            if (character == kChar_Backspace) {
                mSelStart = PrevBoundary(lo);
            } else {
                mSelEnd = NextBoundary(hi);
            }
        }
        ReplaceSelection(std::string());
        return kEdited;
    }

    if (!CharacterAllowed(mParam, character)) return kRefused;
    // The text may not grow past the limit; a character replacing a selection takes its place.
    const std::string selected = mText.substr(lo, hi - lo);
    if (mMaxLength > 0 && Utf8Length(mText) - Utf8Length(selected) + 1 > mMaxLength) return kRefused;
    ReplaceSelection(EncodeUtf8(character));
    return kInserted;
}

std::string HeadlessTextField::GetTextToApply() const {
    if (mText.size() <= static_cast<size_t>(kMaxAppliedBytes)) return mText;
    size_t n = kMaxAppliedBytes;
    while (n > 0 && IsContinuation(static_cast<unsigned char>(mText[n]))) --n;
    return mText.substr(0, n);
}
