// The platform-neutral editor: an ordered list of controls, an off-screen raster of the editor's size,
// dirty collection and drawing, and the routing of mouse and key events to controls. A window-system
// binding derives from it and supplies the pure operations (screen output, images, menus, text fields,
// windows) and drives it from a repeating timer.
//
// Threads.
// - UI thread (the window system's timer and event callbacks): input routing, IsDirty, Draw, the drawing
//   helpers, LoadIBitmap, CacheFont, prompts, Resize.
// - Plug-in side (audio thread or host threads, with the plug-in mutex held): SetParameterFromPlug,
//   SetControlFromPlug, SetTextFromPlug, HideControl, SetAllControlsDirty. These only store atomics and
//   texts in fixed buffers inside the controls; they never allocate, block or draw, and the UI thread
//   picks the changes up on its next tick.
// - Construction (the plug-in's constructor, before any processing or window): the constructor,
//   AttachControl, AttachPanelBackground, SetKeyCatcher. The control list does not change afterwards
//   (except through Resize, which holds the plug-in mutex while it rebuilds).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "editor/IGraphicsStructs.h"
#include "framework/IEditorLink.h"
#include "framework/WDL_Mutex.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"

class DirtyAreas;
class IControl;
class IParam;
class IPlugBase;
class IPopupMenu;
class LICE_IBitmap;
class LICE_IFont;
class LICE_MemBitmap;
class LICE_SysBitmap;

enum EFileAction { kFileOpen = 0, kFileSave = 1 };

class IGraphics : public IEditorLink {
  public:
    // Message box types and results.
    enum { kMB_OK = 0, kMB_OKCANCEL = 1, kMB_YESNOCANCEL = 3, kMB_YESNO = 4 };
    enum { kIDOK = 1, kIDCANCEL = 2, kIDNO = 7 };

