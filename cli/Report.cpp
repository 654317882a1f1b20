#include "cli/Report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace quenlix::cli {
namespace {

using nlohmann::ordered_json;

ordered_json number(const std::optional<double>& v) {
    if (!v || !std::isfinite(*v)) return nullptr;
    return *v;
}

ordered_json measurementsJson(const Measurements& m) {
    ordered_json j = ordered_json::object();
    if (m.meterType == 1) {
        j["integrated_lufs"] = number(m.integratedLufs);
        j["momentary_lufs"] = number(m.momentaryLufs);
        j["momentary_max_lufs"] = number(m.momentaryMaxLufs);
        j["short_term_lufs"] = number(m.shortTermLufs);
        j["short_term_max_lufs"] = number(m.shortTermMaxLufs);
        j["loudness_range_lu"] = number(m.loudnessRangeLu);
        j["true_peak_dbtp"] = number(m.truePeakDbtp);
        ordered_json per = ordered_json::array();
        for (double v : m.truePeakDbtpPerChannel) per.push_back(number(v));
        j["true_peak_dbtp_per_channel"] = per;
    } else {
        j["integrated_dbfs"] = number(m.integratedDbfs);
        j["momentary_dbfs"] = number(m.momentaryDbfs);
        j["momentary_max_dbfs"] = number(m.momentaryMaxDbfs);
        j["sample_peak_dbfs"] = number(m.samplePeakDbfs);
        j["true_peak_dbfs"] = number(m.truePeakDbfs);
        j["crest_db"] = number(m.crestDb);
    }
    return j;
}

double seconds(std::int64_t frames, int sampleRate) {
    return static_cast<double>(frames) / (sampleRate > 0 ? sampleRate : 1);
}

// "cut short (the window was closed): 2.40 s of 60.00 s metered"
std::string cutShortLine(const FileReport& r) {
    char buf[96];
    if (r.totalFrames >= 0)
        std::snprintf(buf, sizeof buf, "%.2f s of %.2f s metered", seconds(r.frames, r.sampleRate),
                      seconds(r.totalFrames, r.sampleRate));
    else
        std::snprintf(buf, sizeof buf, "%.2f s metered of a stream of unknown length",
                      seconds(r.frames, r.sampleRate));
    return "cut short" + (r.stopReason.empty() ? std::string() : " (" + r.stopReason + ")") + ": " + buf;
}

// "live session (interrupted by SIGINT): 3.00 s metered, 0 xruns"
std::string liveLine(const FileReport& r) {
    const LiveSummary& l = *r.live;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%.2f s metered, %lld xrun%s", seconds(r.frames, r.sampleRate),
                  static_cast<long long>(l.xruns), l.xruns == 1 ? "" : "s");
    std::string line =
        "live session" + (l.endedBy.empty() ? std::string() : " (" + l.endedBy + ")") + ": " + buf;
    if (l.droppedFrames > 0)
        line += ", " + std::to_string(l.droppedFrames) + " frames lost while the metering was behind";
    return line;
}

ordered_json checkJson(const FileReport& r) {
    if (!r.check) return nullptr;
    ordered_json c;
    c["target"] = r.check->target;
    c["pass"] = r.check->pass;
    c["failures"] = r.check->failures;
    return c;
}

