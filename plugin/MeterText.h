#pragma once

#include <cstddef>

// Read-out texts of the meter display. Every text is a short signed value with one decimal, "-inf" or
// "---"; the caller's buffer of kMeterTextSize characters holds any of them.
//
// Every text fits its read-out's box for every value: a read-out under a meter holds five characters
// after its leading space ("-99.9"), a read-out of the column six ("-143.9"). A value whose one-decimal
// text is longer is shown as a whole number ("-105"); a value whose whole number is longer still (only
// a sample value far beyond any audio format's range gets there) as the bound it passes (">9999").
//
// Thread: the audio thread at display refresh points. Allocates nothing, takes no lock.

constexpr std::size_t kMeterTextSize = 32;

// The text shown for every value at or below the silent level of -144.0.
constexpr const char* kSilentText = "-inf";
// The text shown while a loudness measurement is not yet valid.
constexpr const char* kNotValidText = "---";

// Characters of a value's text in a read-out under a meter (after its leading space) and in a read-out
// of the column.
constexpr int kPeakValueChars = 5;
constexpr int kReadoutValueChars = 6;

// Writes v as "%.1lf" (or " %.1lf" with one leading space, used under the per-channel meters), or
// "-inf" when v <= -144.0, shortened as above where that text would not fit. A NaN is written as
// "-inf" as well, so a broken value never shows garbage.
void FormatMeterValue(char* out, std::size_t size, double v, bool leadingSpace = false);
