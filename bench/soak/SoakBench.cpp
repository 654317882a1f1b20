// Soak run (by hand, never a timed test): hours of programme at 48 kHz through the Quenlix plug-in, once in
// each metering type, fed as fast as possible through the host adapter's audio entry, in blocks of random
// sizes or of one fixed size. Every 10 s of audio it checks that every result the plug-in holds is finite
// and every count stays in its range (the integrator's and the loudness range's counts never fall), and it
// compares the RMS engine's integrated mean square against an independent compensated sum. It prints wall
// time, the real-time factor, peak and growing memory, the worst callback, and the mean and worst cost
// per callback over the minute of audio that ends at 1 min, 1 h, 3 h and 24 h.
//
//   quenlix_soak_bench [--hours=H] [--channels=N] [--seed=S] [--block=FRAMES] [Google Benchmark flags]
//
// --hours defaults to 24. A shorter run is extrapolated linearly to 24 h (counter plugin_s_per_24h); run at
// least 2 h so that the integrator's and the loudness range's exact stores (about 1 h of blocks) have
// given way to their histograms and both stages are in the figures. --block=64 gives the worst callback
// at a small host buffer. Exits non-zero when a check failed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/soak/SoakProgramme.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/Quenlix.h"

namespace {

constexpr double kSampleRate = 48000.0;
constexpr int kMaxBlock = 8192;  // the host's largest render block
constexpr double kCheckEverySeconds = 10.0;
constexpr std::int64_t kFramesPerHour = static_cast<std::int64_t>(3600.0 * kSampleRate);
// Largest relative error of the integrated mean square allowed against a compensated sum: a plain double
// sum over 24 h stays far inside it (1.4e-9 measured), a single-precision one does not.
constexpr double kMeanSquareTolerance = 1e-6;

double gHours = 24.0;
int gChannels = 2;
int gBlock = 0;  // fixed callback size in frames; 0 = random sizes up to kMaxBlock
std::uint64_t gSeed = 1;
bool gFailed = false;

// The plug-in with the host's transport running and the host's parameter reports ignored.
class SoakQuenlix final : public Quenlix {
  public:
    SoakQuenlix() : Quenlix(IPlugInstanceInfo()) {}
    void GetTime(ITimeInfo* info) override { info->mTransportIsRunning = true; }
    void InformHostOfParamChange(int, double) override {}
};

// Resident set size now, in MiB (from /proc/self/statm).
double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// CPU time the calling thread has used, in seconds.
double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
}

// Sets a parameter as the adapter does for a host control change: value, then the reaction, under the mutex.
void hostSets(Quenlix& plug, int paramIdx, double value) {
    WDL_MutexLock lock(plug.GetMutex());
    plug.GetParam(paramIdx)->Set(value);
    plug.OnParamChange(paramIdx);
}

// Collects what went wrong; the first few messages are kept.
struct Checker {
    std::string failures;
    int count = 0;
    double atSeconds = 0.0;
    void require(bool ok, const char* what, double value) {
        if (ok) return;
        if (++count <= 10) {
            std::ostringstream s;
            s << "at " << atSeconds << " s: " << what << " (" << value << ")\n";
            failures += s.str();
        }
    }
    void finite(double v, const char* what) { require(std::isfinite(v), what, v); }
};

struct Counts {
    std::int64_t lastIntegratorCount = 0;
    std::int64_t lastRangeCount = 0;
};

// Cost of the plug-in's audio callbacks in CPU time of the calling thread (so that the time the thread
// spends preempted on a busy machine does not count): the worst of the whole run, and the mean and worst
// of each minute of audio, kept for the minutes that end at the marks.
struct CallbackCost {
    static constexpr int kMarkMinutes[4] = {1, 60, 180, 1440};
    double worstSeconds = 0.0;
    double minuteSeconds = 0.0, minuteWorst = 0.0;
    long minuteCallbacks = 0;
    double markMeanUs[4] = {0, 0, 0, 0}, markWorstUs[4] = {0, 0, 0, 0};

