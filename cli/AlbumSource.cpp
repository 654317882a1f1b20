#include "cli/AlbumSource.h"

namespace quenlix::cli {
namespace {

class AlbumSource final : public AudioSource {
  public:
    AlbumSource(std::vector<AlbumTrack> tracks, std::unique_ptr<AudioSource> first, std::int64_t frames)
        : mTracks(std::move(tracks)),
          mCurrent(std::move(first)),
          mChannels(mCurrent->channels()),
          mRate(mCurrent->sampleRate()),
          mFrames(frames) {}

    int channels() const override { return mChannels; }
    int sampleRate() const override { return mRate; }
    std::int64_t frames() const override { return mFrames; }
    bool dualMono() const override { return mDualMono || (mCurrent && mCurrent->dualMono()); }
    std::int64_t nonFiniteSamples() const override {
        return mNonFiniteBefore + (mCurrent ? mCurrent->nonFiniteSamples() : 0);
    }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        // Fills the whole request across track boundaries: a short read means the album's end.
        std::int64_t done = 0;
        while (mCurrent && done < maxFrames) {
            std::int64_t got = mCurrent->read(interleaved + done * mChannels, maxFrames - done, error);
            if (got < 0) {
                error = mTracks[mIndex].name + ": " + error;
                return -1;
            }
            done += got;
            if (got == 0 && !next(error)) return -1;
        }
        return done;
    }

  private:
    // Moves on to the next track; false with `error` set when it cannot be opened or does not match.
    bool next(std::string& error) {
        mNonFiniteBefore += mCurrent->nonFiniteSamples();
        mDualMono = mDualMono || mCurrent->dualMono();
        mCurrent.reset();
        if (++mIndex >= mTracks.size()) return true;
        const std::string& name = mTracks[mIndex].name;
        mCurrent = mTracks[mIndex].open(error);
        if (!mCurrent) {
            error = name + ": " + error;
            return false;
        }
        if (mCurrent->channels() != mChannels || mCurrent->sampleRate() != mRate) {
            error = name + ": " + std::to_string(mCurrent->channels()) + " ch at " +
                    std::to_string(mCurrent->sampleRate()) + " Hz does not match the album's " +
                    std::to_string(mChannels) + " ch at " + std::to_string(mRate) + " Hz";
            mCurrent.reset();
            return false;
        }
        return true;
    }

    std::vector<AlbumTrack> mTracks;
    std::size_t mIndex = 0;
    std::unique_ptr<AudioSource> mCurrent;
    int mChannels;
    int mRate;
    std::int64_t mFrames;
    std::int64_t mNonFiniteBefore = 0;
    bool mDualMono = false;
};

}  // namespace

std::unique_ptr<AudioSource> openAlbum(std::vector<AlbumTrack> tracks, std::int64_t frames,
                                       std::string& error) {
    if (tracks.empty()) {
        error = "no files";
        return nullptr;
    }
    std::unique_ptr<AudioSource> first = tracks.front().open(error);
    if (!first) {
        error = tracks.front().name + ": " + error;
        return nullptr;
    }
    return std::make_unique<AlbumSource>(std::move(tracks), std::move(first), frames);
}

}  // namespace quenlix::cli
