// `quenlix view`: one programme metered at real-time pace (or a multiple of it) while the plug-in's editor
// shows the meters in a window of its own; closing the window ends the run early.
#pragma once

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
// first block, ticked 25 times a second, and closed once the results are read.
MeterJob viewJob(const std::string& file, const Options& options);

}  // namespace quenlix::cli
