// The whole `quenlix` program behind main(): parse, meter, report. Kept apart from main() so it can be run
// in-process with any session factory.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/FileReport.h"
#include "cli/MeteringSession.h"
#include "cli/Options.h"

namespace quenlix::cli {

// Loads the plug-in at `pluginPath` (empty: the default location) and returns a factory of its sessions, or
// null with `error` set.
using FactoryMaker =
    std::function<std::unique_ptr<SessionFactory>(const std::string& pluginPath, std::string& error)>;

// Runs the program on the calling thread (worker threads for -j are its own and joined before it returns);
// returns its exit code (0 all measured, 1 some programme failed, 2 usage error, 3 some missed the target).
// `terminal` says whether `err` is a terminal, which decides the progress bar.
int runQuenlix(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               const FactoryMaker& makeFactory, bool terminal);

// Reads a saved settings chunk (--state); false with `error` ("cannot read", "empty") when it is none.
bool readState(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Everything after the metering and the verdicts (judge): warnings, failures, the summary (tables or JSON)
// on `out`, the plot and CSV files. Returns the program's exit code. Main thread.
int deliverReports(const std::vector<FileReport>& reports, const Options& options, std::ostream& out,
                   std::ostream& err);

}  // namespace quenlix::cli
