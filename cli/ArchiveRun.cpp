#include "cli/ArchiveRun.h"

#include <atomic>
#include <mutex>
#include <ostream>

#include "cli/Delivery.h"
#include "cli/Progress.h"
#include "cli/RecordLog.h"
#include "cli/Report.h"
#include "cli/StreamSource.h"
#include "cli/Targets.h"

namespace quenlix::cli {

bool gatherProgrammes(const Options& options, std::vector<ProgrammeEntry>& programmes, std::ostream& err) {
    std::vector<std::string> inputs = options.files;
    if (!options.filesFrom.empty()) {
        std::string error;
        if (!readFileList(options.filesFrom, options.nulSeparated, inputs, error)) {
            err << "quenlix: --files-from " << options.filesFrom << ": " << error << '\n';
            return false;
        }
    }
    std::vector<ProgrammeEntry> all = expandProgrammes(inputs, !options.jsonlPath.empty());
    if (all.empty()) {
        err << "quenlix: measure: nothing to meter (no audio files in the folders or the list)\n";
        return false;
    }
    programmes.clear();
    for (ProgrammeEntry& e : all)
        if (options.shardCount == 0 || inShard(e.path, options.shardIndex, options.shardCount))
            programmes.push_back(std::move(e));
    return true;
}

MeterJob entryJob(const ProgrammeEntry& entry, const Options& options) {
    if (entry.problem.empty()) return programmeJob(entry.path, options);
    MeterJob job;
    job.name = entry.path;
    job.open = [problem = entry.problem](std::string& error) -> std::unique_ptr<AudioSource> {
        error = problem;
        return nullptr;
    };
    return job;
}

int meterToRecords(const std::vector<ProgrammeEntry>& programmes, const Options& options,
                   const FactoryMaker& makeFactory, const std::vector<std::uint8_t>* state, std::ostream& err,
                   bool terminal) {
    std::string error;
    RecordedProgrammes recorded;
    std::int64_t appendAt = -1;
    if (!options.resumePath.empty()) {
        bool cutShort = false;
        if (!readRecorded(options.resumePath, recorded, appendAt, cutShort, error)) {
            err << "quenlix: --resume " << options.resumePath << ": " << error << '\n';
            return kExitUsage;
        }
        if (cutShort)
            err << "quenlix: --resume " << options.resumePath
                << ": the last record was cut short; its programme is metered again\n";
    }

    std::vector<MeterJob> jobs;
    std::vector<std::optional<FileIdentity>> identities;
    std::size_t skipped = 0;
    for (const ProgrammeEntry& entry : programmes) {
        const bool stream = entry.problem.empty() && isStream(entry.path);
        std::optional<FileIdentity> identity = stream ? std::nullopt : identityOf(entry.path);
        if (alreadyRecorded(recorded, entry.path, identity, stream)) {
            ++skipped;
            continue;
        }
        jobs.push_back(entryJob(entry, options));
        identities.push_back(identity);
    }
    recorded.clear();

    RecordLog log;
    if (!log.open(options.jsonlPath, appendAt, error)) {
        err << "quenlix: cannot write --jsonl " << options.jsonlPath << ": " << error << '\n';
        return kExitSomeFailed;
    }
    std::unique_ptr<SessionFactory> factory;
    if (!jobs.empty()) {
        factory = makeFactory(options.pluginPath, error);
        if (!factory) {
            err << "quenlix: " << error << '\n';
            return kExitSomeFailed;
        }
    }

    // Messages wait for the end, so they never cut through the progress bar; the records hold them too.
    std::mutex messagesMutex;
    std::vector<std::string> messages;
    std::string writeError;
    bool outputsFailed = false;
    std::atomic<std::size_t> measured{0}, failed{0}, missed{0};
    Progress progress(err, terminal && !options.quiet, static_cast<int>(jobs.size()));
    if (!jobs.empty())
        meterEach(jobs, *factory, options, state, progress, [&](std::size_t i, FileReport&& r) {
            r.identity = identities[i];
            if (options.target && r.ok && r.hasResults)
                r.check = checkTarget(*options.target, r.measurements);
            ++(r.ok ? measured : failed);
            if (r.check && !r.check->pass) ++missed;
            std::string line = recordLine(r);
            std::string why;
            const bool written = log.append(line, why);
            std::lock_guard<std::mutex> lock(messagesMutex);
            if (!r.ok) messages.push_back(r.file + ": " + r.error);
            if (r.nonFiniteSamples > 0)
                messages.push_back(r.file + ": warning: " + std::to_string(r.nonFiniteSamples) +
                                   " non-finite samples (NaN or infinity), metered as silence");
            for (const std::string& o : r.outputErrors) messages.push_back(o);
            outputsFailed = outputsFailed || !r.outputErrors.empty();
            if (!written && writeError.empty()) writeError = why;
            return written;
        });
    progress.finish();
    std::string finishError;
    const bool finished = log.finish(finishError);
    for (const std::string& m : messages) err << "quenlix: " << m << '\n';
    if (!writeError.empty() || !finished) {
        err << "quenlix: cannot write --jsonl " << options.jsonlPath << ": "
            << (writeError.empty() ? finishError : writeError)
            << "; the run stopped there, --resume goes on\n";
        return kExitSomeFailed;
    }
    if (!options.quiet)
        err << "quenlix: " << measured.load() << " measured, " << failed.load() << " failed, " << skipped
            << " already recorded\n";
    if (failed > 0 || outputsFailed) return kExitSomeFailed;
    return missed > 0 ? kExitTargetMissed : kExitOk;
}

}  // namespace quenlix::cli