    void add(double seconds) {
        worstSeconds = std::max(worstSeconds, seconds);
        minuteWorst = std::max(minuteWorst, seconds);
        minuteSeconds += seconds;
        ++minuteCallbacks;
    }
    // Called when `minute` minutes of audio are done.
    void endMinute(long minute, const char* type) {
        for (int m = 0; m < 4; ++m) {
            if (minute != kMarkMinutes[m] || minuteCallbacks == 0) continue;
            markMeanUs[m] = minuteSeconds / static_cast<double>(minuteCallbacks) * 1e6;
            markWorstUs[m] = minuteWorst * 1e6;
            std::fprintf(stderr,
                         "%s: minute ending at %ld min: mean %.2f us, worst %.1f us CPU per callback\n", type,
                         minute, markMeanUs[m], markWorstUs[m]);
        }
        minuteSeconds = minuteWorst = 0.0;
        minuteCallbacks = 0;
    }
};
constexpr int CallbackCost::kMarkMinutes[4];

// Everything the EBU engine and the published outputs hold must be finite and in range.
void checkEbu(const Quenlix& plug, Checker& c, Counts& counts) {
    const EBUMM6& e = plug.GetEbuMeter();
    c.finite(e.mIntegrator.mIntegratedLufs, "integrated loudness");
    c.require(e.mIntegrator.mCount >= 0, "integrator count", static_cast<double>(e.mIntegrator.mCount));
    c.finite(e.mLra.mRangeLu, "loudness range");
    c.require(e.mLra.mRangeLu >= 0.0, "loudness range is negative", e.mLra.mRangeLu);
    c.require(e.mLra.mCount >= 0, "loudness range count", static_cast<double>(e.mLra.mCount));
    for (const RMS_MS* w : {&e.mMomentary, &e.mShortTerm}) {
        c.require(std::isfinite(w->mResult) && w->mResult >= 0.0, "window mean square", w->mResult);
        c.require(std::isfinite(w->mMaxResult) && w->mMaxResult >= w->mResult, "window maximum",
                  w->mMaxResult);
    }
    for (int k = 0; k < EBUMM6::kSlots; ++k) c.finite(e.mTruePeak[k].mTruePeakMax, "true-peak maximum");
    // Every block since the reset counts, however long the run: a count never falls.
    c.require(e.mIntegrator.mCount >= counts.lastIntegratorCount, "integrator count fell",
              static_cast<double>(e.mIntegrator.mCount));
    c.require(e.mLra.mCount >= counts.lastRangeCount, "loudness range count fell",
              static_cast<double>(e.mLra.mCount));
    counts.lastIntegratorCount = e.mIntegrator.mCount;
    counts.lastRangeCount = e.mLra.mCount;
}

// The RMS engine: finite results, a 64-bit count equal to the frames measured, and an integrated mean
// square that still agrees with a compensated sum of the same powers.
// Returns the relative difference of the integrated mean square from the reference.
double checkRms(const Quenlix& plug, Checker& c, std::int64_t frames, double referenceMeanSquare) {
    const RMSMM6& r = plug.GetRmsMeter();
    c.require(r.mIntegratedCount == frames, "integrated sample count differs from the frames measured",
              static_cast<double>(r.mIntegratedCount));
    c.require(std::isfinite(r.mIntegratedMeanSquare) && r.mIntegratedMeanSquare >= 0.0,
              "integrated mean square", r.mIntegratedMeanSquare);
    double relative = referenceMeanSquare > 0.0
                          ? std::abs(r.mIntegratedMeanSquare - referenceMeanSquare) / referenceMeanSquare
                          : r.mIntegratedMeanSquare;
    c.require(relative < kMeanSquareTolerance,
              "integrated mean square drifted from the compensated sum (relative error)", relative);
    c.require(std::isfinite(r.mMeanSquare) && r.mMeanSquare >= 0.0, "windowed mean square", r.mMeanSquare);
    c.finite(r.mMaxMeanSquare, "maximum windowed mean square");
    c.finite(r.mPeakMax, "sample-peak maximum");
    for (int k = 0; k < RMSMM6::kSlots; ++k) c.finite(r.mTruePeak[k].mTruePeakMax, "true-peak maximum");
    return relative;
}

void checkOutputs(Quenlix& plug, Checker& c) {
    for (int i = Quenlix::kOutRmsIl; i < Quenlix::kNumParams; ++i) {
        if (i == Quenlix::kEbuChannelConfig) continue;
        const IParam* p = plug.GetParam(i);
        c.require(p->Value() >= p->GetMin() && p->Value() <= p->GetMax(),
                  "published output outside its range", p->Value());
    }
}

