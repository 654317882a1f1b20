#include "meters/PeakFollower.h"

#include <cmath>

void PeakFollower::Init(double sampleRate) {
    mHeld = 0.0;
    mFollower = 0.0;
    mDecay = std::pow(10.0, 1.0 / (0.5 * sampleRate));
}
