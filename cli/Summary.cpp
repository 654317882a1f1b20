#include "cli/Summary.h"

#include <cerrno>
#include <fstream>
#include <map>
#include <ostream>

#include "cli/CsvReport.h"
#include "cli/Options.h"
#include "cli/OutputFiles.h"
#include "cli/Report.h"

namespace quenlix::cli {
namespace {

struct Merged {
    std::map<std::string, FileReport> byFile;  // sorted by the bytes of the path
    std::size_t records = 0;
    std::size_t superseded = 0;
    std::size_t refused = 0;
    bool unreadable = false;
};

void readRecords(const std::string& path, Merged& merged, std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "quenlix: summarize: " << path << ": " << systemReason(errno) << '\n';
        merged.unreadable = true;
        return;
    }
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const bool cutShort = in.eof();
        if (line.empty()) continue;
        std::string why;
        std::optional<FileReport> r = reportFromRecord(line, why);
        if (r && r->album) why = "an album, not one programme";
        if (!r || r->album) {
            if (cutShort)
                why = "cut short, as by a run that was killed (measure --resume meters its programme again)";
            err << "quenlix: summarize: " << path << ':' << number << ": refused: " << why << '\n';
            ++merged.refused;
            continue;
        }
        ++merged.records;
        auto [it, added] = merged.byFile.insert_or_assign(r->file, std::move(*r));
        if (!added) ++merged.superseded;
    }
    if (in.bad()) {
        err << "quenlix: summarize: " << path << ": " << systemReason(errno) << '\n';
        merged.unreadable = true;
    }
}

}  // namespace

int runSummarize(const std::vector<std::string>& records, const std::string& csvPath, std::ostream& out,
                 std::ostream& err) {
    // Before the records are read: a CSV that cannot be written fails at once.
    if (std::string problem = csvPath.empty() ? std::string() : outputPathProblem(csvPath);
        !problem.empty()) {
        err << "quenlix: cannot write CSV " << csvPath << ": " << problem << '\n';
        return kExitSomeFailed;
    }
    Merged merged;
    for (const std::string& path : records) readRecords(path, merged, err);

    std::size_t failed = 0;
    std::map<std::string, std::pair<std::size_t, std::size_t>> verdicts;  // target -> pass, fail
    for (const auto& [file, r] : merged.byFile) {
        if (!r.ok) ++failed;
        if (r.check) ++(r.check->pass ? verdicts[r.check->target].first : verdicts[r.check->target].second);
    }
    out << "records: " << merged.records << " in " << records.size() << " file"
        << (records.size() == 1 ? "" : "s");
    if (merged.refused > 0) out << ", " << merged.refused << " lines refused";
    out << '\n';
    out << "programmes: " << merged.byFile.size();
    if (merged.superseded > 0)
        out << " (" << merged.superseded << " records superseded by a later one of the same file)";
    out << '\n';
    out << "measured: " << merged.byFile.size() - failed << '\n';
    out << "failed: " << failed << '\n';
    for (const auto& [file, r] : merged.byFile)
        if (!r.ok) out << "  " << file << ": " << r.error << '\n';
    for (const auto& [target, counts] : verdicts) {
        out << "target " << target << ": " << counts.first << " pass, " << counts.second << " fail\n";
        for (const auto& [file, r] : merged.byFile) {
            if (!r.check || r.check->pass || r.check->target != target) continue;
            std::string reasons;
            for (const std::string& why : r.check->failures) reasons += (reasons.empty() ? "" : "; ") + why;
            out << "  " << file << ": " << reasons << '\n';
        }
    }

    bool csvWritten = true;
    if (!csvPath.empty()) {
        std::vector<FileReport> rows;
        rows.reserve(merged.byFile.size());
        for (auto& [file, r] : merged.byFile) rows.push_back(std::move(r));
        std::string error;
        csvWritten = writeCsv(rows, csvPath, error);
        if (!csvWritten) err << "quenlix: " << error << '\n';
    }
    out.flush();
    if (failed > 0 || merged.refused > 0 || merged.unreadable || !csvWritten || !out) return kExitSomeFailed;
    for (const auto& [target, counts] : verdicts)
        if (counts.second > 0) return kExitTargetMissed;
    return kExitOk;
}

}  // namespace quenlix::cli
