// What metering one programme produced, ready for the JSON and table writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

struct FileReport {
    std::string file;     // as given on the command line ("demo programme" for the demo)
    std::string version;  // plug-in version, empty when the plug-in could not be loaded
    bool ok = false;
    std::string error;       // one line naming the reason; empty when ok
    bool hasFormat = false;  // the programme's format was read
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    bool hasResults = false;             // settings, outputs, readouts and measurements were read
    std::vector<ParamReading> settings;  // the six setting parameters, in index order
    std::vector<ParamReading> outputs;   // the thirteen output parameters, in index order
    Readouts readouts;
    Measurements measurements;
};

}  // namespace quenlix::cli
