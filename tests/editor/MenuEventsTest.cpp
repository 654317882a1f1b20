// A binding whose menus are event-driven (as the X11 one): showing a menu returns at once, the outcome
// reaches the caller once the binding's event path ends the menu, and an editor whose controls are
// rebuilt never delivers it.
#include <gtest/gtest.h>

#include "TestPlug.h"
#include "editor/IGraphicsLinux.h"
#include "editor/IPlugControls.h"
#include "editor/IPopupMenu.h"

namespace {

// Shows menus as "windows" that stay open until the test ends them, as the X11 binding's events do.
class EventDrivenGraphics : public IGraphicsLinux {
  public:
    explicit EventDrivenGraphics(IPlugBase* plug) : IGraphicsLinux(plug, 64, 32, 0) {}
    bool DrawScreen(IRECT*) override { return true; }
    int ShowMessageBox(const char*, const char*, int) override { return kIDOK; }
    IPopupMenu* CreateIPopupMenu(IPopupMenu*, IRECT*) override { return nullptr; }
    bool OpenURL(const char*, const char*, const char*, const char*) override { return false; }
    void* OpenWindow(void*) override { return mOpen = true, this; }
    void CloseWindow() override { mOpen = false; }
    void* GetWindow() override { return mOpen ? this : nullptr; }
    bool Tick() override { return false; }

    using IGraphicsLinux::EndMenu;
    using IGraphicsLinux::HandleMouseDown;
    using IGraphicsLinux::HandleMouseUp;
    int mMenuWindows = 0;

  protected:
    bool OpenMenuWindow(IPopupMenu*, const IRECT&) override { return ++mMenuWindows, true; }
    void CloseMenuWindow() override { --mMenuWindows; }

  private:
    bool mOpen = false;
};

}  // namespace

TEST(MenuEventsTest, TheOutcomeArrivesWhenTheMenuEndsNotBefore) {
    IPopupMenu sub;
    sub.AddItem("inner");
    IPopupMenu menu;
    menu.AddItem("plain");
    menu.AddItem("disabled", -1, IPopupMenuItem::kDisabled);
    menu.AddItem("", -1, IPopupMenuItem::kSeparator);
    menu.AddItem(new IPopupMenuItem("more", 0, &sub));
    const struct {
        const char* what;
        int ended;       // what the binding's events say was chosen
        bool delivered;  // the menu itself, or null (dismissed)
    } cases[] = {
        {"an item", 0, true},      {"dismissed", -1, false},       {"a disabled item", 1, false},
        {"a separator", 2, false}, {"a submenu holder", 3, false}, {"past the end", 9, false},
    };
    TestPlug plug;
    EventDrivenGraphics g(&plug);
    g.OpenWindow(nullptr);
    IRECT r(1, 2, 3, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        menu.SetChosenItemIdx(-1);
        int calls = 0;
        IPopupMenu* outcome = &sub;
        int windowsAtOutcome = -1;
        g.ShowPopupMenu(&menu, &r, [&](IPopupMenu* chosen) {
            ++calls;
            outcome = chosen;
            windowsAtOutcome = g.mMenuWindows;
        });
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(g.MenuOpen());
        EXPECT_EQ(g.mMenuWindows, 1);

        // A second menu while one is open is dismissed at once; the first stays.
        int secondCalls = 0;
        g.ShowPopupMenu(&menu, &r, [&](IPopupMenu* chosen) { secondCalls += chosen ? 100 : 1; });
        EXPECT_EQ(secondCalls, 1);
        EXPECT_EQ(g.mMenuWindows, 1);

        g.EndMenu(c.ended);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(windowsAtOutcome, 0) << "the menu's window was still up when its outcome arrived";
        EXPECT_FALSE(g.MenuOpen());
        EXPECT_EQ(outcome, c.delivered ? &menu : nullptr);
        EXPECT_EQ(menu.GetChosenItemIdx(), c.delivered ? c.ended : -1);
        g.EndMenu(0);  // nothing open: nothing more
        EXPECT_EQ(calls, 1);
    }
}

// The selector gets its choice when the menu ends; while it is open the editor takes no clicks; a
// rebuild of the controls drops the menu without calling into the control it deleted.
TEST(MenuEventsTest, SelectorFollowsTheMenusEndAndARebuildDropsIt) {
    TestPlug plug;
    auto* g = new EventDrivenGraphics(&plug);
    const IBitmap bitmap(nullptr, 10, 40, 4);
    auto* selector = new IMyPopupMenu(&plug, 0, 0, TestPlug::kFour, &bitmap);
    g->AttachControl(selector);
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);
    IMouseMod left(true);

    EXPECT_TRUE(g->HandleMouseDown(5, 5, left, 1));
    ASSERT_TRUE(g->MenuOpen());
    EXPECT_TRUE(plug.mChanges.empty());
    g->HandleMouseDown(5, 5, left, 1);  // taken by nothing while the menu is open
    EXPECT_EQ(g->mMenuWindows, 1);
    g->EndMenu(3);
    EXPECT_EQ(plug.GetParam(TestPlug::kFour)->Int(), 3);
    EXPECT_TRUE(selector->GetMenu()->GetItem(3)->GetChecked());
    g->HandleMouseUp(5, 5, left);

    EXPECT_TRUE(g->HandleMouseDown(5, 5, left, 1));
    ASSERT_TRUE(g->MenuOpen());
    const size_t changes = plug.mChanges.size();
    g->Resize(80, 40);  // deletes the selector
    EXPECT_FALSE(g->MenuOpen());
    EXPECT_EQ(g->mMenuWindows, 0);
    g->EndMenu(1);
    EXPECT_EQ(plug.mChanges.size(), changes);
}
