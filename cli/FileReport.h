// What metering one programme produced, ready for the JSON and table writers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/LoudnessHistory.h"
#include "cli/MeteringSession.h"
#include "cli/Targets.h"

namespace quenlix::cli {

// What tells one version of a file from another when a run is resumed: its size and modification time as
// stat() gives them, for a regular file.
struct FileIdentity {
    std::int64_t sizeBytes = 0;
    std::int64_t mtimeNs = 0;  // since the epoch
    bool operator==(const FileIdentity& o) const { return sizeBytes == o.sizeBytes && mtimeNs == o.mtimeNs; }
};

// How a live session (`quenlix live`) went.
struct LiveSummary {
    std::string endedBy;             // "interrupted by SIGINT", "the JACK server went away", ...
    std::int64_t xruns = 0;          // reported by the server while the session ran
    std::int64_t droppedFrames = 0;  // arrived while the metering was too far behind to take them
    double worstCallbackUs = 0.0;    // the process callback's longest run
};

struct FileReport {
    std::string file;     // as given on the command line ("demo programme" for the demo)
    bool album = false;   // all files as one programme; `file` then names it for messages only
    std::string version;  // plug-in version, empty when the plug-in could not be loaded
    bool ok = false;
    std::string error;       // one line naming the reason; empty when ok
    bool hasFormat = false;  // the programme's format was read
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;             // read; a stream's length is known once it has been metered
    bool cutShort = false;               // the run ended before the programme did (`frames` were metered)
    std::int64_t totalFrames = -1;       // of a run cut short: the programme's length, -1 for a stream
    std::string stopReason;              // of a run cut short: why ("the window was closed"), or empty
    bool dualMono = false;               // a mono programme metered as two identical channels
    std::int64_t nonFiniteSamples = 0;   // NaN and infinite samples, metered as silence
    bool hasResults = false;             // settings, outputs, readouts and measurements were read
    std::vector<ParamReading> settings;  // the six setting parameters, in index order
    std::vector<ParamReading> outputs;   // the thirteen output parameters, in index order
    Readouts readouts;
    Measurements measurements;
    std::optional<Verdict> check;  // with a delivery target: the verdict on the measurements
    LoudnessHistory history;       // the outputs after every publish, when the job kept them
    // The run's own output files (timeline, snapshot, saved state) that could not be written, one line each
    // naming the file and the system's reason. The results above stand: the programme was measured.
    std::vector<std::string> outputErrors;
    // Of a --jsonl record: the file as it was when metering began (none for a stream or a missing file).
    std::optional<FileIdentity> identity;
    std::optional<LiveSummary> live;  // of a live session only
};

}  // namespace quenlix::cli
