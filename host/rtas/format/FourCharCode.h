#pragma once

#include <cstdint>
#include <string>

#include "common/FourCharCode.h"

// A four-character code (common/FourCharCode.h packs them). Codes name makers, plug-ins, effect
// types, controls and settings chunks throughout the host format.
typedef uint32_t OSType;

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
