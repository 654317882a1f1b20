// A long, varied, deterministic programme for soak runs: scenes of random length (0.2 to 20 s) with a random
// level between -80 and 0 dBFS, each a mix of a sine of random pitch and white noise, with stretches of
// digital silence and short full-scale bursts in between. Cheap per sample (a rotating phasor and a xorshift
// generator) so that the meter, not the generator, dominates the run time. Single-threaded.
#pragma once

#include <cstdint>

namespace soak {

class SoakProgramme {
  public:
    SoakProgramme(double sampleRate, int channels, std::uint64_t seed);

    // Writes the next `frames` frames, channel c into out[c][0 .. frames).
    void render(float* const* out, int frames);

    // Random integer in [lo, hi], from the same generator (block sizes of the run).
    int uniform(int lo, int hi);

  private:
    double unit();  // uniform in [0, 1)
    void nextScene();

    double mSampleRate;
    int mChannels;
    std::uint64_t mState;
    std::int64_t mSceneLeft = 0;  // frames left in the current scene
    double mSineGain = 0.0;       // linear peak of the sine part
    double mNoiseGain = 0.0;      // linear peak of the noise part
    double mRe = 1.0, mIm = 0.0;  // phasor of the sine
    double mRotRe = 1.0, mRotIm = 0.0;
    int mRenormCountdown = 0;  // frames until the phasor is brought back to unit length
};

}  // namespace soak
