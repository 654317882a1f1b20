#include "editor/IGraphicsHeadless.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/HeadlessResponder.h"
#include "editor/HeadlessTextField.h"
#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/KeyTable.h"
#include "editor/ModulePath.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/PNG.h"

#ifndef QUENLIX_RESOURCE_DIR
#define QUENLIX_RESOURCE_DIR ""
#endif

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && home[0] ? std::string(home) : std::string("/");
}

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

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps) : IGraphics(plug, w, h, fps) {}

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
    // it the raster may hold paint that was never meant to be shown (the background panel fills the
    // whole editor on every draw, but only the controls meeting the area are drawn over it).
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

void IGraphicsHeadless::ForceEndUserEdit() {
    EndTextEntry(false);
}

void IGraphicsHeadless::Resize(int w, int h) {
    if (w == Width() && h == Height()) return;
    EndTextEntry(false);
    IGraphics::Resize(w, h);
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

    // Walk the path; only an enabled, ordinary item (not a separator, title or submenu holder) can be
    // chosen, as in a native menu.
    IPopupMenu* current = menu;
    for (size_t k = 0; k < path.size(); ++k) {
        IPopupMenuItem* item = current->GetItem(path[k]);
        if (!item) return nullptr;
        if (k + 1 < path.size()) {
            if (!item->GetSubmenu()) return nullptr;
            current = item->GetSubmenu();
            continue;
        }
        if (item->GetSubmenu() || item->GetIsSeparator() || item->GetIsTitle() || !item->GetEnabled())
            return nullptr;
        current->SetChosenItemIdx(path[k]);
        return current;
    }
    return nullptr;
}

void IGraphicsHeadless::CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str,
                                        IParam* param) {
    if (!mWindow || mTextField || !control || !r) return;
    const IText style = text ? *text : IText();
    mTextField =
        std::make_unique<HeadlessTextField>(control, param, *r, style, str, control->GetTextEntryLength());
    mTextScriptPending = true;
}

void IGraphicsHeadless::EndTextEntry(bool apply) {
    if (!mTextField) return;
    std::unique_ptr<HeadlessTextField> field = std::move(mTextField);
    mTextScriptPending = false;
    if (!apply) return;
    const std::string text = field->GetTextToApply();
    if (field->GetParam()) {
        SetFromStringAfterPrompt(field->GetControl(), field->GetParam(), text.c_str());
    } else {
        field->GetControl()->TextFromTextEntry(text.c_str());
    }
}

void IGraphicsHeadless::RunTextScript() {
    mTextScriptPending = false;
    if (!mTextField || !mResponder) return;
    const HeadlessTextScript script =
        mResponder->TypeIntoField(mTextField->GetText().c_str(), mTextField->GetRect());
    const HeadlessTextField* field = mTextField.get();
    size_t pos = 0;
    while (pos < script.keys.size() && mTextField.get() == field) {
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
    if (mTextField.get() != field) return;
    if (script.end == HeadlessTextScript::kClickElsewhere) EndTextEntry(true);
    if (script.end == HeadlessTextScript::kCancel) EndTextEntry(false);
}

void IGraphicsHeadless::HostPath(WDL_String* path) {
    const std::string module = modulepath::ModuleFilePath();
    if (path && !module.empty()) path->Set(module.c_str());
}

void IGraphicsHeadless::PluginPath(WDL_String* path) {
    // The bundle is the folder that holds the module; the plug-in's path is the folder holding that.
    const std::string module = modulepath::ModuleFilePath();
    if (path && !module.empty())
        path->Set((modulepath::DirectoryOf(modulepath::DirectoryOf(module)) + "/").c_str());
}

void IGraphicsHeadless::DesktopPath(WDL_String* path) {
    if (path) path->Set((HomeFolder() + "/Desktop").c_str());
}

void IGraphicsHeadless::AppSupportPath(WDL_String* path) {
    if (path) path->Set((HomeFolder() + "/.local/share").c_str());
}

void IGraphicsHeadless::PromptForFile(WDL_String* file, EFileAction, WDL_String*, char*) {
    if (file) file->Set("");
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

LICE_IBitmap* IGraphicsHeadless::OSLoadBitmap(int, const char* name) {
    if (!name) return nullptr;
    const char* dot = std::strrchr(name, '.');
    if (!dot || strcasecmp(dot + 1, "png") != 0) return nullptr;
    const char* slash = std::strrchr(name, '/');
    const char* base = slash ? slash + 1 : name;
    if (base >= dot) return nullptr;
    const std::string stem(base, static_cast<size_t>(dot - base));
    std::string path;
    if (!modulepath::FindResource(stem + ".png", mResourceFolder, QUENLIX_RESOURCE_DIR, &path))
        return nullptr;
    return LICE_LoadPNG(path.c_str());
}

bool IGraphicsHeadless::Tick() {
    if (!mWindow) return false;
    if (mTextScriptPending) RunTextScript();
    IRECT r;
    if (!IsDirty(&r)) return false;
    Draw(&r);
    return true;
}

bool IGraphicsHeadless::MouseDown(int x, int y, const HeadlessMouse& m, int clickCount) {
    if (!mWindow) return false;
    if (mTextField) {
        // A click on the field belongs to the field; anywhere else it applies the typed text first.
        if (mTextField->GetRect().Contains(x, y)) return true;
        EndTextEntry(true);
    }
    IMouseMod mod = MakeMod(m);
    if (mod.R && mod.C && GetParamIdxForPTAutomation(x, y) >= 0) return false;
    if (clickCount >= 2) {
        OnMouseDblClick(x, y, &mod);
    } else {
        OnMouseDown(x, y, &mod);
    }
    return true;
}

void IGraphicsHeadless::MouseUp(int x, int y, const HeadlessMouse& m) {
    if (!mWindow) return;
    IMouseMod mod = MakeMod(m);
    OnMouseUp(x, y, &mod);
}

void IGraphicsHeadless::MouseMoved(int x, int y, const HeadlessMouse& m) {
    if (!mWindow) return;
    mWindow->mPrevX = x;
    mWindow->mPrevY = y;
    IMouseMod mod = MakeMod(m);
    OnMouseOver(x, y, &mod);
}

void IGraphicsHeadless::MouseDragged(int x, int y, const HeadlessMouse& m) {
    if (!mWindow || mTextField) return;
    IMouseMod mod = MakeMod(m);
    OnMouseDrag(x, y, &mod);
}

void IGraphicsHeadless::MouseWheel(int x, int y, int delta, const HeadlessMouse& m) {
    if (!mWindow) return;
    EndTextEntry(false);
    IMouseMod mod = MakeMod(m);
    OnMouseWheel(x, y, &mod, delta);
}

bool IGraphicsHeadless::KeyDown(int keyCode, int character) {
    if (!mWindow) return false;
    if (mTextField) {
        if (mTextField->Key(keyCode, character) == HeadlessTextField::kApply) EndTextEntry(true);
        return true;
    }
    const int key = MapPlatformKey(keyCode, character);
    if (key < 0) return false;
    return OnKeyDown(mWindow->mPrevX, mWindow->mPrevY, key);
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
