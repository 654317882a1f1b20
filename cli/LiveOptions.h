// The command line of `quenlix live`: the feed (channels, connections, client name, duration), how it is
// shown (window or status line), and the metering and delivery options `measure` takes.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Options.h"

namespace quenlix::cli {

struct LiveOptions {
    Options metering;  // the metering, output and delivery options, as `measure` reads them
    int channels = 2;
    std::vector<std::string> connect;  // ports feeding the inputs in order
    bool noConnect = false;
    std::string clientName = "quenlix";
    std::optional<double> durationS;
    bool noWindow = false;
};

constexpr double kMaxLiveDurationS = 7.0 * 24 * 3600;

// Parses the arguments after `quenlix live` (argv[0] is the program, argv[1] "live"). Returns std::nullopt
// to go on, or the exit code to stop with after help or a usage message.
std::optional<int> parseLiveArguments(int argc, const char* const* argv, LiveOptions& options,
                                      std::ostream& out, std::ostream& err);

}  // namespace quenlix::cli
