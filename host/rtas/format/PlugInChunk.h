#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/rtas/format/FourCharCode.h"

// A settings chunk as the host stores it in its project: a 56-byte header followed by the
// plug-in's own bytes. Fields are native 32-bit integers. The host fills the header when it asks
// for a chunk; the plug-in writes only mSize (total bytes, header included) and reads mChunkID.
struct PlugInChunkHeader {
    int32_t mSize;           // bytes 0..3: total size, header included
    int32_t mVersion;        // bytes 4..7
    OSType mManufacturerID;  // bytes 8..11
    OSType mProductID;       // bytes 12..15
    OSType mTypeID;          // bytes 16..19
    OSType mChunkID;         // bytes 20..23
    char mName[32];          // bytes 24..55
};

constexpr int32_t kPlugInChunkHeaderSize = 56;
static_assert(sizeof(PlugInChunkHeader) == kPlugInChunkHeaderSize, "chunk header is 56 bytes");
static_assert(offsetof(PlugInChunkHeader, mChunkID) == 20, "chunk ID sits at byte 20");

// Field access on a chunk held as raw bytes (no alignment assumed). The caller guarantees at
// least offset + 4 readable bytes.
inline int32_t ReadChunkField(const unsigned char* chunk, size_t offset) {
    int32_t v;
    std::memcpy(&v, chunk + offset, sizeof(v));
    return v;
}
inline void WriteChunkField(unsigned char* chunk, size_t offset, int32_t value) {
    std::memcpy(chunk + offset, &value, sizeof(value));
}
