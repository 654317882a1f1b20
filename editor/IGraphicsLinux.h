// What the Linux window-system bindings (the headless one and the X11 one) do alike: finding the
// plug-in's images beside the module that contains the editor, the paths, and the responder logic of
// text fields and menus: one edit field at a time with the editor's character filters and length
// limit, the rules for a click, a wheel turn or focus loss while it is open, the key table, which
// menu items a user can choose, and one event-driven menu at a time whose outcome reaches the control
// when the user is done. Each binding adds only its screen, its event source, and how a menu and a
// field are shown.
//
// Everything here runs on the UI thread (the thread that owns the window, runs its timer and delivers
// its events), except what IGraphics allows from the plug-in side.
#pragma once

#include <memory>
#include <string>

#include "editor/IGraphics.h"

class HeadlessTextField;

class IGraphicsLinux : public IGraphics {
  public:
    IGraphicsLinux(IPlugBase* plug, int w, int h, int fps);
    ~IGraphicsLinux() override;

    // Construction: the plug-in's identifier (kept for paths; images are found by folder).
    void SetBundleID(const char* id) { mBundleID.Set(id); }
    const char* GetBundleID() const { return mBundleID.Get(); }
    // The folder holding the plug-in's images; only that folder is searched. Without one, the images
    // are looked for in "resources/img" beside the loaded object that contains the editor's code (the
    // plug-in module, wherever it was loaded from, or the program it is linked into), then beside the
    // executable or one or two folders above it, and last in the "resources/img" folder of the source
    // tree this program was built from.
    void SetResourceFolder(const char* dir) { mResourceFolder = dir ? dir : ""; }
    // The scale a window of a binding with a screen is drawn at (IGraphics::SetScale), taken when it
    // opens: a host's or a user's choice; 0 (the default) lets the binding ask the desktop. UI thread.
    void SetRequestedScale(double scale) { mRequestedScale = scale; }
    double GetRequestedScale() const { return mRequestedScale; }

    // ---- IGraphics ----
    void ForceEndUserEdit() override;
    void Resize(int w, int h) override;
    // The file of the module that contains the editor (modulepath::ModuleFilePath), and the folder
    // holding that module's bundle folder, followed by "/". Unchanged when the loader cannot say.
    void HostPath(WDL_String* path) override;
    void PluginPath(WDL_String* path) override;
    void DesktopPath(WDL_String* path) override;
    void AppSupportPath(WDL_String* path) override;
    // No file panels: the file is emptied (as for a cancelled panel).
    void PromptForFile(WDL_String* file, EFileAction action, WDL_String* dir, char* extensions) override;
    bool PromptForColor(IColor* color, char* prompt) override {
        (void)color, (void)prompt;
        return false;
    }
    // Opens a field when a window is open, no field is open and control is not null.
    void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) override;
    void UpdateTooltips() override {}
    // name must end in ".png" (any case); the file <stem>.png is read from the first resource folder
    // (see SetResourceFolder) that has it: its header now, its pixels when first drawn (DeferredImage).
    LICE_IBitmap* OSLoadBitmap(int ID, const char* name) override;

    // ---- The timer ----
    // One tick of the window's timer at FPS(): the binding's pending work (events, scripts), then
    // IsDirty and, when something is dirty, Draw of that area. True when it drew. Nothing while closed.
    virtual bool Tick() = 0;

    // ---- Menus ----
    // Shows the menu through the binding (OpenMenuWindow) and returns at once: the menu is served by
    // the same event path as the editor, and done gets the outcome when the binding calls EndMenu.
    // Dismissed at once (done with null) when no window is open, a menu is already open or the binding
    // cannot show it. While a menu is open the editor takes no input of its own.
    void ShowPopupMenu(IPopupMenu* menu, IRECT* r, PopupMenuDone done) override;
    bool MenuOpen() const { return mMenu != nullptr; }

    bool TextEntryOpen() const { return mTextField != nullptr; }
    // The open field, or null.
    const HeadlessTextField* GetTextField() const { return mTextField.get(); }

  protected:
    // ---- Events as both bindings deliver them (editor coordinates) ----
    // A press; clickCount 2 or more is a double click. While a field is open a press on it belongs to
    // the field (true, nothing else happens) and a press elsewhere applies it first. Returns false when
    // the event goes to the host instead (right and control held over a parameter control: automation).
    bool HandleMouseDown(int x, int y, IMouseMod mod, int clickCount);
    void HandleMouseUp(int x, int y, IMouseMod mod);
    // Pointer motion without a button: remembered for keys, then mouse-over.
    void HandleMouseMoved(int x, int y, IMouseMod mod);
    // Drags are not delivered while a field is open.
    void HandleMouseDragged(int x, int y, IMouseMod mod);
    // A wheel turn discards an open field first.
    void HandleMouseWheel(int x, int y, IMouseMod mod, int delta);
    // A key: goes to an open field (Return or Enter apply it, Escape discards it), otherwise through
    // the key table to the editor at the last pointer position. False when nobody took it.
    bool HandleKey(int keyCode, int character);

    // Closes the field; with apply the text goes to the parameter (or the control without one).
    void EndTextEntry(bool apply);
    // The open menu ended with its top-level item `chosen` (-1: dismissed; an item no user could choose
    // counts as dismissed): the binding's menu window is removed, then the outcome reaches the caller
    // of ShowPopupMenu (the menu with its chosen index set, or null).
    void EndMenu(int chosen);
    // Removes an open menu's window; its outcome is never delivered (the controls that asked for it are
    // being rebuilt or deleted).
    void DropMenu();
    HeadlessTextField* TextField() { return mTextField.get(); }
    void SetLastPointer(int x, int y) { mPrevX = x, mPrevY = y; }

    // Hooks for the binding: a field was opened (shown at its rectangle) or closed; its text or caret
    // changed after a key.
    virtual void TextEntryOpened() {}
    virtual void TextEntryClosed() {}
    virtual void TextEntryChanged() {}
    // Hooks for a binding with event-driven menus: show `menu` below r, its events then served by the
    // binding's event path, which calls EndMenu (false when it cannot be shown); remove its window.
    virtual bool OpenMenuWindow(IPopupMenu* menu, const IRECT& r) {
        (void)menu, (void)r;
        return false;
    }
    virtual void CloseMenuWindow() {}

  private:
    WDL_String mBundleID;
    std::string mResourceFolder;
    double mRequestedScale = 0.0;
    std::unique_ptr<HeadlessTextField> mTextField;
    IPopupMenu* mMenu = nullptr;  // the open menu (not owned)
    PopupMenuDone mMenuDone;
    int mPrevX = 0, mPrevY = 0;
};
