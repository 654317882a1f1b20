// The delivery steps of a `measure` run around the metering of the files: opening each programme with the
// asked-for adapters, the album result, the verdicts, the plot and CSV files, and the exit code that sums it
// up. All on the program's main thread.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/FileReport.h"
#include "cli/Meterer.h"
#include "cli/MeteringSession.h"
#include "cli/Options.h"
#include "cli/Progress.h"

namespace quenlix::cli {

// The job that meters `file` ("-": standard input), counting non-finite samples and, with --dual-mono,
// metering a mono file as two identical channels. Keeps the history when the plot is of this file.
MeterJob programmeJob(const std::string& file, const Options& options);

// Meters every file back to back through one instance and appends the result, named "album (N files)",
// to `reports` (which hold the files' own results, in argument order). A file that failed, or files of
// different rates or channel counts, give a failed album result. `progressIndex` is the album's position
// in the progress display.
void meterAlbum(const std::vector<std::string>& files, std::vector<FileReport>& reports,
                SessionFactory& factory, const Options& options, const std::vector<std::uint8_t>* state,
                Progress& progress, int progressIndex);

// Gives every measured report its verdict against options.target (nothing without a target).
void judge(std::vector<FileReport>& reports, const Options& options);

// Writes the plot and the CSV table asked for. False after a line on `err` for each file that could not be
// written.
bool writeDeliveryFiles(const std::vector<FileReport>& reports, const Options& options, std::ostream& err);

// Warns once per programme on `err` about non-finite samples.
void warnNonFinite(const std::vector<FileReport>& reports, std::ostream& err);

// The program's exit code for the reports: kExitSomeFailed when a programme failed or `filesWritten` is
// false, else kExitTargetMissed when a verdict failed, else kExitOk.
int deliveryExitCode(const std::vector<FileReport>& reports, bool filesWritten);

}  // namespace quenlix::cli
