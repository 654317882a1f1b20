#include "cli/DemoProgramme.h"

#include <cmath>

namespace quenlix::cli {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// One section of the programme: a level in dBFS reached at `startS` and a left/right balance (0 left .. 1
// right).
struct Section {
    double startS;
    double levelDb;
    double pan;
    int voice;  // 0 noise bursts, 1 chord, 2 chord with noise and transients, 3 rising tone, 4 silence
};

constexpr Section kSections[] = {
    {0.0, -26.0, 0.5, 0},  {12.0, -20.0, 0.35, 1}, {24.0, -38.0, 0.5, 1}, {30.0, -11.0, 0.6, 2},
    {42.0, -30.0, 0.5, 1}, {46.0, -200.0, 0.5, 4}, {48.0, -40.0, 0.5, 3}, {60.0, -18.0, 0.5, 3},
};
constexpr int kSectionCount = sizeof(kSections) / sizeof(kSections[0]);
constexpr double kRampS = 0.08;  // level changes glide over 80 ms so no section boundary clicks

class DemoProgramme final : public AudioSource {
  public:
    int channels() const override { return 2; }
    int sampleRate() const override { return kDemoSampleRate; }
    std::int64_t frames() const override { return static_cast<std::int64_t>(kDemoSeconds * kDemoSampleRate); }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string&) override {
        std::int64_t n = frames() - mPos;
        if (n > maxFrames) n = maxFrames;
        for (std::int64_t i = 0; i < n; ++i) {
            double l = 0.0, r = 0.0;
            frame(static_cast<double>(mPos + i) / kDemoSampleRate, l, r);
            interleaved[2 * i] = static_cast<float>(l);
            interleaved[2 * i + 1] = static_cast<float>(r);
        }
        mPos += n;
        return n;
    }

  private:
    double noise() {
        mSeed = mSeed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(mSeed >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }

    static int sectionAt(double t) {
        int s = 0;
        while (s + 1 < kSectionCount && kSections[s + 1].startS <= t) ++s;
        return s;
    }

    // Section gain in linear terms; the last section crescendos linearly in dB towards the closing level.
    static double gainAt(double t, int s) {
        double db = kSections[s].levelDb;
        if (kSections[s].voice == 3 && s + 1 < kSectionCount) {
            double span = kSections[s + 1].startS - kSections[s].startS;
            db += (kSections[s + 1].levelDb - db) * ((t - kSections[s].startS) / span);
        }
        return db <= -150.0 ? 0.0 : std::pow(10.0, db / 20.0);
    }

    void frame(double t, double& l, double& r) {
        int s = sectionAt(t);
        double g = gainAt(t, s);
        if (s > 0 && t - kSections[s].startS < kRampS) {
            double a = (t - kSections[s].startS) / kRampS;
            g = gainAt(kSections[s].startS - 1e-9, s - 1) * (1.0 - a) + g * a;
        }
        double v = 0.0;
        switch (kSections[s].voice) {
            case 0: {  // noise bursts at a syllable rate, low-passed a little
                mLowpass += 0.25 * (noise() - mLowpass);
                double env = 0.5 - 0.5 * std::cos(kTwoPi * 3.7 * t);
                v = 2.2 * mLowpass * env;
                break;
            }
            case 1:
            case 2: {
                static constexpr double kNotes[] = {220.0, 277.18, 329.63, 440.0};
                for (double f : kNotes) v += 0.25 * std::sin(kTwoPi * f * t);
                if (kSections[s].voice == 2) {
                    v += 0.3 * noise();
                    double beat = std::fmod(t, 0.5);
                    if (beat < 0.004) v += 1.5 * (1.0 - beat / 0.004) * std::sin(kTwoPi * 3000.0 * t);
                }
                break;
            }
            case 3:
                v = std::sin(kTwoPi * (300.0 * t + 8.0 * (t - 48.0) * (t - 48.0)));
                break;
            default:
                v = 0.0;
                break;
        }
        v *= g;
        double pan = kSections[s].pan;
        l = v * std::sqrt(2.0 * (1.0 - pan));
        r = v * std::sqrt(2.0 * pan);
    }

    std::int64_t mPos = 0;
    std::uint64_t mSeed = 0x51ED2701ULL;
    double mLowpass = 0.0;
};

}  // namespace

std::unique_ptr<AudioSource> makeDemoProgramme() {
    return std::make_unique<DemoProgramme>();
}

}  // namespace quenlix::cli
