#include <gtest/gtest.h>

#include "editor/IPopupMenu.h"

namespace {

class PopupMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        menu.AddItem("a");
        menu.AddItem("b");
        menu.AddItem("c");
    }
    std::string Texts() const {
        std::string s;
        for (int i = 0; i < menu.GetNItems(); ++i) s += menu.GetItem(i)->GetText();
        return s;
    }
    IPopupMenu menu;
};

}  // namespace

TEST_F(PopupMenuTest, InsertionIndexRules) {
    menu.AddItem("x", 0);
    EXPECT_EQ(Texts(), "xabc");
    menu.AddItem("y", 7);
    EXPECT_EQ(Texts(), "xabcy");
    menu.AddItem("z", -1);
    EXPECT_EQ(Texts(), "xabcyz");
    menu.AddItem("w", -5);
    EXPECT_EQ(Texts(), "wxabcyz");
    menu.AddItem("m", 2);
    EXPECT_EQ(Texts(), "wxmabcyz");
}

TEST_F(PopupMenuTest, ExistingItemIsInsertedAndOwned) {
    auto* item = new IPopupMenuItem("q", IPopupMenuItem::kDisabled);
    EXPECT_EQ(menu.AddItem(item, 1), item);
    EXPECT_EQ(Texts(), "aqbc");
    EXPECT_FALSE(menu.GetItem(1)->GetEnabled());
    EXPECT_EQ(menu.AddItem(static_cast<IPopupMenuItem*>(nullptr)), nullptr);
    EXPECT_EQ(menu.GetNItems(), 4);
    EXPECT_EQ(menu.GetItem(4), nullptr);
    EXPECT_EQ(menu.GetItem(-1), nullptr);
}

TEST_F(PopupMenuTest, CheckItemAloneLeavesExactlyOneCheck) {
    menu.AddItem("d", -1, IPopupMenuItem::kChecked | IPopupMenuItem::kDisabled);
    menu.GetItem(0)->SetChecked(true);
    menu.CheckItemAlone(2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(menu.GetItem(i)->GetChecked(), i == 2) << i;
    // Other flags survive.
    EXPECT_FALSE(menu.GetItem(3)->GetEnabled());
    menu.CheckItemAlone(-1);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(menu.GetItem(i)->GetChecked()) << i;
}

TEST_F(PopupMenuTest, PrefixNumbersItemsFromOne) {
    EXPECT_EQ(menu.GetItemTitle(0), "a");
    menu.SetPrefix(IPopupMenu::kPrefixTwoDigits);
    EXPECT_EQ(menu.GetItemTitle(0), "01: a");
    EXPECT_EQ(menu.GetItemTitle(2), "03: c");
    menu.SetPrefix(IPopupMenu::kPrefixOneDigit);
    EXPECT_EQ(menu.GetItemTitle(1), "2: b");
    menu.SetPrefix(IPopupMenu::kPrefixThreeDigits);
    EXPECT_EQ(menu.GetItemTitle(1), "002: b");
    EXPECT_EQ(menu.GetItemTitle(9), "");
}
