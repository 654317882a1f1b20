#pragma once

// Growable heap byte buffer. Capacity grows in multiples of the granularity so that repeated
// small appends do not reallocate each time. Allocation never throws: a failed resize returns
// null and leaves the buffer as it was.
//
// Not thread-safe; the owner serialises access. Resizing allocates, so it is never done on the
// audio thread except where the caller has made sure the capacity already suffices.
class WDL_HeapBuf {
  public:
    explicit WDL_HeapBuf(int granularity = 4096);
    ~WDL_HeapBuf();
    WDL_HeapBuf(const WDL_HeapBuf& other);
    WDL_HeapBuf& operator=(const WDL_HeapBuf& other);
    WDL_HeapBuf(WDL_HeapBuf&& other) noexcept;
    WDL_HeapBuf& operator=(WDL_HeapBuf&& other) noexcept;

    void* Get() const { return mSize > 0 ? mBuf : nullptr; }
    int GetSize() const { return mSize; }
    int GetGranularity() const { return mGranularity; }

    // Sets the size in bytes (negative counts as 0). Bytes that were there stay; new bytes are
    // uninitialised. Shrinking keeps the capacity unless it drops below half of what is held.
    // Returns the data pointer, or null when the allocation failed (the old contents are intact)
    // or the new size is 0.
    void* Resize(int newSize);

    // Same as Resize, but reports failure as false; a size of 0 succeeds.
    bool TryResize(int newSize);

    // Makes this a byte-for-byte copy of other. Returns false (and leaves this empty) when the
    // allocation failed.
    bool CopyFrom(const WDL_HeapBuf& other);

  private:
    void* mBuf = nullptr;
    int mSize = 0;
    int mCapacity = 0;
    int mGranularity;
};
