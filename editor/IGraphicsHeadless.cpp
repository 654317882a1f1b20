#include "editor/IGraphicsHeadless.h"

#include <algorithm>
#include <vector>

#include "editor/DirtyAreas.h"
#include "editor/HeadlessResponder.h"
#include "editor/HeadlessTextField.h"
#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/KeyTable.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/PNG.h"

namespace {

// Decodes the next UTF-8 character of s at *pos (a malformed byte is taken as it stands).
int NextCodePoint(const std::string& s, size_t* pos) {
    const unsigned char c = static_cast<unsigned char>(s[(*pos)++]);
    int extra = 0, cp = c;
    if ((c & 0xE0u) == 0xC0u) {
        extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0u) == 0xE0u) {
        extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8u) == 0xF0u) {
        extra = 3, cp = c & 0x07;
    }
    for (; extra > 0 && *pos < s.size(); --extra) {
        const unsigned char k = static_cast<unsigned char>(s[*pos]);
        if ((k & 0xC0u) != 0x80u) break;
        cp = (cp << 6) | (k & 0x3F);
        ++*pos;
    }
    return cp;
}

}  // namespace

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps)
    : IGraphicsLinux(plug, w, h, fps) {}

IGraphicsHeadless::~IGraphicsHeadless() {
    CloseWindow();
}

IMouseMod IGraphicsHeadless::MakeMod(const HeadlessMouse& m) const {
    return IMouseMod(true, m.secondary || m.command, m.shift, m.control, m.option);
}

bool IGraphicsHeadless::DrawScreen(IRECT* r) {
    if (!mWindow) return false;
    LICE_IBitmap* raster = GetDrawBitmap();
    if (!raster) return false;
    if (!mScreen) mScreen = std::make_unique<LICE_MemBitmap>();
    const int w = raster->getWidth(), h = raster->getHeight();
    bool fresh = false;
    if (mScreen->getWidth() != w || mScreen->getHeight() != h) {
        mScreen->resize(w, h);
        fresh = true;
    }
    // Like a real window system, the screen takes only the area invalidated for this draw: outside
    // it the raster may hold paint that was never meant to be shown (a text drawn for one area reaches
    // past it, over controls not drawn again).
    int L = 0, T = 0, R = w, B = h;
    if (r && !r->Empty() && !fresh) {
        L = std::max(r->L, 0);
        T = std::max(r->T, 0);
        R = std::min(r->R, w);
        B = std::min(r->B, h);
    }
    if (R > L && B > T) {
        LICE_Blit(mScreen.get(), raster, L, T, L, T, R - L, B - T, 1.0f, LICE_BLIT_MODE_CLOBBER);
        // The screen shows colour only: the raster's alpha byte is ignored.
        LICE_pixel* bits = mScreen->getBits();
        for (int y = T; y < B; ++y)
            for (int x = L; x < R; ++x) bits[y * mScreen->getRowSpan() + x] |= 0xFFu;
    }
    ++mScreenUpdates;
    return true;
}

void IGraphicsHeadless::Resize(int w, int h) {
    if (w == Width() && h == Height()) return;
    IGraphicsLinux::Resize(w, h);
    mScreen.reset();
}

bool IGraphicsHeadless::WindowIsOpen() {
    return mWindow != nullptr;
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
    return mResponder ? mResponder->AnswerMessageBox(text, caption, type) : kIDOK;
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, IRECT* r) {
    ReleaseMouseCapture();
    if (!menu || !r || !mResponder) return nullptr;
    const std::vector<int> path = mResponder->ChooseFromMenu(*menu, *r);
    if (path.empty()) return nullptr;

    // Walk the path; only an item a user could choose in a native menu can be chosen.
    IPopupMenu* current = menu;
    for (size_t k = 0; k < path.size(); ++k) {
        IPopupMenuItem* item = current->GetItem(path[k]);
        if (!item) return nullptr;
        if (k + 1 < path.size()) {
            if (!item->GetSubmenu()) return nullptr;
            current = item->GetSubmenu();
            continue;
        }
        if (!item->IsChoosable()) return nullptr;
        current->SetChosenItemIdx(path[k]);
        return current;
    }
    return nullptr;
}

