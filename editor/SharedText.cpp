#include "editor/SharedText.h"

#include <cstring>

namespace {

// Copies at most kCapacity - 1 bytes of src, backing up so that no UTF-8 sequence is cut in half.
void CopyCut(char* dst, const char* src) {
    size_t n = std::strlen(src);
    if (n > static_cast<size_t>(SharedText::kCapacity - 1)) {
        n = SharedText::kCapacity - 1;
        while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0u) == 0x80u) --n;
    }
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

}  // namespace

SharedText::SharedText(const char* initial) : mMiddle(1), mBack(2), mFront(0) {
    std::memset(mBuf, 0, sizeof(mBuf));
    CopyCut(mWritten, initial ? initial : "");
    std::memcpy(mBuf[0], mWritten, sizeof(mWritten));
}

bool SharedText::Set(const char* text) {
    char cut[kCapacity];
    CopyCut(cut, text ? text : "");
    if (std::strcmp(cut, mWritten) == 0) return false;
    std::memcpy(mWritten, cut, sizeof(cut));
    std::memcpy(mBuf[mBack], cut, sizeof(cut));
    const unsigned old = mMiddle.exchange(mBack | kFresh, std::memory_order_acq_rel);
    mBack = old & 3u;
    return true;
}

const char* SharedText::Get() {
    if (mMiddle.load(std::memory_order_acquire) & kFresh) {
        const unsigned old = mMiddle.exchange(mFront, std::memory_order_acq_rel);
        mFront = old & 3u;
    }
    return mBuf[mFront];
}
