#pragma once

// One frame at a time through the engines' block forms: how the tests and benchmarks feed a sample
// frame by frame. The plug-in measures in runs; a frame is a run of one, so these give the bits the
// engines give for any split of the audio into runs.

#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"

// The RMS engine's follower section for one frame of six slots.
inline void ProcessFrame_M(RMSMM6& e, double s1, double s2, double s3, double s4, double s5, double s6,
                           double /*enable*/, int config) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    const double* slots[6] = {s, s + 1, s + 2, s + 3, s + 4, s + 5};
    e.ProcessBlock_M(slots, 1, config);
}

// The RMS engine's measuring section for one frame; 1 when it produced a windowed result.
inline int ProcessFrame(RMSMM6& e, double s1, double s2, double s3, double s4, double s5, double s6,
                        double enable, int config) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    const double* slots[6] = {s, s + 1, s + 2, s + 3, s + 4, s + 5};
    return e.ProcessBlock(slots, 1, enable, config);
}

// The loudness engine's true-peak and follower section for one frame.
inline void ProcessFrame_M(EBUMM6& e, double s1, double s2, double s3, double s4, double s5, double s6,
                           int config) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    const double* slots[6] = {s, s + 1, s + 2, s + 3, s + 4, s + 5};
    e.ProcessBlock_M(slots, 1, config);
}

// The loudness engine's measuring section for one frame.
inline void ProcessFrame(EBUMM6& e, double s1, double s2, double s3, double s4, double s5, double s6,
                         int config, int integrate) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    const double* slots[6] = {s, s + 1, s + 2, s + 3, s + 4, s + 5};
    e.ProcessBlock(slots, 1, config, integrate);
}
