// `quenlix measure` side by side with the free loudness tools, on the same generated 300 s programmes:
// stereo and 5.1, 48 kHz, 32-bit float WAV. Each row runs one program on one file as a child process; the
// times printed are the shortest wall-clock and the shortest processor (user + system) time of --runs runs
// (default 3), so load from other processes on the machine disturbs them as little as possible. The
// ratio columns give each row's time divided by quenlix's EBU time for the same file (for the
// comparison tools: above 1 means quenlix is faster).
//
// Compared (as programs, never as code): libebur128 through the small driver beside this file (integrated
// loudness, loudness range, true peak, momentary and short-term loudness), built only when the library is
// installed, and ffmpeg's ebur128 filter with true peak. A tool that is missing is reported and skipped.
//
//   build/bench/compare/quenlix_compare_bench [--runs N] [--seconds S] [--keep]

#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;

// Programme-like material: pink-ish noise plus two tones per channel, with a slow level swing of about
// 20 dB so that the gating and the loudness range have work to do.
bool WriteProgramme(const std::string& path, int channels, double seconds) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = kRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    std::mt19937 rng(2024);
    std::normal_distribution<double> noise(0.0, 1.0);
    constexpr int kChunk = 4800;
    std::vector<float> buf(static_cast<std::size_t>(kChunk * channels));
    std::vector<double> lowpass(static_cast<std::size_t>(channels), 0.0);
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    bool ok = true;
    for (std::int64_t done = 0; ok && done < frames; done += kChunk) {
        const int n = static_cast<int>(std::min<std::int64_t>(kChunk, frames - done));
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / kRate;
            const double swing = 0.5 + 0.45 * std::sin(2.0 * M_PI * t / 37.0);
            for (int c = 0; c < channels; ++c) {
                double& lp = lowpass[static_cast<std::size_t>(c)];
                lp = 0.97 * lp + 0.03 * noise(rng);
                const double tone = 0.2 * std::sin(2.0 * M_PI * (220.0 + 55.0 * c) * t) +
                                    0.05 * std::sin(2.0 * M_PI * (3000.0 + 170.0 * c) * t);
                buf[static_cast<std::size_t>(i * channels + c)] =
                    static_cast<float>(swing * (0.6 * lp + 0.05 * noise(rng) + tone));
            }
        }
        ok = sf_writef_float(f, buf.data(), n) == n;
    }
    return sf_close(f) == 0 && ok;
}

double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

struct Timing {
    double wall = -1.0;  // seconds, shortest run; -1 when the command failed
    double cpu = -1.0;   // user + system seconds of the child processes, shortest run
};

// The shortest of `runs` runs of `command` (output discarded), in wall-clock and in processor time. The
// processor time is what the other engineers' builds on a shared machine disturb least.
Timing TimeCommand(const std::string& command, int runs) {
    Timing best;
    for (int r = 0; r < runs; ++r) {
        const double cpuStart = ChildCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = ChildCpuSeconds() - cpuStart;
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return Timing{};
        if (best.wall < 0.0 || wall < best.wall) best.wall = wall;
        if (best.cpu < 0.0 || cpu < best.cpu) best.cpu = cpu;
    }
    return best;
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char ch : s) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return q + "'";
}

struct Row {
    std::string name;
    std::string command;  // empty: tool not available
};

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    double seconds = 300.0;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
            if (!(seconds >= 1.0 && seconds <= 3600.0)) seconds = 300.0;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--seconds S] [--keep]\n", argv[0]);
            return 2;
        }
    }

    const std::string quenlix = QUENLIX_COMPARE_QUENLIX;
    const std::string ebur128 = QUENLIX_COMPARE_EBUR128;
    const std::string ffmpeg = QUENLIX_COMPARE_FFMPEG;
    const auto dir = std::filesystem::temp_directory_path();

    std::printf("%d runs each, shortest wall-clock time; %.0f s of 48 kHz float WAV per file\n\n", runs,
                seconds);
    std::printf("%-26s %9s %9s %11s %13s %13s\n", "program", "wall (s)", "cpu (s)", "x realtime",
                "wall / EBU", "cpu / EBU");
    for (int channels : {2, 6}) {
        const std::string layout = channels == 2 ? "stereo" : "5.1";
        const std::string file = (dir / ("quenlix-compare-" + std::to_string(static_cast<int>(seconds)) +
                                         "s-" + std::to_string(channels) + "ch.wav"))
                                     .string();
        if (!std::filesystem::exists(file) && !WriteProgramme(file, channels, seconds)) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            return 1;
        }
        const std::string q = Quoted(file);
        const std::vector<Row> rows = {
            {"quenlix measure EBU " + layout, Quoted(quenlix) + " measure -q " + q},
            {"quenlix measure RMS " + layout, Quoted(quenlix) + " measure -q --type rms " + q},
            {"libebur128 " + layout, ebur128.empty() ? std::string() : Quoted(ebur128) + " " + q},
            {"ffmpeg ebur128 " + layout, ffmpeg.empty()
                                             ? std::string()
                                             : Quoted(ffmpeg) + " -nostdin -hide_banner -nostats -i " + q +
                                                   " -af ebur128=peak=true -f null -"},
        };
        Timing ebu;
        for (const Row& row : rows) {
            if (row.command.empty()) {
                std::printf("%-26s %9s\n", row.name.c_str(), "not installed");
                continue;
            }
            const Timing t = TimeCommand(row.command, runs);
            if (t.wall < 0.0) {
                std::printf("%-26s %9s\n", row.name.c_str(), "failed");
                continue;
            }
            if (ebu.wall < 0.0) ebu = t;
            std::printf("%-26s %9.3f %9.3f %11.0f %13.2f %13.2f\n", row.name.c_str(), t.wall, t.cpu,
                        seconds / t.cpu, t.wall / ebu.wall, t.cpu / ebu.cpu);
        }
        if (!keep) std::filesystem::remove(file);
        std::printf("\n");
    }
    return 0;
}
