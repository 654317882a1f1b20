// The headless window-system binding: an editor "window" without a screen. Its owner ticks the timer,
// injects mouse, wheel and key events (platform key codes, mapped by the editor's key table), and reads
// the framebuffer that DrawScreen fills, which can be written to a PNG file. Menus, text fields and
// message boxes are answered by a responder (a test or a script). Images, paths and the text field's
// rules are those of every Linux binding (IGraphicsLinux).
//
// Everything here runs on the UI thread (the thread that owns the window and calls Tick and the event
// functions), except what IGraphics allows from the plug-in side.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "editor/IGraphicsLinux.h"

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

class IGraphicsHeadless : public IGraphicsLinux {
  public:
    IGraphicsHeadless(IPlugBase* plug, int w, int h, int fps = 0);
    ~IGraphicsHeadless() override;

    // Not owned; null dismisses menus, leaves text fields open and answers message boxes with 1.
    void SetResponder(IHeadlessResponder* responder) { mResponder = responder; }

    // ---- IGraphics ----
    // Copies the whole off-screen raster into the framebuffer; false while no window is open.
    bool DrawScreen(IRECT* r) override;
    void Resize(int w, int h) override;
    bool WindowIsOpen() override;
    const char* GetGUIAPI() override { return "Headless GUI"; }
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override;
    // Menus here are answered at once by the responder: done runs before this returns.
    void ShowPopupMenu(IPopupMenu* menu, IRECT* r, PopupMenuDone done) override {
        IGraphics::ShowPopupMenu(menu, r, std::move(done));
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

    // ---- Timer ----
    // Runs the responder's script for a newly opened text field, then draws what is dirty.
    bool Tick() override;

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
    // The screen: ScreenWidth() x ScreenHeight() pixels (the editor at its scale), alpha 255 (the raster's
    // alpha byte is not shown).
    const LICE_IBitmap* GetFramebuffer() const;
    bool WriteScreenPNG(const char* path, std::string* error = nullptr) const;
    int ScreenUpdates() const { return mScreenUpdates; }

  protected:
    void TextEntryOpened() override { mTextScriptPending = true; }
    void TextEntryClosed() override { mTextScriptPending = false; }

  private:
    struct Window {
        void* mParent = nullptr;
        short mLeftOffset = 0, mTopOffset = 0;
    };

    IMouseMod MakeMod(const HeadlessMouse& m) const;
    void RunTextScript();

    IHeadlessResponder* mResponder = nullptr;
    std::unique_ptr<Window> mWindow;
    std::unique_ptr<LICE_MemBitmap> mScreen;
    bool mTextScriptPending = false;
    int mScreenUpdates = 0;
};
