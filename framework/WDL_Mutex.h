#pragma once

#include <pthread.h>

// Recursive mutex: the thread holding it may enter again, and must leave once per enter.
// One per plug-in instance guards its parameters, state and audio block (see IPlugBase).
// Any thread; Enter blocks, so the audio thread only ever takes the plug-in's own mutex.
class WDL_Mutex {
  public:
    WDL_Mutex();
    ~WDL_Mutex();
    WDL_Mutex(const WDL_Mutex&) = delete;
    WDL_Mutex& operator=(const WDL_Mutex&) = delete;

    void Enter();
    void Leave();

  private:
    pthread_mutex_t mMutex;
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
