// The headless window system: key table, image files, the timer and the framebuffer, and menus
// answered by the responder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "EditorTestUtil.h"
#include "TestPlug.h"
#include "editor/HeadlessResponder.h"
#include "editor/IPopupMenu.h"
#include "editor/KeyTable.h"
#include "raster/PNG.h"

TEST(KeyTableTest, KeysMapToEditorCodes) {
    EXPECT_EQ(MapPlatformKey(kVK_Space, ' '), 0);
    EXPECT_EQ(MapPlatformKey(kVK_UpArrow, kChar_UpArrow), 1);
    EXPECT_EQ(MapPlatformKey(kVK_DownArrow, kChar_DownArrow), 2);
    EXPECT_EQ(MapPlatformKey(kVK_LeftArrow, kChar_LeftArrow), 3);
    EXPECT_EQ(MapPlatformKey(kVK_RightArrow, kChar_RightArrow), 4);
    EXPECT_EQ(MapPlatformKey(26, '7'), 12);
    EXPECT_EQ(MapPlatformKey(12, 'Q'), 31);
    EXPECT_EQ(MapPlatformKey(12, 'q'), 31);
    EXPECT_EQ(MapPlatformKey(0, 'A'), 15);
    EXPECT_EQ(MapPlatformKey(6, 'z'), 40);
    EXPECT_EQ(MapPlatformKey(122, 0x10), -1);  // F1
    EXPECT_EQ(MapPlatformKey(0, '-'), -1);
}

namespace {

class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g = new IGraphicsHeadless(&plug, 64, 32);
        char tmpl[] = "/tmp/editor-headless-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder = tmpl;
    }
    void TearDown() override {
        if (plug.GetGUI() != g) delete g;
        for (const std::string& f : files) std::remove(f.c_str());
        rmdir(folder.c_str());
    }
    std::string WriteImage(const char* fileName, LICE_pixel color) {
        LICE_MemBitmap bm(5, 3);
        LICE_Clear(&bm, color);
        const std::string path = folder + "/" + fileName;
        EXPECT_TRUE(LICE_WritePNG(path.c_str(), &bm, true));
        files.push_back(path);
        return path;
    }
    TestPlug plug;
    IGraphicsHeadless* g = nullptr;
    std::string folder;
    std::vector<std::string> files;
};

}  // namespace

TEST_F(HeadlessTest, ImagesAreFoundByNameInTheResourceFolder) {
    WriteImage("value.png", LICE_RGBA(10, 20, 30, 255));
    WriteImage("photo.jpg", LICE_RGBA(10, 20, 30, 255));
    g->SetResourceFolder(folder.c_str());
    std::unique_ptr<LICE_IBitmap> bm(g->OSLoadBitmap(1, "resources/img/value.png"));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->getWidth(), 5);
    EXPECT_EQ(LICE_GetPixel(bm.get(), 4, 2), LICE_RGBA(10, 20, 30, 255));
    std::unique_ptr<LICE_IBitmap> upper(g->OSLoadBitmap(1, "elsewhere/VALUE.PNG"));
    EXPECT_EQ(upper, nullptr);  // the stem is looked up as given; only the extension ignores case
    std::unique_ptr<LICE_IBitmap> any(g->OSLoadBitmap(1, "value.Png"));
    EXPECT_NE(any, nullptr);
    EXPECT_EQ(g->OSLoadBitmap(1, "resources/img/photo.jpg"), nullptr);
    EXPECT_EQ(g->OSLoadBitmap(1, "resources/img/absent.png"), nullptr);
    EXPECT_EQ(g->OSLoadBitmap(1, "resources.png/noextension"), nullptr);
    EXPECT_EQ(g->OSLoadBitmap(1, ".png"), nullptr);
    EXPECT_EQ(g->OSLoadBitmap(1, nullptr), nullptr);
}

TEST_F(HeadlessTest, TimerDrawsDirtyControlsOntoTheScreenOnlyWhileOpen) {
    g->AttachPanelBackground(&COLOR_RED);
    plug.AttachGraphics(g);
    EXPECT_FALSE(g->Tick());
    EXPECT_EQ(g->GetFramebuffer(), nullptr);
    g->OpenWindow(nullptr);
    EXPECT_TRUE(g->Tick());
    EXPECT_FALSE(g->Tick());
    EXPECT_EQ(g->ScreenUpdates(), 1);
    ASSERT_NE(g->GetFramebuffer(), nullptr);
    EXPECT_EQ(LICE_GetPixel(g->GetFramebuffer(), 63, 31), LICE_RGBA(255, 0, 0, 255));

    const std::string shot = folder + "/shot.png";
    files.push_back(shot);
    ASSERT_TRUE(g->WriteScreenPNG(shot.c_str()));
    std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(shot.c_str()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getWidth(), 64);
    EXPECT_EQ(LICE_GetPixel(back.get(), 0, 0), LICE_RGBA(255, 0, 0, 255));
}

TEST_F(HeadlessTest, ScreenShowsColourWithoutTheRastersAlpha) {
    const IColor seeThrough(0, 0, 0, 200);
    g->AttachPanelBackground(&seeThrough);
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);
    IChannelBlend clobber(IChannelBlend::kBlendClobber);
    g->GetControl(0)->SetDirty(false);
    g->Tick();
    IRECT all(0, 0, 64, 32);
    g->FillIRect(&seeThrough, &all, &clobber);
    g->DrawScreen(&all);
    EXPECT_EQ(LICE_GetPixel(g->GetFramebuffer(), 1, 1), LICE_RGBA(0, 0, 200, 255));
}

TEST_F(HeadlessTest, MenuChoicesFollowWhatANativeMenuAllows) {
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);
    ScriptedResponder responder;
    g->SetResponder(&responder);
    IPopupMenu menu, sub;
    menu.AddItem("enabled");
    menu.AddItem("disabled", -1, IPopupMenuItem::kDisabled);
    menu.AddItem("", -1, IPopupMenuItem::kSeparator);
    menu.AddItem(new IPopupMenuItem("more", 0, &sub));
    sub.AddItem("inner");
    IRECT r(1, 2, 3, 4);

    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);  // nothing queued: dismissed
    responder.QueueMenuChoice({1});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);
    responder.QueueMenuChoice({2});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);
    responder.QueueMenuChoice({3});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);
    responder.QueueMenuChoice({9});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);
    responder.QueueMenuChoice({3, 0});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), &sub);
    EXPECT_EQ(sub.GetChosenItemIdx(), 0);
    responder.QueueMenuChoice({0});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), &menu);
    EXPECT_EQ(menu.GetChosenItemIdx(), 0);

    menu.SetPrefix(IPopupMenu::kPrefixTwoDigits);
    g->CreateIPopupMenu(&menu, &r);
    EXPECT_EQ(responder.mLastMenuTitles[0], "01: enabled");
}

TEST_F(HeadlessTest, UnmappedKeysGoBackToTheHost) {
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);
    EXPECT_FALSE(g->KeyDown(122, 0x10));
    g->CloseWindow();
    EXPECT_FALSE(g->KeyDown(kVK_Space, ' '));
}
