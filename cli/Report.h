// Writers for the results: a JSON array (one object per programme, in argument order) or readable tables.
#pragma once

#include "cli/FileReport.h"

#include <iosfwd>
#include <vector>

namespace quenlix::cli {

void writeJson(const std::vector<FileReport>& reports, std::ostream& out);
void writeTable(const FileReport& report, std::ostream& out);

}  // namespace quenlix::cli
