// The command-line options for delivery work: the loudness-history plot, the target check, the album result,
// the CSV table and dual mono; and the checks that tie them to the rest of the command line.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/Options.h"

namespace CLI {
class App;
}

namespace quenlix::cli {

// The options as typed, turned into Options by checkDeliveryOptions.
struct DeliveryChoices {
    std::string target;
    std::string plotSize;
};

// Adds the options to `cmd`; `withFiles` adds those that only make sense for files (--album, --dual-mono).
void addDeliveryOptions(CLI::App& cmd, Options& options, DeliveryChoices& choices, bool withFiles);

// After parsing: resolves the choices into `options` and checks the combinations. Returns std::nullopt to go
// on, or the exit code to stop with after a message (--target list: 0 after the list on `out`; a usage error:
// 2 after a line on `err`).
std::optional<int> checkDeliveryOptions(const DeliveryChoices& choices, Options& options, std::ostream& out,
                                        std::ostream& err);

// The exit codes as --help and the README state them.
extern const char* const kExitCodesHelp;

}  // namespace quenlix::cli
