#include "cli/SampleCheck.h"

#include <cmath>

namespace quenlix::cli {
namespace {

class CountingSource final : public AudioSource {
  public:
    explicit CountingSource(std::unique_ptr<AudioSource> inner) : mInner(std::move(inner)) {}

    int channels() const override { return mInner->channels(); }
    int sampleRate() const override { return mInner->sampleRate(); }
    std::int64_t frames() const override { return mInner->frames(); }
    bool dualMono() const override { return mInner->dualMono(); }
    std::int64_t nonFiniteSamples() const override { return mCount; }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        std::int64_t got = mInner->read(interleaved, maxFrames, error);
        const std::int64_t samples = got * mInner->channels();
        for (std::int64_t i = 0; i < samples; ++i)
            if (!std::isfinite(interleaved[i])) ++mCount;
        return got;
    }

  private:
    std::unique_ptr<AudioSource> mInner;
    std::int64_t mCount = 0;
};

}  // namespace

std::unique_ptr<AudioSource> countNonFinite(std::unique_ptr<AudioSource> inner) {
    if (!inner) return nullptr;
    return std::make_unique<CountingSource>(std::move(inner));
}

}  // namespace quenlix::cli
