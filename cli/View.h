// `quenlix view`: one programme metered at real-time pace (or a multiple of it) while the plug-in's editor
// shows the meters in a window of its own; closing the window, Ctrl-C or a lost X connection ends the run
// early with the summary of what was metered. As in a host, the metering runs on a thread of its own at the
// file's pace and the window is drawn on the main thread, so neither waits for the other.
#pragma once

#include <signal.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/FileReport.h"
#include "cli/Meterer.h"
#include "cli/MeteringSession.h"
#include "cli/Options.h"
#include "cli/Progress.h"

namespace quenlix::cli {

// Makes the factory's sessions open their editors on the X display named by DISPLAY. False, with one line
// on `err`, when DISPLAY is unset or cannot be reached. Main thread, before any session is created.
bool prepareView(SessionFactory& factory, std::ostream& err);

// Meters the programme (of programmeJob) paced to `options.speed` times real time on a thread of its own
// (an infinite speed: as fast as the source delivers, for a source that keeps its own pace, a live feed),
// while the calling (main) thread opens the editor window before the first block, ticks it 25 times a second
// and closes it once the results are read. The run ends early, with its results, when the window is closed,
// its X connection is lost or a StopSignals signal arrives; the report then says so. Returns once the
// metering thread has ended and been joined, with the file's report.
std::vector<FileReport> meterInView(const MeterJob& programme, SessionFactory& factory,
                                    const Options& options, const std::vector<std::uint8_t>* state,
                                    Progress& progress);

// The stop signal (SIGINT, SIGTERM) caught since the StopSignals in force were installed, or 0. Any thread.
int caughtStopSignal();

// While alive, SIGINT (Ctrl-C) and SIGTERM end a view run the way closing its window does, at the next
// block; a second such signal ends the process as usual. Main thread, around the metering.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction mPreviousInt {};
    struct sigaction mPreviousTerm {};
};

}  // namespace quenlix::cli
