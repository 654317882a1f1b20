// Meters one programme through one plug-in instance, the way a host plays a file through an insert: the
// effect type for the channel count, the settings, blocks of `--block` frames with the transport running,
// then the controls, read-outs and measurements read back, and the optional timeline, snapshot and saved
// state written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/AudioSource.h"
#include "cli/FileReport.h"
#include "cli/MeteringSession.h"
#include "cli/Options.h"
#include "cli/Progress.h"

namespace quenlix::cli {

// Opens the programme to meter; on failure returns null and sets the reason.
using SourceOpener = std::function<std::unique_ptr<AudioSource>(std::string& error)>;

struct MeterJob {
    std::string name;  // shown in reports and the progress bar
    SourceOpener open;
    bool keepHistory = false;  // keep the outputs after every publish in the report (for a plot)
    // Optional: called once the settings are applied (false with the error fails the job), after every
    // host block with the frames metered so far (false ends the run there, as if the programme ended),
    // and once the results are read (or the run failed after onStart succeeded). Same thread as the
    // metering.
    std::function<bool(MeteringSession&, std::string& error)> onStart = nullptr;
    std::function<bool(MeteringSession&, std::int64_t framesDone, int sampleRate)> afterBlock = nullptr;
    std::function<void(MeteringSession&)> onEnd = nullptr;
    // Optional: why afterBlock ended the run ("the window was closed"), for the report.
    std::function<std::string()> stopReason = nullptr;
};

// Frames between two output publishes of the plug-in at `sampleRate` (50 ms, truncated to whole samples).
int publishPeriodFrames(int sampleRate);

// Meters one programme. Never throws; a failure is recorded in the report. `state` is the saved settings
// chunk to apply first, or null. `jobIndex` is the job's position, for the progress bar. Runs on the calling
// (worker) thread.
FileReport meterOne(const MeterJob& job, int jobIndex, SessionFactory& factory, const Options& options,
                    const std::vector<std::uint8_t>* state, Progress& progress);

// Called with each job's index and report as soon as the job is done, on the worker thread that metered it
// (several at once with more than one worker). Returning false asks for no further job to be started.
using ReportSink = std::function<bool(std::size_t jobIndex, FileReport&& report)>;

// Meters every job with `options.jobs` workers, each job with its own instance, handing each report to
// `sink` instead of keeping it: a run over a whole archive holds only the reports being made.
void meterEach(const std::vector<MeterJob>& jobs, SessionFactory& factory, const Options& options,
               const std::vector<std::uint8_t>* state, Progress& progress, const ReportSink& sink);

// Meters every job with `options.jobs` workers, each job with its own instance. Reports come back in job
// order.
std::vector<FileReport> meterAll(const std::vector<MeterJob>& jobs, SessionFactory& factory,
                                 const Options& options, const std::vector<std::uint8_t>* state,
                                 Progress& progress);

}  // namespace quenlix::cli
