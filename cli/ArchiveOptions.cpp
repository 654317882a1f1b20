#include "cli/ArchiveOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "cli/ArchiveInputs.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {

void addArchiveOptions(CLI::App& measure, Options& o, ArchiveChoices& c) {
    measure.add_option("--jsonl", o.jsonlPath,
                       "write one JSON line per programme as soon as it is done (- for standard output); "
                       "the file is synced at the end");
    measure.add_option("--files-from", o.filesFrom,
                       "meter the files listed in LIST, one per line (- for standard input)");
    measure.add_flag("--null", o.nulSeparated,
                     "the --files-from list is separated by NUL bytes (find -print0)");
    measure.add_option("--resume", o.resumePath,
                       "skip the programmes FILE.jsonl already records (same path, size and modification "
                       "time) and append the others to it");
    measure.add_option("--shard", c.shard,
                       "meter only shard K of N (K from 1): the files whose FNV-1a 64 hash of the path "
                       "modulo N is K-1");
}

CLI::App* addSummarizeCommand(CLI::App& app, Options& o) {
    CLI::App* summarize =
        app.add_subcommand("summarize",
                           "merge the --jsonl records of runs and shards: counts, failures, "
                           "verdicts");
    summarize->add_option("FILE", o.files, "JSON-lines files written by measure --jsonl")->required();
    summarize->add_option("--csv", o.csvPath, "write one row per programme, as measure --csv does");
    return summarize;
}

namespace {

int usage(std::ostream& err, const std::string& message) {
    err << "quenlix: " << message << '\n';
    return kExitUsage;
}

}  // namespace

std::optional<int> checkArchiveOptions(const ArchiveChoices& c, Options& o, std::ostream& err) {
    if (!c.shard.empty()) {
        std::string error;
        if (!parseShard(c.shard, o.shardIndex, o.shardCount, error)) return usage(err, "--shard " + error);
    }
    if (o.shardCount > 0 && (o.album || !o.plotPath.empty()))
        return usage(err,
                     std::string(o.album ? "--album" : "--plot") + " needs every programme, not a --shard");
    if (o.nulSeparated && o.filesFrom.empty()) return usage(err, "--null describes a --files-from list");
    if (!o.resumePath.empty()) {
        if (o.resumePath == kStdinName) return usage(err, "--resume needs a file, not standard output");
        if (!o.jsonlPath.empty() && o.jsonlPath != o.resumePath)
            return usage(err,
                         "--resume appends to its own file: give it instead of --jsonl, or the same name");
        o.jsonlPath = o.resumePath;
    }
    if (o.filesFrom == kStdinName && std::count(o.files.begin(), o.files.end(), std::string(kStdinName)) > 0)
        return usage(err, "standard input (-) can be read only once: it carries the --files-from list");
    if (o.jsonlPath.empty()) return std::nullopt;
    // Records are written as programmes end; these need every result at once.
    const char* whole = o.json ? "--json" : o.album ? "--album" : !o.plotPath.empty() ? "--plot" : nullptr;
    if (whole != nullptr) return usage(err, std::string(whole) + " cannot go with --jsonl");
    if (!o.csvPath.empty())
        return usage(err, "--csv cannot go with --jsonl: quenlix summarize --csv writes it");
    return std::nullopt;
}

}  // namespace quenlix::cli
