#include "cli/Delivery.h"

#include <ostream>

#include "cli/AlbumSource.h"
#include "cli/CsvReport.h"
#include "cli/DualMono.h"
#include "cli/Plot.h"
#include "cli/SampleCheck.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {
namespace {

std::unique_ptr<AudioSource> openProgramme(const std::string& file, bool dualMono, std::string& error) {
    // Pipes, named pipes and /dev/stdin have no length to read ahead of the audio: they are read as the
    // stream they are, as standard input is.
    std::unique_ptr<AudioSource> source =
        isStream(file) ? openNamedStream(file, error) : openAudioFile(file, error);
    if (!source) return nullptr;
    source = countNonFinite(std::move(source));
    return dualMono ? asDualMono(std::move(source)) : std::move(source);
}

// Why the album cannot be metered from these file results, or empty.
std::string albumProblem(const std::vector<FileReport>& files) {
    for (const FileReport& r : files)
        if (!r.ok) return r.file + " could not be metered";
    for (const FileReport& r : files) {
        const FileReport& first = files.front();
        if (r.sampleRate != first.sampleRate || r.channels != first.channels)
            return "the files differ in format: " + first.file + " is " + std::to_string(first.channels) +
                   " ch at " + std::to_string(first.sampleRate) + " Hz, " + r.file + " " +
                   std::to_string(r.channels) + " ch at " + std::to_string(r.sampleRate) + " Hz";
    }
    return {};
}

}  // namespace

MeterJob programmeJob(const std::string& file, const Options& options) {
    MeterJob job;
    job.name = file;
    const bool dualMono = options.dualMono;
    job.open = [file, dualMono](std::string& error) { return openProgramme(file, dualMono, error); };
    job.keepHistory = !options.plotPath.empty() && !options.album;
    return job;
}

void meterAlbum(const std::vector<std::string>& files, std::vector<FileReport>& reports,
                SessionFactory& factory, const Options& options, const std::vector<std::uint8_t>* state,
                Progress& progress, int progressIndex) {
    std::vector<FileReport> fileReports(reports.end() - static_cast<std::ptrdiff_t>(files.size()),
                                        reports.end());
    const std::string name =
        "album (" + std::to_string(files.size()) + " file" + (files.size() == 1 ? "" : "s") + ")";
    FileReport album;
    if (std::string problem = albumProblem(fileReports); !problem.empty()) {
        album.file = name;
        album.error = "not metered: " + problem;
        progress.fileDone(progressIndex);
    } else {
        std::vector<AlbumTrack> tracks;
        std::int64_t frames = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            tracks.push_back({files[i], programmeJob(files[i], options).open});
            frames += fileReports[i].frames;
        }
        MeterJob job;
        job.name = name;
        job.keepHistory = !options.plotPath.empty();
        job.open = [tracks, frames](std::string& error) { return openAlbum(tracks, frames, error); };
        album = meterOne(job, progressIndex, factory, options, state, progress);
    }
    album.album = true;
    reports.push_back(std::move(album));
}

void judge(std::vector<FileReport>& reports, const Options& options) {
    if (!options.target) return;
    for (FileReport& r : reports)
        if (r.ok && r.hasResults) r.check = checkTarget(*options.target, r.measurements);
}

bool writeDeliveryFiles(const std::vector<FileReport>& reports, const Options& options, std::ostream& err) {
    bool ok = true;
    std::string error;
    if (!options.plotPath.empty()) {
        // The plotted programme: the single file's, or the album's (the last report).
        const FileReport& plotted = reports.back();
        const DeliveryTarget* target = options.target ? &*options.target : nullptr;
        // A programme that was not metered has had its error reported already.
        if (plotted.ok &&
            !writePlot(plotted, target, options.plotPath, options.plotWidth, options.plotHeight, error)) {
            err << "quenlix: " << error << '\n';
            ok = false;
        }
    }
    if (!options.csvPath.empty() && !writeCsv(reports, options.csvPath, error)) {
        err << "quenlix: " << error << '\n';
        ok = false;
    }
    return ok;
}

void warnNonFinite(const std::vector<FileReport>& reports, std::ostream& err) {
    for (const FileReport& r : reports)
        if (!r.album && r.nonFiniteSamples > 0)
            err << "quenlix: " << r.file << ": warning: " << r.nonFiniteSamples
                << " non-finite samples (NaN or infinity), metered as silence\n";
}

int deliveryExitCode(const std::vector<FileReport>& reports, bool filesWritten) {
    bool missed = false;
    for (const FileReport& r : reports) {
        if (!r.ok) return kExitSomeFailed;
        if (r.check && !r.check->pass) missed = true;
    }
    if (!filesWritten) return kExitSomeFailed;
    return missed ? kExitTargetMissed : kExitOk;
}

}  // namespace quenlix::cli
