// The per-sample calls of both engines, their resets and window changes never allocate.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/LRA.h"
#include "meters/LoudnessHistogram.h"
#include "meters/RMSInt.h"
#include "meters/RMSMM6.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {
std::atomic<long> gAllocations{0};

// While set, every nothrow allocation (the engines' only kind) is filled with a pattern and
// recorded, so a test can see which of their bytes were written before the audio thread runs.
bool gPoisoning = false;
struct Block {
    const unsigned char* at;
    std::size_t size;
};
Block gPoisoned[64];
int gPoisonedCount = 0;

// While positive, counts nothrow allocations down; the one that takes it to 0 fails.
int gFailNothrowIn = 0;
}  // namespace

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (gFailNothrowIn > 0 && --gFailNothrowIn == 0) return nullptr;
    void* p = std::malloc(size ? size : 1);
    if (p && gPoisoning && gPoisonedCount < 64) {
        std::memset(p, 0xA5, size);
        gPoisoned[gPoisonedCount++] = {static_cast<const unsigned char*>(p), size};
    }
    return p;
}

void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept {
    return operator new(size, t);
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

TEST(NoAllocation, CountingOperatorNewSeesInit) {
    const long before = gAllocations.load();
    EBUMM6 e;
    ASSERT_TRUE(e.Init(48000.0));
    EXPECT_GE(gAllocations.load() - before, 4);  // two rings, the store, the range arrays
}

// Whichever of its arrays cannot be had, the histogram says so, holds nothing and answers every query
// with 0; a later Init that gets its memory works as a first one does.
TEST(FailedInit, LeavesAnEmptyHistogramThatALaterInitRepairs) {
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        LoudnessHistogram h;
        gFailNothrowIn = failing;
        EXPECT_FALSE(h.Init(1000, true));
        gFailNothrowIn = 0;
        EXPECT_EQ(h.Bins(), 0);
        EXPECT_EQ(h.Bytes(), 0);
        h.Add(-20.0, 1.0);
        h.Reset();
        h.Add(-20.0, 1.0);
        EXPECT_EQ(h.Total(), 0);
        EXPECT_EQ(h.CountFrom(0), 0);
        EXPECT_EQ(h.SumFrom(0), 0.0);
        EXPECT_EQ(h.BinOfRank(0), 0);

        ASSERT_TRUE(h.Init(1000, true));
        h.Add(-69.5, 2.0);
        EXPECT_EQ(h.CountFrom(0), 1);
        EXPECT_EQ(h.SumFrom(0), 2.0);
        EXPECT_EQ(h.BinOfRank(0), 500);
    }
}

TEST(NoAllocation, PerSampleCallsOfBothEnginesAllocateNothing) {
    EBUMM6 ebu;
    RMSMM6 rms;
    ASSERT_TRUE(ebu.Init(48000.0));
    ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, 48000.0));
    rms.SetWindow(300.0);

    const long before = gAllocations.load();
    // 5 s: momentary and short-term results, integrator and loudness-range blocks, crest factors.
    for (long n = 0; n < 48000 * 5; ++n) {
        const double x = testsig::Sine(n < 100000 ? 0.8 : 0.1, 997.0, 48000.0, n);
        ProcessFrame_M(ebu, x, -x, x, x, x, x, 3);
        ProcessFrame(ebu, x, -x, x, x, x, x, 3, 1);
        ProcessFrame_M(rms, x, -x, x, x, x, x, 1.0, 4);
        ProcessFrame(rms, x, -x, x, x, x, x, 1.0, 4);
        if (n % 2400 == 0) rms.GetCrestVal_db();
    }
    EXPECT_GT(ebu.mIntegrator.mCount, 0);
    EXPECT_GT(ebu.mLra.mCount, 0);
    ebu.Reset();
    rms.Reset();
    rms.SetWindow(3000.0);
    rms.SetWindow(10.0);
    for (long n = 0; n < 1000; ++n) {
        ProcessFrame_M(ebu, 0.5, 0.5, 0, 0, 0, 0, 0);
        ProcessFrame(ebu, 0.5, 0.5, 0, 0, 0, 0, 0, 0);
        ProcessFrame_M(rms, 0.5, 0.5, 0, 0, 0, 0, 0.0, 0);
        ProcessFrame(rms, 0.5, 0.5, 0, 0, 0, 0, 0.0, 0);
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
}

TEST(NoAllocation, IntegratorAndRangeAllocateNothingPastTheirExactStores) {
    RMSInt integ;
    LRA lra;
    ASSERT_TRUE(integ.Init(100));
    ASSERT_TRUE(lra.Init(10));
    const long before = gAllocations.load();
    for (int i = 0; i < 5000; ++i) {
        const double z = 0.001 * (1.0 + (i * 37) % 101);
        integ.Process(z);
        lra.Process(z);
    }
    integ.Reset();
    lra.Reset();
    integ.Process(0.01);
    lra.Process(0.01);
    EXPECT_EQ(gAllocations.load() - before, 0);
    EXPECT_EQ(integ.mCount, 1);
}

