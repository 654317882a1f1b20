// Test audio files written with libsndfile into a scratch folder that is removed afterwards.
#pragma once

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace quenlix::cli::test {

class ScratchDir {
  public:
    ScratchDir() {
        char pattern[] = "/tmp/quenlix-cli-XXXXXX";
        char* made = mkdtemp(pattern);
        mPath = made != nullptr ? made : "/tmp";
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return mPath + "/" + name; }

  private:
    std::string mPath;
};

// Writes a 24-bit WAV whose sample (frame, channel) is `sample(frame, channel)`. Returns false when
// libsndfile refuses the format.
inline bool writeWav(const std::string& path, int channels, int rate, std::int64_t frames,
                     const std::function<double(std::int64_t, int)>& sample,
                     int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    std::vector<float> buf(static_cast<std::size_t>(channels) * 4096);
    for (std::int64_t done = 0; done < frames;) {
        std::int64_t n = std::min<std::int64_t>(4096, frames - done);
        for (std::int64_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buf[i * channels + c] = static_cast<float>(sample(done + i, c));
        sf_writef_float(f, buf.data(), n);
        done += n;
    }
    sf_close(f);
    return true;
}

// A sine of `frequency` Hz whose RMS level is `levelDbfs` on every channel (peak = RMS * sqrt 2).
inline std::function<double(std::int64_t, int)> sine(double levelDbfs, double frequency, int rate) {
    double amp = std::pow(10.0, levelDbfs / 20.0) * std::sqrt(2.0);
    return [=](std::int64_t i, int) {
        return amp * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
    };
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quenlix::cli::test
