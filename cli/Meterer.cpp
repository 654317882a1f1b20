#include "cli/Meterer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

#include "cli/OutputFiles.h"
#include "cli/Timeline.h"

namespace quenlix::cli {
namespace {

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot write saved state " + path + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::string reason;
    if (closeOutputFile(f, written ? 0 : (errno != 0 ? errno : EIO), reason)) return true;
    error = "cannot write saved state " + path + ": " + reason;
    return false;
}

std::vector<double> outputValues(const MeteringSession& session) {
    std::vector<double> values;
    values.reserve(kOutputParams.size());
    for (int index : kOutputParams) values.push_back(session.parameter(index).value);
    return values;
}

// Frames read from the file at a time: large enough that reading costs few system calls, small enough
// (256 KiB a channel) to stay in the cache while it is de-interleaved and metered.
constexpr std::int64_t kReadChunkFrames = 65536;

// Splits `frames` interleaved frames into one buffer per channel.
void deinterleave(const float* interleaved, std::int64_t frames, std::vector<std::vector<float>>& planar) {
    const int channels = static_cast<int>(planar.size());
    for (int c = 0; c < channels; ++c) {
        float* out = planar[c].data();
        const float* in = interleaved + c;
        for (std::int64_t i = 0; i < frames; ++i) out[i] = in[i * channels];
    }
}

// Makes the instance for a programme of `channels` channels and brings it to the settings the run
// asks for: a saved state first, then the command line's settings, then the job's own start.
std::unique_ptr<MeteringSession> startSession(const MeterJob& job, SessionFactory& factory,
                                              const Options& options, const std::vector<std::uint8_t>* state,
                                              const AudioSource& source, FileReport& report,
                                              std::string& error) {
    std::unique_ptr<MeteringSession> session = factory.create(error);
    if (!session) return nullptr;
    const int channels = source.channels();
    if (!session->start(channels, source.sampleRate(), error)) return nullptr;
    report.version = session->version();
    if (state != nullptr && !session->restoreState(*state, error)) return nullptr;
    for (const auto& [index, value] : settingsFor(options, channels, state != nullptr))
        if (!session->setParameter(index, value, error)) return nullptr;
    if (job.onStart && !job.onStart(*session, error)) return nullptr;
    return session;
}

// Where the run reads the outputs after each publish: the timeline file, the report's history, or both.
struct PublishSampling {
    TimelineWriter timeline;
    bool withTimeline = false;
    bool keepHistory = false;
    bool any() const { return withTimeline || keepHistory; }
};

// What rendering a programme came to.
struct RenderOutcome {
    std::int64_t done = 0;  // frames metered
    bool stopped = false;   // the job's afterBlock ended the run
};

// Reads the programme and hands it to the plug-in. The file is read and de-interleaved in large chunks
// and handed over in host blocks. Host blocks never straddle a publish when the outputs are sampled, so
// every row is read right after the publish it belongs to. False with `error` at a failure.
bool renderProgramme(const MeterJob& job, int jobIndex, const Options& options, AudioSource& source,
                     MeteringSession& session, PublishSampling& sampling, Progress& progress,
                     FileReport& report, RenderOutcome& outcome, std::string& error) {
    const int channels = source.channels();
    const std::int64_t period = publishPeriodFrames(source.sampleRate());
    const std::int64_t block = options.blockFrames;
    const std::int64_t chunk = std::max<std::int64_t>(block, kReadChunkFrames);
    std::vector<float> interleaved(static_cast<std::size_t>(chunk * channels));
    std::vector<std::vector<float>> planar(channels, std::vector<float>(static_cast<std::size_t>(chunk)));
    std::vector<const float*> pointers(channels);

    report.history.periodS = static_cast<double>(period) / source.sampleRate();
    progress.begin(jobIndex, job.name);
    std::int64_t& done = outcome.done;
    std::int64_t nextPublish = period;
    const bool sampled = sampling.any() && period > 0;
    while (!outcome.stopped) {
        std::int64_t got = source.read(interleaved.data(), chunk, error);
        if (got < 0) return false;
        if (got == 0) break;
        deinterleave(interleaved.data(), got, planar);
        for (std::int64_t offset = 0; offset < got;) {
            std::int64_t n = std::min(block, got - offset);
            if (sampled) n = std::min(n, nextPublish - done);
            for (int c = 0; c < channels; ++c) pointers[c] = planar[c].data() + offset;
            if (!session.render(pointers.data(), static_cast<int>(n), error)) return false;
            done += n;
            offset += n;
            if (sampled && done == nextPublish) {
                std::vector<double> values = outputValues(session);
                if (sampling.withTimeline)
                    sampling.timeline.row(static_cast<double>(done) / source.sampleRate(), values);
                if (sampling.keepHistory) report.history.add(values);
                nextPublish += period;
            }
            if (job.afterBlock && !job.afterBlock(session, done, source.sampleRate())) {
                outcome.stopped = true;
                break;
            }
        }
        progress.advance(jobIndex, done, source.frames(), got, source.sampleRate());
    }
    return true;
}

// How much of the programme was metered, and whether that is a failure: a source that ended before its
// stated length, or one with no frames at all. A run the job stopped is cut short, not failed.
bool checkLength(const MeterJob& job, const AudioSource& source, const RenderOutcome& outcome,
                 FileReport& report, std::string& error) {
    const std::int64_t done = outcome.done;
    if (source.frames() == kUnknownFrames || outcome.stopped) report.frames = done;
    if (outcome.stopped && (source.frames() == kUnknownFrames || done < source.frames())) {
        report.cutShort = true;
        report.totalFrames = source.frames();
        if (job.stopReason) report.stopReason = job.stopReason();
    }
    report.nonFiniteSamples = source.nonFiniteSamples();
    report.dualMono = source.dualMono();
    if (done < source.frames() && !outcome.stopped) {
        error = "ended after " + std::to_string(done) + " of " + std::to_string(source.frames()) + " frames";
        return false;
    }
    if (done == 0) {
        error = "no audio frames";
        return false;
    }
    return true;
}

void readResults(const MeteringSession& session, FileReport& report) {
    for (int index : kSettingParams) report.settings.push_back(session.parameter(index));
    for (int index : kOutputParams) report.outputs.push_back(session.parameter(index));
    report.readouts = session.readouts();
    report.measurements = session.measurements();
    report.hasResults = true;
}

// The programme is measured: an output that fails now (a full disk) is reported beside the results,
// never in place of them.
void writeOutputs(const Options& options, MeteringSession& session, PublishSampling& sampling,
                  FileReport& report) {
    std::string failed;
    if (sampling.withTimeline && !sampling.timeline.close(failed)) report.outputErrors.push_back(failed);
    if (!options.snapshotPath.empty()) session.setEditorScale(options.editorScale);
    if (!options.snapshotPath.empty() && !session.snapshot(options.snapshotPath, failed))
        report.outputErrors.push_back(failed);
    if (!options.saveStatePath.empty()) {
        std::vector<std::uint8_t> chunk;
        if (!session.saveState(chunk, failed) || !writeBytes(options.saveStatePath, chunk, failed))
            report.outputErrors.push_back(failed);
    }
}

// The body of meterOne; returns false with `error` set at the first failure.
bool meter(const MeterJob& job, int jobIndex, SessionFactory& factory, const Options& options,
           const std::vector<std::uint8_t>* state, Progress& progress, FileReport& report,
           std::string& error) {
    std::unique_ptr<AudioSource> source = job.open(error);
    if (!source) return false;
    report.hasFormat = true;
    report.sampleRate = source->sampleRate();
    report.channels = source->channels();
    report.frames = std::max<std::int64_t>(source->frames(), 0);

    std::unique_ptr<MeteringSession> session =
        startSession(job, factory, options, state, *source, report, error);
    if (!session) return false;
    // From here the job's end is reached on every way out, a failure too, so that nothing its start began
    // (a window served by another thread) outlives the session.
    struct JobEnd {
        const MeterJob& job;
        MeteringSession& session;
        bool reached = false;
        void reach() {
            if (!reached && job.onEnd) job.onEnd(session);
            reached = true;
        }
        ~JobEnd() { reach(); }
    } jobEnd{job, *session};

    PublishSampling sampling;
    sampling.withTimeline = !options.timelinePath.empty();
    sampling.keepHistory = job.keepHistory;
    if (sampling.withTimeline) {
        std::vector<std::string> columns;
        for (int index : kOutputParams) columns.push_back(session->parameter(index).name);
        if (!sampling.timeline.open(options.timelinePath, columns, error)) return false;
    }

    RenderOutcome outcome;
    if (!renderProgramme(job, jobIndex, options, *source, *session, sampling, progress, report, outcome,
                         error))
        return false;
    if (!checkLength(job, *source, outcome, report, error)) return false;
    readResults(*session, report);
    jobEnd.reach();
    writeOutputs(options, *session, sampling, report);
    return true;
}

}  // namespace

