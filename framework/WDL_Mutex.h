#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

// Recursive mutex: the thread holding it may enter again, and must leave once per enter.
// One per plug-in instance guards its parameters, state and audio block (see IPlugBase).
// Any thread; Enter blocks, so the audio thread only ever takes the plug-in's own mutex.
//
// It keeps count of the times an Enter found the mutex held by another thread and had to wait, and of
// how long those waits took, so that a host adapter's promise that its audio thread never waits on the
// editor can be checked. An Enter that finds the mutex free pays nothing for the count.
class WDL_Mutex {
  public:
    WDL_Mutex();
    ~WDL_Mutex();
    WDL_Mutex(const WDL_Mutex&) = delete;
    WDL_Mutex& operator=(const WDL_Mutex&) = delete;

    void Enter();
    void Leave();

    // Waits since construction: how many, their total and the longest, in nanoseconds. Any thread.
    struct WaitStats {
        std::uint64_t waits = 0;
        std::uint64_t totalNs = 0;
        std::uint64_t worstNs = 0;
    };
    WaitStats GetWaitStats() const;

  private:
    pthread_mutex_t mMutex;
    std::atomic<std::uint64_t> mWaits{0};
    std::atomic<std::uint64_t> mWaitedNs{0};
    std::atomic<std::uint64_t> mWorstWaitNs{0};
};

// Holds a WDL_Mutex for the lifetime of the guard. A null mutex is allowed and does nothing.
class WDL_MutexLock {
  public:
    explicit WDL_MutexLock(WDL_Mutex* mutex) : mMutex(mutex) {
        if (mMutex) mMutex->Enter();
    }
    ~WDL_MutexLock() {
        if (mMutex) mMutex->Leave();
    }
    WDL_MutexLock(const WDL_MutexLock&) = delete;
    WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

  private:
    WDL_Mutex* mMutex;
};
