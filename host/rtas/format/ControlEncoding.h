#pragma once

#include <cstdint>

// Every host control value is a signed 32-bit integer spanning the whole range
// -2147483648 .. 2147483647, whatever the control's own bounds. These conversions are shared by
// the plug-in side (control objects) and the host side; they are pure and allocation-free, so
// the audio thread may call them.

// Discrete controls (on/off, discrete, list). `value` is clamped to [min, max] first, then mapped
// linearly onto the whole 32-bit range and truncated toward zero. A degenerate range (max <= min)
// encodes as -2147483648.
int32_t DiscreteToControl(int value, int min, int max);

// Inverse of DiscreteToControl: rounds to the nearest integer in [min, max]. A degenerate range
// decodes as min.
int ControlToDiscrete(int32_t control, int min, int max);

// Linear controls. `value` is clamped to the interval between min and max (either may be the
// larger); t = (value - min) / (max - min) is mapped onto the 32-bit range and rounded. NaN
// encodes as min; a degenerate range (min == max) encodes as -2147483648.
int32_t ContinuousToControl(double value, double min, double max);

// Inverse of ContinuousToControl (no rounding to a step): min .. max.
double ControlToContinuous(int32_t control, double min, double max);

// Number of distinct positions of a linear control: (max - min) / step + 1, truncated, at least 1
// and at most 2147483647. A step that is not positive and finite gives 2147483647 (continuous).
int32_t LinearStepCount(double min, double max, double step);
