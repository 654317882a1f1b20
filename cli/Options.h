// The command line of `quenlix`: what was asked for, checked. Parsing never exits the process; it returns the
// exit code to use when the program should stop (help: 0, usage error: 2).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/Targets.h"

namespace CLI {
class App;
}

namespace quenlix::cli {

enum class Command { Measure, Demo, View, Summarize, Live };

// Exit codes of the program.
constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTargetMissed = 3;  // every file measured, some missed the --target

struct Options {
    Command command = Command::Measure;
    std::vector<std::string> files;  // measure: in argument order

    // Settings asked for explicitly; unset ones follow the file's channel count (or a restored state).
    std::optional<int> type;            // "Type": 0 RMS, 1 EBU R128
    std::optional<int> ebuLayout;       // "EBU Channel Config": 0 2.0, 1 4.0, 2 4.1, 3 5.1
    std::optional<int> rmsChannels;     // "RMS Channel Config": 0 stereo, 1 left, 2 right, 3 four, 4 six
    std::optional<int> rmsMode;         // "RMS Meter Mode": 0 rms, 1 rms+3
    std::optional<double> rmsWindowMs;  // "RMS Window", 10 .. 3000 ms

    int blockFrames = 512;  // host block size
    int jobs = 1;
    bool json = false;
    bool quiet = false;
    std::string timelinePath;
    std::string snapshotPath;
    std::string statePath;
    std::string saveStatePath;
    std::string pluginPath;  // empty: located beside the executable

    // Delivery work.
    std::string plotPath;  // .png or .svg
    int plotWidth = 1200;
    int plotHeight = 400;
    std::optional<DeliveryTarget> target;
    bool album = false;  // one more result: every file as one programme
    std::string csvPath;
    bool dualMono = false;  // mono files metered as a stereo insert with the signal in both channels

    double speed = 1.0;  // view: times real-time pace
    // The editor's scale: measure/demo --snapshot-scale for the picture (1, 1.5, 2), view --scale for the
    // window (0: from the desktop, GDK_SCALE or Xft.dpi).
    double editorScale = 0.0;

    // Whole archives.
    std::string jsonlPath;      // records as programmes end; "-": standard output
    std::string filesFrom;      // a list of paths; "-": standard input
    bool nulSeparated = false;  // the list's paths end in NUL bytes, not newlines
    std::string resumePath;     // the records of an earlier run, appended to
    int shardIndex = 0;         // 1 .. shardCount; 0: the whole list
    int shardCount = 0;
};

constexpr int kMinBlockFrames = 1;
constexpr int kMaxBlockFrames = 65536;
constexpr int kMaxJobs = 64;
constexpr double kMaxViewSpeed = 10000.0;
constexpr double kMinRmsWindowMs = 10.0;
constexpr double kMaxRmsWindowMs = 3000.0;
constexpr const char* kDemoSnapshot = "quenlix-demo.png";

// The metering options shared by every command, as typed: the named choices are turned into parameter
// values by applyMeteringChoices once parsing is done.
struct MeteringChoices {
    std::string type, ebuLayout, rmsChannels, rmsMode;
};
void addMeteringOptions(CLI::App& cmd, Options& options, MeteringChoices& choices);
void applyMeteringChoices(const MeteringChoices& choices, Options& options);

// Parses argv into `options`. Returns std::nullopt to go on, or the exit code to stop with after help or a
// usage message has been written to `out` / `err`.
std::optional<int> parseArguments(int argc, const char* const* argv, Options& options, std::ostream& out,
                                  std::ostream& err);

// The parameter values to apply for a programme of `channels` channels: the explicit settings, and, unless a
// saved state is applied first (`stateGiven`), the defaults: type EBU R128 and the layouts by channel count.
// Pairs of (parameter index, plain value) in parameter index order.
std::vector<std::pair<int, double>> settingsFor(const Options& options, int channels, bool stateGiven);

}  // namespace quenlix::cli
