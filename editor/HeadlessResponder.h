// Stands in for the user of the headless window system: says which menu item is chosen, what is typed
// into a text field and which button of a message box is pressed. UI thread only.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "editor/IGraphicsStructs.h"

class IPopupMenu;

// What happens in a text field: the keystrokes, one character each (control characters: "\r" Return,
// "\x03" Enter, "\b" backspace, "\x7f" forward delete, "\x1c".."\x1f" left, right, up and down arrows),
// then how the field ends if the keys did not end it.
struct HeadlessTextScript {
    enum EEnd {
        kLeaveOpen,       // the field stays open (later key events go to it)
        kClickElsewhere,  // a click outside the field: the text is applied
        kCancel,          // a wheel turn or the window losing focus: the text is discarded
    };
    std::string keys;
    EEnd end = kLeaveOpen;
};

class IHeadlessResponder {
  public:
    virtual ~IHeadlessResponder() = default;

    // A menu is shown at r (modal). Returns the item to choose as a path: the index in the top-level
    // menu, then for each submenu the index inside it. An empty path dismisses the menu.
    virtual std::vector<int> ChooseFromMenu(const IPopupMenu& menu, const IRECT& r) = 0;
    // A text field holding initialText opened at r; called on the timer tick after it opened.
    virtual HeadlessTextScript TypeIntoField(const char* initialText, const IRECT& r) = 0;
    // A message box; returns the result of the pressed button (1 the default button).
    virtual int AnswerMessageBox(const char* /*text*/, const char* /*caption*/, int /*type*/) { return 1; }
};

// Answers from queues filled in advance and records what it was shown. An empty menu queue dismisses
// menus; an empty text queue leaves fields open.
class ScriptedResponder : public IHeadlessResponder {
  public:
    void QueueMenuChoice(std::vector<int> path) { mMenuChoices.push_back(std::move(path)); }
    void QueueText(const std::string& keys, HeadlessTextScript::EEnd end = HeadlessTextScript::kLeaveOpen) {
        mTexts.push_back(HeadlessTextScript{keys, end});
    }

    std::vector<int> ChooseFromMenu(const IPopupMenu& menu, const IRECT& r) override;
    HeadlessTextScript TypeIntoField(const char* initialText, const IRECT& r) override;

    // The titles (numbering included) and flags of the last menu shown, and where it was shown.
    std::vector<std::string> mLastMenuTitles;
    std::vector<int> mLastMenuFlags;
    IRECT mLastMenuRect;
    int mMenusShown = 0;
    // The initial text and rectangle of the last text field.
    std::string mLastFieldText;
    IRECT mLastFieldRect;
    int mFieldsShown = 0;

  private:
    std::deque<std::vector<int>> mMenuChoices;
    std::deque<HeadlessTextScript> mTexts;
};