ordered_json reportJson(const FileReport& r, bool record) {
    ordered_json j;
    j["file"] = r.album ? ordered_json(nullptr) : ordered_json(r.file);
    if (record) {
        j["size_bytes"] = r.identity ? ordered_json(r.identity->sizeBytes) : ordered_json(nullptr);
        j["mtime_ns"] = r.identity ? ordered_json(r.identity->mtimeNs) : ordered_json(nullptr);
    }
    j["album"] = r.album;
    j["version"] = r.version.empty() ? ordered_json(nullptr) : ordered_json(r.version);
    j["ok"] = r.ok;
    j["error"] = r.ok ? ordered_json(nullptr) : ordered_json(r.error);
    j["sample_rate"] = r.hasFormat ? ordered_json(r.sampleRate) : ordered_json(nullptr);
    j["channels"] = r.hasFormat ? ordered_json(r.channels) : ordered_json(nullptr);
    j["dual_mono"] = r.dualMono;
    j["frames"] = r.hasFormat ? ordered_json(r.frames) : ordered_json(nullptr);
    if (r.cutShort) {
        // Only in the report of a run that ended early (`view` closed or interrupted).
        ordered_json cut;
        cut["reason"] = r.stopReason.empty() ? ordered_json(nullptr) : ordered_json(r.stopReason);
        cut["metered_s"] = seconds(r.frames, r.sampleRate);
        cut["total_s"] =
            r.totalFrames >= 0 ? ordered_json(seconds(r.totalFrames, r.sampleRate)) : ordered_json(nullptr);
        j["cut_short"] = cut;
    }
    if (r.live) {
        // Only in the report of a live session.
        ordered_json live;
        live["ended_by"] = r.live->endedBy.empty() ? ordered_json(nullptr) : ordered_json(r.live->endedBy);
        live["metered_s"] = seconds(r.frames, r.sampleRate);
        live["xruns"] = r.live->xruns;
        live["dropped_frames"] = r.live->droppedFrames;
        live["callback_max_us"] = r.live->worstCallbackUs;
        j["live"] = live;
    }
    j["non_finite_samples"] = r.hasResults ? ordered_json(r.nonFiniteSamples) : ordered_json(nullptr);
    j["check"] = checkJson(r);
    if (!r.hasResults) {
        j["settings"] = nullptr;
        j["outputs"] = nullptr;
        j["readouts"] = nullptr;
        j["measurements"] = nullptr;
        return j;
    }
    ordered_json settings = ordered_json::object();
    for (const ParamReading& p : r.settings)
        settings[p.name] = p.label.empty() ? p.text : p.text + " " + p.label;
    j["settings"] = settings;
    ordered_json outputs = ordered_json::object();
    for (const ParamReading& p : r.outputs) outputs[p.name] = number(p.value);
    j["outputs"] = outputs;
    ordered_json readouts = ordered_json::object();
    for (const auto& [key, text] : r.readouts) readouts[key] = text;
    j["readouts"] = readouts;
    j["measurements"] = measurementsJson(r.measurements);
    return j;
}

std::string fixed(const std::optional<double>& v, int decimals) {
    if (!v) return "---";
    if (!std::isfinite(*v)) return "nan";
    if (*v <= -144.0) return "-inf";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, *v);
    return buf;
}

// The unit of each read-out of the active type, and the unrounded measurement it shows.
struct Row {
    const char* key;
    const char* unit;
    std::optional<double> measured;
};

std::vector<Row> rowsFor(const Measurements& m) {
    if (m.meterType == 1)
        return {{"IL", "LUFS", m.integratedLufs},       {"ML", "LUFS", m.momentaryLufs},
                {"ML Max", "LUFS", m.momentaryMaxLufs}, {"SL", "LUFS", m.shortTermLufs},
                {"SL Max", "LUFS", m.shortTermMaxLufs}, {"TP Max", "dBTP", m.truePeakDbtp},
                {"LRA", "LU", m.loudnessRangeLu}};
    return {{"IL", "dBFS", m.integratedDbfs},       {"ML", "dBFS", m.momentaryDbfs},
            {"ML Max", "dBFS", m.momentaryMaxDbfs}, {"Peak Max", "dBFS", m.samplePeakDbfs},
            {"TP Max", "dBFS", m.truePeakDbfs},     {"Crest", "dB", m.crestDb}};
}

}  // namespace

void writeJson(const std::vector<FileReport>& reports, std::ostream& out) {
    ordered_json all = ordered_json::array();
    for (const FileReport& r : reports) all.push_back(reportJson(r, false));
    // File names are bytes, not always UTF-8: invalid sequences are replaced so the output stays JSON.
    out << all.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
}

std::string recordLine(const FileReport& report) {
    // Compact, so one record is one line; file names that are not UTF-8 are replaced as in writeJson.
    return reportJson(report, true).dump(-1, ' ', false, ordered_json::error_handler_t::replace) + '\n';
}