// Kahan-compensated sum, independent of the engine's own summation.
struct CompensatedSum {
    double sum = 0.0, carry = 0.0;
    void add(double x) {
        double y = x - carry;
        double t = sum + y;
        carry = (t - sum) - y;
        sum = t;
    }
};

void runSoak(benchmark::State& state, int meterType) {
    for (auto _ : state) {
        double rssBefore = residentMiB();
        auto plug = std::make_unique<SoakQuenlix>();
        plug->SetBlockSize(kMaxBlock);
        plug->SetIO(gChannels, gChannels);
        plug->SetSampleRate(kSampleRate);
        plug->Reset();
        hostSets(*plug, Quenlix::kType, meterType);
        // Every input channel measured: the largest configuration that the channel count fills.
        if (meterType == 1)
            hostSets(*plug, Quenlix::kEbuChannelConfig,
                     gChannels >= 6   ? 3
                     : gChannels >= 5 ? 2
                     : gChannels >= 4 ? 1
                                      : 0);
        else
            hostSets(*plug, Quenlix::kRmsChannelConfig, gChannels >= 6 ? 4 : gChannels >= 4 ? 3 : 0);
        const int rmsChannels = gChannels >= 6 ? 6 : gChannels >= 4 ? 4 : std::min(gChannels, 2);

        soak::SoakProgramme programme(kSampleRate, gChannels, gSeed);
        std::vector<std::vector<float>> in(gChannels, std::vector<float>(kMaxBlock));
        std::vector<std::vector<float>> out(gChannels, std::vector<float>(kMaxBlock));
        std::vector<float*> inPtr, outPtr;
        for (int ch = 0; ch < gChannels; ++ch) {
            inPtr.push_back(in[ch].data());
            outPtr.push_back(out[ch].data());
        }

        const std::int64_t total = std::llround(gHours * 3600.0 * kSampleRate);
        const std::int64_t checkEvery = std::llround(kCheckEverySeconds * kSampleRate);
        std::int64_t done = 0, nextCheck = checkEvery, blocks = 0;
        double meterSeconds = 0.0;
        double worstMeanSquareError = 0.0;
        double rssAfterFirstCheck = 0.0;
        Checker checker;
        Counts counts;
        CallbackCost cost;
        const std::int64_t framesPerMinute = std::llround(60.0 * kSampleRate);
        CompensatedSum power;
        while (done < total) {
            const int size = gBlock > 0 ? gBlock : programme.uniform(1, kMaxBlock);
            int n = static_cast<int>(std::min<std::int64_t>(size, total - done));
            programme.render(inPtr.data(), n);
            if (meterType == 0) {
                for (int i = 0; i < n; ++i) {
                    double p = 0.0;
                    for (int ch = 0; ch < rmsChannels; ++ch) p = p + double(in[ch][i]) * double(in[ch][i]);
                    power.add(p);
                }
            }
            const double cpu0 = threadCpuSeconds();
            auto t0 = std::chrono::steady_clock::now();
            plug->ProcessAudio(inPtr.data(), outPtr.data(), n);
            const double callback =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            meterSeconds += callback;
            cost.add(threadCpuSeconds() - cpu0);
            if ((done + n) / framesPerMinute != done / framesPerMinute)
                cost.endMinute(static_cast<long>((done + n) / framesPerMinute),
                               meterType == 1 ? "EBU R128" : "RMS");
            done += n;
            ++blocks;
            if (done >= nextCheck || done == total) {
                nextCheck += checkEvery;
                checker.atSeconds = static_cast<double>(done) / kSampleRate;
                WDL_MutexLock lock(plug->GetMutex());
                if (meterType == 1)
                    checkEbu(*plug, checker, counts);
                else
                    worstMeanSquareError =
                        std::max(worstMeanSquareError,
                                 checkRms(*plug, checker, done, power.sum / static_cast<double>(done)));
                checkOutputs(*plug, checker);
                if (rssAfterFirstCheck == 0.0) rssAfterFirstCheck = residentMiB();
                // A line per hour of audio, so that a run stopped early still leaves its figures.
                if (done % kFramesPerHour < checkEvery || done == total) {
                    std::fprintf(stderr,
                                 "%s: %.2f h of audio, plug-in %.1f s, rss %.2f MiB (peak %.2f), %d check "
                                 "failures, worst callback %.1f us CPU\n",
                                 meterType == 1 ? "EBU R128" : "RMS", checker.atSeconds / 3600.0,
                                 meterSeconds, residentMiB(), peakResidentMiB(), checker.count,
                                 cost.worstSeconds * 1e6);
                }
            }
        }
        double rssAfter = residentMiB();
        state.SetIterationTime(meterSeconds);
        const double hours = static_cast<double>(done) / kSampleRate / 3600.0;
        state.counters["audio_h"] = hours;
        state.counters["blocks"] = static_cast<double>(blocks);
        state.counters["plugin_s"] = meterSeconds;
        state.counters["x_realtime"] = hours * 3600.0 / meterSeconds;
        state.counters["plugin_s_per_24h"] = meterSeconds * 24.0 / hours;
        state.counters["peak_rss_MiB"] = peakResidentMiB();
        state.counters["rss_growth_MiB"] = rssAfter - rssAfterFirstCheck;  // after the first 10 s of audio
        state.counters["instance_MiB"] = rssAfterFirstCheck - rssBefore;
        state.counters["worst_callback_us"] = cost.worstSeconds * 1e6;
        static const char* const kMarkNames[4] = {"1min", "1h", "3h", "24h"};
        for (int m = 0; m < 4; ++m) {
            if (cost.markMeanUs[m] == 0.0) continue;
            state.counters[std::string("mean_us_") + kMarkNames[m]] = cost.markMeanUs[m];
            state.counters[std::string("worst_us_") + kMarkNames[m]] = cost.markWorstUs[m];
        }
        if (meterType == 1) {
            state.counters["integrated_blocks"] = static_cast<double>(counts.lastIntegratorCount);
            state.counters["range_blocks"] = static_cast<double>(counts.lastRangeCount);
            const EBUMM6& e = plug->GetEbuMeter();
            state.counters["final_I_LUFS"] = e.mIntegrator.mIntegratedLufs;
            state.counters["final_LRA_LU"] = e.mLra.mRangeLu;
        } else {
            const RMSMM6& r = plug->GetRmsMeter();
            state.counters["final_IL_dBFS"] = 10.0 * std::log10(r.mIntegratedMeanSquare);
            state.counters["final_count"] = static_cast<double>(r.mIntegratedCount);
            state.counters["IL_rel_error"] = worstMeanSquareError;
        }
        state.counters["check_failures"] = checker.count;
        if (checker.count > 0) {
            gFailed = true;
            std::fprintf(stderr, "%s", checker.failures.c_str());
            state.SkipWithError("a soak check failed (see above)");
        }
    }
}

