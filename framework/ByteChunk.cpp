#include "framework/ByteChunk.h"

#include <cstring>

int ByteChunk::PutBytes(const void* data, int nBytes) {
    const int oldSize = Size();
    if (nBytes <= 0) return oldSize;
    if (!data || nBytes > 0x7fffffff - oldSize) return -1;
    if (!mBytes.Resize(oldSize + nBytes)) return -1;
    std::memcpy(GetBytes() + oldSize, data, static_cast<size_t>(nBytes));
    return Size();
}

int ByteChunk::GetBytes(void* data, int nBytes, int startPos) const {
    if (startPos < 0 || nBytes < 0 || !data) return -1;
    const int size = Size();
    if (startPos > size || nBytes > size - startPos) return -1;
    if (nBytes > 0) std::memcpy(data, GetBytes() + startPos, static_cast<size_t>(nBytes));
    return startPos + nBytes;
}

int ByteChunk::PutChunk(const ByteChunk* other) {
    if (!other) return Size();
    if (other == this) {
        ByteChunk copy(*this);
        return PutChunk(&copy);
    }
    return PutBytes(other->GetBytes(), other->Size());
}

int ByteChunk::Resize(int newSize) {
    const int oldSize = Size();
    if (newSize < 0) newSize = 0;
    if (!mBytes.TryResize(newSize)) return -1;
    if (newSize > oldSize) std::memset(GetBytes() + oldSize, 0, static_cast<size_t>(newSize - oldSize));
    return Size();
}

bool ByteChunk::IsEqual(const ByteChunk& other) const {
    if (Size() != other.Size()) return false;
    return Size() == 0 || std::memcmp(GetBytes(), other.GetBytes(), static_cast<size_t>(Size())) == 0;
}
