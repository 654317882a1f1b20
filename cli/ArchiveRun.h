// A `measure` run over many programmes: gathering them from the arguments, lists and folders, taking one
// shard's share, and, with --jsonl, metering them into records written as each ends (skipping those a
// resumed file already holds). Main thread; the metering runs on the -j workers.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "cli/App.h"
#include "cli/ArchiveInputs.h"
#include "cli/Meterer.h"
#include "cli/Options.h"

namespace quenlix::cli {

// The FILE arguments, then the --files-from list's paths, folders walked, and of those only the --shard's.
// False after a line on `err` when the list cannot be read or nothing at all is there to meter (an empty
// shard of a list that has programmes is no fault).
bool gatherProgrammes(const Options& options, std::vector<ProgrammeEntry>& programmes, std::ostream& err);

// The job that meters `entry`: programmeJob for its path, or one that fails with the entry's problem.
MeterJob entryJob(const ProgrammeEntry& entry, const Options& options);

// Meters `programmes` into options.jsonlPath, skipping those recorded in options.resumePath; failures are
// named on `err` at the end, with a line of counts. Returns the exit code, as for the report of the
// programmes metered in this run.
int meterToRecords(const std::vector<ProgrammeEntry>& programmes, const Options& options,
                   const FactoryMaker& makeFactory, const std::vector<std::uint8_t>* state, std::ostream& err,
                   bool terminal);

}  // namespace quenlix::cli
