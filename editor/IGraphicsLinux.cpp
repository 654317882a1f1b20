#include "editor/IGraphicsLinux.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "editor/DeferredImage.h"
#include "editor/HeadlessTextField.h"
#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/KeyTable.h"
#include "editor/ModulePath.h"

#ifndef QUENLIX_RESOURCE_DIR
#define QUENLIX_RESOURCE_DIR ""
#endif

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && home[0] ? std::string(home) : std::string("/");
}

}  // namespace

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int w, int h, int fps) : IGraphics(plug, w, h, fps) {}

IGraphicsLinux::~IGraphicsLinux() = default;

void IGraphicsLinux::ForceEndUserEdit() {
    EndTextEntry(false);
}

void IGraphicsLinux::Resize(int w, int h) {
    if (w == Width() && h == Height()) return;
    EndTextEntry(false);
    DropMenu();
    IGraphics::Resize(w, h);
}

void IGraphicsLinux::HostPath(WDL_String* path) {
    const std::string module = modulepath::ModuleFilePath();
    if (path && !module.empty()) path->Set(module.c_str());
}

void IGraphicsLinux::PluginPath(WDL_String* path) {
    // The bundle is the folder that holds the module; the plug-in's path is the folder holding that.
    const std::string module = modulepath::ModuleFilePath();
    if (path && !module.empty())
        path->Set((modulepath::DirectoryOf(modulepath::DirectoryOf(module)) + "/").c_str());
}

void IGraphicsLinux::DesktopPath(WDL_String* path) {
    if (path) path->Set((HomeFolder() + "/Desktop").c_str());
}

void IGraphicsLinux::AppSupportPath(WDL_String* path) {
    if (path) path->Set((HomeFolder() + "/.local/share").c_str());
}

void IGraphicsLinux::PromptForFile(WDL_String* file, EFileAction, WDL_String*, char*) {
    if (file) file->Set("");
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str,
                                     IParam* param) {
    if (!WindowIsOpen() || mTextField || !control || !r) return;
    const IText style = text ? *text : IText();
    mTextField =
        std::make_unique<HeadlessTextField>(control, param, *r, style, str, control->GetTextEntryLength());
    TextEntryOpened();
}

void IGraphicsLinux::EndTextEntry(bool apply) {
    if (!mTextField) return;
    std::unique_ptr<HeadlessTextField> field = std::move(mTextField);
    TextEntryClosed();
    if (!apply) return;
    const std::string text = field->GetTextToApply();
    if (field->GetParam()) {
        SetFromStringAfterPrompt(field->GetControl(), field->GetParam(), text.c_str());
    } else {
        field->GetControl()->TextFromTextEntry(text.c_str());
    }
}

void IGraphicsLinux::ShowPopupMenu(IPopupMenu* menu, IRECT* r, PopupMenuDone done) {
    ReleaseMouseCapture();
    if (!WindowIsOpen() || mMenu || !menu || !r || menu->GetNItems() == 0 || !OpenMenuWindow(menu, *r)) {
        if (done) done(nullptr);
        return;
    }
    mMenu = menu;
    mMenuDone = std::move(done);
}

void IGraphicsLinux::EndMenu(int chosen) {
    if (!mMenu) return;
    IPopupMenu* menu = mMenu;
    PopupMenuDone done = std::move(mMenuDone);
    mMenu = nullptr;
    mMenuDone = nullptr;
    CloseMenuWindow();
    const IPopupMenuItem* item = menu->GetItem(chosen);
    IPopupMenu* result = nullptr;
    if (item && item->IsChoosable()) {
        menu->SetChosenItemIdx(chosen);
        result = menu;
    }
    if (done) done(result);
}

void IGraphicsLinux::DropMenu() {
    if (!mMenu) return;
    mMenu = nullptr;
    mMenuDone = nullptr;
    CloseMenuWindow();
}

LICE_IBitmap* IGraphicsLinux::OSLoadBitmap(int, const char* name) {
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
    // Only the size now; the pixels when the image is first drawn.
    return DeferredImage::Open(path);
}

bool IGraphicsLinux::HandleMouseDown(int x, int y, IMouseMod mod, int clickCount) {
    if (!WindowIsOpen()) return false;
    if (mMenu) return true;  // the menu has the user's attention
    if (mTextField) {
        // A click on the field belongs to the field; anywhere else it applies the typed text first.
        if (mTextField->GetRect().Contains(x, y)) return true;
        EndTextEntry(true);
    }
    if (mod.R && mod.C && GetParamIdxForPTAutomation(x, y) >= 0) return false;
    if (clickCount >= 2) {
        OnMouseDblClick(x, y, &mod);
    } else {
        OnMouseDown(x, y, &mod);
    }
    return true;
}

void IGraphicsLinux::HandleMouseUp(int x, int y, IMouseMod mod) {
    if (!WindowIsOpen() || mMenu) return;
    OnMouseUp(x, y, &mod);
}

void IGraphicsLinux::HandleMouseMoved(int x, int y, IMouseMod mod) {
    if (!WindowIsOpen() || mMenu) return;
    SetLastPointer(x, y);
    OnMouseOver(x, y, &mod);
}

void IGraphicsLinux::HandleMouseDragged(int x, int y, IMouseMod mod) {
    if (!WindowIsOpen() || mMenu || mTextField) return;
    OnMouseDrag(x, y, &mod);
}

void IGraphicsLinux::HandleMouseWheel(int x, int y, IMouseMod mod, int delta) {
    if (!WindowIsOpen() || mMenu) return;
    EndTextEntry(false);
    OnMouseWheel(x, y, &mod, delta);
}

bool IGraphicsLinux::HandleKey(int keyCode, int character) {
    if (!WindowIsOpen()) return false;
    if (mMenu) return true;
    if (mTextField) {
        switch (mTextField->Key(keyCode, character)) {
            case HeadlessTextField::kApply:
                EndTextEntry(true);
                break;
            case HeadlessTextField::kCancel:
                EndTextEntry(false);
                break;
            case HeadlessTextField::kInserted:
            case HeadlessTextField::kEdited:
                TextEntryChanged();
                break;
            case HeadlessTextField::kRefused:
                break;
        }
        return true;
    }
    const int key = MapPlatformKey(keyCode, character);
    if (key < 0) return false;
    return OnKeyDown(mPrevX, mPrevY, key);
}
