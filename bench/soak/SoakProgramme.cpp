#include "bench/soak/SoakProgramme.h"

#include <algorithm>
#include <cmath>

namespace soak {

SoakProgramme::SoakProgramme(double sampleRate, int channels, std::uint64_t seed)
    : mSampleRate(sampleRate), mChannels(channels), mState(seed == 0 ? 0x9E3779B97F4A7C15ull : seed) {}

double SoakProgramme::unit() {
    mState ^= mState << 13;
    mState ^= mState >> 7;
    mState ^= mState << 17;
    return static_cast<double>(mState >> 11) * (1.0 / 9007199254740992.0);
}

int SoakProgramme::uniform(int lo, int hi) {
    return lo + static_cast<int>(unit() * static_cast<double>(hi - lo + 1));
}

void SoakProgramme::nextScene() {
    double seconds = 0.2 + unit() * 19.8;
    double kind = unit();
    double levelDb = -80.0 + unit() * 80.0;
    if (kind < 0.05) {
        levelDb = -INFINITY;  // digital silence
    } else if (kind < 0.08) {
        levelDb = 0.0;  // full-scale burst
        seconds = 0.05 + unit() * 0.5;
    }
    double peak = std::isinf(levelDb) ? 0.0 : std::pow(10.0, levelDb / 20.0);
    double sineShare = unit();
    mSineGain = peak * sineShare;
    mNoiseGain = peak * (1.0 - sineShare);
    double hz = 20.0 * std::pow(1000.0, unit());  // 20 Hz .. 20 kHz, even in octaves
    hz = std::min(hz, 0.45 * mSampleRate);
    double w = 2.0 * M_PI * hz / mSampleRate;
    mRotRe = std::cos(w);
    mRotIm = std::sin(w);
    mSceneLeft = std::max<std::int64_t>(1, std::llround(seconds * mSampleRate));
}

void SoakProgramme::render(float* const* out, int frames) {
    for (int i = 0; i < frames; ++i) {
        if (mSceneLeft <= 0) nextScene();
        --mSceneLeft;
        double re = mRe * mRotRe - mIm * mRotIm;
        mIm = mRe * mRotIm + mIm * mRotRe;
        mRe = re;
        if (--mRenormCountdown <= 0) {
            double len = std::sqrt(mRe * mRe + mIm * mIm);
            mRe /= len;
            mIm /= len;
            mRenormCountdown = 4096;
        }
        double sine = mSineGain * mIm;
        for (int c = 0; c < mChannels; ++c) {
            double noise = mNoiseGain * (2.0 * unit() - 1.0);
            out[c][i] = static_cast<float>(sine + noise);
        }
    }
}

}  // namespace soak
