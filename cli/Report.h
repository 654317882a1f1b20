// Writers for the results: a JSON array (one object per programme, in argument order) or readable tables.
#pragma once

#include <iosfwd>
#include <vector>

#include "cli/FileReport.h"

namespace quenlix::cli {

void writeJson(const std::vector<FileReport>& reports, std::ostream& out);
void writeTable(const FileReport& report, std::ostream& out);

}  // namespace quenlix::cli
