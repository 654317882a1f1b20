// The --csv table for spreadsheets: a header row, then one row per programme (and the album) with its format,
// every measurement of both types (empty where the type does not give it), the non-finite sample count and
// the verdict. Numbers unrounded, with a point as decimal mark; -144 is silence.
#pragma once

#include <string>
#include <vector>

#include "cli/FileReport.h"

namespace quenlix::cli {

// Writes the table to `path`; false with `error` set when the file cannot be written.
bool writeCsv(const std::vector<FileReport>& reports, const std::string& path, std::string& error);

}  // namespace quenlix::cli
