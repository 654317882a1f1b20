#include "tests/conformance/SteppedSine.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace conformance {

std::vector<Step> stereoSteps(const std::vector<std::pair<double, double>>& secondsAndDbfs) {
    std::vector<Step> steps;
    for (const auto& [seconds, dbfs] : secondsAndDbfs) steps.push_back({seconds, {dbfs, dbfs}});
    return steps;
}

std::vector<Step> repeated(const std::vector<Step>& pattern, double totalSeconds) {
    std::vector<Step> steps;
    double t = 0.0;
    // A little slack so that a total that is a whole number of patterns does not leave a sliver step.
    constexpr double kSlackSeconds = 1e-9;
    while (!pattern.empty() && t < totalSeconds - kSlackSeconds) {
        for (const Step& s : pattern) {
            if (t >= totalSeconds - kSlackSeconds) break;
            Step cut = s;
            cut.seconds = std::min(s.seconds, totalSeconds - t);
            steps.push_back(cut);
            t += cut.seconds;
        }
    }
    return steps;
}

SteppedSine::SteppedSine(double sampleRate, const Tone& tone, const std::vector<Step>& steps)
    : mSampleRate(sampleRate), mTone(tone) {
    if (steps.empty() || !(sampleRate > 0.0))
        throw std::invalid_argument("a test signal needs steps and a rate");
    mChannels = static_cast<int>(steps.front().peakDbfs.size());
    double endSeconds = 0.0;
    for (const Step& s : steps) {
        if (static_cast<int>(s.peakDbfs.size()) != mChannels)
            throw std::invalid_argument("channel counts differ");
        endSeconds += s.seconds;
        mStepEnds.push_back(std::llround(endSeconds * sampleRate));
        std::vector<double> amplitude;
        for (double db : s.peakDbfs)
            amplitude.push_back(std::isinf(db) && db < 0 ? 0.0 : std::pow(10.0, db / 20.0));
        mAmplitude.push_back(amplitude);
    }
    mFadeFrames = std::llround(tone.fadeSeconds * sampleRate);
}

double SteppedSine::fadeGain(std::int64_t frame) const {
    if (mFadeFrames <= 0) return 1.0;
    std::int64_t fromEdge = std::min(frame, totalFrames() - 1 - frame);
    if (fromEdge >= mFadeFrames) return 1.0;
    return 0.5 - 0.5 * std::cos(M_PI * static_cast<double>(fromEdge) / static_cast<double>(mFadeFrames));
}

int SteppedSine::render(float* const* out, int maxFrames) {
    const double radiansPerFrame = 2.0 * M_PI * mTone.frequencyHz / mSampleRate;
    const double phase0 = mTone.phaseDegrees * M_PI / 180.0;
    int written = 0;
    while (written < maxFrames && !finished()) {
        while (mPosition >= mStepEnds[mStep]) ++mStep;
        const std::vector<double>& amplitude = mAmplitude[mStep];
        int n = static_cast<int>(std::min<std::int64_t>(maxFrames - written, mStepEnds[mStep] - mPosition));
        for (int i = 0; i < n; ++i) {
            std::int64_t frame = mPosition + i;
            double s = std::sin(radiansPerFrame * static_cast<double>(frame) + phase0) * fadeGain(frame);
            for (int c = 0; c < mChannels; ++c) out[c][written + i] = static_cast<float>(amplitude[c] * s);
        }
        written += n;
        mPosition += n;
    }
    return written;
}

}  // namespace conformance
