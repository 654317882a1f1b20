#include "framework/WDL_Mutex.h"

#include <time.h>

namespace {

std::uint64_t NowNs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + static_cast<std::uint64_t>(t.tv_nsec);
}

}  // namespace

WDL_Mutex::WDL_Mutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mMutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

WDL_Mutex::~WDL_Mutex() {
    pthread_mutex_destroy(&mMutex);
}

void WDL_Mutex::Enter() {
    // Free, or already ours: taken without a wait and without a clock read.
    if (pthread_mutex_trylock(&mMutex) == 0) return;
    const std::uint64_t start = NowNs();
    pthread_mutex_lock(&mMutex);
    const std::uint64_t waited = NowNs() - start;
    mWaits.fetch_add(1, std::memory_order_relaxed);
    mWaitedNs.fetch_add(waited, std::memory_order_relaxed);
    std::uint64_t worst = mWorstWaitNs.load(std::memory_order_relaxed);
    while (waited > worst && !mWorstWaitNs.compare_exchange_weak(worst, waited, std::memory_order_relaxed)) {
    }
}

void WDL_Mutex::Leave() {
    pthread_mutex_unlock(&mMutex);
}

WDL_Mutex::WaitStats WDL_Mutex::GetWaitStats() const {
    WaitStats s;
    s.waits = mWaits.load(std::memory_order_relaxed);
    s.totalNs = mWaitedNs.load(std::memory_order_relaxed);
    s.worstNs = mWorstWaitNs.load(std::memory_order_relaxed);
    return s;
}
