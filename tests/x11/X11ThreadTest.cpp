// The audio thread feeding the meters and read-outs of an editor whose X11 window redraws at its frame
// rate on the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "X11TestSupport.h"

TEST(X11ThreadTest, AudioFeedsMetersWhileTheWindowRedraws) {
    XvfbServer server;
    if (!server.Running()) GTEST_SKIP() << "no X server for this test: " << server.Error();
    XErrorCounter errors;
    std::unique_ptr<TestQuenlix> plug = MakeQuenlix(EWindowSystem::kX11);
    auto* editor = dynamic_cast<IGraphicsX11*>(plug->GetEditor());
    ASSERT_NE(editor, nullptr);
    editor->SetDisplayName(server.DisplayName().c_str());
    ASSERT_NE(editor->OpenWindow(nullptr), nullptr);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        PluginHost host(*plug, 2, 512);
        long n = 0;
        while (!stop) {
            host.Run(512, 512, [&n](int, long i) { return static_cast<float>(((n + i) % 97) / 97.0 - 0.5); });
            n += 512;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int draws = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (editor->Tick()) ++draws;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    stop = true;
    audio.join();
    editor->CloseWindow();
    EXPECT_GT(draws, 10);
    EXPECT_EQ(errors.Count(), 0);
    EXPECT_EQ(editor->UnexpectedXErrors(), 0);
}
