// `quenlix view`: one programme metered at real-time pace (or a multiple of it) while the plug-in's editor
// shows the meters in a window of its own; closing the window, Ctrl-C or a lost X connection ends the run
// early with the summary of what was metered.
#pragma once

#include <signal.h>

#include <ostream>
#include <string>

#include "cli/Meterer.h"
#include "cli/MeteringSession.h"
#include "cli/Options.h"

namespace quenlix::cli {

// Makes the factory's sessions open their editors on the X display named by DISPLAY. False, with one line
// on `err`, when DISPLAY is unset or cannot be reached. Main thread, before any session is created.
bool prepareView(SessionFactory& factory, std::ostream& err);

// The metering job of `file` paced to `options.speed` times real time, the editor window opened before the
// first block, ticked 25 times a second, and closed once the results are read. The run ends early, with its
// results, when the window is closed, its X connection is lost or a StopSignals signal arrives; the report
// then says so.
MeterJob viewJob(const std::string& file, const Options& options);

// While alive, SIGINT (Ctrl-C) and SIGTERM end a view run the way closing its window does, within one
// window tick; a second such signal ends the process as usual. Main thread, around the metering.
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
