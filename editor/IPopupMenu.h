// The platform-neutral popup menu: an ordered list of items with texts and flags, an optional numbering
// prefix, and the index of the item the user chose. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

class IPopupMenu;

class IPopupMenuItem {
  public:
    enum Flags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

    // A null text is taken as empty. The submenu is not owned.
    explicit IPopupMenuItem(const char* text, int flags = kNoFlags, IPopupMenu* submenu = nullptr);

    const char* GetText() const { return mText.c_str(); }
    void SetText(const char* text) { mText = text ? text : ""; }
    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    void SetSubmenu(IPopupMenu* submenu) { mSubmenu = submenu; }

    bool GetEnabled() const { return !(mFlags & kDisabled); }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    // Whether a user can choose the item in a shown menu: enabled, not a separator, a title or the
    // holder of a submenu.
    bool IsChoosable() const { return !mSubmenu && GetEnabled() && !GetIsTitle() && !GetIsSeparator(); }
    void SetChecked(bool checked);

  private:
    std::string mText;
    IPopupMenu* mSubmenu;
    int mFlags;
};

class IPopupMenu {
  public:
    enum Prefix { kNoPrefix = 0, kPrefixOneDigit = 1, kPrefixTwoDigits = 2, kPrefixThreeDigits = 3 };

    IPopupMenu() = default;
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // Inserts a new item: index -1 appends, any other index inserts at min(max(index, 0), count).
    IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
    // Inserts an existing item by the same rule; the menu takes ownership. A null item is ignored.
    IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);

    IPopupMenuItem* GetItem(int i) const;
    int GetNItems() const { return static_cast<int>(mMenuItems.size()); }
    void Clear() { mMenuItems.clear(); }

    int GetChosenItemIdx() const { return mChosenItemIdx; }
    void SetChosenItemIdx(int i) { mChosenItemIdx = i; }
    int GetPrefix() const { return mPrefix; }
    void SetPrefix(int prefix) { mPrefix = prefix; }
    bool GetCanMultiCheck() const { return mCanMultiCheck; }
    void SetMultiCheck(bool multi) { mCanMultiCheck = multi; }

    // Checks item i and clears the check of every other item; an out-of-range i clears all.
    void CheckItemAlone(int i);

    // The title a native menu shows for item i: the numbering of mPrefix ("%1d: ", "%02d: " or
    // "%03d: " with the 1-based position) followed by the item's text. Empty for an invalid index.
    std::string GetItemTitle(int i) const;

  private:
    int mPrefix = kNoPrefix;
    int mChosenItemIdx = -1;
    bool mCanMultiCheck = false;
    std::vector<std::unique_ptr<IPopupMenuItem>> mMenuItems;
};
