#pragma once

#include <cstdint>
#include <string>

// A four-character code packed big-endian into 32 bits: 'QXR5' is 0x51585235. Codes name makers,
// plug-ins, effect types, controls and settings chunks throughout the host format.
typedef uint32_t OSType;

// Packs the first four characters of `code` (which must hold at least four).
constexpr OSType FourCharCode(const char* code) {
    return (static_cast<OSType>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<OSType>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<OSType>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<OSType>(static_cast<unsigned char>(code[3]));
}

// The four characters of a code, most significant first ("QXR5").
inline std::string FourCharCodeText(OSType code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
    return text;
}

// Result codes of the host format's calls. 0 is success; a settings-chunk request the plug-in
// cannot serve (foreign chunk ID or index, malformed chunk) answers kChunkRangeErr.
typedef int32_t ComponentResult;
constexpr ComponentResult kNoErr = 0;
constexpr ComponentResult kChunkRangeErr = -7157;
