// Writers for the results: a JSON array (one object per programme, in argument order) or readable tables.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/FileReport.h"

namespace quenlix::cli {

void writeJson(const std::vector<FileReport>& reports, std::ostream& out);

// One --jsonl record: the element writeJson writes for `report`, on one line ending in a newline, with the
// file's identity ("size_bytes", "mtime_ns", null when it has none) after "file".
std::string recordLine(const FileReport& report);

// Reads back one record (or one element of the JSON array), without its newline: what the CSV and the
// summaries need (file, format, results, measurements, verdict, identity). Null with `error` set when the
// text is not JSON or not an object with "file" and "ok".
std::optional<FileReport> reportFromRecord(const std::string& line, std::string& error);
void writeTable(const FileReport& report, std::ostream& out);

}  // namespace quenlix::cli
