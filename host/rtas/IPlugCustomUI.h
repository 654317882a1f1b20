#pragma once

#include "host/rtas/format/PlugInView.h"

class IGraphics;
class IPlugProcess;

// The editor inside the host's plug-in window: opens and closes the plug-in's IGraphics in the
// host window through the window-system binding. Owned by the process. Main thread only.
class IPlugCustomUI {
  public:
    explicit IPlugCustomUI(IPlugProcess* process);
    ~IPlugCustomUI();
    IPlugCustomUI(const IPlugCustomUI&) = delete;
    IPlugCustomUI& operator=(const IPlugCustomUI&) = delete;

    // top 0, left 0, bottom = editor height, right = editor width (all 0 without an editor).
    void GetRect(ViewRect* rect) const;
    // Opens the editor in `window` at offset (x, y), marks every control dirty and tells the
    // plug-in its editor opened. The editor's timer (Tick) is run by the host window's timer at
    // the editor's frame rate. Does nothing without an editor.
    void Open(IHostWindow* window, short x, short y);
    // Stops the timer and closes the editor's window when one is open.
    void Close();
    // The host asks for a redraw: every control is marked dirty.
    void Draw();
    int GetControlIndexFromPoint(int /*x*/, int /*y*/) const { return 0; }

    IPlugProcess* GetProcess() const { return mProcess; }
    IGraphics* GetGraphics() const { return mGraphics; }
    IHostWindow* GetHostWindow() const { return mHostWindow; }

  private:
    static void OnTimer(void* context);

    IPlugProcess* mProcess;
    IHostWindow* mHostWindow = nullptr;
    IGraphics* mGraphics;  // the plug-in's editor, not owned; null when it has none
};

// The custom view kind the editor lives in. Holds the editor interface while the view is
// attached; owned by the host's view container.
class IPlugDigiView : public CCustomView {
  public:
    IPlugDigiView();
    ~IPlugDigiView() override;
    void SetCustomUI(IPlugCustomUI* customUI) { mCustomUI = customUI; }
    IPlugCustomUI* GetCustomUI() const { return mCustomUI; }
    void Draw();

  private:
    IPlugCustomUI* mCustomUI = nullptr;
};

// Factory registered under "IPlugDigiView".
CCustomView* CreateIPlugDigiView();
