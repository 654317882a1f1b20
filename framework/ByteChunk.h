#pragma once

#include <type_traits>

#include "framework/WDL_HeapBuf.h"

// Growable byte buffer that plug-in state is written into and read from. Values are stored as
// their raw in-memory bytes (native byte order; a double is the 8-byte IEEE 754 value), appended
// at the end and read back at a byte position.
// Not thread-safe; the plug-in base holds its mutex while it serialises into one.
class ByteChunk {
  public:
    ByteChunk() : mBytes(4096) {}

    // Appends the bytes of *value. Returns the new size, or -1 when the buffer could not grow
    // (the chunk is then unchanged).
    template <class T>
    int Put(const T* value) {
        static_assert(std::is_trivially_copyable<T>::value, "ByteChunk stores plain values only");
        return PutBytes(value, static_cast<int>(sizeof(T)));
    }

    // Reads sizeof(T) bytes at byte position startPos into *value. Returns the position just
    // after them, or -1 (and *value untouched) when startPos is negative or the value would
    // extend past the current size.
    template <class T>
    int Get(T* value, int startPos) const {
        static_assert(std::is_trivially_copyable<T>::value, "ByteChunk stores plain values only");
        return GetBytes(value, static_cast<int>(sizeof(T)), startPos);
    }

    int PutBytes(const void* data, int nBytes);
    int GetBytes(void* data, int nBytes, int startPos) const;

    // Appends the whole content of other; returns the new size or -1.
    int PutChunk(const ByteChunk* other);

    int Size() const { return mBytes.GetSize(); }
    // Sets the size; new bytes are zero. Returns the new size, or -1 on allocation failure.
    int Resize(int newSize);
    void Clear() { mBytes.Resize(0); }
    // The bytes; null while the chunk is empty.
    unsigned char* GetBytes() const { return static_cast<unsigned char*>(mBytes.Get()); }

    bool IsEqual(const ByteChunk& other) const;

  private:
    WDL_HeapBuf mBytes;
};
