// `quenlix summarize`: merges the --jsonl records of several runs (shards, resumed runs) into one set, one
// result per programme, and reports what the set holds.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quenlix::cli {

// Reads every file of `records` in order; where two records name the same file the later one stands (a
// programme metered again after its file changed). Prints on `out` the counts, the failures with their
// reasons and the verdicts per target, the programmes sorted by path; names each line that is not a record
// on `err` with its file and line number and leaves it out. With `csvPath`, writes the CSV table measure
// --csv writes. Returns 0, 1 when a programme failed, a line was refused or a file could not be read or
// written, or 3 when every programme was measured and some missed their target.
int runSummarize(const std::vector<std::string>& records, const std::string& csvPath, std::ostream& out,
                 std::ostream& err);

}  // namespace quenlix::cli
