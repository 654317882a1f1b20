#include "framework/WDL_Mutex.h"

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
    pthread_mutex_lock(&mMutex);
}

void WDL_Mutex::Leave() {
    pthread_mutex_unlock(&mMutex);
}