    // fps <= 0 selects 25 frames per second. plug may be null (an editor without a plug-in).
    IGraphics(IPlugBase* plug, int w, int h, int fps = 0);
    // Deletes the key catcher, every control (last to first) and both rasters.
    ~IGraphics() override;
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // ---- Window-system operations ----
    // UI thread: puts the off-screen raster on screen; false when there is nothing to draw into.
    virtual bool DrawScreen(IRECT* r) = 0;
    virtual bool MeasureIText(IText* text, char* str, IRECT* destRect);
    // Closes an open text entry without applying it.
    virtual void ForceEndUserEdit() = 0;
    virtual void Resize(int w, int h);
    virtual bool WindowIsOpen();
    virtual const char* GetGUIAPI();
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    // Shows the menu at r and waits; returns the menu (top level or submenu) holding the chosen item,
    // with its chosen index set, or null when nothing was chosen. A binding whose menus are served by
    // the editor's own event path cannot wait: it shows the menu and returns null at once (see
    // ShowPopupMenu).
    virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) = 0;
    // How a shown menu ended: the menu holding the chosen item, as CreateIPopupMenu returns it, or null
    // when it was dismissed.
    using PopupMenuDone = std::function<void(IPopupMenu* chosen)>;
    // Shows the menu at r; done gets the outcome when the user is done. Here: CreateIPopupMenu, then
    // done before returning. A binding with event-driven menus returns at once and calls done later from
    // its event path, or never when the editor drops the menu (its controls being rebuilt, the editor
    // deleted). menu must live until then; done may be empty.
    virtual void ShowPopupMenu(IPopupMenu* menu, IRECT* r, PopupMenuDone done);
    // Opens a text field over r and returns at once; the result arrives through
    // SetFromStringAfterPrompt (with a parameter) or the control's TextFromTextEntry (without).
    virtual void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str,
                                 IParam* param) = 0;
    virtual void HostPath(WDL_String* path) = 0;
    virtual void PluginPath(WDL_String* path) = 0;
    virtual void DesktopPath(WDL_String* path) = 0;
    virtual void AppSupportPath(WDL_String* path) = 0;
    virtual void PromptForFile(WDL_String* file, EFileAction action, WDL_String* dir, char* extensions) = 0;
    virtual bool PromptForColor(IColor* color, char* prompt) = 0;
    virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr,
                         const char* confirmMsg = nullptr, const char* errMsgOnFailure = nullptr) = 0;
    virtual void* OpenWindow(void* parentView) = 0;
    virtual void* OpenWindow(void* window, void* control, short leftOffset = 0, short topOffset = 0);
    virtual void AttachSubWindow(void* hostWindow);
    virtual void RemoveSubWindow();
    virtual void CloseWindow() = 0;
    virtual void* GetWindow() = 0;
    virtual void HideMouseCursor() {}
    virtual void ShowMouseCursor() {}
    virtual void UpdateTooltips() = 0;
    // Decodes the image resource called name (a path ending in ".png"); null when it cannot.
    // The caller (the bitmap cache) owns the result.
    virtual LICE_IBitmap* OSLoadBitmap(int ID, const char* name) = 0;

    // ---- Construction ----
    // Appends c (the editor takes ownership) and returns its index. A null control is not added (-1).
    int AttachControl(IControl* c);
    // Inserts an opaque panel of this colour covering the whole editor at index 0; the colour also
    // becomes the editor's background colour.
    void AttachPanelBackground(const IColor* color);
    // What a window larger than the editor shows around it: the panel's colour, black without one.
    const IColor& GetBackgroundColor() const { return mBackgroundColor; }
    // Plug-in side: Hide(hide) on every control bound to the parameter paramIdx.
    void HideControl(int paramIdx, bool hide);
    // Plug-in side: GrayOut(gray) on every control bound to the parameter paramIdx.
    void GrayOutControl(int paramIdx, bool gray);
    // Readies the off-screen raster and the scratch raster, which are made at their first use (called by
    // the plug-in base, and by Resize).
    void PrepDraw() override;

    // ---- Values from the plug-in side (any thread, see above) ----
    // value is normalised when normalized is set, else converted with the parameter's GetNormalized.
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
    // An index outside the control list is ignored.
    void SetControlFromPlug(int controlIdx, double normalizedValue);
    // Replaces the text of the read-out at controlIdx; ignored when that control is not a read-out.
    void SetTextFromPlug(int controlIdx, const char* text);
    void SetAllControlsDirty();

    // ---- Drawing (UI thread) ----
    // A draw cycle: CollectDirtyAreas, then DrawAreas with what it collected.
    //
    // Begins a cycle: every control takes over what the plug-in side stored since the last one; areas
    // becomes the list of what must be drawn again (the areas dirty controls showed and will show,
    // joined where close). Hidden controls that show nothing add nothing (and are cleaned at once).
    // True when a visible control, or a hidden one that still shows, is dirty; the areas may then still
    // be empty (a dirty control without extent).
    bool CollectDirtyAreas(DirtyAreas* areas);
    // Each area in turn: the visible controls painting into it (by their GetDrawArea) are drawn in index
    // order into the off-screen raster, images and the background panel clipped to the area, and the
    // area is put on screen (DrawScreen). Then every control is cleaned. True when every DrawScreen
    // succeeded (or there are no controls).
    bool DrawAreas(const DirtyAreas& areas);
    // The cycle with the bounding box of the areas: r must be empty on entry and becomes that box.
    bool IsDirty(IRECT* r);
    // DrawAreas with the single area r.
    bool Draw(IRECT* r);
    // Frame (1-based) of a strip; the frame's pixels are blitted into dest, clipped to the draw area.
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame = 1, const IChannelBlend* blend = nullptr);
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend);
    // Fills r (not clipped to the draw area).
    bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
    // Draws str into r, or with measure set rewrites r to the text's box. False only when no font can
    // be had for the style.
    bool DrawIText(IText* text, char* str, IRECT* r, bool measure = false);
    // The font for a style from the process-wide font cache, created on first use; null on failure.
    LICE_IFont* CacheFont(IText* text);
    // The image for resource ID from the process-wide bitmap cache, decoded by OSLoadBitmap the first
    // time. A missing image gives a handle with null data and zero size.
    IBitmap LoadIBitmap(int ID, const char* name, int nStates = 1, bool framesAreHorizontal = false);

    // ---- Input (UI thread, editor coordinates) ----
    void OnMouseDown(int x, int y, IMouseMod* mod);
    void OnMouseUp(int x, int y, IMouseMod* mod);
    void OnMouseDrag(int x, int y, IMouseMod* mod);
    // True when the click started a capture (double-click-as-single-click controls).
    bool OnMouseDblClick(int x, int y, IMouseMod* mod);
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    bool OnMouseOver(int x, int y, IMouseMod* mod);
    void OnMouseOut();
    // True when a control (or the key catcher) took the key.
    bool OnKeyDown(int x, int y, int key);
    void ReleaseMouseCapture();
    // The parameter bound to the control under the point (-1 for the background, none, or an unbound
    // control); remembered for GetLastClickedParamForPTAutomation.
    int GetParamIdxForPTAutomation(int x, int y);
    // Any thread: the remembered parameter, then -1 until the next hit test.
    int GetLastClickedParamForPTAutomation();

    // ---- Prompts (UI thread) ----
    void PromptUserInput(IControl* control, IParam* param, IRECT* r);
    void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

    // ---- Scale (UI thread, while no window is open) ----
    // The editor draws its whole picture natively at `scale` times its size: the images made for that
    // scale, text at scale times its size, every rectangle scaled from its 1x position. Controls,
    // their rectangles and all input stay in 1x editor coordinates; the off-screen raster, the areas
    // handed to DrawScreen and the window are in screen pixels. 1, 1.5 and 2 are drawn (others are
    // taken to the nearest of them, see SupportedScale); 1 is the default. Rebuilds the rasters and
    // marks every control dirty when it changes.
    void SetScale(double scale);
    double GetScale() const { return mScale; }
    // The scale drawn for a requested one: below 1.25 gives 1, below 1.75 gives 1.5, else 2 (a
    // request that is not a number gives 1).
    static double SupportedScale(double requested);
    // The editor's size on screen.
    int ScreenWidth() const { return ToScreen(mWidth); }
    int ScreenHeight() const { return ToScreen(mHeight); }
    // A 1x editor coordinate on screen (halves round up, so neighbouring rectangles still meet).
    int ToScreen(int v) const;
    IRECT ToScreen(const IRECT& r) const;
    // The screen pixels an area of the editor may paint: its scaled rectangle, rounded outwards.
    IRECT ToScreenArea(const IRECT& r) const;
    // A screen coordinate as the editor point under it (rounded down).
    int FromScreen(int v) const;
    // The editor area under a screen area (rounded outwards).
    IRECT FromScreenArea(const IRECT& r) const;

    // ---- Queries ----
    IPlugBase* GetPlug() const { return mPlug; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int FPS() const { return mFPS; }
    int NControls() const { return mControls.GetSize(); }
    IControl* GetControl(int idx) const { return mControls.Get(idx); }
    // Any thread: true between a mouse press and its release.
    bool IsMouseDown() const { return mMouseDown.load(std::memory_order_acquire); }
    int GetMouseCapture() const { return mMouseCapture; }
    int GetMouseX() const { return mMouseX; }
    int GetMouseY() const { return mMouseY; }
    bool GetStrict() const { return mStrict; }
    void SetStrict(bool strict) { mStrict = strict; }
    void HandleMouseOver(bool handle) { mHandleMouseOver = handle; }
    bool TooltipsEnabled() const { return mEnableTooltips; }
    void EnableTooltips(bool enable) { mEnableTooltips = enable; }
    // Owned from then on; receives keys no control takes.
    void SetKeyCatcher(IControl* c);
    const IRECT* GetDrawRECT() const { return &mDrawRECT; }
    // UI thread: the off-screen raster (null before PrepDraw, made at the first call after it).
    LICE_IBitmap* GetDrawBitmap() const;

  protected:
    // Index of the frontmost visible, enabled control hit at (x, y), or -1. With mouseOver a greyed
    // control that allows mouse-over counts too.
    int GetMouseControlIdx(int x, int y, bool mouseOver = false);
    // SetClean on every control.
    void CleanAll();
    // The image of `bitmap` made for the current scale (null at 1x or when bitmap has no data): the
    // file of that scale beside the 1x one, or, when there is none, the 1x image enlarged.
    LICE_IBitmap* ScaledBitmap(const IBitmap* bitmap);
    void RememberImage(const LICE_IBitmap* data, int ID, const char* name);
    bool DrawScaledBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY,
                          const IChannelBlend* blend);
    bool DrawScaledIText(IText* text, char* str, IRECT* r, bool measure);
    // Shrinks or moves *r to a measured text of width x height editor units, as its alignment places it.
    static void FitToMeasuredText(const IText* text, IRECT* r, int width, int height);
    void DeleteControls();

    WDL_Mutex mMutex;
    WDL_PtrList<IControl> mControls;
    IPlugBase* mPlug;
    IRECT mDrawRECT;
    bool mCursorHidden = false;
    int mHiddenCursorX = -1, mHiddenCursorY = -1;
    // Made by GetDrawBitmap once PrepDraw was called; every drawing helper reaches the raster through it.
    mutable LICE_SysBitmap* mDrawBitmap = nullptr;
    mutable LICE_MemBitmap* mTmpBitmap = nullptr;
    bool mRastersPrepared = false;
    int mWidth, mHeight;
    int mFPS;
    int mMouseCapture = -1;
    int mMouseOver = -1;
    int mMouseX = 0, mMouseY = 0;
    std::atomic<int> mLastClickedParam{-1};
    bool mHandleMouseOver = false;
    bool mStrict = true;
    bool mEnableTooltips = false;
    IControl* mKeyCatcher = nullptr;
    std::atomic<bool> mMouseDown{false};
    IColor mBackgroundColor = COLOR_BLACK;
    double mScale = 1.0;
    // The images LoadIBitmap handed out, by their 1x data, with the ID and name they came from, so the
    // image of another scale can be found for them.
    struct LoadedImage {
        const LICE_IBitmap* mData;
        int mID;
        WDL_String mName;
    };
    WDL_PtrList<LoadedImage> mLoadedImages;
};
