#pragma once

#include <cstddef>

// Read-out texts of the meter display. Every text is a short signed value with one decimal, "-inf" or
// "---"; the caller's buffer of kMeterTextSize characters holds any of them.
//
// Thread: the audio thread at display refresh points. Allocates nothing, takes no lock.

constexpr std::size_t kMeterTextSize = 32;

// The text shown for every value at or below the silent level of -144.0.
constexpr const char* kSilentText = "-inf";
// The text shown while a loudness measurement is not yet valid.
constexpr const char* kNotValidText = "---";

// Writes v as "%.1lf" (or " %.1lf" with one leading space, used under the per-channel meters), or
// "-inf" when v <= -144.0. A NaN is written as "-inf" as well, so a broken value never shows garbage.
void FormatMeterValue(char* out, std::size_t size, double v, bool leadingSpace = false);
