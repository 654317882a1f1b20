#pragma once

// Four-character codes: the 32-bit names hosts know makers, plug-ins, effect types, controls and
// settings chunks by, packed big-endian ('QXR5' is 0x51585235). Any thread; compile-time where the
// text is.

#include <cstdint>

// Packs the first four characters of `code` (which must hold at least four), the first one in the
// most significant byte.
constexpr uint32_t FourCharCode(const char* code) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(code[3]));
}
