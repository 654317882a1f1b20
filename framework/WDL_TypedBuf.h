#pragma once

#include <cstring>
#include <type_traits>

#include "framework/WDL_HeapBuf.h"

// Growable array of plain records (doubles, pointers, small structs) on top of WDL_HeapBuf.
// Elements are moved with memcpy, so T must be trivially copyable. Sizes are element counts.
// Same thread and allocation rules as WDL_HeapBuf.
template <class T>
class WDL_TypedBuf {
    static_assert(std::is_trivially_copyable<T>::value, "WDL_TypedBuf holds plain records only");

  public:
    explicit WDL_TypedBuf(int granularityBytes = 4096) : mHeap(granularityBytes) {}

    T* Get() const { return static_cast<T*>(mHeap.Get()); }
    int GetSize() const { return mHeap.GetSize() / static_cast<int>(sizeof(T)); }

    // Sets the element count; new elements are uninitialised. Returns the data pointer, or null
    // on allocation failure (old contents kept) or a count of 0.
    T* Resize(int count) {
        if (count < 0) count = 0;
        if (count > kMaxCount) return nullptr;
        return static_cast<T*>(mHeap.Resize(count * static_cast<int>(sizeof(T))));
    }

    // Appends one element; returns false on allocation failure.
    bool Add(const T& value) {
        const int n = GetSize();
        if (!Resize(n + 1)) return false;
        Get()[n] = value;
        return true;
    }

    // Fills every element with zero bytes (0.0 for doubles, null for pointers).
    void ZeroFill() {
        if (Get()) std::memset(static_cast<void*>(Get()), 0, static_cast<size_t>(GetSize()) * sizeof(T));
    }

  private:
    static constexpr int kMaxCount = 0x7fffffff / static_cast<int>(sizeof(T));
    WDL_HeapBuf mHeap;
};
