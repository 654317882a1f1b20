#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The editor side of the host format: the plug-in window's view container, the custom views
// inside it and the port through which the host shows them. All of it lives on the main thread.

// A rectangle in host window coordinates (16-bit, as the host keeps them).
struct ViewRect {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = 0;
};

// The host's native window as this format's window system hands it to a plug-in view. Besides
// being the parent of the view, it runs the view's repeating timer: a view registers one timer
// while it is open, and the host runs the registered callbacks from its event loop on the main
// thread. Implemented by the host; it outlives the ports that name it.
class IHostWindow {
  public:
    typedef void (*TimerCallback)(void* context);
    virtual ~IHostWindow() = default;
    // Runs callback(context) every intervalSeconds (> 0) until RemoveTimer(context). A second
    // registration under the same context replaces the first.
    virtual void AddTimer(TimerCallback callback, void* context, double intervalSeconds) = 0;
    // Removing an unknown context does nothing.
    virtual void RemoveTimer(void* context) = 0;
    // The window system's own window the view is to open inside (an X11 window ID), or 0 when the host
    // has none and the view opens a top-level window of its own. Main thread.
    virtual unsigned long GetNativeWindow() const { return 0; }
};

// What the host hands a process to draw into: its window and the port's bounds inside that
// window. A null port passed to SetViewPort means the window is going away.
struct ViewPort {
    IHostWindow* window = nullptr;
    ViewRect bounds;
};

// A plug-in-defined view kind living inside a view container. Owned by its container.
class CCustomView {
  public:
    explicit CCustomView(const std::string& kind) : mKind(kind) {}
    virtual ~CCustomView() = default;
    CCustomView(const CCustomView&) = delete;
    CCustomView& operator=(const CCustomView&) = delete;
    const std::string& GetKind() const { return mKind; }

  private:
    std::string mKind;
};

typedef CCustomView* (*CustomViewFactory)();

// Kinds of custom view a plug-in group registered, by name.
class CustomViewRegistry {
  public:
    void Register(const std::string& kind, CustomViewFactory factory) { mFactories[kind] = factory; }
    CustomViewFactory Find(const std::string& kind) const;

  private:
    std::map<std::string, CustomViewFactory> mFactories;
};

// The plug-in window's view: a fixed-size container of custom views. Created by the process's
// CreateCPlugInView, owned and deleted by the host after it detached the port (SetViewPort(null)).
class CPlugInView {
  public:
    CPlugInView(int16_t width, int16_t height) : mWidth(width), mHeight(height) {}
    virtual ~CPlugInView() = default;
    CPlugInView(const CPlugInView&) = delete;
    CPlugInView& operator=(const CPlugInView&) = delete;

    int16_t GetWidth() const { return mWidth; }
    int16_t GetHeight() const { return mHeight; }
    void AddCustomView(std::unique_ptr<CCustomView> view) { mViews.push_back(std::move(view)); }
    int GetNumCustomViews() const { return static_cast<int>(mViews.size()); }
    // The first custom view of that kind, or null.
    CCustomView* FindCustomView(const std::string& kind) const;

  private:
    int16_t mWidth;
    int16_t mHeight;
    std::vector<std::unique_ptr<CCustomView>> mViews;
};

// Builds a view container of the given size from a view description: a sequence of items
// "!Kind[(arguments)]", each creating one custom view of a registered kind, for example
// "!IPlugDigiView[('NoID')]". Returns null, with nothing left allocated, when the description is
// empty or malformed, names an unregistered kind, or a factory fails. Never throws.
std::unique_ptr<CPlugInView> CreateViewContainer(const CustomViewRegistry& registry,
                                                 const std::string& description, int16_t width,
                                                 int16_t height);
