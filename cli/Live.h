// `quenlix live`: a live feed from JACK (or PipeWire's JACK interface) metered through the plug-in as it
// arrives, the editor in a window (or a status line on the terminal), until the window is closed, Ctrl-C
// or SIGTERM, --duration or the server going away ends it; then `measure`'s summary and outputs for the
// session, with how it ended and the xruns the server reported.
#pragma once

#include <iosfwd>

#include "cli/App.h"

namespace quenlix::cli {

// The whole command (argv[1] is "live"); returns the exit code: 0 measured (and on target), 1 nothing
// measured or an output not written, 2 usage error or no JACK server, 3 the target missed. Main thread.
int runLive(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            const FactoryMaker& makeFactory, bool terminal);

}  // namespace quenlix::cli
