// The programme the command-line benchmarks meter: 300 s of stereo 48 kHz programme-like material (two
// detuned tones with a slow level swing) in a 24-bit WAV under the temporary folder, written once per run,
// and the speed counter in multiples of real time.
#pragma once

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quenlix::bench {

constexpr int kRate = 48000;
constexpr double kSeconds = 300.0;

// The file's path; written on the first call.
inline const std::string& benchFile() {
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "quenlix-cli-bench-300s.wav").string();
        SF_INFO info{};
        info.channels = 2;
        info.samplerate = kRate;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
        std::vector<float> buf(2 * 4800);
        const std::int64_t frames = static_cast<std::int64_t>(kSeconds * kRate);
        for (std::int64_t done = 0; f != nullptr && done < frames; done += 4800) {
            for (int i = 0; i < 4800; ++i) {
                double t = double(done + i) / kRate;
                double g = 0.1 * (1.5 + std::sin(2.0 * M_PI * 0.05 * t));
                buf[2 * i] = static_cast<float>(g * std::sin(2.0 * M_PI * 440.0 * t));
                buf[2 * i + 1] = static_cast<float>(g * std::sin(2.0 * M_PI * 441.5 * t));
            }
            sf_writef_float(f, buf.data(), 4800);
        }
        if (f != nullptr) sf_close(f);
        return p;
    }();
    return path;
}

inline void setRealTimeCounter(benchmark::State& state) {
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace quenlix::bench
