// The headless window-system binding: an editor "window" without a screen. Its owner ticks the timer,
// injects mouse, wheel and key events (platform key codes, mapped by the editor's key table), and reads
// the framebuffer that DrawScreen fills, which can be written to a PNG file. Menus, text fields and
// message boxes are answered by a responder (a test or a script). Images are PNG files found by name in
// the plug-in's resource folder.
//
// Everything here runs on the UI thread (the thread that owns the window and calls Tick and the event
// functions), except what IGraphics allows from the plug-in side.
#pragma once

#include <memory>
#include <string>

#include "editor/IGraphics.h"

class HeadlessTextField;
class IHeadlessResponder;
class LICE_MemBitmap;

// Buttons and modifier keys of an injected mouse event.
struct HeadlessMouse {
    bool secondary = false;  // right button
    bool shift = false;
    bool control = false;
    bool option = false;
    bool command = false;
};

class IGraphicsHeadless : public IGraphics {
  public:
    IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps = 0);
    ~IGraphicsHeadless() override;

    // Construction: the plug-in's identifier (kept for paths; images are found by folder).
    void SetBundleID(const char* id) { mBundleID.Set(id); }
    const char* GetBundleID() const { return mBundleID.Get(); }
    // The folder holding the plug-in's images; only that folder is searched. Without one, the images
    // are looked for in "resources/img" beside the loaded object that contains the editor's code (the
    // plug-in module, wherever it was loaded from, or the program it is linked into), then beside the
    // executable or one or two folders above it, and last in the "resources/img" folder of the source
    // tree this program was built from.
    void SetResourceFolder(const char* dir) { mResourceFolder = dir ? dir : ""; }
    // Not owned; null dismisses menus, leaves text fields open and answers message boxes with 1.
    void SetResponder(IHeadlessResponder* responder) { mResponder = responder; }

    // ---- IGraphics ----
    // Copies the whole off-screen raster into the framebuffer; false while no window is open.
    bool DrawScreen(IRECT* r) override;
    void ForceEndUserEdit() override;
    void Resize(int w, int h) override;
    bool WindowIsOpen() override;
    const char* GetGUIAPI() override { return "Headless GUI"; }
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override;
    // Opens a field when a window is open, no field is open and control is not null.
    void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) override;
    // The file of the module that contains the editor (modulepath::ModuleFilePath), and the folder
    // holding that module's bundle folder, followed by "/". Unchanged when the loader cannot say.
    void HostPath(WDL_String* path) override;
    void PluginPath(WDL_String* path) override;
    void DesktopPath(WDL_String* path) override;
    void AppSupportPath(WDL_String* path) override;
    // No file panels here: the file is emptied (as for a cancelled panel).
    void PromptForFile(WDL_String* file, EFileAction action, WDL_String* dir, char* extensions) override;
    bool PromptForColor(IColor* color, char* prompt) override {
        (void)color, (void)prompt;
        return false;
    }
    bool OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                 const char* errMsgOnFailure) override;
    // Both forms close an open window first and open a new one; parentView / window are remembered
    // but not used.
    void* OpenWindow(void* parentView) override;
    void* OpenWindow(void* window, void* control, short leftOffset = 0, short topOffset = 0) override;
    // Closes an open text field without applying it, then the window. The editor stays usable.
    void CloseWindow() override;
    void* GetWindow() override;
    void UpdateTooltips() override {}
    // name must end in ".png" (any case); the file <stem>.png is read from the first resource folder
    // (see SetResourceFolder) that has it.
    LICE_IBitmap* OSLoadBitmap(int ID, const char* name) override;

    // ---- Timer ----
    // One tick of the window's timer: runs the responder's script for a newly opened text field, then
    // IsDirty and, when something is dirty, Draw of that area. True when it drew. Nothing while closed.
    bool Tick();

    // ---- Injected events (editor coordinates) ----
    // A press with clickCount 2 or more is a double click. Returns false when the event went to the
    // host instead (control + command-or-right click over a parameter control: automation).
    bool MouseDown(int x, int y, const HeadlessMouse& m = HeadlessMouse(), int clickCount = 1);
    void MouseUp(int x, int y, const HeadlessMouse& m = HeadlessMouse());
    void MouseMoved(int x, int y, const HeadlessMouse& m = HeadlessMouse());
    void MouseDragged(int x, int y, const HeadlessMouse& m = HeadlessMouse());
    void MouseWheel(int x, int y, int delta, const HeadlessMouse& m = HeadlessMouse());
    // A key press: goes to an open text field, otherwise through the key table to the editor at the
    // last mouse-moved position. False when nobody took it (the host would get it).
    bool KeyDown(int keyCode, int character);
    // The window lost focus: an open text field is discarded.
    void Deactivate();

    // ---- What a test or script looks at ----
    // The screen: mWidth x mHeight pixels, alpha 255 (the raster's alpha byte is not shown).
    const LICE_IBitmap* GetFramebuffer() const;
    bool WriteScreenPNG(const char* path, std::string* error = nullptr) const;
    int ScreenUpdates() const { return mScreenUpdates; }
    bool TextEntryOpen() const { return mTextField != nullptr; }
    // The open field, or null.
    const HeadlessTextField* GetTextField() const { return mTextField.get(); }

  private:
    struct Window {
        void* mParent = nullptr;
        short mLeftOffset = 0, mTopOffset = 0;
        int mPrevX = 0, mPrevY = 0;
    };

    IMouseMod MakeMod(const HeadlessMouse& m) const;
    // Closes the field; with apply the text goes to the parameter (or the control without one).
    void EndTextEntry(bool apply);
    void RunTextScript();

    WDL_String mBundleID;
    std::string mResourceFolder;
    IHeadlessResponder* mResponder = nullptr;
    std::unique_ptr<Window> mWindow;
    std::unique_ptr<LICE_MemBitmap> mScreen;
    std::unique_ptr<HeadlessTextField> mTextField;
    bool mTextScriptPending = false;
    int mScreenUpdates = 0;
};
