#pragma once

// Flush-to-zero and denormals-are-zero for the calling thread, for the lifetime of the guard.
//
// The K-weighting and true-peak filters keep recursive state that decays towards zero once the audio
// stops; on x86 every operation on a denormal result is many times slower than a normal one. The
// processing driver holds one guard per block so a silent tail never slows the audio thread. Only the
// two mode bits are touched: the previous mode is restored on destruction, and the exception flags the
// block raised stay as they are.
//
// Thread: any; the mode is per thread. Allocates nothing, takes no lock.

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64)
#include <xmmintrin.h>

class ScopedFlushDenormals {
  public:
    ScopedFlushDenormals() noexcept : mSavedModeBits(_mm_getcsr() & kModeBits) {
        _mm_setcsr(_mm_getcsr() | kModeBits);
    }

    ~ScopedFlushDenormals() { _mm_setcsr((_mm_getcsr() & ~kModeBits) | mSavedModeBits); }

    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

    // MXCSR bit 15 is flush-to-zero, bit 6 denormals-are-zero.
    static constexpr unsigned int kModeBits = 0x8040u;

  private:
    unsigned int mSavedModeBits;
};

#elif defined(__aarch64__)
#include <cstdint>

class ScopedFlushDenormals {
  public:
    ScopedFlushDenormals() noexcept : mSavedModeBits(ReadFpcr() & kModeBits) {
        WriteFpcr(ReadFpcr() | kModeBits);
    }

    ~ScopedFlushDenormals() { WriteFpcr((ReadFpcr() & ~kModeBits) | mSavedModeBits); }

    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

    // FPCR bit 24 (FZ) flushes denormal inputs and results alike.
    static constexpr std::uint64_t kModeBits = std::uint64_t(1) << 24;

  private:
    static std::uint64_t ReadFpcr() noexcept {
        std::uint64_t v;
        asm volatile("mrs %0, fpcr" : "=r"(v));
        return v;
    }
    static void WriteFpcr(std::uint64_t v) noexcept { asm volatile("msr fpcr, %0" : : "r"(v)); }

    std::uint64_t mSavedModeBits;
};

#else

// No known way to switch the mode on this processor: the guard does nothing.
class ScopedFlushDenormals {
  public:
    ScopedFlushDenormals() noexcept = default;
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;
};

#endif