// Every array an engine's Init allocates is written at Init (zeroed), on the thread that sets up, so
// the audio thread never takes the page faults of touching it first, however long the programme.
TEST(NoAllocation, InitWritesEveryArrayItAllocates) {
    struct Case {
        const char* name;
        bool (*init)();
    };
    const Case cases[] = {
        {"EBU engine",
         [] {
             static EBUMM6 e;
             return e.Init(48000.0);
         }},
        {"RMS engine",
         [] {
             static RMSMM6 e;
             return e.Init(10.0, 3000.0, 0.75, 48000.0);
         }},
        {"integrator",
         [] {
             static RMSInt e;
             return e.Init(RMSInt::kCapacity);
         }},
        {"loudness range",
         [] {
             static LRA e;
             return e.Init(EBUMM6::kLraCapacity);
         }},
    };
    for (const Case& c : cases) {
        gPoisonedCount = 0;
        gPoisoning = true;
        const bool ok = c.init();
        gPoisoning = false;
        ASSERT_TRUE(ok) << c.name;
        ASSERT_GT(gPoisonedCount, 0) << c.name;
        for (int b = 0; b < gPoisonedCount; ++b) {
            std::size_t untouched = 0;
            for (std::size_t i = 0; i < gPoisoned[b].size; ++i)
                untouched += gPoisoned[b].at[i] == 0xA5 ? 1 : 0;
            EXPECT_EQ(untouched, 0u) << c.name << ": array " << b << " of " << gPoisoned[b].size << " bytes";
        }
    }
}

}  // namespace

namespace {

// The arrays the last recorded Init allocated, as they are now.
std::vector<std::vector<unsigned char>> Snapshot() {
    std::vector<std::vector<unsigned char>> s;
    for (int b = 0; b < gPoisonedCount; ++b)
        s.emplace_back(gPoisoned[b].at, gPoisoned[b].at + gPoisoned[b].size);
    return s;
}

std::size_t BytesChangedSince(const std::vector<std::vector<unsigned char>>& before) {
    std::size_t changed = 0;
    for (int b = 0; b < gPoisonedCount; ++b)
        for (std::size_t i = 0; i < gPoisoned[b].size; ++i)
            changed += gPoisoned[b].at[i] != before[b][i] ? 1 : 0;
    return changed;
}

// A reset or a window change in the middle of a programme writes none of the arrays an engine's Init
// sized by the rate (rings) or by the programme's length (stores, histograms): it costs the audio
// thread the same at 384 kHz as at 48 kHz, however long the programme ran.
TEST(NoAllocation, ResetsAndWindowChangesWriteNoneOfTheArrays) {
    for (double rate : {48000.0, 384000.0}) {
        auto ebu = std::make_unique<EBUMM6>();
        gPoisonedCount = 0;
        gPoisoning = true;
        const bool ebuReady = ebu->Init(rate);
        gPoisoning = false;
        ASSERT_TRUE(ebuReady);
        for (long n = 0; n < static_cast<long>(4.0 * rate); ++n) {
            const double x = testsig::Sine(0.5, 997.0, rate, n);
            ProcessFrame_M(*ebu, x, -x, x, x, x, x, 3);
            ProcessFrame(*ebu, x, -x, x, x, x, x, 3, 1);
        }
        ASSERT_GT(ebu->mLra.mCount, 0);
        std::vector<std::vector<unsigned char>> before = Snapshot();
        ebu->Reset();
        EXPECT_EQ(BytesChangedSince(before), 0u) << "EBU engine at " << rate << " Hz";

        auto rms = std::make_unique<RMSMM6>();
        gPoisonedCount = 0;
        gPoisoning = true;
        const bool rmsReady = rms->Init(10.0, 3000.0, 0.75, rate);
        gPoisoning = false;
        ASSERT_TRUE(rmsReady);
        rms->SetWindow(3000.0);
        for (long n = 0; n < static_cast<long>(3.5 * rate); ++n) {
            const double x = testsig::Sine(0.5, 997.0, rate, n);
            ProcessFrame(*rms, x, -x, x, x, x, x, 1.0, 4);
        }
        ASSERT_EQ(rms->mFull, 1);
        before = Snapshot();
        rms->Reset();
        rms->SetWindow(10.0);
        rms->SetWindow(3000.0);
        EXPECT_EQ(BytesChangedSince(before), 0u) << "RMS engine at " << rate << " Hz";
    }
}

// The plug-in sets its engines up at 44.1 kHz when it is made and again at the host's rate: the second
// Init writes every array it allocates (so the audio thread never touches a page first) and an Init at
// the rate the engine already has allocates nothing.
TEST(NoAllocation, InitAtANewRateWritesItsArraysAndAtTheSameRateAllocatesNothing) {
    EBUMM6 ebu;
    RMSMM6 rms;
    ASSERT_TRUE(ebu.Init(44100.0));
    ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, 44100.0));
    for (double rate : {48000.0, 96000.0, 44100.0}) {
        gPoisonedCount = 0;
        gPoisoning = true;
        const bool ok = ebu.Init(rate) && rms.Init(10.0, 3000.0, 0.75, rate);
        gPoisoning = false;
        ASSERT_TRUE(ok) << rate;
        EXPECT_EQ(gPoisonedCount, 3) << rate << " Hz: two windows' rings and the RMS ring, nothing else";
        for (int b = 0; b < gPoisonedCount; ++b) {
            std::size_t untouched = 0;
            for (std::size_t i = 0; i < gPoisoned[b].size; ++i)
                untouched += gPoisoned[b].at[i] == 0xA5 ? 1 : 0;
            EXPECT_EQ(untouched, 0u) << rate << " Hz: array " << b << " of " << gPoisoned[b].size << " bytes";
        }
        const long before = gAllocations.load();
        ASSERT_TRUE(ebu.Init(rate));
        ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, rate));
        EXPECT_EQ(gAllocations.load() - before, 0) << rate;
    }
}

}  // namespace
