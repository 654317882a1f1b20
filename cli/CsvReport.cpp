#include "cli/CsvReport.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/OutputFiles.h"
#include "cli/Timeline.h"

namespace quenlix::cli {
namespace {

std::string number(const std::optional<double>& v) {
    if (!v || !std::isfinite(*v)) return {};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4f", *v);
    return buf;
}

std::vector<std::string> header() {
    std::vector<std::string> h = {"file",
                                  "album",
                                  "ok",
                                  "error",
                                  "sample_rate",
                                  "channels",
                                  "dual_mono",
                                  "frames",
                                  "duration_s",
                                  "type",
                                  "integrated_lufs",
                                  "momentary_lufs",
                                  "momentary_max_lufs",
                                  "short_term_lufs",
                                  "short_term_max_lufs",
                                  "loudness_range_lu",
                                  "true_peak_dbtp"};
    for (int c = 1; c <= 6; ++c) h.push_back("true_peak_dbtp_ch" + std::to_string(c));
    for (const char* name :
         {"integrated_dbfs", "momentary_dbfs", "momentary_max_dbfs", "sample_peak_dbfs", "true_peak_dbfs",
          "crest_db", "non_finite_samples", "target", "pass", "failures"})
        h.push_back(name);
    return h;
}

std::vector<std::string> row(const FileReport& r) {
    std::vector<std::string> f = {r.album ? std::string() : r.file, r.album ? "true" : "false",
                                  r.ok ? "true" : "false", r.ok ? std::string() : r.error};
    if (r.hasFormat) {
        f.push_back(std::to_string(r.sampleRate));
        f.push_back(std::to_string(r.channels));
        f.push_back(r.dualMono ? "true" : "false");
        f.push_back(std::to_string(r.frames));
        f.push_back(number(r.sampleRate > 0 ? static_cast<double>(r.frames) / r.sampleRate : 0.0));
    } else {
        f.insert(f.end(), 5, std::string());
    }
    const Measurements& m = r.measurements;
    const bool ebu = r.hasResults && m.meterType == 1, rms = r.hasResults && m.meterType == 0;
    f.push_back(!r.hasResults ? "" : ebu ? "ebu" : "rms");
    auto put = [&](bool on, const std::optional<double>& v) { f.push_back(on ? number(v) : std::string()); };
    put(ebu, m.integratedLufs);
    put(ebu, m.momentaryLufs);
    put(ebu, m.momentaryMaxLufs);
    put(ebu, m.shortTermLufs);
    put(ebu, m.shortTermMaxLufs);
    put(ebu, m.loudnessRangeLu);
    put(ebu, m.truePeakDbtp);
    for (std::size_t c = 0; c < 6; ++c)
        put(ebu && c < m.truePeakDbtpPerChannel.size(),
            c < m.truePeakDbtpPerChannel.size() ? std::optional<double>(m.truePeakDbtpPerChannel[c])
                                                : std::nullopt);
    put(rms, m.integratedDbfs);
    put(rms, m.momentaryDbfs);
    put(rms, m.momentaryMaxDbfs);
    put(rms, m.samplePeakDbfs);
    put(rms, m.truePeakDbfs);
    put(rms, m.crestDb);
    f.push_back(r.hasResults ? std::to_string(r.nonFiniteSamples) : std::string());
    if (r.check) {
        std::string failures;
        for (const std::string& why : r.check->failures) failures += (failures.empty() ? "" : "; ") + why;
        f.push_back(r.check->target);
        f.push_back(r.check->pass ? "true" : "false");
        f.push_back(failures);
    } else {
        f.insert(f.end(), 3, std::string());
    }
    return f;
}

void writeRow(std::FILE* file, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) std::fputc(',', file);
        std::fputs(csvField(fields[i]).c_str(), file);
    }
    std::fputc('\n', file);
}

}  // namespace

bool writeCsv(const std::vector<FileReport>& reports, const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = "cannot write CSV " + path + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    writeRow(file, header());
    for (const FileReport& r : reports) writeRow(file, row(r));
    const int firstErrno = std::ferror(file) != 0 ? (errno != 0 ? errno : EIO) : 0;
    std::string reason;
    if (closeOutputFile(file, firstErrno, reason)) return true;
    error = "cannot write CSV " + path + ": " + reason;
    return false;
}

}  // namespace quenlix::cli
