#include "cli/App.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>

#include "cli/ArchiveRun.h"
#include "cli/AudioSource.h"
#include "cli/Delivery.h"
#include "cli/DemoProgramme.h"
#include "cli/Meterer.h"
#include "cli/Options.h"
#include "cli/OutputFiles.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "cli/Summary.h"
#include "cli/View.h"

namespace quenlix::cli {
namespace {

// A saved settings chunk is a few hundred bytes; anything far larger is not one.
constexpr std::streamoff kMaxStateBytes = 1 << 20;

}  // namespace

bool readState(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read";
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxStateBytes) {
        error = size <= 0 ? "empty" : "too large to be a settings chunk";
        return false;
    }
    in.seekg(0);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (static_cast<std::streamoff>(bytes.size()) != size) {
        error = "read failed";
        return false;
    }
    return true;
}

namespace {

// Options that write one file for one programme, against a run that turned out to have several once the
// folders and lists were read.
bool singleProgrammeOptionsFit(const Options& options, std::size_t programmes, std::ostream& err) {
    if (programmes <= 1) return true;
    const char* single = !options.timelinePath.empty()                 ? "--timeline"
                         : !options.snapshotPath.empty()               ? "--snapshot"
                         : !options.saveStatePath.empty()              ? "--save-state"
                         : !options.plotPath.empty() && !options.album ? "--plot"
                                                                       : nullptr;
    if (single == nullptr) return true;
    err << "quenlix: " << single << " writes one file, so it takes a single programme (got " << programmes
        << ")\n";
    return false;
}

// What the command meters: the demonstration programme, the file to view, or the programmes gathered
// for measure (whose paths then stand in options.files, for the album).
std::vector<MeterJob> jobsFor(const std::vector<ProgrammeEntry>& programmes, Options& options) {
    std::vector<MeterJob> jobs;
    if (options.command == Command::Demo) {
        MeterJob demo;
        demo.name = "demo programme";
        demo.open = [](std::string&) { return makeDemoProgramme(); };
        demo.keepHistory = !options.plotPath.empty();
        jobs.push_back(std::move(demo));
    } else if (options.command == Command::View) {
        for (const std::string& file : options.files) jobs.push_back(programmeJob(file, options));
    } else {
        options.files.clear();
        for (const ProgrammeEntry& entry : programmes) {
            jobs.push_back(entryJob(entry, options));
            options.files.push_back(entry.path);
        }
    }
    return jobs;
}

// Meters every job (in a window for view) and the album, judged against the target.
std::vector<FileReport> meterJobs(const std::vector<MeterJob>& jobs, SessionFactory& factory,
                                  const Options& options, const std::vector<std::uint8_t>* applied,
                                  bool terminal, std::ostream& err) {
    std::optional<StopSignals> stopSignals;
    if (options.command == Command::View) stopSignals.emplace();

    const int programmeCount = static_cast<int>(jobs.size()) + (options.album ? 1 : 0);
    Progress progress(err, terminal && !options.quiet, programmeCount);
    std::vector<FileReport> reports = options.command == Command::View
                                          ? meterInView(jobs.front(), factory, options, applied, progress)
                                          : meterAll(jobs, factory, options, applied, progress);
    if (options.album)
        meterAlbum(options.files, reports, factory, options, applied, progress,
                   static_cast<int>(jobs.size()));
    progress.finish();
    stopSignals.reset();
    judge(reports, options);
    return reports;
}

// Tells each failure and each output that could not be written on `err`, then the results on `out`
// (JSON or tables). `outputsWritten` tells whether every output file was written.
void writeReports(const std::vector<FileReport>& reports, const Options& options, std::ostream& out,
                  std::ostream& err, bool& outputsWritten) {
    warnNonFinite(reports, err);
    bool allOk = true;
    outputsWritten = true;
    for (const FileReport& r : reports) {
        if (!r.ok) {
            allOk = false;
            err << "quenlix: " << r.file << ": " << r.error << '\n';
        }
        for (const std::string& failed : r.outputErrors) {
            outputsWritten = false;
            err << "quenlix: " << failed << '\n';
        }
    }
    if (options.json) {
        writeJson(reports, out);
    } else {
        for (std::size_t i = 0; i < reports.size(); ++i) {
            if (i > 0) out << '\n';
            writeTable(reports[i], out);
        }
        if (options.command == Command::Demo && allOk)
            out << "\nEditor picture: " << options.snapshotPath << '\n';
    }
}

}  // namespace

int runQuenlix(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               const FactoryMaker& makeFactory, bool terminal) {
    Options options;
    if (std::optional<int> code = parseArguments(argc, argv, options, out, err)) return *code;
    if (options.command == Command::Summarize) return runSummarize(options.files, options.csvPath, out, err);

    std::vector<std::uint8_t> state;
    if (!options.statePath.empty()) {
        std::string error;
        if (!readState(options.statePath, state, error)) {
            err << "quenlix: --state " << options.statePath << ": " << error << '\n';
            return kExitUsage;
        }
    }

    std::vector<ProgrammeEntry> programmes;
    if (options.command == Command::Measure) {
        if (!gatherProgrammes(options, programmes, err)) return kExitUsage;
        if (!singleProgrammeOptionsFit(options, programmes.size(), err)) return kExitUsage;
    }

    // Before anything is metered: a file that cannot be written would otherwise fail only at the end.
    if (!checkOutputPaths(options, err)) return kExitSomeFailed;

    const std::vector<std::uint8_t>* applied = options.statePath.empty() ? nullptr : &state;
    if (!options.jsonlPath.empty())
        return meterToRecords(programmes, options, makeFactory, applied, err, terminal);

    // Measure's jobs are the programmes gathered from the arguments, which become the files an album joins.
    const std::vector<MeterJob> jobs = jobsFor(programmes, options);
    std::string error;
    std::unique_ptr<SessionFactory> factory = makeFactory(options.pluginPath, error);
    if (!factory) {
        err << "quenlix: " << error << '\n';
        return kExitSomeFailed;
    }
    if (options.command == Command::View && !prepareView(*factory, err)) return kExitUsage;

    const std::vector<FileReport> reports = meterJobs(jobs, *factory, options, applied, terminal, err);
    return deliverReports(reports, options, out, err);
}

int deliverReports(const std::vector<FileReport>& reports, const Options& options, std::ostream& out,
                   std::ostream& err) {
    bool outputsWritten = true;
    writeReports(reports, options, out, err, outputsWritten);
    bool filesWritten = writeDeliveryFiles(reports, options, err) && outputsWritten;
    out.flush();
    if (!out) {
        // A full disk or a closed pipe: the results were not delivered, so this is no success.
        err << "quenlix: cannot write the report to standard output\n";
        return kExitSomeFailed;
    }
    return deliveryExitCode(reports, filesWritten);
}

}  // namespace quenlix::cli
