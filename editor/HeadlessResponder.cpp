#include "editor/HeadlessResponder.h"

#include "editor/IPopupMenu.h"

std::vector<int> ScriptedResponder::ChooseFromMenu(const IPopupMenu& menu, const IRECT& r) {
    ++mMenusShown;
    mLastMenuRect = r;
    mLastMenuTitles.clear();
    mLastMenuFlags.clear();
    for (int i = 0; i < menu.GetNItems(); ++i) {
        mLastMenuTitles.push_back(menu.GetItemTitle(i));
        mLastMenuFlags.push_back(menu.GetItem(i)->GetFlags());
    }
    if (mMenuChoices.empty()) return {};
    std::vector<int> path = std::move(mMenuChoices.front());
    mMenuChoices.pop_front();
    return path;
}

HeadlessTextScript ScriptedResponder::TypeIntoField(const char* initialText, const IRECT& r) {
    ++mFieldsShown;
    mLastFieldText = initialText ? initialText : "";
    mLastFieldRect = r;
    if (mTexts.empty()) return HeadlessTextScript{};
    HeadlessTextScript script = mTexts.front();
    mTexts.pop_front();
    return script;
}
