// The X11 binding's popup menu: an override-redirect window of ours on the editor's connection that
// takes the pointer and the keyboard while it is open. It runs no event loop of its own: the editor
// hands it the events of its window from the editor's own event path (the host's idle call, a
// program's loop) and learns from each whether the user is done, so the host keeps running meanwhile.
//
// UI thread only (the thread that owns the connection).
#pragma once

#include <vector>

// Xlib last (through this header): its macros must not meet the project's headers.
#include "editor/X11RasterWindow.h"

class IPopupMenu;

class X11PopupMenu : public X11RasterWindow {
  public:
    enum EOutcome { kStillOpen, kChosen, kDismissed };

    // menu must outlive this window.
    X11PopupMenu(Display* display, IGraphics* fonts, IPopupMenu* menu);
    // Gives back the pointer and the keyboard; the window goes.
    ~X11PopupMenu() override;

    // Shows the menu with its top-left at (rootX, rootY) (moved to stay on the screen), at least
    // minWidth wide, with the checked item highlighted, and takes the pointer and the keyboard. False
    // when it could not be shown.
    bool Open(int rootX, int rootY, int minWidth);

    // An event of the menu's window. Up/Down move the highlight, Return chooses it, Escape or a press
    // outside dismisses; a click on an item, or the opening press released over one after moving onto
    // it, chooses it. Items with a submenu are shown but cannot be chosen.
    EOutcome HandleEvent(XEvent* event);
    // The item chosen, once HandleEvent said kChosen.
    int Chosen() const { return mChosen; }
    // Once, after the release of a press that began outside the menu (the press that opened it)
    // reached the menu: its root position, modifier state and button.
    bool TakeOpeningRelease(int* rootX, int* rootY, unsigned int* state, unsigned int* button);

  private:
    bool Choosable(int i) const;
    bool Inside(int x, int y) const;
    int ItemAt(int x, int y) const;
    void Step(int direction);
    void SetHighlight(int i);
    void Paint();
    void DrawTick(int x, int cy, LICE_pixel ink);

    IPopupMenu* mMenu;
    std::vector<int> mTops;  // top of each item, then the bottom of the last
    int mItemHeight = 18;
    int mHighlight = -1;
    int mChosen = -1;
    bool mPointerGrabbed = false, mKeyboardGrabbed = false;
    bool mPressedInside = false;  // a press inside the menu since it opened, not yet released
    bool mDraggedIn = false;      // the opening press moved over an item before its release
    bool mOpeningReleased = false;
    int mReleaseX = 0, mReleaseY = 0;
    unsigned int mReleaseState = 0, mReleaseButton = 0;
};
