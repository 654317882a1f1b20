#include "editor/IPopupMenu.h"

#include <algorithm>
#include <cstdio>

IPopupMenuItem::IPopupMenuItem(const char* text, int flags, IPopupMenu* submenu)
    : mText(text ? text : ""), mSubmenu(submenu), mFlags(flags) {}

void IPopupMenuItem::SetChecked(bool checked) {
    if (checked) {
        mFlags |= kChecked;
    } else {
        mFlags &= ~kChecked;
    }
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags) {
    return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index) {
    if (!item) return nullptr;
    std::unique_ptr<IPopupMenuItem> owned(item);
    const int count = GetNItems();
    if (index == -1) {
        mMenuItems.push_back(std::move(owned));
    } else {
        const int at = std::min(std::max(index, 0), count);
        mMenuItems.insert(mMenuItems.begin() + at, std::move(owned));
    }
    return item;
}

IPopupMenuItem* IPopupMenu::GetItem(int i) const {
    if (i < 0 || i >= GetNItems()) return nullptr;
    return mMenuItems[static_cast<size_t>(i)].get();
}

void IPopupMenu::CheckItemAlone(int i) {
    for (int k = 0; k < GetNItems(); ++k) mMenuItems[static_cast<size_t>(k)]->SetChecked(k == i);
}

std::string IPopupMenu::GetItemTitle(int i) const {
    const IPopupMenuItem* item = GetItem(i);
    if (!item) return std::string();
    char number[16] = "";
    switch (mPrefix) {
        case kPrefixOneDigit:
            std::snprintf(number, sizeof(number), "%1d: ", i + 1);
            break;
        case kPrefixTwoDigits:
            std::snprintf(number, sizeof(number), "%02d: ", i + 1);
            break;
        case kPrefixThreeDigits:
            std::snprintf(number, sizeof(number), "%03d: ", i + 1);
            break;
        default:
            break;
    }
    return std::string(number) + item->GetText();
}
