// Delivery work's costs: drawing the loudness-history plot of a 1 h and a 3 h programme (72000 and 216000
// publishes) as PNG and SVG; and a 300 s stereo 48 kHz WAV read from a pipe (standard input's path: virtual
// I/O over a non-seekable stream) against the same file read directly, alone and metered through the
// plug-in module, as multiples of real time.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "BenchProgramme.h"
#include "cli/Meterer.h"
#include "cli/Plot.h"
#include "cli/PluginSession.h"
#include "cli/StreamSource.h"

namespace {

using namespace quenlix::cli;
using namespace quenlix::bench;

// Frames asked of a source at once, as the meterer reads.
constexpr std::int64_t kChunkFrames = 65536;

// A programme's history as the plug-in publishes it: loudness wandering slowly around -23 LUFS.
FileReport history(double seconds) {
    FileReport r;
    r.file = "programme.wav";
    r.ok = r.hasFormat = r.hasResults = true;
    r.sampleRate = kRate;
    r.channels = 2;
    r.frames = static_cast<std::int64_t>(seconds * kRate);
    r.measurements.meterType = 1;
    r.measurements.integratedLufs = -23.0;
    r.measurements.truePeakDbtp = -1.5;
    r.history.periodS = 0.05;
    const std::size_t rows = static_cast<std::size_t>(seconds / 0.05);
    r.history.values.reserve(rows * kOutputParams.size());
    std::vector<double> row(kOutputParams.size(), -60.0);
    for (std::size_t i = 0; i < rows; ++i) {
        double t = 0.05 * static_cast<double>(i + 1);
        double level = -23.0 + 6.0 * std::sin(t / 97.0) + 3.0 * std::sin(t * 1.3);
        row[7] = level + 2.0 * std::sin(t * 11.0);  // momentary
        row[9] = level;                             // short-term
        row[6] = -23.0;                             // integrated
        row[11] = -1.5;                             // true peak
        r.history.add(row);
    }
    return r;
}

void BM_DrawPlot(benchmark::State& state) {
    const double hours = static_cast<double>(state.range(0));
    const bool svg = state.range(1) == 1;
    FileReport report = history(hours * 3600.0);
    std::string path =
        (std::filesystem::temp_directory_path() / (svg ? "quenlix-plot-bench.svg" : "quenlix-plot-bench.png"))
            .string();
    std::string error;
    for (auto _ : state) {
        if (!writePlot(report, nullptr, path, kDefaultPlotWidth, kDefaultPlotHeight, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["publishes"] = static_cast<double>(report.history.size());
    std::filesystem::remove(path);
}
// Arguments: hours, format (0 PNG, 1 SVG).
BENCHMARK(BM_DrawPlot)
    ->Args({1, 0})
    ->Args({3, 0})
    ->Args({3, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The file's bytes fed into a pipe by a thread of its own, as a decoder feeds standard input.
class FilePipe {
  public:
    explicit FilePipe(const std::string& bytes) {
        std::signal(SIGPIPE, SIG_IGN);
        int fds[2] = {-1, -1};
        if (pipe(fds) != 0) return;
        mRead = fds[0];
        int writeFd = fds[1];
        mWriter = std::thread([&bytes, writeFd] {
            for (std::size_t at = 0; at < bytes.size();) {
                ssize_t n = write(writeFd, bytes.data() + at, bytes.size() - at);
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            close(writeFd);
        });
    }
    ~FilePipe() {
        if (mRead >= 0) close(mRead);
        if (mWriter.joinable()) mWriter.join();
    }
    int fd() const { return mRead; }

  private:
    int mRead = -1;
    std::thread mWriter;
};

const std::string& benchBytes() {
    static const std::string bytes = [] {
        std::ifstream in(benchFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

// Argument: 0 the file, 1 the pipe.
void BM_ReadOnly(benchmark::State& state) {
    const bool piped = state.range(0) == 1;
    const std::string& bytes = benchBytes();
    std::vector<float> interleaved(2 * static_cast<std::size_t>(kChunkFrames));
    for (auto _ : state) {
        std::string error;
        std::unique_ptr<FilePipe> feed = piped ? std::make_unique<FilePipe>(bytes) : nullptr;
        std::unique_ptr<AudioSource> source =
            piped ? openAudioStream(feed->fd(), error) : openAudioFile(benchFile(), error);
        if (!source) {
            state.SkipWithError(error.c_str());
            return;
        }
        double sum = 0.0;
        for (std::int64_t got; (got = source->read(interleaved.data(), kChunkFrames, error)) > 0;)
            sum += interleaved[0];
        benchmark::DoNotOptimize(sum);
    }
    setRealTimeCounter(state);
}
BENCHMARK(BM_ReadOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Argument: 0 the file, 1 the pipe.
void BM_MeterThroughPlugin(benchmark::State& state) {
    const bool piped = state.range(0) == 1;
    std::string error;
    std::unique_ptr<SessionFactory> factory = makePluginSessionFactory(QUENLIX_BENCH_PLUGIN, error);
    if (!factory) {
        state.SkipWithError(error.c_str());
        return;
    }
    Options options;
    options.quiet = true;
    std::ostringstream sink;
    Progress progress(sink, false, 1);
    for (auto _ : state) {
        std::unique_ptr<FilePipe> feed = piped ? std::make_unique<FilePipe>(benchBytes()) : nullptr;
        MeterJob job{benchFile(), [&](std::string& e) {
                         return piped ? openAudioStream(feed->fd(), e) : openAudioFile(benchFile(), e);
                     }};
        FileReport report = meterOne(job, 0, *factory, options, nullptr, progress);
        if (!report.ok) {
            state.SkipWithError(report.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(report.measurements.integratedLufs);
    }
    setRealTimeCounter(state);
}
BENCHMARK(BM_MeterThroughPlugin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
