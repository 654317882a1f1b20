#include <gtest/gtest.h>

#include "host/rtas/IPlugCustomUI.h"
#include "tests/host/AdapterTestSupport.h"

namespace {

class EditorViewTest : public AdapterTest {
  protected:
    void SetUp() override {
        AdapterTest::SetUp();
        mInstance = Make(2);
        ASSERT_TRUE(mInstance);
        mPlug = Plug(*mInstance);
    }
    std::unique_ptr<rtashost::Instance> mInstance;
    TestPlug* mPlug = nullptr;
};

TEST_F(EditorViewTest, ViewRectIsTheEditorSize) {
    const ViewRect rect = mInstance->GetViewRect();
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.bottom, TestPlug::kHeight);
    EXPECT_EQ(rect.right, TestPlug::kWidth);
}

TEST_F(EditorViewTest, ViewHoldsTheDigiViewWithTheCustomUI) {
    std::unique_ptr<CPlugInView> view(mInstance->GetProcess()->CreateCPlugInView());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->GetWidth(), TestPlug::kWidth);
    EXPECT_EQ(view->GetHeight(), TestPlug::kHeight);
    auto* digi = static_cast<IPlugDigiView*>(view->FindCustomView("IPlugDigiView"));
    ASSERT_NE(digi, nullptr);
    EXPECT_EQ(digi->GetCustomUI(), Process(*mInstance)->GetCustomUI());
    // The host disposing the container without detaching it first leaves no dangling view.
    view.reset();
    mInstance->GetProcess()->SetViewPort(nullptr);
}

TEST_F(EditorViewTest, OpeningTwiceRedrawsEverythingAndClosingStopsTheTimer) {
    IGraphicsHeadless* editor = mPlug->GetEditor();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(mInstance->OpenView());
        EXPECT_TRUE(editor->WindowIsOpen());
        EXPECT_EQ(mPlug->mGUIOpens, round);
        EXPECT_DOUBLE_EQ(mInstance->GetViewWindow()->GetTimerInterval(), 1.0 / 25);
        const int draws = mPlug->GetGainProbe()->mDraws;
        EXPECT_EQ(mInstance->TickView(), 1);
        EXPECT_EQ(mPlug->GetGainProbe()->mDraws, draws + 1);  // every control was dirty
        mInstance->TickView();
        EXPECT_EQ(mPlug->GetGainProbe()->mDraws, draws + 1);  // nothing changed since

        // A host control change shows on the next tick.
        mInstance->SetControlNumber(kGain + 2, 3.0 * round);
        mInstance->TickView();
        EXPECT_EQ(mPlug->GetGainProbe()->mDraws, draws + 2);

        mInstance->CloseView();
        EXPECT_FALSE(editor->WindowIsOpen());
        EXPECT_EQ(mInstance->TickView(), 0);
    }
}

TEST_F(EditorViewTest, DestroyingAnInstanceWithAnOpenViewClosesIt) {
    ASSERT_TRUE(mInstance->OpenView());
    mInstance->TickView();
    mInstance.reset();  // the sanitizers catch a view or timer outliving the plug-in
}

TEST_F(EditorViewTest, ResizeAsksTheHostToRebuildTheWindow) {
    ASSERT_TRUE(mInstance->OpenView());
    EXPECT_FALSE(mInstance->IdleView());
    mPlug->ResizeGraphics(TestPlug::kWidth, TestPlug::kHeight);
    EXPECT_TRUE(mInstance->IdleView());
    EXPECT_TRUE(mInstance->IsViewOpen());
    EXPECT_TRUE(mPlug->GetEditor()->WindowIsOpen());
    EXPECT_EQ(mPlug->mGUIOpens, 2);
    EXPECT_FALSE(mInstance->IdleView());
}

TEST_F(EditorViewTest, ChooseControlNamesTheLastParameterClickedForAutomation) {
    ASSERT_TRUE(mInstance->OpenView());
    EXPECT_EQ(mInstance->ChooseControl(0, 0), 0);
    HeadlessMouse automation;
    automation.control = true;
    automation.command = true;
    // Over the gain control the click goes to the host, which then asks which control it was.
    EXPECT_FALSE(mPlug->GetEditor()->MouseDown(20, 20, automation));
    EXPECT_EQ(mInstance->ChooseControl(20, 20), kGain + 2);
    EXPECT_EQ(mInstance->ChooseControl(20, 20), 0);
    // Over the background there is no parameter.
    mPlug->GetEditor()->MouseDown(100, 50, automation);
    EXPECT_EQ(mInstance->ChooseControl(100, 50), 0);
}

}  // namespace
