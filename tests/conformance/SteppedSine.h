// The EBU loudness-meter test signals, synthesised while they are played: one sine whose peak level per
// channel changes in steps, optionally faded in and out. Nothing is read from files.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace conformance {

// Level of a channel that stays silent (an LFE channel fed nothing, for instance).
constexpr double kSilent = -std::numeric_limits<double>::infinity();

// One stretch of constant level: `seconds` long (> 0), one sine peak level in dBFS per channel.
struct Step {
    double seconds = 0.0;
    std::vector<double> peakDbfs;
};

struct Tone {
    double frequencyHz = 1000.0;
    double phaseDegrees = 0.0;  // phase of the first sample
    double fadeSeconds = 0.0;   // raised-cosine fade in at the start and out at the end, 0 for none
};

// The same level on both channels of a stereo signal, for each (seconds, peak dBFS) pair.
std::vector<Step> stereoSteps(const std::vector<std::pair<double, double>>& secondsAndDbfs);

// `pattern` repeated until `totalSeconds`; the last repetition is cut short where the total ends.
std::vector<Step> repeated(const std::vector<Step>& pattern, double totalSeconds);

// Plays the steps one after the other with an unbroken sine phase, so a level change is a pure step in
// amplitude. Step boundaries fall on the frame nearest to each step's end time, counted from the start, so
// rounding never accumulates. Single-threaded.
class SteppedSine {
  public:
    // `steps` must all have the same channel count (1..6).
    SteppedSine(double sampleRate, const Tone& tone, const std::vector<Step>& steps);

    int channels() const { return mChannels; }
    double sampleRate() const { return mSampleRate; }
    std::int64_t totalFrames() const { return mStepEnds.empty() ? 0 : mStepEnds.back(); }
    std::int64_t framesDone() const { return mPosition; }
    double secondsDone() const { return static_cast<double>(mPosition) / mSampleRate; }
    bool finished() const { return mPosition >= totalFrames(); }

    // Writes the next min(maxFrames, frames left) frames, channel c into out[c][0 ..); returns the count.
    int render(float* const* out, int maxFrames);

  private:
    double fadeGain(std::int64_t frame) const;

    double mSampleRate;
    Tone mTone;
    int mChannels = 0;
    std::vector<std::int64_t> mStepEnds;          // frame at which each step ends, exclusive
    std::vector<std::vector<double>> mAmplitude;  // per step, per channel, linear peak
    std::int64_t mFadeFrames = 0;
    std::int64_t mPosition = 0;
    std::size_t mStep = 0;
};

}  // namespace conformance
