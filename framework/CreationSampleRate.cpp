#include "framework/CreationSampleRate.h"

#include <cmath>

namespace {

thread_local double tCreationSampleRate = 0.0;

}  // namespace

ScopedCreationSampleRate::ScopedCreationSampleRate(double sampleRate) : mOuter(tCreationSampleRate) {
    tCreationSampleRate = sampleRate > 0.0 && std::isfinite(sampleRate) ? sampleRate : 0.0;
}

ScopedCreationSampleRate::~ScopedCreationSampleRate() {
    tCreationSampleRate = mOuter;
}

double ScopedCreationSampleRate::Current() {
    return tCreationSampleRate;
}
