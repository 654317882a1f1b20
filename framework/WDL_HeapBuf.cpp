#include "framework/WDL_HeapBuf.h"

#include <cstdlib>
#include <cstring>

WDL_HeapBuf::WDL_HeapBuf(int granularity) : mGranularity(granularity > 0 ? granularity : 1) {}

WDL_HeapBuf::~WDL_HeapBuf() {
    std::free(mBuf);
}

WDL_HeapBuf::WDL_HeapBuf(const WDL_HeapBuf& other) : mGranularity(other.mGranularity) {
    CopyFrom(other);
}

WDL_HeapBuf& WDL_HeapBuf::operator=(const WDL_HeapBuf& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

WDL_HeapBuf::WDL_HeapBuf(WDL_HeapBuf&& other) noexcept
    : mBuf(other.mBuf), mSize(other.mSize), mCapacity(other.mCapacity), mGranularity(other.mGranularity) {
    other.mBuf = nullptr;
    other.mSize = other.mCapacity = 0;
}

WDL_HeapBuf& WDL_HeapBuf::operator=(WDL_HeapBuf&& other) noexcept {
    if (this != &other) {
        std::free(mBuf);
        mBuf = other.mBuf;
        mSize = other.mSize;
        mCapacity = other.mCapacity;
        mGranularity = other.mGranularity;
        other.mBuf = nullptr;
        other.mSize = other.mCapacity = 0;
    }
    return *this;
}

bool WDL_HeapBuf::TryResize(int newSize) {
    if (newSize <= 0) {
        Resize(0);
        return true;
    }
    return Resize(newSize) != nullptr;
}

void* WDL_HeapBuf::Resize(int newSize) {
    if (newSize < 0) newSize = 0;
    const bool grow = newSize > mCapacity;
    const bool shrink = newSize < mCapacity / 2 && mCapacity > mGranularity;
    if (grow || shrink) {
        // Round up to the granularity without overflowing int.
        long long want = newSize;
        const long long g = mGranularity;
        want = ((want + g - 1) / g) * g;
        if (want > 0x7fffffffLL) want = newSize;
        if (want == 0) {
            std::free(mBuf);
            mBuf = nullptr;
            mCapacity = 0;
        } else {
            void* p = std::realloc(mBuf, static_cast<size_t>(want));
            if (!p) {
                if (grow) return nullptr;  // contents and size unchanged
                // A failed shrink keeps the larger block, which is still valid.
            } else {
                mBuf = p;
                mCapacity = static_cast<int>(want);
            }
        }
    }
    mSize = newSize;
    return mSize > 0 ? mBuf : nullptr;
}

bool WDL_HeapBuf::CopyFrom(const WDL_HeapBuf& other) {
    if (this == &other) return true;
    if (other.mSize == 0) {
        Resize(0);
        return true;
    }
    if (!Resize(other.mSize)) {
        Resize(0);
        return false;
    }
    std::memcpy(mBuf, other.mBuf, static_cast<size_t>(other.mSize));
    return true;
}
