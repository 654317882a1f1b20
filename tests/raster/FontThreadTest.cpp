#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "raster/Blit.h"
#include "raster/Font.h"

namespace {
struct Job {
    const char* text;
    LICE_pixel color;
};

void Render(LICE_CachedFont& font, const Job& job, LICE_IBitmap& bm) {
    LICE_Clear(&bm, LICE_RGBA(255, 255, 255, 255));
    LICE_Rect r{4, 4, 156, 30};
    font.DrawText(&bm, job.text, -1, &r, LICE_DT_CENTER, job.color);
}

bool Same(const LICE_IBitmap& a, const LICE_IBitmap& b) {
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (LICE_GetPixel(&a, x, y) != LICE_GetPixel(&b, x, y)) return false;
    return true;
}
}  // namespace

// Several editors share one cached font: concurrent drawing with per-call colours, measuring and
// colour changes must neither race nor change what each drawer gets.
TEST(FontThreads, SharedFontDrawsTheSameFromSeveralThreads) {
    LICE_CachedFont font;
    LICE_FontDesc desc;
    std::snprintf(desc.face, sizeof desc.face, "%s", "Monaco");
    desc.height = 11;
    ASSERT_TRUE(font.SetFromDesc(desc));

    const std::vector<Job> jobs = {{"-23.0 LUFS", LICE_RGBA(255, 0, 0, 255)},
                                   {"Short-term \xE2\x80\x93 12.5", LICE_RGBA(0, 128, 0, 255)},
                                   {"TP -0.1 dBFS", LICE_RGBA(0, 0, 0, 255)}};
    std::vector<LICE_MemBitmap> expected(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        expected[i].resize(160, 34);
        Render(font, jobs[i], expected[i]);
    }

    std::atomic<int> mismatches{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> drawers;
    for (size_t i = 0; i < jobs.size(); ++i)
        drawers.emplace_back([&, i] {
            LICE_MemBitmap bm(160, 34);
            for (int n = 0; n < 150; ++n) {
                Render(font, jobs[i], bm);
                if (!Same(bm, expected[i])) ++mismatches;
            }
        });
    std::thread fiddler([&] {
        int k = 0;
        while (!stop.load()) {
            font.SetTextColor(LICE_RGBA(k & 255, 0, 0, 255));
            LICE_Rect r{0, 0, 0, 0};
            font.DrawText(nullptr, "measure me", -1, &r, LICE_DT_CALCRECT);
            (void)font.GetLineHeight();
            ++k;
        }
    });
    for (auto& t : drawers) t.join();
    stop = true;
    fiddler.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// Fonts created and destroyed on several threads at once share one FreeType library safely.
TEST(FontThreads, FontsComeAndGoConcurrently) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int n = 0; n < 20; ++n) {
                LICE_CachedFont f;
                LICE_FontDesc d;
                std::snprintf(d.face, sizeof d.face, "%s",
                              t == 0   ? "Monaco"
                              : t == 1 ? "Helvetica"
                                       : "DejaVu Serif");
                d.height = 8 + n;
                d.weight = n % 2 ? 700 : 400;
                if (!f.SetFromDesc(d)) ++failures;
                LICE_MemBitmap bm(64, 32);
                LICE_Rect r{0, 0, 64, 32};
                f.DrawText(&bm, "Ag", -1, &r, 0, LICE_RGBA(0, 0, 0, 255));
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}
