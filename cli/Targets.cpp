#include "cli/Targets.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quenlix::cli {
namespace {

constexpr const char* kCustomPrefix = "custom:";
// Room for the rounding of the compared values (tenths) against limits given in decimal.
constexpr double kSlack = 1e-9;

// Display rounding to 0.1, as the meter's read-outs round.
double tenths(double v) {
    return std::floor(v * 10.0 + 0.5) / 10.0;
}

std::string format(const char* fmt, double a, double b = 0.0, double c = 0.0, double d = 0.0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
    return buf;
}

// One "key=value" number of a custom target within [lo, hi].
bool customValue(const std::string& key, const std::string& text, double lo, double hi, double& value,
                 std::string& error) {
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    if (text.empty() || end != begin + text.size() || !std::isfinite(value)) {
        error = "custom target: " + key + "=" + text + " is not a number";
        return false;
    }
    if (value < lo || value > hi) {
        error = "custom target: " + key + " must be " + format("%g to %g", lo, hi) + ", got " + text;
        return false;
    }
    return true;
}

std::optional<DeliveryTarget> parseCustom(const std::string& arg, std::string& error) {
    DeliveryTarget t;
    t.name = arg;
    t.toleranceLu = 1.0;
    bool haveIntegrated = false, haveTolerance = false;
    std::string body = arg.substr(std::string(kCustomPrefix).size());
    std::size_t at = 0;
    while (at <= body.size()) {
        std::size_t comma = body.find(',', at);
        std::string item = body.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        at = comma == std::string::npos ? body.size() + 1 : comma + 1;
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = "custom target: expected key=value, got \"" + item + "\"";
            return std::nullopt;
        }
        std::string key = item.substr(0, eq), text = item.substr(eq + 1);
        double v = 0.0;
        bool again = false;
        if (key == "I" || key == "i") {
            again = haveIntegrated;
            if (!customValue(key, text, -70.0, 0.0, v, error)) return std::nullopt;
            t.integratedLufs = v;
            haveIntegrated = true;
        } else if (key == "tol") {
            again = haveTolerance;
            if (!customValue(key, text, 0.0, 20.0, v, error)) return std::nullopt;
            t.toleranceLu = v;
            haveTolerance = true;
        } else if (key == "tp") {
            again = t.truePeakDbtp.has_value();
            if (!customValue(key, text, -30.0, 6.0, v, error)) return std::nullopt;
            t.truePeakDbtp = v;
        } else if (key == "lra") {
            again = t.maxRangeLu.has_value();
            if (!customValue(key, text, 0.0, 60.0, v, error)) return std::nullopt;
            t.maxRangeLu = v;
        } else {
            error = "custom target: unknown key \"" + key + "\" (I, tol, tp, lra)";
            return std::nullopt;
        }
        if (again) {
            error = "custom target: " + key + " given twice";
            return std::nullopt;
        }
    }
    if (!haveIntegrated) {
        error = "custom target: I=<LUFS> is required";
        return std::nullopt;
    }
    t.description = format("custom: %g LUFS +-%g LU", t.integratedLufs, t.toleranceLu);
    if (t.truePeakDbtp) t.description += format(", true peak <= %g dBTP", *t.truePeakDbtp);
    if (t.maxRangeLu) t.description += format(", loudness range <= %g LU", *t.maxRangeLu);
    return t;
}

}  // namespace

const std::vector<DeliveryTarget>& targetPresets() {
    static const std::vector<DeliveryTarget> presets = {
        {"ebu", "EBU R128: -23 LUFS +-0.5 LU, true peak <= -1 dBTP", -23.0, 0.5, -1.0, std::nullopt},
        {"ebu-live", "EBU R128 live programmes: -23 LUFS +-1 LU, true peak <= -1 dBTP", -23.0, 1.0, -1.0,
         std::nullopt},
        {"atsc", "ATSC A/85: -24 LKFS +-2 dB, true peak <= -2 dBTP", -24.0, 2.0, -2.0, std::nullopt},
        {"stream-14", "streaming: -14 LUFS +-1 LU, true peak <= -1 dBTP", -14.0, 1.0, -1.0, std::nullopt},
        {"stream-16", "streaming: -16 LUFS +-1 LU, true peak <= -1 dBTP", -16.0, 1.0, -1.0, std::nullopt},
    };
    return presets;
}

std::optional<DeliveryTarget> parseTarget(const std::string& arg, std::string& error) {
    if (arg.rfind(kCustomPrefix, 0) == 0) return parseCustom(arg, error);
    for (const DeliveryTarget& t : targetPresets())
        if (t.name == arg) return t;
    error =
        "unknown target \"" + arg + "\" (--target list shows the presets; custom:I=-20,tol=1,tp=-1,lra=12)";
    return std::nullopt;
}

std::string describeTargets() {
    std::string out;
    for (const DeliveryTarget& t : targetPresets()) {
        char line[200];
        std::snprintf(line, sizeof line, "%-10s %s\n", t.name.c_str(), t.description.c_str());
        out += line;
    }
    out += "custom:I=<LUFS>[,tol=<LU>][,tp=<dBTP>][,lra=<LU>]   your own (tolerance 1 LU unless given)\n";
    return out;
}

Verdict checkTarget(const DeliveryTarget& target, const Measurements& m) {
    Verdict v;
    v.target = target.name;
    char buf[200];
    if (!m.integratedLufs || !std::isfinite(*m.integratedLufs)) {
        v.failures.push_back("integrated loudness not measured (silent, or shorter than 400 ms)");
    } else {
        double shown = tenths(*m.integratedLufs);
        double off = shown - target.integratedLufs;
        if (std::fabs(off) > target.toleranceLu + kSlack) {
            std::snprintf(buf, sizeof buf, "integrated %.1f LUFS is %.1f LU %s %g +-%g", shown,
                          std::fabs(off), off > 0.0 ? "above" : "below", target.integratedLufs,
                          target.toleranceLu);
            v.failures.push_back(buf);
        }
    }
    if (target.truePeakDbtp) {
        if (!m.truePeakDbtp || !std::isfinite(*m.truePeakDbtp)) {
            v.failures.push_back("true peak not measured");
        } else if (tenths(*m.truePeakDbtp) > *target.truePeakDbtp + kSlack) {
            std::snprintf(buf, sizeof buf, "true peak %.1f dBTP above %.1f", tenths(*m.truePeakDbtp),
                          *target.truePeakDbtp);
            v.failures.push_back(buf);
        }
    }
    if (target.maxRangeLu) {
        if (!m.loudnessRangeLu || !std::isfinite(*m.loudnessRangeLu)) {
            v.failures.push_back("loudness range not measured (shorter than 3 s)");
        } else if (tenths(*m.loudnessRangeLu) > *target.maxRangeLu + kSlack) {
            std::snprintf(buf, sizeof buf, "loudness range %.1f LU above %.1f", tenths(*m.loudnessRangeLu),
                          *target.maxRangeLu);
            v.failures.push_back(buf);
        }
    }
    v.pass = v.failures.empty();
    return v;
}

}  // namespace quenlix::cli
