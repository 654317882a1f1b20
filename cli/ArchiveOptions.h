// The command-line options for whole archives: results streamed as JSON lines, lists of files, resuming a
// killed run and one shard of a list split between machines; and `quenlix summarize`, which merges them.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/Options.h"

namespace CLI {
class App;
}

namespace quenlix::cli {

// The options as typed, turned into Options by checkArchiveOptions.
struct ArchiveChoices {
    std::string shard;
};

// Adds --jsonl, --files-from, --null, --resume and --shard to `measure`.
void addArchiveOptions(CLI::App& measure, Options& options, ArchiveChoices& choices);

// Adds the `summarize` subcommand and returns it.
CLI::App* addSummarizeCommand(CLI::App& app, Options& options);

// After parsing `measure`: resolves the choices into `options` and checks the combinations. Returns
// std::nullopt to go on, or kExitUsage after a line on `err`.
std::optional<int> checkArchiveOptions(const ArchiveChoices& choices, Options& options, std::ostream& err);

}  // namespace quenlix::cli