void IGraphicsHeadless::RunTextScript() {
    mTextScriptPending = false;
    const HeadlessTextField* field = GetTextField();
    if (!field || !mResponder) return;
    const HeadlessTextScript script = mResponder->TypeIntoField(field->GetText().c_str(), field->GetRect());
    size_t pos = 0;
    while (pos < script.keys.size() && GetTextField() == field) {
        const int character = NextCodePoint(script.keys, &pos);
        int keyCode = 0;
        switch (character) {
            case kChar_LeftArrow:
                keyCode = kVK_LeftArrow;
                break;
            case kChar_RightArrow:
                keyCode = kVK_RightArrow;
                break;
            case kChar_UpArrow:
                keyCode = kVK_UpArrow;
                break;
            case kChar_DownArrow:
                keyCode = kVK_DownArrow;
                break;
            default:
                break;
        }
        KeyDown(keyCode, character);
    }
    if (GetTextField() != field) return;
    if (script.end == HeadlessTextScript::kClickElsewhere) EndTextEntry(true);
    if (script.end == HeadlessTextScript::kCancel) EndTextEntry(false);
}

bool IGraphicsHeadless::OpenURL(const char*, const char*, const char*, const char*) {
    return false;
}

void* IGraphicsHeadless::OpenWindow(void* parentView) {
    CloseWindow();
    mWindow = std::make_unique<Window>();
    mWindow->mParent = parentView;
    return mWindow.get();
}

void* IGraphicsHeadless::OpenWindow(void* window, void*, short leftOffset, short topOffset) {
    CloseWindow();
    mWindow = std::make_unique<Window>();
    mWindow->mParent = window;
    mWindow->mLeftOffset = leftOffset;
    mWindow->mTopOffset = topOffset;
    return mWindow.get();
}

void IGraphicsHeadless::CloseWindow() {
    EndTextEntry(false);
    mWindow.reset();
}

void* IGraphicsHeadless::GetWindow() {
    return mWindow.get();
}

bool IGraphicsHeadless::Tick() {
    if (!mWindow) return false;
    if (mTextScriptPending) RunTextScript();
    DirtyAreas areas;
    if (!CollectDirtyAreas(&areas)) return false;
    DrawAreas(areas);
    return true;
}

bool IGraphicsHeadless::MouseDown(int x, int y, const HeadlessMouse& m, int clickCount) {
    return HandleMouseDown(x, y, MakeMod(m), clickCount);
}

void IGraphicsHeadless::MouseUp(int x, int y, const HeadlessMouse& m) {
    HandleMouseUp(x, y, MakeMod(m));
}

void IGraphicsHeadless::MouseMoved(int x, int y, const HeadlessMouse& m) {
    HandleMouseMoved(x, y, MakeMod(m));
}

void IGraphicsHeadless::MouseDragged(int x, int y, const HeadlessMouse& m) {
    HandleMouseDragged(x, y, MakeMod(m));
}

void IGraphicsHeadless::MouseWheel(int x, int y, int delta, const HeadlessMouse& m) {
    HandleMouseWheel(x, y, MakeMod(m), delta);
}

bool IGraphicsHeadless::KeyDown(int keyCode, int character) {
    return HandleKey(keyCode, character);
}

void IGraphicsHeadless::Deactivate() {
    EndTextEntry(false);
}

const LICE_IBitmap* IGraphicsHeadless::GetFramebuffer() const {
    return mScreen.get();
}

bool IGraphicsHeadless::WriteScreenPNG(const char* path, std::string* error) const {
    if (!mScreen) {
        if (error) *error = "nothing has been drawn yet";
        return false;
    }
    return LICE_WritePNG(path, mScreen.get(), false, error);
}
