#include "cli/DualMono.h"

#include <vector>

namespace quenlix::cli {
namespace {

class DualMonoSource final : public AudioSource {
  public:
    explicit DualMonoSource(std::unique_ptr<AudioSource> inner) : mInner(std::move(inner)) {}

    int channels() const override { return 2; }
    int sampleRate() const override { return mInner->sampleRate(); }
    std::int64_t frames() const override { return mInner->frames(); }
    bool dualMono() const override { return true; }
    std::int64_t nonFiniteSamples() const override { return mInner->nonFiniteSamples(); }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        if (static_cast<std::int64_t>(mMono.size()) < maxFrames)
            mMono.resize(static_cast<std::size_t>(maxFrames));
        std::int64_t got = mInner->read(mMono.data(), maxFrames, error);
        for (std::int64_t i = 0; i < got; ++i) interleaved[2 * i] = interleaved[2 * i + 1] = mMono[i];
        return got;
    }

  private:
    std::unique_ptr<AudioSource> mInner;
    std::vector<float> mMono;
};

}  // namespace

std::unique_ptr<AudioSource> asDualMono(std::unique_ptr<AudioSource> inner) {
    if (!inner || inner->channels() != 1) return inner;
    return std::make_unique<DualMonoSource>(std::move(inner));
}

}  // namespace quenlix::cli