// Takes --hours, --channels and --seed out of argv; the rest goes to Google Benchmark.
bool parseOwnFlags(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        char* end = nullptr;
        if (std::strncmp(a, "--hours=", 8) == 0) {
            gHours = std::strtod(a + 8, &end);
            if (*end != '\0' || !(gHours > 0.0) || gHours > 1000.0) return false;
        } else if (std::strncmp(a, "--channels=", 11) == 0) {
            gChannels = static_cast<int>(std::strtol(a + 11, &end, 10));
            if (*end != '\0' || gChannels < 1 || gChannels > 6 || gChannels == 3) return false;
        } else if (std::strncmp(a, "--block=", 8) == 0) {
            gBlock = static_cast<int>(std::strtol(a + 8, &end, 10));
            if (*end != '\0' || gBlock < 1 || gBlock > kMaxBlock) return false;
        } else if (std::strncmp(a, "--seed=", 7) == 0) {
            gSeed = std::strtoull(a + 7, &end, 10);
            if (*end != '\0') return false;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!parseOwnFlags(argc, argv)) {
        std::fprintf(stderr,
                     "usage: %s [--hours=H (0 < H <= 1000, default 24)] [--channels=1|2|4|5|6 (default 2)] "
                     "[--seed=S] [--block=1..8192 (default random)] [benchmark flags]\n",
                     argv[0]);
        return 2;
    }
    for (auto [name, type] : {std::pair<const char*, int>{"Soak/EBU_R128", 1}, {"Soak/RMS", 0}}) {
        benchmark::RegisterBenchmark(name, runSoak, type)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    std::printf("soak: %.3g h of %d-channel programme at %.0f Hz per type, seed %llu, %s\n", gHours,
                gChannels, kSampleRate, static_cast<unsigned long long>(gSeed),
                gBlock > 0 ? (std::to_string(gBlock) + "-frame callbacks").c_str() : "random callback sizes");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return gFailed ? 1 : 0;
}