int publishPeriodFrames(int sampleRate) {
    return static_cast<int>(50.0 * 0.001 * sampleRate);
}

FileReport meterOne(const MeterJob& job, int jobIndex, SessionFactory& factory, const Options& options,
                    const std::vector<std::uint8_t>* state, Progress& progress) {
    FileReport report;
    report.file = job.name;
    std::string error;
    try {
        report.ok = meter(job, jobIndex, factory, options, state, progress, report, error);
    } catch (const std::exception& e) {
        report.ok = false;
        error = std::string("internal error: ") + e.what();
    }
    if (!report.ok) report.error = error.empty() ? "failed" : error;
    progress.fileDone(jobIndex);
    return report;
}

void meterEach(const std::vector<MeterJob>& jobs, SessionFactory& factory, const Options& options,
               const std::vector<std::uint8_t>* state, Progress& progress, const ReportSink& sink) {
    std::size_t workers =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(options.jobs, 1)), jobs.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size() && !stop; i = next++)
            if (!sink(i, meterOne(jobs[i], static_cast<int>(i), factory, options, state, progress)))
                stop = true;
    };
    if (workers <= 1) {
        work();
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);
    for (std::thread& t : threads) t.join();
}

std::vector<FileReport> meterAll(const std::vector<MeterJob>& jobs, SessionFactory& factory,
                                 const Options& options, const std::vector<std::uint8_t>* state,
                                 Progress& progress) {
    std::vector<FileReport> reports(jobs.size());
    meterEach(jobs, factory, options, state, progress, [&reports](std::size_t i, FileReport&& report) {
        reports[i] = std::move(report);
        return true;
    });
    return reports;
}

}  // namespace quenlix::cli