namespace {

using nlohmann::json;

std::optional<double> numberAt(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

bool flagAt(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

std::string textAt(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::int64_t integerAt(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_number_integer() ? it->get<std::int64_t>() : 0;
}

void readMeasurements(const json& m, Measurements& out) {
    out.meterType = m.contains("integrated_lufs") ? 1 : 0;
    out.integratedLufs = numberAt(m, "integrated_lufs");
    out.momentaryLufs = numberAt(m, "momentary_lufs");
    out.momentaryMaxLufs = numberAt(m, "momentary_max_lufs");
    out.shortTermLufs = numberAt(m, "short_term_lufs");
    out.shortTermMaxLufs = numberAt(m, "short_term_max_lufs");
    out.loudnessRangeLu = numberAt(m, "loudness_range_lu");
    out.truePeakDbtp = numberAt(m, "true_peak_dbtp");
    if (auto per = m.find("true_peak_dbtp_per_channel"); per != m.end() && per->is_array())
        for (const json& v : *per)
            out.truePeakDbtpPerChannel.push_back(v.is_number() ? v.get<double>() : NAN);
    out.integratedDbfs = numberAt(m, "integrated_dbfs");
    out.momentaryDbfs = numberAt(m, "momentary_dbfs");
    out.momentaryMaxDbfs = numberAt(m, "momentary_max_dbfs");
    out.samplePeakDbfs = numberAt(m, "sample_peak_dbfs");
    out.truePeakDbfs = numberAt(m, "true_peak_dbfs");
    out.crestDb = numberAt(m, "crest_db");
}

}  // namespace

std::optional<FileReport> reportFromRecord(const std::string& line, std::string& error) {
    json j = json::parse(line, nullptr, false);
    if (j.is_discarded()) {
        error = "not JSON";
        return std::nullopt;
    }
    if (!j.is_object() || !j.contains("ok") || !j["ok"].is_boolean() || !j.contains("file") ||
        !(j["file"].is_string() || j["file"].is_null())) {
        error = "not a result: it needs \"file\" and \"ok\"";
        return std::nullopt;
    }
    FileReport r;
    r.album = flagAt(j, "album");
    r.file = j["file"].is_string() ? j["file"].get<std::string>() : std::string("album");
    r.ok = j["ok"].get<bool>();
    r.error = textAt(j, "error");
    r.version = textAt(j, "version");
    r.hasFormat = j.contains("sample_rate") && j["sample_rate"].is_number_integer();
    r.sampleRate = static_cast<int>(integerAt(j, "sample_rate"));
    r.channels = static_cast<int>(integerAt(j, "channels"));
    r.frames = integerAt(j, "frames");
    r.dualMono = flagAt(j, "dual_mono");
    r.nonFiniteSamples = integerAt(j, "non_finite_samples");
    if (j.contains("size_bytes") && j["size_bytes"].is_number_integer() && j.contains("mtime_ns") &&
        j["mtime_ns"].is_number_integer())
        r.identity = FileIdentity{j["size_bytes"].get<std::int64_t>(), j["mtime_ns"].get<std::int64_t>()};
    if (j.contains("measurements") && j["measurements"].is_object()) {
        r.hasResults = true;
        readMeasurements(j["measurements"], r.measurements);
    }
    if (j.contains("check") && j["check"].is_object()) {
        const json& c = j["check"];
        Verdict v;
        v.target = textAt(c, "target");
        v.pass = flagAt(c, "pass");
        if (c.contains("failures") && c["failures"].is_array())
            for (const json& why : c["failures"])
                if (why.is_string()) v.failures.push_back(why.get<std::string>());
        r.check = v;
    }
    return r;
}

void writeTable(const FileReport& r, std::ostream& out) {
    out << r.file;
    if (r.hasFormat) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "  (%d Hz, %d ch%s, %.2f s)", r.sampleRate, r.channels,
                      r.dualMono ? " dual mono" : "",
                      static_cast<double>(r.frames) / (r.sampleRate > 0 ? r.sampleRate : 1));
        out << buf;
    }
    if (!r.version.empty()) out << "  Quenlix " << r.version;
    out << '\n';
    if (r.cutShort) out << "  " << cutShortLine(r) << '\n';
    if (r.live) out << "  " << liveLine(r) << '\n';
    if (!r.ok) {
        out << "  error: " << r.error << '\n';
        if (!r.hasResults) return;
    }
    if (!r.hasResults) return;
    for (const ParamReading& p : r.settings) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "  %-20s %s%s%s\n", p.name.c_str(), p.text.c_str(),
                      p.label.empty() ? "" : " ", p.label.c_str());
        out << buf;
    }
    char header[96];
    std::snprintf(header, sizeof header, "  %-9s %7s  %10s\n", "read-out", "shown", "measured");
    out << header;
    std::vector<Row> rows = rowsFor(r.measurements);
    for (const Row& row : rows) {
        std::string shown = "?";
        for (const auto& [key, text] : r.readouts)
            if (key == row.key) shown = text;
        char buf[160];
        std::snprintf(buf, sizeof buf, "  %-9s %7s  %10s %s\n", row.key, shown.c_str(),
                      fixed(row.measured, 3).c_str(), row.unit);
        out << buf;
    }
    if (r.nonFiniteSamples > 0)
        out << "  non-finite samples: " << r.nonFiniteSamples << " (metered as silence)\n";
    if (r.check) {
        out << "  check " << r.check->target << ": " << (r.check->pass ? "PASS" : "FAIL") << '\n';
        for (const std::string& why : r.check->failures) out << "    " << why << '\n';
    }
}

}  // namespace quenlix::cli
