// Delivery targets: the loudness a programme must reach and the limits it must keep, the named presets of
// common broadcast and streaming requirements, and the verdict of one programme's measurements against
// a target. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

struct DeliveryTarget {
    std::string name;                    // as typed: "ebu", "custom:I=-20,tol=1"
    std::string description;             // one line for --target list
    double integratedLufs = -23.0;       // the programme's integrated loudness must be within
    double toleranceLu = 0.5;            //   integratedLufs +- toleranceLu
    std::optional<double> truePeakDbtp;  // the true-peak maximum must not exceed it
    std::optional<double> maxRangeLu;    // the loudness range must not exceed it
};

// The named presets, in the order --target list prints them.
const std::vector<DeliveryTarget>& targetPresets();

// A preset by name, or a custom target "custom:I=<LUFS>[,tol=<LU>][,tp=<dBTP>][,lra=<LU>]" (tolerance 1 LU
// when not given; true peak and loudness range unchecked when not given). Returns std::nullopt with a
// one-line `error` for anything else.
std::optional<DeliveryTarget> parseTarget(const std::string& arg, std::string& error);

// The presets as --target list prints them, one line each.
std::string describeTargets();

struct Verdict {
    std::string target;  // the target's name
    bool pass = false;
    std::vector<std::string> failures;  // one reason per missed limit, in the order integrated, peak, range
};

// Judges measurements of the EBU R128 type against `target`. Values are compared as the meter shows them,
// rounded to 0.1, so a verdict never contradicts the figures printed beside it. A value the meter could not
// give (a silent or too short programme) fails the limit that needs it.
Verdict checkTarget(const DeliveryTarget& target, const Measurements& m);

}  // namespace quenlix::cli
