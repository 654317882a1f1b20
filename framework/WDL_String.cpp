#include "framework/WDL_String.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int CappedLength(const char* text, int maxLen) {
    if (!text) return 0;
    const size_t n = maxLen > 0 ? strnlen(text, static_cast<size_t>(maxLen)) : std::strlen(text);
    return n > 0x7ffffffe ? 0x7ffffffe : static_cast<int>(n);
}

}  // namespace

WDL_String::WDL_String(const char* text) {
    Set(text);
}

WDL_String::WDL_String(const WDL_String& other) {
    Set(other.Get());
}

WDL_String& WDL_String::operator=(const WDL_String& other) {
    if (this != &other) Set(other.Get());
    return *this;
}

WDL_String::~WDL_String() {
    std::free(mBuf);
}

bool WDL_String::Reserve(int length) {
    if (length < mCapacity) return true;
    long long want = (static_cast<long long>(length) + 1 + 63) / 64 * 64;
    if (want > 0x7fffffffLL) return false;
    char* p = static_cast<char*>(std::realloc(mBuf, static_cast<size_t>(want)));
    if (!p) return false;
    if (!mBuf) p[0] = '\0';
    mBuf = p;
    mCapacity = static_cast<int>(want);
    return true;
}

bool WDL_String::Set(const char* text, int maxLen) {
    const int n = CappedLength(text, maxLen);
    if (text && mBuf && text >= mBuf && text < mBuf + mCapacity) {
        // Setting from a part of our own text: move it into place.
        std::memmove(mBuf, text, static_cast<size_t>(n));
        mBuf[n] = '\0';
        mLength = n;
        return true;
    }
    if (!Reserve(n)) return false;
    if (n > 0) std::memcpy(mBuf, text, static_cast<size_t>(n));
    mBuf[n] = '\0';
    mLength = n;
    return true;
}

bool WDL_String::Append(const char* text, int maxLen) {
    const int n = CappedLength(text, maxLen);
    if (n == 0) return true;
    if (n > 0x7ffffffe - mLength) return false;
    if (text && mBuf && text >= mBuf && text < mBuf + mCapacity) {
        WDL_String copy;  // own text: copy first, the buffer may move
        if (!copy.Set(text, n)) return false;
        return Append(copy.Get(), n);
    }
    if (!Reserve(mLength + n)) return false;
    std::memcpy(mBuf + mLength, text, static_cast<size_t>(n));
    mLength += n;
    mBuf[mLength] = '\0';
    return true;
}

void WDL_String::SetLength(int length) {
    if (length < 0) length = 0;
    if (length < mLength) {
        mLength = length;
        mBuf[mLength] = '\0';
    }
}

namespace {

// Formats into a temporary string; false when formatting or allocation fails.
bool Format(WDL_String* out, int maxLen, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) return false;
    char* tmp = static_cast<char*>(std::malloc(static_cast<size_t>(needed) + 1));
    if (!tmp) return false;
    std::vsnprintf(tmp, static_cast<size_t>(needed) + 1, format, args);
    const bool ok = out->Set(tmp, maxLen > 0 && maxLen < needed ? maxLen : needed);
    std::free(tmp);
    return ok;
}

}  // namespace

bool WDL_String::SetFormatted(int maxLen, const char* format, ...) {
    WDL_String tmp;
    va_list args;
    va_start(args, format);
    const bool ok = Format(&tmp, maxLen, format, args);
    va_end(args);
    return ok && Set(tmp.Get());
}

bool WDL_String::AppendFormatted(int maxLen, const char* format, ...) {
    WDL_String tmp;
    va_list args;
    va_start(args, format);
    const bool ok = Format(&tmp, maxLen, format, args);
    va_end(args);
    return ok && Append(tmp.Get());
}
