// The files a run writes besides its report (--timeline, --snapshot, --save-state, --plot, --csv): checked
// before any audio is metered, so that a mistyped folder fails at once instead of after an hour of metering,
// and closed so that a late failure (a full disk) is named with the system's reason.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

#include "cli/Options.h"

namespace quenlix::cli {

// Why `path` could not be written as an output file (the system's text, "No such file or directory"), or
// empty when it can: an existing file must be writable and not a folder, a new one needs a writable folder.
// Only looks: creates, opens and truncates nothing, so a check leaves no file behind and never opens a
// named pipe that a reader waits on.
std::string outputPathProblem(const std::string& path);

// Checks every output file `options` names, one line on `err` for each that cannot be written
// ("quenlix: cannot write plot out/p.png: No such file or directory"). False when some cannot. Main thread,
// before metering: the names are the same for every file and worker.
bool checkOutputPaths(const Options& options, std::ostream& err);

// The system's reason for the error number `errnum` (EIO when the library left none).
std::string systemReason(int errnum);

// Flushes and closes `file`; false with `reason` set to the system's text when anything written to it was
// lost. `firstErrno`, when not 0, is the error of an earlier failed write, which is the one reported.
bool closeOutputFile(std::FILE* file, int firstErrno, std::string& reason);

}  // namespace quenlix::cli
