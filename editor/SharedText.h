// Hands a short text from one writer thread (the plug-in side) to one reader thread (the UI) without
// locks or allocation: three fixed buffers rotate between writer, reader and a hand-over slot, so the
// reader never sees a buffer while the writer fills it.
#pragma once

#include <atomic>

class SharedText {
  public:
    // Bytes per buffer including the terminating zero; longer texts are cut at a character boundary.
    static constexpr int kCapacity = 128;

    // Construction happens before the object is shared.
    explicit SharedText(const char* initial = "");
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    // Writer thread (any thread, one writer at a time: callers serialise writers, in this program with
    // the plug-in mutex). Publishes text when it differs from the last text written (compared after
    // cutting) and returns true; an equal text changes nothing and returns false. Never blocks or
    // allocates. A null text counts as "".
    bool Set(const char* text);

    // Writer thread: the last text written (or the initial one).
    const char* GetWritten() const { return mWritten; }

    // Reader thread (the UI thread; one reader): the newest published text. The pointer stays valid
    // and unchanged until this thread calls Get again.
    const char* Get();
    // Reader thread: the text the last Get returned (the initial one before any), without taking a
    // newer one.
    const char* Current() const { return mBuf[mFront]; }

  private:
    static constexpr unsigned kFresh = 4;  // hand-over slot holds a text the reader has not taken

    char mBuf[3][kCapacity];
    char mWritten[kCapacity];
    std::atomic<unsigned> mMiddle;  // index of the hand-over buffer | kFresh
    unsigned mBack;                 // writer-owned buffer
    unsigned mFront;                // reader-owned buffer
};
