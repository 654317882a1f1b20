// The audio path in real time: no allocation in a block (counted by replacing operator new for this
// test program), and flush-to-zero / denormals-are-zero exactly for the duration of a block.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "PluginHost.h"
#include "plugin/DenormalGuard.h"

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
// Nothrow allocations of at least this many bytes fail while it is not 0 (a system out of memory).
std::atomic<std::size_t> gFailNothrowFrom{0};
}  // namespace

void* operator new(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t failFrom = gFailNothrowFrom.load(std::memory_order_relaxed);
    if (failFrom != 0 && size >= failFrom) return nullptr;
    return std::malloc(size ? size : 1);
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

class CountAllocations {
  public:
    CountAllocations() {
        gAllocations = 0;
        gCounting = true;
    }
    ~CountAllocations() { gCounting = false; }
    long Count() const { return gAllocations.load(); }
};

TEST(AllocationCounter, SeesAnAllocation) {
    CountAllocations count;
    int* volatile p = new int(1);  // volatile: the pair may not be optimised away
    delete p;
    EXPECT_EQ(count.Count(), 1);
}

class AudioPath : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        HostSetsParam(plug, Quenlix::kType, GetParam());
        HostSetsParam(plug, Quenlix::kSync, 1);
        plug.mTransportRunning = true;
    }

    TestQuenlix plug;
    PluginHost host{plug, 6};
};

TEST_P(AudioPath, AllocatesNothingInABlock) {
    // Warm-up outside the count: the first blocks touch every read-out once.
    host.RunSine(44100, 0.5, 440.0);

    CountAllocations count;
    host.RunSine(3 * 44100, 1.2, 440.0, 44100.0, 512);  // refreshes, clipping, new texts
    host.RunConstant(44100, 0.0f, 64);                  // decaying followers and filter tails
    plug.mTransportRunning = false;
    host.RunSine(22050, 0.1, 1000.0, 44100.0, 1);  // one-sample blocks
    EXPECT_EQ(count.Count(), 0);
}

TEST_P(AudioPath, FlushesDenormalsOnlyInsideTheBlock) {
    unsigned insideMode = 0;
    plug.mOnGetTime = [&] { insideMode = _mm_getcsr() & ScopedFlushDenormals::kModeBits; };

    const unsigned before = _mm_getcsr();
    host.RunConstant(256, 0.1f);
    EXPECT_EQ(insideMode, ScopedFlushDenormals::kModeBits);
    EXPECT_EQ(_mm_getcsr() & ScopedFlushDenormals::kModeBits, before & ScopedFlushDenormals::kModeBits);

    // A host that runs with the modes already on keeps them.
    _mm_setcsr(before | ScopedFlushDenormals::kModeBits);
    host.RunConstant(256, 0.1f);
    EXPECT_EQ(_mm_getcsr() & ScopedFlushDenormals::kModeBits, ScopedFlushDenormals::kModeBits);
    _mm_setcsr(before);
}

INSTANTIATE_TEST_SUITE_P(BothTypes, AudioPath, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param ? "Ebu" : "Rms";
                         });

// An engine that could not get its memory at set-up measures nothing for the whole session: the
// plug-in says so when asked to prepare for the rate (a host adapter then refuses the instance), and
// prepares once memory is there again. Rates below 8000 Hz are refused the same way.
TEST(PrepareForSampleRate, ReportsAFailedEngineAllocationAndATooLowRate) {
    struct Case {
        const char* name;
        double rate;
        std::size_t failFrom;
        const char* reason;  // nullptr: prepared
    };
    const Case cases[] = {
        {"96 kHz, no memory for the 3 s rings", 96000.0, std::size_t{1} << 20, "no memory"},
        {"48 kHz, no memory for any ring", 48000.0, 4096, "no memory"},
        {"96 kHz", 96000.0, 0, nullptr},
        {"7999 Hz", 7999.0, 0, "below 8000 Hz"},
        {"8000 Hz", 8000.0, 0, nullptr},
    };
    for (const Case& c : cases) {
        TestQuenlix plug;
        plug.SetSampleRate(c.rate);
        std::string why;
        gFailNothrowFrom = c.failFrom;
        const bool prepared = plug.PrepareForSampleRate(&why);
        gFailNothrowFrom = 0;
        EXPECT_EQ(prepared, c.reason == nullptr) << c.name;
        if (c.reason) {
            EXPECT_NE(why.find(c.reason), std::string::npos) << c.name << ": " << why;
        }
        if (c.failFrom != 0) {
            EXPECT_TRUE(plug.PrepareForSampleRate(&why)) << c.name;  // memory is back
        }
    }
}

TEST(DenormalGuard, RestoresOnlyTheModeBits) {
    constexpr unsigned kUnderflowAndPrecisionFlags = 0x30u;
    const unsigned before = _mm_getcsr() & ~kUnderflowAndPrecisionFlags;
    _mm_setcsr(before);
    {
        ScopedFlushDenormals guard;
        volatile double tiny = 1e-300;
        volatile double result = tiny / 1e10;  // denormal result: flushed to zero, flags raised
        EXPECT_EQ(result, 0.0);
    }
    EXPECT_EQ(_mm_getcsr() & ScopedFlushDenormals::kModeBits, before & ScopedFlushDenormals::kModeBits);
    // The flags the block raised are the caller's to see, not wiped by the restore.
    EXPECT_NE(_mm_getcsr() & kUnderflowAndPrecisionFlags, 0u);
    volatile double tiny = 1e-300;
    volatile double result = tiny / 1e10;
    EXPECT_GT(result, 0.0);
}

}  // namespace
